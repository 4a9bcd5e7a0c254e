#pragma once

#include "platform/localchannel.h"

#include <QObject>

class QLocalServer;
class QLocalSocket;

// Lines between processes through a Unix socket at the address (a file path), open to
// this user only. A sender that sends no line end within 5 s, or longer lines than
// 64 KiB, is dropped.
class LocalSocketChannel : public QObject, public LocalChannel {
    Q_OBJECT
public:
    bool listen(const QString& address, Answer answer) override;
    std::optional<QByteArray> request(const QString& address, const QByteArray& line, int connectWaitMs,
                                      int answerWaitMs) override;

private:
    void accept();
    void read(QLocalSocket* socket);

    Answer m_answer;
    QLocalServer* m_server = nullptr;
};
