// The volume mounter's rules, and servers that are not there or never answer.
#include "PlatformTestSupport.h"
#include "platform/MountTable.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>

using namespace Qt::StringLiterals;
using namespace PlatformTestSupport;

class VolumeMounterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Through a mount table fixture: only network types count, escapes are decoded, and the
    // first match wins.
    void matching()
    {
        const std::tuple<QString, QString, QString, bool> cases[] = {
            {u"Box.Lan"_s, u"media"_s, u"//guest@box._smb._tcp.local/Media"_s, true},
            {u"Box.Lan"_s, u"media"_s, u"//nas.local/media"_s, false},
            {u"box.lan"_s, u"media"_s, u"//boxserver.local/media"_s, false}, // first label whole
            {u"box.lan"_s, u"media"_s, u"smb://user@BOX:445/media/"_s, true},
            {u"box"_s, u"media"_s, u"box.lan:/export/media"_s, true},
            {u"192.168.1.20"_s, u"media"_s, u"//192.168.1.20/media"_s, true},
            {u"192.168.1.20"_s, u"media"_s, u"//192.168.1.200/media"_s, false}, // address whole
            {u"192.168.1.20"_s, u"media"_s, u"//192.box.lan/media"_s, false},
            {u"fe80::1"_s, u"media"_s, u"//[FE80::1]/media"_s, true},
            {u"box.lan"_s, u"media"_s, u"smb://box.lan/media/"_s, true},
            {u"box.lan"_s, u"media"_s, u"smb://box.lan/media/films"_s, false}, // last piece only
            {u"\u00a0Box.Lan\t"_s, u" MEDIA\u00a0"_s, u"//box.lan/media"_s, true},
            {u"box"_s, u"Caf\u00e9"_s, u"//box/cafe\u0301"_s, true},
            {u"box"_s, u"Cafe\u0301"_s, u"//box/CAF\u00c9"_s, true},
            {u"box"_s, u"cafe"_s, u"//box/caf\u00e9"_s, false},
        };
        QTemporaryDir dir;
        const QString table = dir.filePath(u"mounts"_s);
        for (const auto &[host, share, from, matches] : cases) {
            const QByteArray source = from.toUtf8();
            QVERIFY(writeFile(
                table, "proc /proc proc rw 0 0\n" + source + " /mnt/usb ext4 rw 0 0\n" + source +
                           " /mnt/my\\040a cifs rw 0 0\n" + source + " /mnt/b nfs4 rw 0 0\n"));
            const auto found =
                MountTable::mountPoint(host, share, MountTable::sharesInMountTable(table));
            QVERIFY2(found == (matches ? std::optional(u"/mnt/my a"_s) : std::nullopt),
                     qPrintable(host + u" "_s + share + u" from "_s + from));
        }
    }

    // Reported later, once, on the main thread, before GIO is asked (it would answer otherwise).
    void errorsBeforeAnyMount_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<QString>("expected");
        const QString notConfigured = u"Set the server address and share name in Settings first."_s;
        QTest::newRow("blank host") << u" \t\u00a0"_s << false << notConfigured;
        QTest::newRow("from a worker thread") << QString() << true << notConfigured;
        QTest::newRow("blank inside host")
            << u"box lan"_s << false << u"The server address or share name isn't a valid URL."_s;
    }

    void errorsBeforeAnyMount()
    {
        QFETCH(QString, host);
        QFETCH(bool, fromWorker);
        QFETCH(QString, expected);
        std::shared_ptr<Delivery> delivery;
        const auto start = [&] { delivery = startMount(host, u"media"_s, u"user"_s, u"pw"_s); };
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

    // Nothing listening is refused at once; a server that never answers is cut at the bound,
    // while the main thread keeps running its event loop.
    void serversThatDoNotAnswer()
    {
        auto refused = startMount(u"127.0.0.1"_s, u"media"_s, u"user"_s, u"secret"_s);
        QVERIFY(arrivesOnce(*refused));
        QCOMPARE(refused->errorText(),
                 u"The share couldn't be mounted. (code %1)"_s.arg(ECONNREFUSED));

        QProcess server;
        QCOMPARE(startSilentServer(server, u"445"_s), QByteArray("445"));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(50);
        QElapsedTimer clock;
        clock.start();
        auto delivery =
            startMount(u"127.0.0.1"_s, u"media"_s, u"user"_s, u"secret"_s, std::chrono::seconds(2));
        QVERIFY(arrivesOnce(*delivery, 15000));
        QCOMPARE(delivery->errorText(),
                 u"The server didn't respond in time. (code %1)"_s.arg(ETIMEDOUT));
        QVERIFY2(clock.elapsed() >= 2000 && clock.elapsed() < 8000,
                 qPrintable(QString::number(clock.elapsed())));
        // About 40 ticks in 2 s; a blocked main thread would give almost none.
        QVERIFY2(ticks >= 25, qPrintable(QString::number(ticks)));
        server.terminate();
        QVERIFY(server.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(VolumeMounterTest)
#include "VolumeMounterTest.moc"
