#pragma once

#include "app/commandline.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class LocalChannel;
class QLockFile;

// One running copy per user and settings folder. The first start holds a lock file and
// listens on a local channel (a Unix socket in the user's runtime folder, a named pipe on
// Windows); a later start hands its command to that copy and ends. A lock or socket left
// behind by a copy that crashed does not count.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // name: the same for the same user and settings folder (ChannelName).
    explicit InstanceChannel(const QString& name, QObject* parent = nullptr);
    ~InstanceChannel() override;

    enum class Role {
        // No other copy runs: this one listens now.
        First,
        // Another copy runs and took the command.
        Handed,
        // Another copy holds the lock but did not take the command in time.
        Unanswered,
    };
    // Becomes the listening copy, or hands the command to the copy that runs, waiting for
    // it at most waitMs while it is still starting.
    Role open(const InstanceCommand& command, int waitMs = 10000);
    // Where the channel listens: a socket path, or a pipe name on Windows.
    QString address() const { return m_address; }
    // The lock file that the listening copy holds.
    QString lockFile() const { return m_lockFile; }

Q_SIGNALS:
    // A later start handed this command over; emitted once its sender has been answered.
    void commandReceived(const InstanceCommand& command);

private:
    bool hand(const InstanceCommand& command);
    std::optional<QByteArray> answer(const QByteArray& line);

    QString m_address;
    QString m_lockFile;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<LocalChannel> m_channel;
};

// The channel's name for a settings folder: it differs between users and between folders.
QString ChannelName(const QString& configFolder);

// The system's local channel: a Unix socket, or a named pipe on Windows.
std::unique_ptr<LocalChannel> CreateLocalChannel();
