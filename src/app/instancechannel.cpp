#include "app/instancechannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLockFile>
#ifndef Q_OS_WIN
#include <QLocalServer>
#include <QLocalSocket>
#endif
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int ConnectWaitMs = 1000;
constexpr int AnswerWaitMs = 5000;
constexpr int RetryPauseMs = 100;
// A sender that sends no line in this time is dropped.
constexpr int ReadWaitMs = 5000;
constexpr qsizetype MaxLineBytes = 64 * 1024;

const QByteArray Accepted = "ok\n";

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

InstanceChannel::InstanceChannel(const QString& name, QObject* parent)
    : QObject(parent)
{
    const QString folder = ChannelFolder();
#ifdef Q_OS_WIN
    m_address = name;
#else
    m_address = QDir(folder).filePath(name);
#endif
    m_lock = std::make_unique<QLockFile>(QDir(folder).filePath(name + u".lock"_s));
    // The lock stays as long as the copy runs; only a dead owner makes it stale.
    m_lock->setStaleLockTime(0);
}

InstanceChannel::~InstanceChannel() = default;

InstanceChannel::Role InstanceChannel::open(const InstanceCommand& command, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (m_lock->tryLock(0)) {
#ifndef Q_OS_WIN
            // A socket left by a copy that crashed would refuse the listen.
            QLocalServer::removeServer(m_address);
            m_server = new QLocalServer(this);
            m_server->setSocketOptions(QLocalServer::UserAccessOption);
            connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::accept);
            // Without the socket this copy still runs; later starts then wait in vain.
            (void)m_server->listen(m_address);
#endif
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

#ifdef Q_OS_WIN
// Windows has no listening copy yet: a running copy cannot take a command.
bool InstanceChannel::hand(const InstanceCommand&)
{
    return false;
}
#else
bool InstanceChannel::hand(const InstanceCommand& command)
{
    QLocalSocket socket;
    socket.connectToServer(m_address);
    if (!socket.waitForConnected(ConnectWaitMs))
        return false;
    socket.write(EncodeCommand(command) + '\n');
    if (!socket.waitForBytesWritten(ConnectWaitMs))
        return false;
    QByteArray answer;
    const QDeadlineTimer deadline(AnswerWaitMs);
    while (!answer.endsWith('\n') && socket.waitForReadyRead(int(deadline.remainingTime())))
        answer += socket.readAll();
    return answer == Accepted;
}

void InstanceChannel::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        QTimer::singleShot(ReadWaitMs, socket, &QLocalSocket::abort);
        read(socket);
    }
}

void InstanceChannel::read(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxLineBytes)
            socket->abort();
        return;
    }
    const std::optional<InstanceCommand> command = DecodeCommand(socket->readLine(MaxLineBytes).trimmed());
    if (!command) {
        socket->abort();
        return;
    }
    socket->write(Accepted);
    socket->flush();
    socket->disconnectFromServer();
    // The command may open boxes: it runs once the sender is answered.
    QMetaObject::invokeMethod(
        this, [this, c = *command] { Q_EMIT commandReceived(c); }, Qt::QueuedConnection);
}
#endif
