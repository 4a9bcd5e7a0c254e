#include "app/instancechannel.h"

#ifdef Q_OS_WIN
#include "platform/win/winplatform.h"
#else
#include "app/localsocketchannel.h"
#endif
#include "platform/localchannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

constexpr int ConnectWaitMs = 1000;
constexpr int AnswerWaitMs = 5000;
constexpr int RetryPauseMs = 100;

const QByteArray Accepted = "ok";

// The folder of the lock and, on Unix, the socket: private to the user.
QString ChannelFolder()
{
#ifdef Q_OS_WIN
    return QDir::tempPath();
#else
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
}

} // namespace

QString ChannelName(const QString& configFolder)
{
    const QString key = QDir::homePath() + u'\n' + QDir(configFolder).absolutePath();
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return u"quillbay-"_s + QString::fromLatin1(hash);
}

std::unique_ptr<LocalChannel> CreateLocalChannel()
{
#ifdef Q_OS_WIN
    return CreateWinPipeChannel();
#else
    return std::make_unique<LocalSocketChannel>();
#endif
}

InstanceChannel::InstanceChannel(const QString& name, QObject* parent)
    : QObject(parent)
{
    const QString folder = ChannelFolder();
#ifdef Q_OS_WIN
    m_address = name;
#else
    m_address = QDir(folder).filePath(name);
#endif
    m_lockFile = QDir(folder).filePath(name + u".lock"_s);
    m_lock = std::make_unique<QLockFile>(m_lockFile);
    // The lock stays as long as the copy runs; only a dead owner makes it stale.
    m_lock->setStaleLockTime(0);
    m_channel = CreateLocalChannel();
}

InstanceChannel::~InstanceChannel() = default;

InstanceChannel::Role InstanceChannel::open(const InstanceCommand& command, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (m_lock->tryLock(0)) {
            // Without the channel this copy still runs; later starts then wait in vain.
            (void)m_channel->listen(m_address, [this](const QByteArray& line) { return answer(line); });
            return Role::First;
        }
        // A folder where no lock can be made: this copy runs on its own, as if alone.
        if (m_lock->error() != QLockFile::LockFailedError)
            return Role::First;
        // The copy holding the lock may not listen yet.
        if (hand(command))
            return Role::Handed;
        if (deadline.hasExpired())
            return Role::Unanswered;
        QThread::msleep(RetryPauseMs);
    }
}

bool InstanceChannel::hand(const InstanceCommand& command)
{
    return m_channel->request(m_address, EncodeCommand(command), ConnectWaitMs, AnswerWaitMs) == Accepted;
}

std::optional<QByteArray> InstanceChannel::answer(const QByteArray& line)
{
    const std::optional<InstanceCommand> command = DecodeCommand(line.trimmed());
    if (!command)
        return std::nullopt;
    // The command may open boxes: it runs once the sender is answered.
    QMetaObject::invokeMethod(
        this, [this, c = *command] { Q_EMIT commandReceived(c); }, Qt::QueuedConnection);
    return Accepted;
}
