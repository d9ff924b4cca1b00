#include "app/SingleInstance.h"
#include "history/EventLog.h"
#include "history/PrivateFile.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
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

// A real folder (not a link) of this user that nobody else can enter.
bool isPrivateFolder(const QString &path)
{
    struct stat info
    {};
    return QDir::isAbsolutePath(path) && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// Whoever is at the other end of a local socket must be this user: a process of another user
// neither gets an answer nor is believed.
bool peerIsThisUser(qintptr descriptor)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return descriptor >= 0 &&
           ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::geteuid();
}

bool isAbstract(const QString &name)
{
    return !name.startsWith(QLatin1Char('/'));
}

void connectTo(QLocalSocket &socket, const QString &name)
{
    if (isAbstract(name))
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name);
}

} // namespace

QString SingleInstance::runtimeDirectory()
{
    const QString given = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(given))
        return given;
    const QString own = QDir::tempPath() + QStringLiteral("/vigilmount-%1").arg(::geteuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateFolder(own) ? own : QString();
}

SingleInstance::SingleInstance(const QString &lockDirectory, const QString &socketDirectory,
                               QObject *parent)
    : QObject(parent), m_lockDirectory(QDir(lockDirectory).absolutePath()),
      m_socketDirectory(socketDirectory.isEmpty() ? QString()
                                                  : QDir(socketDirectory).absolutePath())
{}

SingleInstance::SingleInstance() : SingleInstance(EventLog::defaultDirectory(), runtimeDirectory())
{}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::socketName() const
{
    const QString path = m_socketDirectory.isEmpty()
                             ? QString()
                             : m_socketDirectory + QStringLiteral("/vigilmount.socket");
    if (!path.isEmpty() &&
        QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path)))
        return path;
    // No path fits: a name in the abstract namespace, the same for every process that would
    // have used that path (or that shares the history when there is no runtime folder).
    const QString key = path.isEmpty() ? m_lockDirectory : path;
    return QStringLiteral("vigilmount-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

QString SingleInstance::lockPath() const
{
    // Next to the history it protects; in the runtime folder only when the history's folder
    // is not this user's (the history then stays in memory and two writers cannot collide).
    if (PrivateFile::ensureOwnFolder(m_lockDirectory))
        return m_lockDirectory + QStringLiteral("/vigilmount.lock");
    if (!m_socketDirectory.isEmpty())
        return m_socketDirectory + QStringLiteral("/vigilmount.lock");
    return {};
}

void SingleInstance::setStatusProvider(std::function<QByteArray()> provider)
{
    m_statusProvider = std::move(provider);
}

SingleInstance::Role SingleInstance::claim(Request request, int timeoutMs)
{
    const QString path = lockPath();
    m_lock = std::make_unique<QLockFile>(path);
    // The lock is held for the whole run; only a dead owner makes it stale, never its age.
    m_lock->setStaleLockTime(0);
    if (!path.isEmpty() && m_lock->tryLock(0)) {
        listen();
        return Role::primary;
    }
    if (path.isEmpty() || m_lock->error() != QLockFile::LockFailedError) {
        m_error = QStringLiteral("cannot create the lock file %1 in a folder of yours")
                      .arg(path.isEmpty() ? m_lockDirectory : path);
        return Role::failed;
    }
    if (send(request, timeoutMs, true) == okReply)
        return Role::handedOver;
    if (m_error.isEmpty())
        m_error = QStringLiteral("another Vigilmount holds %1 but does not answer on %2")
                      .arg(path, socketName());
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
    const QString path = lockPath();
    if (path.isEmpty() || !QLockFile(path).getLockInfo(&pid, &host, &application) || pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool SingleInstance::listen()
{
    const QString name = socketName();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(isAbstract(name) ? QLocalServer::AbstractNamespaceOption
                                                : QLocalServer::UserAccessOption);
    // A socket file nobody listens on is left by a process that died. One that answers belongs
    // to an instance with another history in the same runtime folder: it stays.
    if (!isAbstract(name)) {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (!probe.waitForConnected(200))
            QLocalServer::removeServer(name);
    }
    if (!m_server->listen(name)) {
        m_error = QStringLiteral("cannot listen on %1 (%2); later starts cannot reach this one")
                      .arg(name, m_server->errorString());
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            if (!peerIsThisUser(client->socketDescriptor())) {
                client->abort();
                client->deleteLater();
                continue;
            }
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
        connectTo(socket, socketName());
        if (socket.waitForConnected(remainingMs(deadline))) {
            if (!peerIsThisUser(socket.socketDescriptor())) {
                m_error = QStringLiteral("a process of another user listens on %1; it is not "
                                         "asked")
                              .arg(socketName());
                return std::nullopt;
            }
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
