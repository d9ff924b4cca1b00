#include "platform/SystemLog.h"

#include <QByteArray>
#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace SystemLog {

namespace {

constexpr char identity[] = "Vigilmount";
constexpr int userNotice = (1 << 3) | 5; // facility user, priority notice
// rsyslog's default message limit: a longer line is cut so that it still goes out.
constexpr qsizetype maxLineBytes = 8000;

// "Vigilmount[4242]: ", the part of a message that the stderr copy shares.
QByteArray tag()
{
    return QByteArray(identity) + '[' + QByteArray::number(getpid()) + "]: ";
}

// "<13>Mar  5 09:04:01 Vigilmount[4242]: line" (RFC 3164): local time and English month names
// whatever the locale, as every syslog(3) caller sends them.
QByteArray message(const QByteArray &line)
{
    static constexpr const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "<%d>%s %2d %02d:%02d:%02d ", userNotice,
                  months[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return stamp + tag() + line;
}

QByteArray cutToLimit(QByteArray line)
{
    if (line.size() <= maxLineBytes)
        return line;
    qsizetype end = maxLineBytes;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end; // never split a UTF-8 sequence
    line.truncate(end);
    return line + "\u2026";
}

QByteArray droppedNotice(quint64 count)
{
    return "[Vigilmount] " + QByteArray::number(count) +
           (count == 1 ? " system-log line was dropped" : " system-log lines were dropped") +
           ": the system log was not reading.";
}

bool daemonGone(int error)
{
    return error == ECONNREFUSED || error == ECONNRESET || error == ENOTCONN || error == ENOENT ||
           error == EPIPE;
}

// The connection to the log daemon. Nothing here waits: the socket is non-blocking, a line the
// daemon has no room for is dropped and counted, and a daemon that went away (restarted, or
// not there yet) is looked for again at most once per line.
class LogSocket
{
public:
    void setPath(std::string path)
    {
        disconnect();
        m_path = std::move(path);
    }

    void send(const QByteArray &line)
    {
        bool reconnected = false;
        if (m_dropped > 0) {
            if (!deliver(message(droppedNotice(m_dropped)), reconnected)) {
                ++m_dropped;
                return;
            }
            m_dropped = 0;
        }
        if (!deliver(message(line), reconnected))
            ++m_dropped;
    }

private:
    bool deliver(const QByteArray &datagram, bool &reconnected)
    {
        if (m_fd < 0 && !reconnect(reconnected))
            return false;
        for (;;) {
            if (::send(m_fd, datagram.constData(), size_t(datagram.size()),
                       MSG_DONTWAIT | MSG_NOSIGNAL) >= 0)
                return true;
            if (errno == EINTR)
                continue;
            if (!daemonGone(errno) || !reconnect(reconnected))
                return false; // full (EAGAIN, ENOBUFS), too long, or still no daemon
        }
    }

    bool reconnect(bool &reconnected)
    {
        if (reconnected)
            return false;
        reconnected = true;
        disconnect();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (m_path.size() >= sizeof address.sun_path)
            return false;
        std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd >= 0 &&
            ::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            return true;
        disconnect();
        return false;
    }

    void disconnect()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    std::string m_path = "/dev/log";
    int m_fd = -1;
    quint64 m_dropped = 0;
};

std::atomic<bool> g_alsoToStderr = false;
std::mutex g_socketLock; // every call under it is non-blocking

// Never destroyed: the history's writer thread may still log while the program exits.
LogSocket &theSocket()
{
    static auto *socket = new LogSocket;
    return *socket;
}

} // namespace

void write(const QString &line)
{
    const QByteArray bytes = cutToLimit(line.toUtf8());
    if (g_alsoToStderr) {
        const QByteArray copy = tag() + bytes + '\n';
        if (::write(STDERR_FILENO, copy.constData(), size_t(copy.size())) < 0) {
            // nowhere left to say that stderr is gone
        }
    }
    const std::lock_guard lock(g_socketLock);
    theSocket().send(bytes);
}

void setAlsoToStderr(bool enabled)
{
    g_alsoToStderr = enabled;
}

void setSocketPathForTesting(const QString &path)
{
    const std::lock_guard lock(g_socketLock);
    theSocket().setPath(QFile::encodeName(path).toStdString());
}

} // namespace SystemLog
