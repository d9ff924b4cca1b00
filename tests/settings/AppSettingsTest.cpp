#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <sys/stat.h>

class AppSettingsTest : public QObject
{
    Q_OBJECT

    static QString storePath() { return SettingsStore::open()->fileName(); }

    static void writeRaw(const QString &key, const QString &value)
    {
        auto store = SettingsStore::open();
        store->setValue(key, value);
        store->sync();
    }

private Q_SLOTS:
    void init() { QFile::remove(storePath()); }

    void firstRunReadsRegisteredDefaultsAndWritesNothing()
    {
        AppSettings settings;
        QCOMPARE(settings.checkIntervalMinutes(), 5.0);
        QVERIFY(settings.watchPlex());
        QCOMPARE(settings.plexAppPath(),
                 QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server"));
        QVERIFY(settings.watchVolume());
        QCOMPARE(settings.shareProtocol(), ShareProtocol::smb);
        QCOMPARE(settings.serverHost(), QString());
        QCOMPARE(settings.shareName(), QString());
        QCOMPARE(settings.username(), QString());
        QVERIFY(settings.notifyOnAction());
        QVERIFY(settings.checkOnWake());
        QVERIFY(!settings.verboseLogging());
        QCOMPARE(settings.logRetentionDays(), 90);
        QVERIFY(!settings.isVolumeConfigured());
        QCOMPARE(settings.keychainAccount(), QStringLiteral("@/"));
        QVERIFY(!QFileInfo::exists(storePath()));
        QVERIFY(!SettingsStore::hasLaunchedBefore());
    }

    void everyKeySurvivesARelaunchWithItsType()
    {
        {
            AppSettings settings;
            settings.setCheckIntervalMinutes(0.25);
            settings.setWatchPlex(false);
            settings.setPlexAppPath(QStringLiteral("  /opt/plex\t"));
            settings.setWatchVolume(false);
            settings.setShareProtocol(ShareProtocol::afp);
            settings.setServerHost(QStringLiteral(" Box.lan "));
            settings.setShareName(QStringLiteral("Média"));
            settings.setUsername(QStringLiteral("true"));
            settings.setNotifyOnAction(false);
            settings.setCheckOnWake(false);
            settings.setVerboseLogging(true);
            settings.setLogRetentionDays(1234567890123LL);
        }
        AppSettings relaunched;
        QCOMPARE(relaunched.checkIntervalMinutes(), 0.25);
        QVERIFY(!relaunched.watchPlex());
        QCOMPARE(relaunched.plexAppPath(), QStringLiteral("  /opt/plex\t"));
        QVERIFY(!relaunched.watchVolume());
        QCOMPARE(relaunched.shareProtocol(), ShareProtocol::afp);
        QCOMPARE(relaunched.serverHost(), QStringLiteral(" Box.lan "));
        QCOMPARE(relaunched.shareName(), QStringLiteral("Média"));
        QCOMPARE(relaunched.username(), QStringLiteral("true"));
        QVERIFY(!relaunched.notifyOnAction());
        QVERIFY(!relaunched.checkOnWake());
        QVERIFY(relaunched.verboseLogging());
        QCOMPARE(relaunched.logRetentionDays(), 1234567890123LL);
    }

    void unusualNumbersAndEmptyTextSurviveARelaunch()
    {
        {
            AppSettings settings;
            settings.setCheckIntervalMinutes(-3.5);
            settings.setLogRetentionDays(-2);
            settings.setPlexAppPath(QString());
        }
        AppSettings relaunched;
        QCOMPARE(relaunched.checkIntervalMinutes(), -3.5);
        QCOMPARE(relaunched.logRetentionDays(), -2);
        QCOMPARE(relaunched.plexAppPath(), QString());
    }

    void everySetNotifiesAndWritesEvenWhenUnchanged()
    {
        AppSettings settings;
        QSignalSpy property(&settings, &AppSettings::watchPlexChanged);
        QSignalSpy general(&settings, &AppSettings::changed);
        settings.setWatchPlex(true); // already the default
        QCOMPARE(property.count(), 1);
        QCOMPARE(general.count(), 1);
        QCOMPARE(SettingsStore::open()->value(QStringLiteral("watchPlex")).toString(),
                 QStringLiteral("true"));
    }

    void settingsFileIsPrivateToTheUser()
    {
        AppSettings settings;
        settings.setServerHost(QStringLiteral("nas"));
        const auto mode = [](const QString &path) {
            struct stat info
            {};
            return ::stat(QFile::encodeName(path).constData(), &info) == 0
                       ? int(info.st_mode & 07777)
                       : -1;
        };
        QCOMPARE(mode(storePath()), 0600);
        QCOMPARE(mode(QFileInfo(storePath()).absolutePath()), 0700);
    }

    void protocolParsesOnlyExactAfp_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<ShareProtocol>("expected");
        QTest::newRow("afp") << "afp" << ShareProtocol::afp;
        QTest::newRow("upper-case AFP") << "AFP" << ShareProtocol::smb;
        QTest::newRow("other protocol") << "nfs" << ShareProtocol::smb;
        QTest::newRow("empty") << "" << ShareProtocol::smb;
        QTest::newRow("smb") << "smb" << ShareProtocol::smb;
    }
    void protocolParsesOnlyExactAfp()
    {
        QFETCH(QString, stored);
        QFETCH(ShareProtocol, expected);
        writeRaw(QStringLiteral("shareProtocol"), stored);
        QCOMPARE(AppSettings().shareProtocol(), expected);
    }

    void garbageInTheFileFallsBackToDefaults()
    {
        writeRaw(QStringLiteral("checkIntervalMinutes"), QStringLiteral("often"));
        writeRaw(QStringLiteral("watchPlex"), QStringLiteral("maybe"));
        writeRaw(QStringLiteral("logRetentionDays"), QStringLiteral("1.5e"));
        AppSettings settings;
        QCOMPARE(settings.checkIntervalMinutes(), 5.0);
        QVERIFY(settings.watchPlex());
        QCOMPARE(settings.logRetentionDays(), 90);
    }

    void volumeConfiguredTrimsOnlyHorizontalBlanks_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("share");
        QTest::addColumn<bool>("configured");
        QTest::newRow("both set") << "nas"
                                  << "media" << true;
        QTest::newRow("blank host") << "   "
                                    << "media" << false;
        QTest::newRow("tab share") << "nas"
                                   << "\t \t" << false;
        QTest::newRow("no-break space") << QString(QChar(0x00A0)) << "media" << false;
        QTest::newRow("line break is content") << "\n"
                                               << "media" << true;
        QTest::newRow("padded") << " nas\t"
                                << "\tmedia " << true;
    }
    void volumeConfiguredTrimsOnlyHorizontalBlanks()
    {
        QFETCH(QString, host);
        QFETCH(QString, share);
        QFETCH(bool, configured);
        AppSettings settings;
        settings.setServerHost(host);
        settings.setShareName(share);
        QCOMPARE(settings.isVolumeConfigured(), configured);
        QCOMPARE(settings.keychainAccount(),
                 QStringLiteral("@") + host + QStringLiteral("/") + share);
    }

    void firstLaunchFlagIsWrittenOnce()
    {
        QVERIFY(!SettingsStore::hasLaunchedBefore());
        SettingsStore::setHasLaunchedBefore();
        QVERIFY(SettingsStore::hasLaunchedBefore());
        AppSettings settings; // the flag is not one of the settings and does not disturb them
        QCOMPARE(settings.checkIntervalMinutes(), 5.0);
    }
};

QTEST_GUILESS_MAIN(AppSettingsTest)
#include "AppSettingsTest.moc"
