#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {
const QByteArray reopenRequest = "reopen\n";
const QByteArray reopenReply = "ok\n";
} // namespace

QString SingleInstance::defaultDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime;
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent), m_directory(directory),
      m_lock(QDir(directory).filePath(QStringLiteral("vigilmount.lock")))
{
    // The lock is held for the whole run; only a dead owner makes it stale, never its age.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::socketPath() const
{
    return QDir(m_directory).filePath(QStringLiteral("vigilmount.socket"));
}

SingleInstance::Role SingleInstance::claim(int timeoutMs)
{
    QDir().mkpath(m_directory);
    if (m_lock.tryLock(0))
        return listen() ? Role::primary : Role::failed;
    if (m_lock.error() != QLockFile::LockFailedError) {
        m_error = QStringLiteral("cannot create the lock file in %1").arg(m_directory);
        return Role::failed;
    }
    return handOver(timeoutMs);
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left here belongs to a process that has died.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        m_error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine())
                return;
            const QByteArray line = client->readLine(64);
            if (line == reopenRequest) {
                Q_EMIT reopenRequested();
                client->write(reopenReply);
                client->flush();
            }
            client->disconnectFromServer();
        });
    }
}

SingleInstance::Role SingleInstance::handOver(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1)))) {
            socket.write(reopenRequest);
            socket.flush();
            while (!socket.canReadLine() && socket.waitForReadyRead(static_cast<int>(
                                                qMax<qint64>(deadline.remainingTime(), 1))))
                ;
            if (socket.readLine(64) == reopenReply)
                return Role::handedOver;
        }
        if (deadline.hasExpired())
            break;
        // The running instance may hold the lock but not listen yet: it is still starting.
        QThread::msleep(50);
    }
    m_error = QStringLiteral("another Vigilmount holds %1 but does not answer on %2")
                  .arg(m_lock.fileName(), socketPath());
    return Role::failed;
}
