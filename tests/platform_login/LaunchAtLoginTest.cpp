#include "platform/LaunchAtLogin.h"
#include "PlatformTestSupport.h"
#include "SmallDisk.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using PlatformTestSupport::writeFile;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray entryWith(const QByteArray &extra, const QByteArray &exec = "/bin/sh")
{
    return "[Desktop Entry]\nType=Application\nName=Vigilmount\nExec=" + exec + "\n" + extra;
}

} // namespace

class LaunchAtLoginTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_entry;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->filePath(u"config"_s)));
        m_entry = m_dir->filePath(u"config/autostart/vigilmount.desktop"_s);
    }

    void cleanup() { m_dir.reset(); }

    // A private entry that starts the running binary; off removes it.
    void entryForTheRunningBinary()
    {
        LaunchAtLogin login;
        QVERIFY(!login.isEnabled());
        QVERIFY(login.setEnabled(true).ok());
        QVERIFY(login.isEnabled());
        const QList<QByteArray> lines = readAll(m_entry).split('\n');
        QCOMPARE(lines.first(), QByteArray("[Desktop Entry]"));
        QVERIFY(lines.contains("Type=Application"));
        const QString program = QCoreApplication::applicationFilePath();
        QVERIFY(lines.contains("Exec=\"" + QFile::encodeName(program) + "\""));
        QCOMPARE(QFileInfo(m_entry).permissions() & 0x0777,
                 QFileDevice::ReadUser | QFileDevice::WriteUser);

        QVERIFY(login.setEnabled(false).ok());
        QVERIFY(!QFile::exists(m_entry));
        QVERIFY(login.setEnabled(false).ok());
        QCOMPARE(login.lastError(), std::nullopt);
    }

    void statuses_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<int>("status");
        const int on = LaunchAtLogin::enabled, off = LaunchAtLogin::notRegistered,
                  missing = LaunchAtLogin::notFound;
        QTest::newRow("program by path") << entryWith({}) << on;
        QTest::newRow("program in PATH") << entryWith({}, "sh -c true") << on;
        QTest::newRow("hidden") << entryWith("Hidden=true\n") << off;
        QTest::newRow("switched off") << entryWith("X-GNOME-Autostart-enabled=false\n") << off;
        QTest::newRow("program gone") << entryWith({}, "/gone/vigilmount --x") << missing;
        QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nType=Application\n") << missing;
        QTest::newRow("not an entry") << QByteArray("\x01\x02 x") << off;
    }

    void statuses()
    {
        QFETCH(QByteArray, entry);
        QFETCH(int, status);
        LaunchAtLogin login;
        QVERIFY(writeFile(m_entry, entry));
        QCOMPARE(int(login.status()), status);
        QVERIFY(!login.isEnabled()); // not polled
        login.refresh();
        QCOMPARE(login.isEnabled(), status == LaunchAtLogin::enabled);
    }

    void failuresAreReportedUntilAChangeWorks_data()
    {
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QString>("error");
        // A file where the folder should be: not even root can write below it.
        QTest::newRow("autostart is a file") << true << u"Not a directory"_s;
        // A folder where the entry should be cannot be unlinked.
        QTest::newRow("entry is a folder") << false << u"Is a directory"_s;
    }

    void failuresAreReportedUntilAChangeWorks()
    {
        QFETCH(bool, enable);
        QFETCH(QString, error);
        const QString blocker = enable ? QFileInfo(m_entry).absolutePath() : m_entry;
        QVERIFY(enable ? writeFile(blocker, "x") : QDir().mkpath(blocker + u"/inside"_s));
        LaunchAtLogin login;
        QCOMPARE(login.setEnabled(enable).error(), error);
        QCOMPARE(login.lastError().value_or(QString()), error);

        // The next change that works clears the error.
        QVERIFY(enable ? QFile::remove(blocker) : QDir(blocker).removeRecursively());
        QVERIFY(login.setEnabled(enable).ok());
        QCOMPARE(login.lastError(), std::nullopt);
        QCOMPARE(login.isEnabled(), enable);
    }

    // The entry is far smaller than a save file's buffer: only a checked write sees the failure.
    void aFullDiskKeepsTheEntryAndSaysWhy()
    {
        SmallDisk disk(QFileInfo(m_entry).absolutePath());
        QVERIFY(disk.mounted());
        const QByteArray before = entryWith("X-GNOME-Autostart-enabled=false\n");
        QVERIFY(writeFile(m_entry, before));
        QVERIFY(disk.fill());
        LaunchAtLogin login;
        QCOMPARE(login.setEnabled(true).error(), u"No space left on device"_s);
        QVERIFY(!login.isEnabled());
        QCOMPARE(readAll(m_entry), before);
    }
};

QTEST_GUILESS_MAIN(LaunchAtLoginTest)
#include "LaunchAtLoginTest.moc"
