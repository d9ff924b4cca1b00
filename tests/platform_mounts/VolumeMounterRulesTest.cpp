// Rules of the volume mounter that need no server: error texts, the mount table, share
// matching, and the errors reported before GIO is asked anything. Runs with no session bus,
// so any GIO mount attempt would come back as a different error.
#include "MountTestSupport.h"

#include <QTemporaryDir>

#include <cerrno>

using namespace Qt::StringLiterals;
using MountTestSupport::Delivery;
using VolumeMounter::MountedShare;
using VolumeMounter::MountError;

Q_DECLARE_METATYPE(VolumeMounter::MountedShare)

namespace VolumeMounter {
char *toString(const MountedShare &share)
{
    return QTest::toString(u"{%1, %2, %3}"_s.arg(share.from, share.on, share.type));
}
} // namespace VolumeMounter

class VolumeMounterRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errorTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("sentence");
        const QString rejected = u"The server rejected the user name or password."_s;
        const QString unreachable = u"The server couldn't be reached on the network."_s;
        const QString generic = u"The share couldn't be mounted."_s;
        QTest::newRow("EPERM") << EPERM << rejected;
        QTest::newRow("EACCES") << EACCES << rejected;
        QTest::newRow("ENOENT") << ENOENT << u"The share doesn't exist on that server."_s;
        QTest::newRow("EBUSY") << EBUSY << u"The volume is busy."_s;
        QTest::newRow("EEXIST") << EEXIST << u"That volume is already mounted."_s;
        QTest::newRow("ENETDOWN") << ENETDOWN << unreachable;
        QTest::newRow("ENETUNREACH") << ENETUNREACH << unreachable;
        QTest::newRow("EHOSTDOWN") << EHOSTDOWN << unreachable;
        QTest::newRow("EHOSTUNREACH") << EHOSTUNREACH << unreachable;
        QTest::newRow("ETIMEDOUT") << ETIMEDOUT << u"The server didn't respond in time."_s;
        QTest::newRow("ECANCELED") << ECANCELED << u"The mount was cancelled."_s;
        QTest::newRow("zero") << 0 << generic;
        QTest::newRow("negative") << -5000 << generic;
        QTest::newRow("ECONNREFUSED") << ECONNREFUSED << generic;
        // Another system's numbers mean nothing here: 80 is not EAUTH, 60 not ETIMEDOUT.
        QTest::newRow("80") << 80 << generic;
        QTest::newRow("60") << 60 << generic;
    }

    void errorTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, sentence);
        QCOMPARE(VolumeMounter::messageForCode(code), sentence);
        QCOMPARE(MountError::netfs(code).description(), sentence + u" (code %1)"_s.arg(code));
        QCOMPARE(MountError::netfs(code).code(), code);
    }

    void errorCases()
    {
        QCOMPARE(MountError::notConfigured().description(),
                 u"Set the server address and share name in Settings first."_s);
        QCOMPARE(MountError::badURL().description(),
                 u"The server address or share name isn't a valid URL."_s);
        QCOMPARE(MountError::netfs(-36).description(),
                 u"The share couldn't be mounted. (code -36)"_s);
        QVERIFY(MountError::netfs(ENOENT) != MountError::netfs(EEXIST));
        QVERIFY(MountError::notConfigured() != MountError::badURL());
    }

    // The kernel table: only the listed network types (exactly), escapes decoded, file order.
    void kernelMountTable()
    {
        QTemporaryDir dir;
        QFile table(dir.filePath(u"mounts"_s));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("proc /proc proc rw,nosuid 0 0\n"
                    "//box.lan/My\\040Media /mnt/my\\040media cifs rw 0 0\n"
                    "//box.lan/upper /mnt/upper CIFS rw 0 0\n"
                    "nas:/export /mnt/nfs nfs4 rw 0 0\n"
                    "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
                    "/dev/sda1 /mnt/usb ext4 rw 0 0\n"
                    "me@host:/srv /mnt/tab\\011dir fuse.sshfs rw 0 0\n"
                    "//box/smb3 /mnt/smb3 smb3 rw 0 0\n");
        table.close();

        const QList<MountedShare> expected = {
            {u"//box.lan/My Media"_s, u"/mnt/my media"_s, u"cifs"_s},
            {u"nas:/export"_s, u"/mnt/nfs"_s, u"nfs4"_s},
            {u"me@host:/srv"_s, u"/mnt/tab\tdir"_s, u"fuse.sshfs"_s},
            {u"//box/smb3"_s, u"/mnt/smb3"_s, u"smb3"_s},
        };
        QCOMPARE(VolumeMounter::sharesInMountTable(table.fileName()), expected);
        QVERIFY(VolumeMounter::sharesInMountTable(dir.filePath(u"missing"_s)).isEmpty());
    }

    void matching_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("share");
        QTest::addColumn<QList<MountedShare>>("mounted");
        QTest::addColumn<QString>("expected"); // empty: none

        const auto one = [](const char *from) {
            return QList<MountedShare>{{QString::fromUtf8(from), u"/mnt/a"_s, u"cifs"_s}};
        };
        QTest::newRow("service name with user, host key box")
            << "Box.Lan"
            << "media" << one("//guest@box._smb._tcp.local/Media") << "/mnt/a";
        QTest::newRow("other server") << "Box.Lan"
                                      << "media" << one("//guest@nas.local/Media") << "";
        QTest::newRow("empty host matches on the share alone")
            << ""
            << "media" << one("//guest@nas.local/Media") << "/mnt/a";
        QTest::newRow("host key is a substring")
            << "box.lan"
            << "media" << one("//boxserver.local/media") << "/mnt/a";
        QTest::newRow("trailing slash") << "box.lan"
                                        << "media" << one("smb://box.lan/media/") << "/mnt/a";
        QTest::newRow("last piece only") << "box.lan"
                                         << "media" << one("smb://box.lan/media/films") << "";
        QTest::newRow("IPv4 first number")
            << "192.168.1.20"
            << "media" << one("smb://192.168.1.20/media/") << "/mnt/a";
        QTest::newRow("IPv4 other first number") << "192.168.1.20"
                                                 << "media" << one("smb://10.0.0.20/media/") << "";
        QTest::newRow("dots only: the whole host is the key")
            << "..."
            << "media" << one("//box/media") << "";
        QTest::newRow("blanks trimmed: NBSP and tab")
            << u"\u00a0Box.Lan\t"_s << u" \tMEDIA\u00a0"_s << one("//box.lan/media") << "/mnt/a";
        QTest::newRow("line break is not a blank") << "box.lan"
                                                   << "media\n"
                                                   << one("//box.lan/media") << "";
        QTest::newRow("blank share") << "box.lan"
                                     << " \t " << one("//box.lan/media") << "";
        QTest::newRow("precomposed configured, decomposed mounted")
            << "box" << u"Caf\u00e9"_s << one("//box/cafe\xcc\x81") << "/mnt/a";
        QTest::newRow("decomposed configured, precomposed mounted")
            << "box" << u"Cafe\u0301"_s << one("//box/CAF\xc3\x89") << "/mnt/a";
        QTest::newRow("accent is not dropped") << "box"
                                               << "cafe" << one("//box/caf\xc3\xa9") << "";
        QTest::newRow("no percent-decoding") << "box"
                                             << "my media" << one("smb://box/my%20media/") << "";
        QTest::newRow("percent spelled the same way")
            << "box"
            << "my%20media" << one("smb://box/my%20media/") << "/mnt/a";
        QTest::newRow("slashes only") << ""
                                      << "media" << one("///") << "";

        const QList<MountedShare> several = {
            {u"/"_s, u"/"_s, u"nfs"_s},
            {u"//nas/media"_s, u"/mnt/nas"_s, u"cifs"_s},
            {u"//box/media"_s, u"/mnt/first"_s, u"cifs"_s},
            {u"smb://box/media/"_s, u"/mnt/second"_s, u"smb"_s},
        };
        QTest::newRow("first match in list order") << "box"
                                                   << "media" << several << "/mnt/first";
        QTest::newRow("first match with empty host") << ""
                                                     << "media" << several << "/mnt/nas";
    }

    void matching()
    {
        QFETCH(QString, host);
        QFETCH(QString, share);
        QFETCH(QList<MountedShare>, mounted);
        QFETCH(QString, expected);
        const std::optional<QString> found = VolumeMounter::mountPoint(host, share, mounted);
        QCOMPARE(found.value_or(QString()), expected);
    }

    // Blank settings and impossible URLs are reported without asking GIO (which, with no
    // session bus here, would answer with a different error), later and exactly once.
    void errorsBeforeAnyMount_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("share");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty host") << "smb"
                                    << ""
                                    << "media" << MountError::notConfigured().description();
        QTest::newRow("blank host")
            << "smb" << u" \t\u00a0"_s << "media" << MountError::notConfigured().description();
        QTest::newRow("blank share") << "smb"
                                     << "box.lan"
                                     << "  " << MountError::notConfigured().description();
        QTest::newRow("blank inside host") << "smb"
                                           << "box lan"
                                           << "media" << MountError::badURL().description();
        QTest::newRow("slash in host") << "smb"
                                       << "box/lan"
                                       << "media" << MountError::badURL().description();
        QTest::newRow("no scheme") << ""
                                   << "box.lan"
                                   << "media" << MountError::badURL().description();
        QTest::newRow("bad scheme") << "s m b"
                                    << "box.lan"
                                    << "media" << MountError::badURL().description();
    }

    void errorsBeforeAnyMount()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, host);
        QFETCH(QString, share);
        QFETCH(QString, expected);
        auto delivery = std::make_shared<Delivery>();
        VolumeMounter::mount(scheme, host, share, u"user"_s, u"pw"_s, delivery->recorder());
        QCOMPARE(delivery->calls, 0); // never from inside mount()
        QVERIFY(QTest::qWaitFor([&] { return delivery->calls > 0; }, 5000));
        QTest::qWait(50);
        QCOMPARE(delivery->calls, 1);
        QVERIFY(delivery->onMainThread);
        const auto *error = std::get_if<MountError>(&*delivery->result);
        QVERIFY(error);
        QCOMPARE(error->description(), expected);
    }

    // Whoever starts a mount, the answer arrives on the main thread.
    void startedOffTheMainThread()
    {
        auto delivery = std::make_shared<Delivery>();
        std::unique_ptr<QThread> worker(QThread::create([delivery] {
            VolumeMounter::mount(u"smb"_s, QString(), u"media"_s, std::nullopt, std::nullopt,
                                 delivery->recorder());
        }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QVERIFY(QTest::qWaitFor([&] { return delivery->calls > 0; }, 5000));
        QCOMPARE(delivery->calls, 1);
        QVERIFY(delivery->onMainThread);
        QVERIFY(std::get<MountError>(*delivery->result) == MountError::notConfigured());
    }
};

QTEST_GUILESS_MAIN(VolumeMounterRulesTest)
#include "VolumeMounterRulesTest.moc"
