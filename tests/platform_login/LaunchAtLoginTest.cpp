#include "platform/LaunchAtLogin.h"
#include "history/EventLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray entryWith(const QByteArray &extra, const QByteArray &exec = "/bin/sh")
{
    return "[Desktop Entry]\nType=Application\nName=Vigilmount\nExec=" + exec + "\n" + extra;
}

} // namespace

class LaunchAtLoginTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void registerWritesPrivateEntryForRunningBinary();
    void execSurvivesQuoting();
    void changesThatNeedNoWrite();
    void statuses_data();
    void statuses();
    void failuresAreReportedOnce_data();
    void failuresAreReportedOnce();
    void sharedInstanceIsOne();

private:
    QStringList errorDetails() const
    {
        QStringList details;
        for (const LogEvent &event : m_log->events()) {
            if (event.kind == LogEvent::Kind::error)
                details.append(event.detail);
        }
        return details;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<EventLog> m_log;
    QString m_entry;
};

void LaunchAtLoginTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("config"))));
    m_entry = m_dir->filePath(QStringLiteral("config/autostart/vigilmount.desktop"));
    QCOMPARE(LaunchAtLogin::entryPath(), m_entry);
    m_log = std::make_unique<EventLog>(m_dir->filePath(QStringLiteral("history")));
}

void LaunchAtLoginTest::cleanup()
{
    m_log.reset();
    m_dir.reset();
}

void LaunchAtLoginTest::registerWritesPrivateEntryForRunningBinary()
{
    LaunchAtLogin login(*m_log);
    QVERIFY(!login.isEnabled());
    QSignalSpy enabledChanges(&login, &LaunchAtLogin::isEnabledChanged);
    QSignalSpy errorChanges(&login, &LaunchAtLogin::lastErrorChanged);
    login.setEnabled(true);
    QVERIFY(login.isEnabled());
    QCOMPARE(login.lastError(), std::nullopt);
    QCOMPARE(enabledChanges.size(), 1);
    QCOMPARE(errorChanges.size(), 1);

    const QList<QByteArray> lines = readAll(m_entry).split('\n');
    QCOMPARE(lines.first(), QByteArray("[Desktop Entry]"));
    QVERIFY(lines.contains("Type=Application"));
    const QString program = QCoreApplication::applicationFilePath();
    QVERIFY(QFileInfo(program).isAbsolute());
    QVERIFY(lines.contains("Exec=\"" + QFile::encodeName(program) + "\""));
    QCOMPARE(QFileInfo(m_entry).permissions() & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser);
    QCOMPARE(QFileInfo(QFileInfo(m_entry).absolutePath()).permissions() & 0x0077,
             QFileDevice::Permissions());

    // Off removes the entry; off again has nothing to do and is no error.
    login.setEnabled(false);
    QVERIFY(!QFile::exists(m_entry));
    login.setEnabled(false);
    QVERIFY(!login.isEnabled());
    QCOMPARE(login.lastError(), std::nullopt);
    QVERIFY(errorDetails().isEmpty());
}

void LaunchAtLoginTest::execSurvivesQuoting()
{
    QCOMPARE(LaunchAtLogin::quotedExec(QStringLiteral("/a\"b$c`d\\e%f g")),
             QStringLiteral("\"/a\\\"b\\$c\\`d\\\\e%%f g\""));
    const QString program = m_dir->filePath(QStringLiteral("bin dir/a\"b$c`d\\e%f 'g'"));
    QVERIFY(writeFile(program, "#!/bin/sh\n"));
    LaunchAtLogin login(*m_log);
    login.setProgramPath(program);
    login.setEnabled(true);
    // Read back through the key-file and Exec rules, the entry points at the program.
    QVERIFY(login.isEnabled());
    QVERIFY(QFile::remove(program));
    QCOMPARE(login.status(), LaunchAtLogin::notFound);
}

void LaunchAtLoginTest::changesThatNeedNoWrite()
{
    // Already enabled: the entry is left as it is.
    QVERIFY(writeFile(m_entry, entryWith("# written by the user\n")));
    LaunchAtLogin login(*m_log);
    QVERIFY(login.isEnabled());
    login.setEnabled(true);
    QVERIFY(login.isEnabled());
    QVERIFY(readAll(m_entry).contains("# written by the user"));

    // An entry whose program is gone is rewritten.
    QVERIFY(writeFile(m_entry, entryWith({}, "\"/gone/vigilmount\"")));
    login.refresh();
    QVERIFY(!login.isEnabled());
    login.setEnabled(true);
    QVERIFY(login.isEnabled());
    QVERIFY(!readAll(m_entry).contains("/gone/"));
}

void LaunchAtLoginTest::statuses_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<int>("status");
    const int on = LaunchAtLogin::enabled;
    const int off = LaunchAtLogin::notRegistered;
    const int missing = LaunchAtLogin::notFound;
    QTest::newRow("program by path") << entryWith({}) << on;
    QTest::newRow("program in PATH") << entryWith({}, "sh -c true") << on;
    QTest::newRow("explicitly on")
        << entryWith("X-GNOME-Autostart-enabled=true\nHidden=false\n") << on;
    QTest::newRow("hidden") << entryWith("Hidden=true\n") << off;
    QTest::newRow("switched off") << entryWith("X-GNOME-Autostart-enabled=false\n") << off;
    QTest::newRow("hidden, program gone") << entryWith("Hidden=true\n", "/gone/x") << off;
    QTest::newRow("program gone") << entryWith({}, "/gone/vigilmount --x") << missing;
    QTest::newRow("not in PATH") << entryWith({}, "no-such-program-vigilmount") << missing;
    QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nType=Application\n") << missing;
    QTest::newRow("not an entry") << QByteArray("\x01\x02 garbage") << off;
}

void LaunchAtLoginTest::statuses()
{
    QFETCH(QByteArray, entry);
    QFETCH(int, status);
    LaunchAtLogin login(*m_log);
    QVERIFY(!login.isEnabled());
    QVERIFY(writeFile(m_entry, entry));
    QCOMPARE(int(login.status()), status);
    QVERIFY(!login.isEnabled()); // not polled
    login.refresh();
    QCOMPARE(login.isEnabled(), status == LaunchAtLogin::enabled);
    QCOMPARE(LaunchAtLogin(*m_log).isEnabled(), status == LaunchAtLogin::enabled);
}

void LaunchAtLoginTest::failuresAreReportedOnce_data()
{
    QTest::addColumn<bool>("enable");
    QTest::addColumn<QString>("error");
    // A file where the folder should be: not even root can write below it.
    QTest::newRow("autostart is a file") << true << QStringLiteral("Not a directory");
    // A folder where the entry should be cannot be unlinked.
    QTest::newRow("entry is a folder") << false << QStringLiteral("Is a directory");
}

void LaunchAtLoginTest::failuresAreReportedOnce()
{
    QFETCH(bool, enable);
    QFETCH(QString, error);
    const QString blocker = enable ? QFileInfo(m_entry).absolutePath() : m_entry;
    if (enable)
        QVERIFY(writeFile(blocker, "not a folder"));
    else
        QVERIFY(QDir().mkpath(blocker + QStringLiteral("/inside")));
    LaunchAtLogin login(*m_log);
    login.setEnabled(enable);
    QCOMPARE(login.lastError().value_or(QString()), error);
    QVERIFY(!login.isEnabled());
    QCOMPARE(errorDetails(), QStringList{QStringLiteral("Launch at login: ") + error});

    // The next change that works clears the error.
    QVERIFY(enable ? QFile::remove(blocker) : QDir(blocker).removeRecursively());
    login.setEnabled(enable);
    QCOMPARE(login.lastError(), std::nullopt);
    QCOMPARE(login.isEnabled(), enable);
    QCOMPARE(errorDetails().size(), 1);
}

void LaunchAtLoginTest::sharedInstanceIsOne()
{
    LaunchAtLogin &shared = LaunchAtLogin::shared();
    QCOMPARE(&LaunchAtLogin::shared(), &shared);
}

QTEST_GUILESS_MAIN(LaunchAtLoginTest)
#include "LaunchAtLoginTest.moc"
