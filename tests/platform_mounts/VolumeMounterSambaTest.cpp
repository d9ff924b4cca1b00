// Mounting real shares through GVfs from the harness's Samba server on 127.0.0.1, and finding
// them again in the mount table.
#include "MountTestSupport.h"

#include <cerrno>

using namespace Qt::StringLiterals;

using namespace MountTestSupport;

class VolumeMounterSambaTest : public QObject
{
    Q_OBJECT

    QString m_host, m_user, m_password, m_file, m_content, m_runtime;

    QString mediaUri() const { return u"smb://%1/media"_s.arg(m_host); }

    // Reads a file through the share's local path in a child process: a hanging server must
    // not hang the test. A remount can answer EIO for a moment, so it tries for a while.
    QByteArray readThroughShare(const QString &path)
    {
        CommandResult result;
        QElapsedTimer clock;
        clock.start();
        do {
            result = run(u"cat"_s, {path}, 10000);
            if (result.finished && result.exitCode == 0)
                return result.output;
            QTest::qWait(200);
        } while (clock.elapsed() < 10000);
        qWarning() << "reading" << path << "failed:" << result.errors;
        return {};
    }

    void unmount(const QString &uri)
    {
        const CommandResult result = run(u"gio"_s, {u"mount"_s, u"-u"_s, uri});
        QVERIFY2(result.finished, qPrintable(uri));
    }

    void unmountEverything()
    {
        const CommandResult listing = run(u"gio"_s, {u"mount"_s, u"-l"_s});
        for (const QByteArray &line : listing.output.split('\n')) {
            const qsizetype arrow = line.indexOf(" -> smb://");
            if (arrow >= 0)
                unmount(QString::fromUtf8(line.mid(arrow + 4).trimmed()));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qtRunsGlib(), "Qt's event loop does not run GLib's main context");
        m_host = qEnvironmentVariable("VIGILMOUNT_SMB_HOST");
        m_user = qEnvironmentVariable("VIGILMOUNT_SMB_USER");
        m_password = qEnvironmentVariable("VIGILMOUNT_SMB_PASSWORD");
        m_file = qEnvironmentVariable("VIGILMOUNT_SMB_FILE");
        m_content = qEnvironmentVariable("VIGILMOUNT_SMB_FILE_CONTENT");
        m_runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        QVERIFY2(!m_host.isEmpty() && !m_user.isEmpty() && !m_password.isEmpty() &&
                     !m_file.isEmpty(),
                 "the samba component is not running (VIGILMOUNT_SMB_* unset)");
        QVERIFY2(!qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").isEmpty(),
                 "the session component is not running");
        QVERIFY2(run(u"gio"_s, {u"mount"_s, u"-l"_s}).finished, "gio is not available");
    }

    void cleanup()
    {
        unmountEverything();
        QVERIFY(
            QTest::qWaitFor([&] { return !VolumeMounter::mountPoint(m_host, u"media"_s); }, 10000));
    }

    void rightCredentialsMountAndReadAFile()
    {
        auto delivery = startMount(m_host, u"media"_s, m_user, m_password);
        QCOMPARE(delivery->calls, 0);
        QVERIFY(QTest::qWaitFor([&] { return delivery->arrived(); }, 30000));
        QVERIFY2(!delivery->path().isEmpty(), qPrintable(delivery->errorText()));
        QVERIFY(delivery->onMainThread);
        QCOMPARE(delivery->path(),
                 m_runtime + u"/gvfs/"_s +
                     VolumeMounter::gvfsShareFolder(u"smb"_s, m_host, u"media"_s));
        QCOMPARE(readThroughShare(delivery->path() + QLatin1Char('/') + m_file),
                 (m_content + QLatin1Char('\n')).toUtf8());
        QTest::qWait(100);
        QCOMPARE(delivery->calls, 1);
    }

    // Blanks around the settings are trimmed and GVfs folds the share name to lower case,
    // as the fallback folder name does.
    void trimmedSettingsAndTheFolderName()
    {
        auto delivery = startMount(u" \t"_s + m_host + u" "_s, u" Media\t"_s, m_user, m_password);
        QVERIFY(QTest::qWaitFor([&] { return delivery->arrived(); }, 30000));
        QVERIFY2(!delivery->path().isEmpty(), qPrintable(delivery->errorText()));
        QCOMPARE(delivery->path().section(QLatin1Char('/'), -1),
                 VolumeMounter::gvfsShareFolder(u"smb"_s, m_host, u"Media"_s));
    }

    // A wrong password, an unknown user and an anonymous try on the protected share.
    void refusedCredentials()
    {
        const QList<std::shared_ptr<Delivery>> tries = {
            startMount(m_host, u"media"_s, m_user, m_password + u"-wrong"_s),
            startMount(m_host, u"media"_s, u"nobody-here"_s, m_password),
            startMount(m_host, u"media"_s, std::nullopt, std::nullopt),
        };
        for (const auto &delivery : tries) {
            QVERIFY(QTest::qWaitFor([&] { return delivery->arrived(); }, 30000));
            QCOMPARE(delivery->errorText(),
                     u"The server rejected the user name or password. (code %1)"_s.arg(EACCES));
        }
        QVERIFY(!VolumeMounter::mountPoint(m_host, u"media"_s));
    }

    void unknownShare()
    {
        auto delivery = startMount(m_host, u"no-such-share"_s, m_user, m_password);
        QVERIFY(QTest::qWaitFor([&] { return delivery->arrived(); }, 30000));
        QCOMPARE(delivery->errorText(),
                 u"The share doesn't exist on that server. (code %1)"_s.arg(ENOENT));
    }

    void alreadyMounted()
    {
        auto first = startMount(m_host, u"media"_s, m_user, m_password);
        QVERIFY(QTest::qWaitFor([&] { return first->arrived(); }, 30000));
        QVERIFY2(!first->path().isEmpty(), qPrintable(first->errorText()));

        auto second = startMount(m_host, u"MEDIA"_s, m_user, m_password);
        QVERIFY(QTest::qWaitFor([&] { return second->arrived(); }, 30000));
        QCOMPARE(second->errorText(), u"That volume is already mounted. (code %1)"_s.arg(EEXIST));
        QCOMPARE(second->calls, 1);
    }

    void guestShareWithoutCredentials()
    {
        auto delivery = startMount(m_host, u"public"_s, std::nullopt, std::nullopt);
        QVERIFY(QTest::qWaitFor([&] { return delivery->arrived(); }, 30000));
        QVERIFY2(!delivery->path().isEmpty(), qPrintable(delivery->errorText()));
        QVERIFY(delivery->path().endsWith(u"share=public"_s));
        const CommandResult listing = run(u"ls"_s, {delivery->path()}, 10000);
        QVERIFY2(listing.finished && listing.exitCode == 0, listing.errors.constData());
        QCOMPARE(VolumeMounter::mountPoint(m_host, u"public"_s),
                 std::optional<QString>(delivery->path()));
    }

    // The mount table shows the GVfs mount with its URI, local path and scheme, and loses it
    // once it is unmounted behind the program's back.
    void mountTableFollowsGvfs()
    {
        QVERIFY(!VolumeMounter::mountPoint(m_host, u"media"_s));
        auto delivery = startMount(m_host, u"media"_s, m_user, m_password);
        QVERIFY(QTest::qWaitFor([&] { return delivery->arrived(); }, 30000));
        QVERIFY2(!delivery->path().isEmpty(), qPrintable(delivery->errorText()));

        const VolumeMounter::MountedShare expected{u"smb://%1/media/"_s.arg(m_host),
                                                   delivery->path(), u"smb"_s};
        QVERIFY(QTest::qWaitFor([&] { return VolumeMounter::mountedShares().contains(expected); },
                                5000));
        QCOMPARE(VolumeMounter::mountPoint(m_host, u"media"_s),
                 std::optional<QString>(delivery->path()));
        QCOMPARE(VolumeMounter::mountPoint(QString(), u"Media"_s),
                 std::optional<QString>(delivery->path()));
        QVERIFY(!VolumeMounter::mountPoint(u"box.lan"_s, u"media"_s));
        QVERIFY(!VolumeMounter::mountPoint(m_host, u"public"_s));

        unmount(mediaUri());
        QVERIFY(
            QTest::qWaitFor([&] { return !VolumeMounter::mountPoint(m_host, u"media"_s); }, 10000));
        QVERIFY(!VolumeMounter::mountedShares().contains(expected));
    }
};

QTEST_GUILESS_MAIN(VolumeMounterSambaTest)
#include "VolumeMounterSambaTest.moc"
