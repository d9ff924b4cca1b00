#include "platform/LaunchAtLogin.h"
#include "PlatformTestSupport.h"
#include "SmallDisk.h"

using namespace Qt::StringLiterals;
using PlatformTestSupport::writeFile;

class LaunchAtLoginTest : public QObject
{
    Q_OBJECT

    const QString m_folder = qEnvironmentVariable("XDG_CONFIG_HOME") + u"/autostart"_s;
    const QString m_entry = m_folder + u"/vigilmount.desktop"_s;

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray entryWith(const QByteArray &extra, const QByteArray &exec = "/bin/sh")
    {
        return "[Desktop Entry]\nType=Application\nName=Vigilmount\nExec=" + exec + "\n" + extra;
    }

private Q_SLOTS:
    void init()
    {
        QDir(m_folder).removeRecursively();
        QFile::remove(m_folder);
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

    // Not even root writes below a file or unlinks a folder; the entry is far smaller than a
    // save file's buffer, so only a checked write sees a full disk.
    void failuresAreReportedUntilAChangeWorks_data()
    {
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QString>("error");
        QTest::newRow("autostart is a file") << true << u"Not a directory"_s;
        QTest::newRow("entry is a folder") << false << u"Is a directory"_s;
        QTest::newRow("full disk") << true << u"No space left on device"_s;
    }

    void failuresAreReportedUntilAChangeWorks()
    {
        QFETCH(bool, enable);
        QFETCH(QString, error);
        const QByteArray before = entryWith("X-GNOME-Autostart-enabled=false\n");
        std::optional<SmallDisk> disk;
        if (QTest::currentDataTag() == "full disk"_ba) {
            disk.emplace(m_folder);
            QVERIFY(disk->mounted() && writeFile(m_entry, before) && disk->fill());
        } else {
            QVERIFY(enable ? writeFile(m_folder, "x") : QDir().mkpath(m_entry + u"/inside"_s));
        }
        LaunchAtLogin login;
        QCOMPARE(login.setEnabled(enable).error(), error);
        QCOMPARE(login.lastError().value_or(QString()), error);
        QVERIFY(!login.isEnabled());
        QVERIFY(!disk || readAll(m_entry) == before);

        // Changes that work clear the error; on is a private entry that starts this program.
        if (disk)
            disk->release();
        else
            QVERIFY(enable ? QFile::remove(m_folder) : QDir(m_entry).removeRecursively());
        const QByteArray exec =
            "Exec=\"" + QFile::encodeName(QCoreApplication::applicationFilePath()) + '"';
        for (const bool on : {enable, !enable}) {
            QVERIFY(login.setEnabled(on).ok());
            QCOMPARE(login.lastError(), std::nullopt);
            QCOMPARE(login.isEnabled(), on);
            const QList<QByteArray> lines = readAll(m_entry).split('\n');
            QCOMPARE(lines.first(), on ? "[Desktop Entry]"_ba : QByteArray());
            QCOMPARE(lines.contains("Type=Application") && lines.contains(exec), on);
            QCOMPARE(QFileInfo(m_entry).permissions() & 0x0777,
                     on ? QFileDevice::ReadUser | QFileDevice::WriteUser
                        : QFileDevice::Permissions());
        }
    }
};

QTEST_GUILESS_MAIN(LaunchAtLoginTest)
#include "LaunchAtLoginTest.moc"
