// The system log against a real datagram socket that this test reads, stops reading, closes
// and reopens, or never opens: lines arrive whole and literal, and no write ever waits.
#include "platform/SystemLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// The log daemon's end: a bound datagram socket, read only when the test asks.
class LogDaemon
{
public:
    explicit LogDaemon(const QString &path, int receiveBuffer = 0) : m_path(QFile::encodeName(path))
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, m_path.constData(), sizeof address.sun_path);
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    ~LogDaemon()
    {
        ::close(m_fd);
        ::unlink(m_path.constData());
    }
    // The next message, or empty when none came within the wait.
    QByteArray next(int waitMs = 2000) const
    {
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, waitMs) != 1)
            return {};
        QByteArray message(64 * 1024, Qt::Uninitialized);
        const ssize_t size = ::recv(m_fd, message.data(), size_t(message.size()), 0);
        return message.left(qMax<ssize_t>(size, 0));
    }

private:
    QByteArray m_path;
    int m_fd = -1;
};

// The line a message carries once its header has been checked: "<13>", a local time stamp
// within a few seconds of now, and "Vigilmount[<our pid>]: ".
QString lineOf(const QByteArray &message)
{
    static const QRegularExpression format(
        R"(^<13>((?:Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) (?:[ 12]\d|3[01]) )"
        R"(\d\d:\d\d:\d\d) Vigilmount\[(\d+)\]: (.*)$)",
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = format.match(QString::fromUtf8(message));
    if (!match.hasMatch() || match.captured(2).toLongLong() != QCoreApplication::applicationPid())
        return QStringLiteral("<malformed> ") + QString::fromUtf8(message);
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime stamp = QLocale::c().toDateTime(QString::number(now.date().year()) + ' ' +
                                                        match.captured(1).simplified(),
                                                    QStringLiteral("yyyy MMM d hh:mm:ss"));
    if (!stamp.isValid() || qAbs(stamp.secsTo(now)) > 5)
        return QStringLiteral("<stamp not local time> ") + QString::fromUtf8(message);
    return match.captured(3);
}

QString droppedNotice(int count)
{
    return QStringLiteral("[Vigilmount] %1 system-log %2: the system log was not reading.")
        .arg(count)
        .arg(count == 1 ? "line was dropped" : "lines were dropped");
}

// Runs the writes on threads of their own; false when they have not all returned in 10 s.
bool returnsPromptly(const QList<std::function<void()>> &writers)
{
    auto returned = std::make_shared<std::atomic<qsizetype>>(0);
    for (const auto &writes : writers)
        std::thread([writes, returned] {
            writes();
            ++*returned;
        }).detach();
    return QTest::qWaitFor([&] { return *returned == writers.size(); }, 10000);
}

std::function<void()> writeNumbered(const QString &prefix, int count)
{
    return [prefix, count] {
        for (int n = 0; n < count; ++n)
            SystemLog::write(prefix + QString::number(n));
    };
}

} // namespace

class SystemLogTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_socket;

private Q_SLOTS:
    void init()
    {
        m_socket = m_dir.filePath(QStringLiteral("log"));
        SystemLog::setSocketPathForTesting(m_socket);
        SystemLog::setAlsoToStderr(false);
    }

    void linesArriveLiterally_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("received");
        const QString formatting = QStringLiteral("[Vigilmount] info: %s %n %d 100% \\n {}");
        QTest::newRow("format characters") << formatting << formatting;
        const QString unicode = QStringLiteral("Share \u201EFilme\u201C isn\u2019t mounted \u2713");
        QTest::newRow("non-ASCII") << unicode << unicode;
        // Cut to the daemon's usual limit, on a character boundary.
        QTest::newRow("overlong") << "x" + QString(5000, QChar(0xE9))
                                  << "x" + QString(3999, QChar(0xE9)) + QChar(0x2026);
    }
    void linesArriveLiterally()
    {
        QFETCH(QString, line);
        QFETCH(QString, received);
        LogDaemon daemon(m_socket);
        SystemLog::write(line);
        QCOMPARE(lineOf(daemon.next()), received);
    }

    // Two writers (the history's thread and the main thread) against a daemon that stops
    // reading: nothing waits, and every line is either delivered or counted in the notice.
    void aStalledDaemonCostsLinesNotTime()
    {
        LogDaemon daemon(m_socket, 4096);
        QVERIFY2(returnsPromptly({writeNumbered("a", 5000), writeNumbered("b", 5000)}),
                 "writes to a full log socket returned");
        int delivered = 0;
        int nextOfA = 0;
        for (QByteArray message; !(message = daemon.next(200)).isEmpty(); ++delivered) {
            const QString line = lineOf(message);
            QVERIFY2(line.contains(QRegularExpression("^[ab]\\d+$")), qPrintable(line));
            if (line.startsWith('a'))
                QCOMPARE(line, "a" + QString::number(nextOfA++));
        }
        QVERIFY2(delivered > 0 && delivered < 10000, "the socket's queue filled up");

        SystemLog::write(QStringLiteral("after the stall"));
        QCOMPARE(lineOf(daemon.next()), droppedNotice(10000 - delivered));
        QCOMPARE(lineOf(daemon.next()), QStringLiteral("after the stall"));
        SystemLog::write(QStringLiteral("and on"));
        QCOMPARE(lineOf(daemon.next()), QStringLiteral("and on"));
    }

    void aRestartedDaemonGetsTheNextLine()
    {
        auto daemon = std::make_unique<LogDaemon>(m_socket);
        SystemLog::write(QStringLiteral("first"));
        QCOMPARE(lineOf(daemon->next()), QStringLiteral("first"));
        daemon.reset();
        SystemLog::write(QStringLiteral("while it restarts"));
        daemon = std::make_unique<LogDaemon>(m_socket);
        SystemLog::write(QStringLiteral("second"));
        QCOMPARE(lineOf(daemon->next()), droppedNotice(1));
        QCOMPARE(lineOf(daemon->next()), QStringLiteral("second"));
    }

    // No daemon at all: writes return, and the --verbose copy on stderr still has every line.
    void noDaemonStillCopiesToStderr()
    {
        const QString copyPath = m_dir.filePath(QStringLiteral("stderr"));
        const int copy = ::open(QFile::encodeName(copyPath), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int savedStderr = ::dup(STDERR_FILENO);
        ::dup2(copy, STDERR_FILENO);
        SystemLog::setAlsoToStderr(true);
        const bool returned = returnsPromptly({writeNumbered("%s line ", 100)});
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        ::close(copy);
        QVERIFY2(returned, "writes without a log daemon returned");

        QFile written(copyPath);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = written.readAll().split('\n');
        QCOMPARE(lines.size(), 101);
        const QByteArray tag = "Vigilmount[" + QByteArray::number(getpid()) + "]: ";
        QCOMPARE(lines[99], tag + "%s line 99");

        LogDaemon daemon(m_socket);
        SystemLog::write(QStringLiteral("the daemon is back"));
        QCOMPARE(lineOf(daemon.next()), droppedNotice(100));
        QCOMPARE(lineOf(daemon.next()), QStringLiteral("the daemon is back"));
    }
};

int main(int argc, char **argv)
{
    // Five and a half hours off UTC: a stamp in any zone but the local one is caught.
    qputenv("TZ", "VMT-5:30");
    QCoreApplication app(argc, argv);
    SystemLogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SystemLogTest.moc"
