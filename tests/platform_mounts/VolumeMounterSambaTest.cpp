// Mounting real shares through GVfs from the harness's Samba server, and finding them again.
#include "PlatformTestSupport.h"
#include "platform/MountTable.h"

#include <cerrno>

using namespace Qt::StringLiterals;
using namespace PlatformTestSupport;

class VolumeMounterSambaTest : public QObject
{
    Q_OBJECT

    const QString m_host = qEnvironmentVariable("VIGILMOUNT_SMB_HOST");
    const QString m_user = qEnvironmentVariable("VIGILMOUNT_SMB_USER");
    const QString m_password = qEnvironmentVariable("VIGILMOUNT_SMB_PASSWORD");

    bool mounted(const QString &share) { return MountTable::mountPoint(m_host, share).has_value(); }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(!m_password.isEmpty(), "the samba component is not running"); }

    void cleanup()
    {
        for (const QString &share : {u"media"_s, u"public"_s})
            run(u"gio"_s, {u"mount"_s, u"-u"_s, u"smb://%1/%2"_s.arg(m_host, share)});
        QVERIFY(
            QTest::qWaitFor([&] { return !mounted(u"media"_s) && !mounted(u"public"_s); }, 10000));
    }

    // Mount (blanks trimmed), read through the path, find it, refuse a second mount, and lose
    // it once it is unmounted behind the program's back.
    void mountReadAndUnmount()
    {
        auto delivery = startMount(u" \t"_s + m_host + u" "_s, u"media"_s, m_user, m_password);
        QCOMPARE(delivery->calls, 0);
        QVERIFY(arrivesOnce(*delivery));
        const QString path = delivery->path();
        QVERIFY2(!path.isEmpty(), qPrintable(delivery->errorText()));
        QCOMPARE(path, qEnvironmentVariable("XDG_RUNTIME_DIR") + u"/gvfs/"_s +
                           MountTable::gvfsShareFolder(u"smb"_s, m_host, u"media"_s));
        const QString file = path + u"/"_s + qEnvironmentVariable("VIGILMOUNT_SMB_FILE");
        // A fresh mount can answer EIO for a moment; reading in a child keeps a hang out.
        CommandResult read;
        QVERIFY(QTest::qWaitFor(
            [&] { return (read = run(u"cat"_s, {file}, {}, 10000)).exitCode == 0; }, 10000));
        QCOMPARE(read.output, qgetenv("VIGILMOUNT_SMB_FILE_CONTENT") + '\n');

        const MountTable::MountedShare gvfs{u"smb://%1/media/"_s.arg(m_host), path, u"smb"_s};
        QVERIFY(QTest::qWaitFor([&] { return MountTable::mountedShares().contains(gvfs); }, 5000));
        QCOMPARE(MountTable::mountPoint(QString(), u"Media"_s), std::optional<QString>(path));

        auto second = startMount(m_host, u"MEDIA"_s, m_user, m_password);
        QVERIFY(arrivesOnce(*second));
        QCOMPARE(second->errorText(), u"That volume is already mounted. (code %1)"_s.arg(EEXIST));

        QVERIFY(run(u"gio"_s, {u"mount"_s, u"-u"_s, u"smb://%1/media"_s.arg(m_host)}).finished);
        QVERIFY(QTest::qWaitFor([&] { return !mounted(u"media"_s); }, 10000));
        QVERIFY(!MountTable::mountedShares().contains(gvfs));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("share");
        QTest::addColumn<std::optional<QString>>("user");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::addColumn<QString>("expected");
        const QString rejected =
            u"The server rejected the user name or password. (code %1)"_s.arg(EACCES);
        const std::optional<QString> user = m_user, password = m_password, none;
        QTest::newRow("wrong password")
            << u"media"_s << user << std::optional(m_password + u"-"_s) << rejected;
        QTest::newRow("unknown user")
            << u"media"_s << std::optional(u"nobody-here"_s) << password << rejected;
        QTest::newRow("anonymous") << u"media"_s << none << none << rejected;
        QTest::newRow("unknown share")
            << u"no-such-share"_s << user << password
            << u"The share doesn't exist on that server. (code %1)"_s.arg(ENOENT);
    }

    void refused()
    {
        QFETCH(QString, share);
        QFETCH(std::optional<QString>, user);
        QFETCH(std::optional<QString>, password);
        QFETCH(QString, expected);
        auto delivery = startMount(m_host, share, user, password);
        QVERIFY(arrivesOnce(*delivery));
        QCOMPARE(delivery->errorText(), expected);
        QVERIFY(!mounted(share));
    }

    void guestShareWithoutCredentials()
    {
        auto delivery = startMount(m_host, u"public"_s, std::nullopt, std::nullopt);
        QVERIFY(arrivesOnce(*delivery));
        QVERIFY2(delivery->path().endsWith(u"share=public"_s), qPrintable(delivery->errorText()));
        const CommandResult listing = run(u"ls"_s, {delivery->path()}, {}, 10000);
        QVERIFY2(listing.exitCode == 0, listing.errors.constData());
        QCOMPARE(MountTable::mountPoint(m_host, u"public"_s), std::optional(delivery->path()));
    }
};

QTEST_GUILESS_MAIN(VolumeMounterSambaTest)
#include "VolumeMounterSambaTest.moc"
