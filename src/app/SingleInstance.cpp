#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

namespace {

const QByteArray okReply = "ok";

// The request words on the wire, one line each; "reopen" is what every version sends.
constexpr std::array<std::pair<SingleInstance::Request, const char *>, 4> requestWords{{
    {SingleInstance::Request::reopen, "reopen"},
    {SingleInstance::Request::settings, "settings"},
    {SingleInstance::Request::checkNow, "check-now"},
    {SingleInstance::Request::status, "status"},
}};

QByteArray wordOf(SingleInstance::Request request)
{
    for (const auto &[known, word] : requestWords)
        if (known == request)
            return word;
    return {};
}

std::optional<SingleInstance::Request> requestOf(const QByteArray &word)
{
    for (const auto &[request, known] : requestWords)
        if (word == known)
            return request;
    return std::nullopt;
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1));
}

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

void SingleInstance::setStatusProvider(std::function<QByteArray()> provider)
{
    m_statusProvider = std::move(provider);
}

SingleInstance::Role SingleInstance::claim(Request request, int timeoutMs)
{
    QDir().mkpath(m_directory);
    if (m_lock.tryLock(0))
        return listen() ? Role::primary : Role::failed;
    if (m_lock.error() != QLockFile::LockFailedError) {
        m_error = QStringLiteral("cannot create the lock file in %1").arg(m_directory);
        return Role::failed;
    }
    if (send(request, timeoutMs, true) == okReply)
        return Role::handedOver;
    m_error = QStringLiteral("another Vigilmount holds %1 but does not answer on %2")
                  .arg(m_lock.fileName(), socketPath());
    return Role::failed;
}

std::optional<QByteArray> SingleInstance::ask(Request request, int timeoutMs)
{
    // Never takes the lock: a start that races with this question still becomes primary.
    return send(request, timeoutMs, lockOwnerAlive());
}

bool SingleInstance::lockOwnerAlive() const
{
    qint64 pid = 0;
    QString host, application;
    if (!m_lock.getLockInfo(&pid, &host, &application) || pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
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
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] { answer(client); });
        }
    });
    return true;
}

void SingleInstance::answer(QLocalSocket *client)
{
    if (!client->canReadLine())
        return;
    const std::optional<Request> request = requestOf(client->readLine(64).trimmed());
    if (request == Request::status && m_statusProvider) {
        client->write(m_statusProvider() + '\n');
    } else if (request && request != Request::status) {
        Q_EMIT requested(*request);
        client->write(okReply + '\n');
    }
    client->flush();
    client->disconnectFromServer();
}

std::optional<QByteArray> SingleInstance::send(Request request, int timeoutMs,
                                               bool waitForStartingOwner)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(remainingMs(deadline))) {
            socket.write(wordOf(request) + '\n');
            socket.flush();
            while (!socket.canReadLine() && socket.waitForReadyRead(remainingMs(deadline)))
                ;
            if (socket.canReadLine())
                return socket.readLine().trimmed();
        }
        if (!waitForStartingOwner || deadline.hasExpired())
            return std::nullopt;
        // The running instance may hold the lock but not listen yet: it is still starting.
        QThread::msleep(50);
    }
}
