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

QStringList errorDetails(const EventLog &log)
{
    QStringList details;
    for (const LogEvent &event : log.events()) {
        if (event.kind == LogEvent::Kind::error)
            details.append(event.detail);
    }
    return details;
}

} // namespace

class LaunchAtLoginTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Registering and the entry on disk.
    void registerWritesPrivateEntryForRunningBinary();
    void execIsQuotedForDesktopEntries();
    void turningOnWhenEnabledLeavesEntryAlone();
    void registerRepairsEntryWhoseProgramIsGone();

    // Reading the status.
    void statuses_data();
    void statuses();
    void constructionAndRefreshFollowTheDisk();

    // Unregistering and failures.
    void unregisterRemovesEntryAndIsIdempotent();
    void unwritableAutostartFolderIsReported();
    void failedRemovalIsReported();
    void sharedInstanceIsOne();

private:
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
    QCOMPARE(login.status(), LaunchAtLogin::notRegistered);
    QVERIFY(!login.isEnabled());
    QSignalSpy enabledChanges(&login, &LaunchAtLogin::isEnabledChanged);
    QSignalSpy errorChanges(&login, &LaunchAtLogin::lastErrorChanged);

    login.setEnabled(true);
    QVERIFY(login.isEnabled());
    QCOMPARE(login.lastError(), std::nullopt);
    QCOMPARE(enabledChanges.size(), 1);
    QCOMPARE(enabledChanges.first().first().toBool(), true);
    QCOMPARE(errorChanges.size(), 1);
    QCOMPARE(login.status(), LaunchAtLogin::enabled);

    const QList<QByteArray> lines = readAll(m_entry).split('\n');
    QCOMPARE(lines.first(), QByteArray("[Desktop Entry]"));
    QVERIFY(lines.contains("Type=Application"));
    QVERIFY(lines.contains("Name=Vigilmount"));
    const QString program = QCoreApplication::applicationFilePath();
    QVERIFY(QFileInfo(program).isAbsolute());
    QVERIFY(lines.contains("Exec=\"" + QFile::encodeName(program) + "\""));
    QCOMPARE(QFileInfo(m_entry).permissions() & 0x7777,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
    const QFileInfo folder(QFileInfo(m_entry).absolutePath());
    QCOMPARE(folder.permissions() & 0x0077, QFileDevice::Permissions());
    QVERIFY(errorDetails(*m_log).isEmpty());
}

void LaunchAtLoginTest::execIsQuotedForDesktopEntries()
{
    QCOMPARE(LaunchAtLogin::quotedExec(QStringLiteral("/opt/My App/vigilmount")),
             QStringLiteral("\"/opt/My App/vigilmount\""));
    QCOMPARE(LaunchAtLogin::quotedExec(QStringLiteral("/a\"b$c`d\\e%f")),
             QStringLiteral("\"/a\\\"b\\$c\\`d\\\\e%%f\""));

    // The odd path survives the trip through the file: the entry counts as enabled.
    const QString program = m_dir->filePath(QStringLiteral("bin dir/a\"b$c`d\\e%f 'g'"));
    QVERIFY(writeFile(program, "#!/bin/sh\n"));
    LaunchAtLogin login(*m_log);
    login.setProgramPath(program);
    login.setEnabled(true);
    QVERIFY(login.isEnabled());
    // In the file, the key-file level doubles every backslash once more.
    QVERIFY(readAll(m_entry).contains("/bin dir/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e%%f 'g'\"\n"));
    QVERIFY(QFile::remove(program));
    QCOMPARE(login.status(), LaunchAtLogin::notFound);
}

void LaunchAtLoginTest::turningOnWhenEnabledLeavesEntryAlone()
{
    QVERIFY(writeFile(m_entry, entryWith("# written by the user\n")));
    LaunchAtLogin login(*m_log);
    QVERIFY(login.isEnabled());
    QSignalSpy errorChanges(&login, &LaunchAtLogin::lastErrorChanged);
    login.setEnabled(true);
    QVERIFY(login.isEnabled());
    QCOMPARE(login.lastError(), std::nullopt);
    QCOMPARE(errorChanges.size(), 1);
    QVERIFY(readAll(m_entry).contains("# written by the user"));
}

void LaunchAtLoginTest::registerRepairsEntryWhoseProgramIsGone()
{
    QVERIFY(writeFile(m_entry, entryWith({}, "\"/gone/vigilmount\"")));
    LaunchAtLogin login(*m_log);
    QCOMPARE(login.status(), LaunchAtLogin::notFound);
    QVERIFY(!login.isEnabled());
    login.setEnabled(true);
    QCOMPARE(login.status(), LaunchAtLogin::enabled);
    QVERIFY(login.isEnabled());
    QVERIFY(!readAll(m_entry).contains("/gone/"));
}

void LaunchAtLoginTest::statuses_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<int>("status");
    QTest::newRow("program by path") << entryWith({}) << int(LaunchAtLogin::enabled);
    QTest::newRow("program found in PATH")
        << entryWith({}, "sh -c true") << int(LaunchAtLogin::enabled);
    QTest::newRow("switched on explicitly")
        << entryWith("X-GNOME-Autostart-enabled=true\nHidden=false\n")
        << int(LaunchAtLogin::enabled);
    QTest::newRow("hidden") << entryWith("Hidden=true\n") << int(LaunchAtLogin::notRegistered);
    QTest::newRow("switched off") << entryWith("X-GNOME-Autostart-enabled=false\n")
                                  << int(LaunchAtLogin::notRegistered);
    QTest::newRow("hidden beats missing program")
        << entryWith("Hidden=true\n", "/gone/vigilmount") << int(LaunchAtLogin::notRegistered);
    QTest::newRow("program missing")
        << entryWith({}, "/gone/vigilmount --x") << int(LaunchAtLogin::notFound);
    QTest::newRow("program not in PATH")
        << entryWith({}, "no-such-program-vigilmount") << int(LaunchAtLogin::notFound);
    QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nType=Application\n")
                             << int(LaunchAtLogin::notFound);
    QTest::newRow("not a desktop entry")
        << QByteArray("\x01\x02 garbage") << int(LaunchAtLogin::notRegistered);
}

void LaunchAtLoginTest::statuses()
{
    QFETCH(QByteArray, entry);
    QFETCH(int, status);
    QVERIFY(writeFile(m_entry, entry));
    LaunchAtLogin login(*m_log);
    QCOMPARE(int(login.status()), status);
    QCOMPARE(login.isEnabled(), status == LaunchAtLogin::enabled);
}

void LaunchAtLoginTest::constructionAndRefreshFollowTheDisk()
{
    LaunchAtLogin login(*m_log);
    QVERIFY(!login.isEnabled());
    QVERIFY(writeFile(m_entry, entryWith({})));
    QVERIFY(!login.isEnabled()); // not polled
    QSignalSpy enabledChanges(&login, &LaunchAtLogin::isEnabledChanged);
    login.refresh();
    QVERIFY(login.isEnabled());
    login.refresh();
    QCOMPARE(enabledChanges.size(), 2); // every assignment notifies
    QVERIFY(writeFile(m_entry, entryWith("Hidden=true\n")));
    login.refresh();
    QVERIFY(!login.isEnabled());
}

void LaunchAtLoginTest::unregisterRemovesEntryAndIsIdempotent()
{
    LaunchAtLogin login(*m_log);
    login.setEnabled(true);
    QVERIFY(QFile::exists(m_entry));
    login.setEnabled(false);
    QVERIFY(!QFile::exists(m_entry));
    QVERIFY(!login.isEnabled());
    QCOMPARE(login.lastError(), std::nullopt);
    login.setEnabled(false);
    QCOMPARE(login.lastError(), std::nullopt);
    QVERIFY(errorDetails(*m_log).isEmpty());
}

void LaunchAtLoginTest::unwritableAutostartFolderIsReported()
{
    // A file where the folder should be: not even root can write below it.
    QVERIFY(writeFile(QFileInfo(m_entry).absolutePath(), "not a folder"));
    LaunchAtLogin login(*m_log);
    QSignalSpy errorChanges(&login, &LaunchAtLogin::lastErrorChanged);
    login.setEnabled(true);
    QCOMPARE(login.lastError().value_or(QString()), QStringLiteral("Not a directory"));
    QCOMPARE(errorChanges.size(), 1);
    QVERIFY(!login.isEnabled());
    QCOMPARE(errorDetails(*m_log), QStringList{QStringLiteral("Launch at login: Not a directory")});

    // The next change that works clears the error.
    QVERIFY(QFile::remove(QFileInfo(m_entry).absolutePath()));
    login.setEnabled(true);
    QCOMPARE(login.lastError(), std::nullopt);
    QVERIFY(login.isEnabled());
    QCOMPARE(errorDetails(*m_log).size(), 1);
}

void LaunchAtLoginTest::failedRemovalIsReported()
{
    // Something the entry's name is taken by and that cannot be unlinked.
    QVERIFY(QDir().mkpath(m_entry + QStringLiteral("/inside")));
    LaunchAtLogin login(*m_log);
    QVERIFY(!login.isEnabled());
    login.setEnabled(false);
    QCOMPARE(login.lastError().value_or(QString()), QStringLiteral("Is a directory"));
    QCOMPARE(errorDetails(*m_log), QStringList{QStringLiteral("Launch at login: Is a directory")});
    QVERIFY(!login.isEnabled());
}

void LaunchAtLoginTest::sharedInstanceIsOne()
{
    LaunchAtLogin &shared = LaunchAtLogin::shared();
    QCOMPARE(&LaunchAtLogin::shared(), &shared);
    QCOMPARE(shared.isEnabled(), shared.status() == LaunchAtLogin::enabled);
}

QTEST_GUILESS_MAIN(LaunchAtLoginTest)
#include "LaunchAtLoginTest.moc"
