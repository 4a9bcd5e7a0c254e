#include "app/localsocketchannel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {

// A sender that sends no line in this time is dropped.
constexpr int ReadWaitMs = 5000;
constexpr qsizetype MaxLineBytes = 64 * 1024;

} // namespace

bool LocalSocketChannel::listen(const QString& address, Answer answer)
{
    // A socket left by a process that crashed would refuse the listen.
    QLocalServer::removeServer(address);
    delete m_server;
    m_answer = std::move(answer);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &LocalSocketChannel::accept);
    return m_server->listen(address);
}

std::optional<QByteArray> LocalSocketChannel::request(const QString& address, const QByteArray& line, int connectWaitMs,
                                                      int answerWaitMs)
{
    QLocalSocket socket;
    socket.connectToServer(address);
    if (!socket.waitForConnected(connectWaitMs))
        return std::nullopt;
    socket.write(line + '\n');
    if (!socket.waitForBytesWritten(connectWaitMs))
        return std::nullopt;
    QByteArray answer;
    const QDeadlineTimer deadline(answerWaitMs);
    while (!answer.contains('\n') && socket.waitForReadyRead(int(deadline.remainingTime())))
        answer += socket.readAll();
    const qsizetype end = answer.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    return answer.left(end);
}

void LocalSocketChannel::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        QTimer::singleShot(ReadWaitMs, socket, &QLocalSocket::abort);
        read(socket);
    }
}

void LocalSocketChannel::read(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxLineBytes)
            socket->abort();
        return;
    }
    QByteArray line = socket->readLine(MaxLineBytes);
    if (line.endsWith('\n'))
        line.chop(1);
    const std::optional<QByteArray> answer = m_answer(line);
    if (!answer) {
        socket->abort();
        return;
    }
    socket->write(*answer + '\n');
    socket->flush();
    socket->disconnectFromServer();
}
