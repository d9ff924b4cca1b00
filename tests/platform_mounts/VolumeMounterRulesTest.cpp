// Rules of the volume mounter that need no server: error texts, the mount table, share
// matching, and the errors reported before GIO is asked anything. Runs with no session bus,
// so any GIO mount attempt would come back as a different error.
#include "platform/VolumeMounter.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <memory>

using VolumeMounter::MountedShare;
using VolumeMounter::MountError;
using VolumeMounter::MountResult;

Q_DECLARE_METATYPE(VolumeMounter::MountedShare)

namespace VolumeMounter {
char *toString(const MountedShare &share)
{
    return QTest::toString(QStringLiteral("{%1, %2, %3}").arg(share.from, share.on, share.type));
}
} // namespace VolumeMounter

namespace {

struct Delivery
{
    int calls = 0;
    bool onMainThread = false;
    std::optional<MountResult> result;
};

std::function<void(MountResult)> recorder(const std::shared_ptr<Delivery> &delivery)
{
    return [delivery](MountResult result) {
        ++delivery->calls;
        delivery->onMainThread = QThread::currentThread() == qApp->thread();
        delivery->result = std::move(result);
    };
}

} // namespace

class VolumeMounterRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messageForCode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("sentence");
        const QString rejected = QStringLiteral("The server rejected the user name or password.");
        const QString unreachable =
            QStringLiteral("The server couldn't be reached on the network.");
        const QString generic = QStringLiteral("The share couldn't be mounted.");
        QTest::newRow("EPERM") << EPERM << rejected;
        QTest::newRow("EACCES") << EACCES << rejected;
        QTest::newRow("ENOENT") << ENOENT
                                << QStringLiteral("The share doesn't exist on that server.");
        QTest::newRow("EBUSY") << EBUSY << QStringLiteral("The volume is busy.");
        QTest::newRow("EEXIST") << EEXIST << QStringLiteral("That volume is already mounted.");
        QTest::newRow("ENETDOWN") << ENETDOWN << unreachable;
        QTest::newRow("ENETUNREACH") << ENETUNREACH << unreachable;
        QTest::newRow("EHOSTDOWN") << EHOSTDOWN << unreachable;
        QTest::newRow("EHOSTUNREACH") << EHOSTUNREACH << unreachable;
        QTest::newRow("ETIMEDOUT")
            << ETIMEDOUT << QStringLiteral("The server didn't respond in time.");
        QTest::newRow("ECANCELED") << ECANCELED << QStringLiteral("The mount was cancelled.");
        QTest::newRow("zero") << 0 << generic;
        QTest::newRow("negative") << -36 << generic;
        QTest::newRow("ECONNREFUSED") << ECONNREFUSED << generic;
        QTest::newRow("EIO") << EIO << generic;
        // The numbers of another system's table mean nothing here: 80 is not EAUTH on Linux.
        QTest::newRow("80") << 80 << generic;
        QTest::newRow("60") << 60 << generic;
    }

    void messageForCode()
    {
        QFETCH(int, code);
        QFETCH(QString, sentence);
        QCOMPARE(VolumeMounter::messageForCode(code), sentence);
    }

    void errorDescriptions()
    {
        QCOMPARE(MountError::netfs(EACCES).description(),
                 QStringLiteral("The server rejected the user name or password. (code 13)"));
        QCOMPARE(MountError::netfs(-5000).description(),
                 QStringLiteral("The share couldn't be mounted. (code -5000)"));
        QCOMPARE(MountError::netfs(0).description(),
                 QStringLiteral("The share couldn't be mounted. (code 0)"));
        QCOMPARE(MountError::notConfigured().description(),
                 QStringLiteral("Set the server address and share name in Settings first."));
        QCOMPARE(MountError::badURL().description(),
                 QStringLiteral("The server address or share name isn't a valid URL."));
        QCOMPARE(MountError::netfs(ETIMEDOUT).code(), ETIMEDOUT);
        QCOMPARE(MountError::netfs(ENOENT).kind(), MountError::Case::netfs);
        QCOMPARE(MountError::badURL().kind(), MountError::Case::badURL);
        QVERIFY(MountError::netfs(ENOENT) != MountError::netfs(EEXIST));
    }

    // The kernel table: only the listed network types (exactly), escapes decoded, file order.
    void kernelMountTable()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile table(dir.filePath(QStringLiteral("mounts")));
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

        const QList<MountedShare> shares = VolumeMounter::sharesInMountTable(table.fileName());
        const QList<MountedShare> expected = {
            {QStringLiteral("//box.lan/My Media"), QStringLiteral("/mnt/my media"),
             QStringLiteral("cifs")},
            {QStringLiteral("nas:/export"), QStringLiteral("/mnt/nfs"), QStringLiteral("nfs4")},
            {QStringLiteral("me@host:/srv"), QStringLiteral("/mnt/tab\tdir"),
             QStringLiteral("fuse.sshfs")},
            {QStringLiteral("//box/smb3"), QStringLiteral("/mnt/smb3"), QStringLiteral("smb3")},
        };
        QCOMPARE(shares, expected);
        QVERIFY(
            VolumeMounter::sharesInMountTable(dir.filePath(QStringLiteral("missing"))).isEmpty());
    }

    void networkTypesAndSchemes()
    {
        for (const char *type : {"cifs", "smb3", "nfs", "nfs4", "davfs", "fuse.sshfs"})
            QVERIFY2(VolumeMounter::isNetworkFileSystemType(QLatin1String(type)), type);
        for (const char *type : {"CIFS", "smbfs", "fuse.gvfsd-fuse", "ext4", "fuse", ""})
            QVERIFY2(!VolumeMounter::isNetworkFileSystemType(QLatin1String(type)), type);
        for (const char *scheme : {"smb", "afp", "dav", "davs", "nfs"})
            QVERIFY2(VolumeMounter::isNetworkScheme(QLatin1String(scheme)), scheme);
        for (const char *scheme : {"SMB", "file", "sftp", "ftp", ""})
            QVERIFY2(!VolumeMounter::isNetworkScheme(QLatin1String(scheme)), scheme);
    }

    void matching_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("share");
        QTest::addColumn<QList<MountedShare>>("mounted");
        QTest::addColumn<QString>("expected"); // empty: none

        const auto one = [](const char *from) {
            return QList<MountedShare>{
                {QString::fromUtf8(from), QStringLiteral("/mnt/a"), QStringLiteral("cifs")}};
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
        QTest::newRow("blank-trimmed host and share, NBSP and tab")
            << QStringLiteral("\u00a0Box.Lan\t") << QStringLiteral(" \tMEDIA\u00a0")
            << one("//box.lan/media") << "/mnt/a";
        QTest::newRow("line break is not a blank") << "box.lan"
                                                   << "media\n"
                                                   << one("//box.lan/media") << "";
        QTest::newRow("blank share") << "box.lan"
                                     << " \t " << one("//box.lan/media") << "";
        QTest::newRow("precomposed configured, decomposed mounted")
            << "box" << QStringLiteral("Caf\u00e9") << one("//box/cafe\xcc\x81") << "/mnt/a";
        QTest::newRow("decomposed configured, precomposed mounted")
            << "box" << QStringLiteral("Cafe\u0301") << one("//box/CAF\xc3\x89") << "/mnt/a";
        QTest::newRow("accent is not dropped") << "box"
                                               << "cafe" << one("//box/caf\xc3\xa9") << "";
        QTest::newRow("no percent-decoding") << "box"
                                             << "my media" << one("smb://box/my%20media/") << "";
        QTest::newRow("percent spelled the same way")
            << "box"
            << "my%20media" << one("smb://box/my%20media/") << "/mnt/a";
        QTest::newRow("slashes only") << ""
                                      << "media" << one("///") << "";
        QTest::newRow("nothing mounted") << "box"
                                         << "media" << QList<MountedShare>() << "";

        const QList<MountedShare> several = {
            {QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("nfs")},
            {QStringLiteral("//nas/media"), QStringLiteral("/mnt/nas"), QStringLiteral("cifs")},
            {QStringLiteral("//box/media"), QStringLiteral("/mnt/first"), QStringLiteral("cifs")},
            {QStringLiteral("smb://box/media/"), QStringLiteral("/mnt/second"),
             QStringLiteral("smb")},
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
        if (expected.isEmpty())
            QVERIFY2(!found, qPrintable(found.value_or(QString())));
        else
            QCOMPARE(found, std::optional<QString>(expected));
    }

    void gvfsFolderNames()
    {
        QCOMPARE(VolumeMounter::gvfsShareFolder(QStringLiteral("smb"), QStringLiteral(" Box.Lan\t"),
                                                QStringLiteral("Media ")),
                 QStringLiteral("smb-share:server=box.lan,share=media"));
        QCOMPARE(VolumeMounter::gvfsShareFolder(QStringLiteral("afp"), QStringLiteral("box"),
                                                QStringLiteral("Media")),
                 QStringLiteral("afp-volume:host=box,volume=media"));
    }

    // Blank settings and impossible URLs are reported without asking GIO (which, with no
    // session bus here, would answer with a different error), later and exactly once.
    void errorsBeforeAnyMount_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("share");
        QTest::addColumn<int>("expected");
        const int notConfigured = int(MountError::Case::notConfigured);
        const int badURL = int(MountError::Case::badURL);
        QTest::newRow("empty host") << "smb"
                                    << ""
                                    << "media" << notConfigured;
        QTest::newRow("blank host") << "smb"
                                    << " \t\u00a0"
                                    << "media" << notConfigured;
        QTest::newRow("blank share") << "smb"
                                     << "box.lan"
                                     << "  " << notConfigured;
        QTest::newRow("both empty") << "smb"
                                    << ""
                                    << "" << notConfigured;
        QTest::newRow("blank inside host") << "smb"
                                           << "box lan"
                                           << "media" << badURL;
        QTest::newRow("slash in host") << "smb"
                                       << "box/lan"
                                       << "media" << badURL;
        QTest::newRow("no scheme") << ""
                                   << "box.lan"
                                   << "media" << badURL;
        QTest::newRow("bad scheme") << "s m b"
                                    << "box.lan"
                                    << "media" << badURL;
    }

    void errorsBeforeAnyMount()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, host);
        QFETCH(QString, share);
        QFETCH(int, expected);
        auto delivery = std::make_shared<Delivery>();
        VolumeMounter::mount(scheme, host, share, QStringLiteral("user"), QStringLiteral("pw"),
                             recorder(delivery));
        QCOMPARE(delivery->calls, 0); // never from inside mount()
        QVERIFY(QTest::qWaitFor([&] { return delivery->calls > 0; }, 5000));
        QTest::qWait(50);
        QCOMPARE(delivery->calls, 1);
        QVERIFY(delivery->onMainThread);
        const auto *error = std::get_if<MountError>(&*delivery->result);
        QVERIFY(error);
        QCOMPARE(int(error->kind()), expected);
    }

    // Whoever starts a mount, the answer arrives on the main thread.
    void startedOffTheMainThread()
    {
        auto delivery = std::make_shared<Delivery>();
        std::unique_ptr<QThread> worker(QThread::create([delivery] {
            VolumeMounter::mount(QStringLiteral("smb"), QString(), QStringLiteral("media"),
                                 std::nullopt, std::nullopt, recorder(delivery));
        }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QVERIFY(QTest::qWaitFor([&] { return delivery->calls > 0; }, 5000));
        QCOMPARE(delivery->calls, 1);
        QVERIFY(delivery->onMainThread);
        QCOMPARE(std::get<MountError>(*delivery->result), MountError::notConfigured());
    }
};

QTEST_GUILESS_MAIN(VolumeMounterRulesTest)
#include "VolumeMounterRulesTest.moc"
