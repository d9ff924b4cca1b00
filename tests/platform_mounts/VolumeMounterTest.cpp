// The volume mounter's rules, and servers that are not there or never answer.
#include "PlatformTestSupport.h"
#include "platform/MountTable.h"

#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>

using namespace Qt::StringLiterals;
using namespace PlatformTestSupport;

class VolumeMounterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qtRunsGlib(), "Qt's event loop does not run GLib's main context");
        QVERIFY2(!qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").isEmpty(),
                 "the session component is not running");
        QVERIFY2(qEnvironmentVariable("VIGILMOUNT_SMB_HOST").isEmpty(),
                 "port 445 must be free: do not start the samba component");
    }

    void matching_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("share");
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("matches");
        QTest::newRow("service name, host key")
            << u"Box.Lan"_s << u"media"_s << u"//guest@box._smb._tcp.local/Media"_s << true;
        QTest::newRow("other server")
            << u"Box.Lan"_s << u"media"_s << u"//nas.local/media"_s << false;
        QTest::newRow("host key substring")
            << u"box.lan"_s << u"media"_s << u"//boxserver.local/media"_s << true;
        QTest::newRow("trailing slash")
            << u"box.lan"_s << u"media"_s << u"smb://box.lan/media/"_s << true;
        QTest::newRow("last piece only")
            << u"box.lan"_s << u"media"_s << u"smb://box.lan/media/films"_s << false;
        QTest::newRow("blanks trimmed")
            << u"\u00a0Box.Lan\t"_s << u" MEDIA\u00a0"_s << u"//box.lan/media"_s << true;
        QTest::newRow("precomposed vs decomposed")
            << u"box"_s << u"Caf\u00e9"_s << u"//box/cafe\u0301"_s << true;
        QTest::newRow("decomposed vs precomposed")
            << u"box"_s << u"Cafe\u0301"_s << u"//box/CAF\u00c9"_s << true;
        QTest::newRow("accent kept") << u"box"_s << u"cafe"_s << u"//box/caf\u00e9"_s << false;
    }

    // Through a mount table fixture: only network types count, escapes are decoded, and the
    // first match wins.
    void matching()
    {
        QFETCH(QString, host);
        QFETCH(QString, share);
        QFETCH(QString, from);
        QFETCH(bool, matches);
        QTemporaryDir dir;
        const QString table = dir.filePath(u"mounts"_s);
        const QByteArray source = from.toUtf8();
        QVERIFY(writeFile(table, "proc /proc proc rw 0 0\n" + source + " /mnt/usb ext4 rw 0 0\n" +
                                     source + " /mnt/my\\040a cifs rw 0 0\n" + source +
                                     " /mnt/b nfs4 rw 0 0\n"));
        const auto shares = MountTable::sharesInMountTable(table);
        QCOMPARE(MountTable::mountPoint(host, share, shares).value_or(QString()),
                 matches ? u"/mnt/my a"_s : QString());
    }

    // Reported later, once, on the main thread, without asking GIO (which would answer with
    // another error).
    void errorsBeforeAnyMount_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<QString>("expected");
        const QString notConfigured = u"Set the server address and share name in Settings first."_s;
        const QString badURL = u"The server address or share name isn't a valid URL."_s;
        QTest::newRow("blank host") << u"smb"_s << u" \t\u00a0"_s << false << notConfigured;
        QTest::newRow("from a worker thread") << u"smb"_s << QString() << true << notConfigured;
        QTest::newRow("blank inside host") << u"smb"_s << u"box lan"_s << false << badURL;
    }

    void errorsBeforeAnyMount()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, host);
        QFETCH(bool, fromWorker);
        QFETCH(QString, expected);
        auto delivery = std::make_shared<Delivery>();
        const auto start = [&] {
            VolumeMounter::mount(scheme, host, u"media"_s, u"user"_s, u"pw"_s, recorder(delivery));
        };
        if (fromWorker) {
            std::unique_ptr<QThread> worker(QThread::create(start));
            worker->start();
            QVERIFY(worker->wait(5000));
        } else {
            start();
            QCOMPARE(delivery->calls, 0); // never from inside mount()
        }
        QVERIFY(arrivesOnce(*delivery, 5000));
        QCOMPARE(delivery->errorText(), expected);
    }

    void nothingListening()
    {
        auto delivery = startMount(u"127.0.0.1"_s, u"media"_s, u"user"_s, u"secret"_s);
        QVERIFY(arrivesOnce(*delivery));
        QCOMPARE(delivery->errorText(),
                 u"The share couldn't be mounted. (code %1)"_s.arg(ECONNREFUSED));
    }

    // Cut at the bound, while the main thread keeps running its event loop.
    void silentServerIsCutAtTheBound()
    {
        QProcess server;
        QCOMPARE(startSilentServer(server, u"445"_s), QByteArray("445"));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(50);
        auto delivery =
            startMount(u"127.0.0.1"_s, u"media"_s, u"user"_s, u"secret"_s, std::chrono::seconds(2));
        QVERIFY(arrivesOnce(*delivery, 15000));
        QCOMPARE(delivery->errorText(),
                 u"The server didn't respond in time. (code %1)"_s.arg(ETIMEDOUT));
        QVERIFY2(delivery->elapsedMs >= 1900 && delivery->elapsedMs < 8000,
                 qPrintable(QString::number(delivery->elapsedMs)));
        // About 40 ticks in 2 s; a blocked main thread would give almost none.
        QVERIFY2(ticks >= 25, qPrintable(QString::number(ticks)));
        server.terminate();
        QVERIFY(server.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(VolumeMounterTest)
#include "VolumeMounterTest.moc"
