// The system log against a real datagram socket that this test reads, stops reading, or closes
// and reopens: lines arrive whole and literal, and no write ever waits.
#include "platform/SystemLog.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTest>

#include <atomic>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// Five and a half hours off UTC (set before anything reads it): a stamp in another zone shows.
[[maybe_unused]] const bool zoneSet = qputenv("TZ", "VMT-5:30");
const QByteArray path = QFile::encodeName(qEnvironmentVariable("VIGILMOUNT_TEST_ROOT") + "/log");
const QString dropped = QStringLiteral("[Vigilmount] %1 system-log line"); // the notice's start

// The log daemon: a datagram socket bound where the log writes, read only when the test asks.
struct LogDaemon
{
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    explicit LogDaemon(int receiveBuffer = 1 << 20)
    {
        SystemLog::setSocketPathForTesting(QFile::decodeName(path));
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    ~LogDaemon()
    {
        ::close(fd);
        ::unlink(path.constData());
    }
    // The next message's line (none in time: empty), marked when its header is not ours.
    QString next(int waitMs = 2000) const
    {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, waitMs) != 1)
            return {};
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        const QString message = QString::fromUtf8(
            bytes.left(qMax<ssize_t>(0, ::recv(fd, bytes.data(), size_t(bytes.size()), 0))));
        static const QRegularExpression format(
            R"(^<13>(\w{3} [ \d]\d \d\d:\d\d:\d\d) Vigilmount\[(\d+)\]: (.*)$)",
            QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = format.match(message);
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime stamp = QLocale::c().toDateTime(QString::number(now.date().year()) + ' ' +
                                                            match.captured(1).simplified(),
                                                        QStringLiteral("yyyy MMM d hh:mm:ss"));
        const bool ours = match.captured(2).toLongLong() == QCoreApplication::applicationPid();
        return ours && stamp.isValid() && qAbs(stamp.secsTo(now)) <= 5 ? match.captured(3)
                                                                       : "<bad header> " + message;
    }
};

// Writes count numbered lines on each of the threads; false when not all returned in 10 s.
bool returnsPromptly(const QStringList &prefixes, int count)
{
    auto returned = std::make_shared<std::atomic<qsizetype>>(0);
    for (const QString &prefix : prefixes)
        std::thread([prefix, count, returned] {
            for (int n = 0; n < count; ++n)
                SystemLog::write(prefix + QString::number(n));
            ++*returned;
        }).detach();
    return QTest::qWaitFor([&] { return *returned == prefixes.size(); }, 10000);
}

} // namespace

class SystemLogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesArriveLiterally()
    {
        LogDaemon daemon;
        // An overlong line is cut to the daemon's usual limit, on a character boundary.
        const QString overlong = "x" + QString(5000, QChar(0xE9));
        for (const auto &[line, received] : std::initializer_list<std::pair<QString, QString>>{
                 {"[Vigilmount] info: %s %n %d 100% \\n {}", {}},
                 {"Share \u201EFilme\u201C isn\u2019t mounted \u2713", {}},
                 {overlong, overlong.left(4000) + QChar(0x2026)}}) {
            SystemLog::write(line);
            QCOMPARE(daemon.next(), received.isEmpty() ? line : received);
        }
    }

    // Two writers (the history's thread and the main thread) against a daemon that stops
    // reading: nothing waits, and every line is either delivered or counted in the notice.
    void aStalledDaemonCostsLinesNotTime()
    {
        LogDaemon daemon(4096);
        QVERIFY2(returnsPromptly({"a", "b"}, 5000), "writes to a full log socket returned");
        int delivered = 0, nextOfA = 0;
        for (QString line; !(line = daemon.next(200)).isEmpty(); ++delivered) {
            QVERIFY2(line.contains(QRegularExpression("^[ab]\\d+$")), qPrintable(line));
            if (line.startsWith('a'))
                QCOMPARE(line, "a" + QString::number(nextOfA++));
        }
        QVERIFY2(delivered > 0 && delivered < 10000, "the socket's queue filled up");
        SystemLog::write(QStringLiteral("after the stall"));
        QVERIFY(daemon.next().startsWith(dropped.arg(10000 - delivered)));
        QCOMPARE(daemon.next(), QStringLiteral("after the stall"));
        SystemLog::write(QStringLiteral("and on"));
        QCOMPARE(daemon.next(), QStringLiteral("and on"));
    }

    // While the daemon restarts, writes return, the --verbose copy on stderr still has every
    // line, and the daemon back first hears how many it missed.
    void aRestartedDaemonHearsWhatItMissed()
    {
        auto daemon = std::make_unique<LogDaemon>();
        SystemLog::write(QStringLiteral("first"));
        QCOMPARE(daemon->next(), QStringLiteral("first"));
        daemon.reset();
        QTemporaryFile copy;
        QVERIFY(copy.open());
        const int savedStderr = ::dup(STDERR_FILENO);
        ::dup2(copy.handle(), STDERR_FILENO);
        SystemLog::setAlsoToStderr(true);
        const bool returned = returnsPromptly({"%s line "}, 100);
        SystemLog::setAlsoToStderr(false);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        QVERIFY2(returned, "writes without a log daemon returned");
        QVERIFY(copy.seek(0));
        const QList<QByteArray> lines = copy.readAll().split('\n');
        QCOMPARE(lines.size(), 101);
        QCOMPARE(lines[99], "Vigilmount[" + QByteArray::number(getpid()) + "]: %s line 99");
        daemon = std::make_unique<LogDaemon>();
        SystemLog::write(QStringLiteral("the daemon is back"));
        QVERIFY(daemon->next().startsWith(dropped.arg(100)));
        QCOMPARE(daemon->next(), QStringLiteral("the daemon is back"));
    }
};

QTEST_GUILESS_MAIN(SystemLogTest)
#include "SystemLogTest.moc"
