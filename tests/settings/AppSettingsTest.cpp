#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

#include <QMetaProperty>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

class AppSettingsTest : public QObject
{
    Q_OBJECT

    // Per type: a value other than the default, chosen to expose a lossy read, and file contents
    // that are no value of the type (a list is no text either).
    static inline const QVariant list = QStringList{u"afp"_s, u"b"_s};
    static auto probes(double d) { return std::pair{-d - 0.25, QVariant(u"often"_s)}; }
    static auto probes(bool d) { return std::pair{!d, QVariant(u"maybe"_s)}; }
    static auto probes(qint64) { return std::pair{qint64(1234567890123), QVariant(u"1.5e"_s)}; }
    static auto probes(QString d) { return std::pair{d.isEmpty() ? u" É, à\t"_s : u""_s, list}; }
    static auto probes(ShareProtocol) { return std::pair{ShareProtocol::afp, list}; }

    template <typename Visit> static void forEachKey(Visit visit)
    {
        std::apply([&](const auto &...key) { (visit(key), ...); }, AppSettings::Keys::all());
    }
    template <typename T> static T read(const AppSettings &settings, const AppSettings::Key<T> &key)
    {
        return settings.property(key.name).template value<T>();
    }
    static int mode(const QString &path)
    {
        struct stat info
        {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : -1;
    }

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath(u"Vigilmount/Vigilmount.conf"_s);

    // Sets one setting through its property to its default and then to another value, and
    // relaunches from a copy of the file, so that the values are parsed from its text.
    template <typename T> void setOnly(const AppSettings::Key<T> &key, QStringList &faults)
    {
        const QString name = QLatin1String(key.name), path = m_path + u'.' + name;
        {
            AppSettings settings(path);
            const QMetaObject &meta = *settings.metaObject();
            QSignalSpy notified(&settings,
                                meta.property(meta.indexOfProperty(key.name)).notifySignal());
            QSignalSpy changed(&settings, &AppSettings::changed);
            settings.setProperty(key.name, QVariant::fromValue(key.registeredDefault));
            settings.setProperty(key.name,
                                 QVariant::fromValue(probes(key.registeredDefault).first));
            if (notified.count() != 2 || changed.count() != 2)
                faults << name + ": a set did not notify";
            if (QSettings(path, QSettings::IniFormat).allKeys() != QStringList{name})
                faults << name + ": other keys were written";
            if (mode(path) != 0600)
                faults << name + ": the file is not private";
        }
        QFile::copy(path, path + ".copy");
        const AppSettings relaunched(path + ".copy");
        forEachKey([&](const auto &other) {
            auto expected = other.registeredDefault;
            if constexpr (std::is_same_v<decltype(expected), T>)
                if (&other == &key)
                    expected = probes(expected).first;
            if (read(relaunched, other) != expected)
                faults << name + ": then " + other.name + " reads wrong";
        });
    }

private Q_SLOTS:
    void init() { QDir(QFileInfo(m_path).path()).removeRecursively(); }

    void eachSettingIsWrittenAloneOnEverySetAndReadsBackTyped()
    {
        QStringList faults;
        forEachKey([&](const auto &key) { setOnly(key, faults); });
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"; "_s)));
    }

    void readingWritesNothingAndWrongTypesReadAsTheDefaults()
    {
        forEachKey([this](const auto &key) { read(AppSettings(m_path), key); });
        QVERIFY(!QFileInfo::exists(m_path));
        QCOMPARE(mode(QFileInfo(m_path).path()), 0700);
        const auto raw = SettingsStore::open(m_path);
        forEachKey([&](const auto &key) {
            raw->setValue(QLatin1String(key.name), probes(key.registeredDefault).second);
        });
        raw->sync();
        QStringList faults;
        const AppSettings settings(m_path);
        forEachKey([&](const auto &key) {
            if (read(settings, key) != key.registeredDefault)
                faults << QLatin1String(key.name);
        });
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u", "_s)));
    }

    void protocolParsesOnlyExactAfp_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<ShareProtocol>("expected");
        QTest::newRow("afp") << "afp" << ShareProtocol::afp;
        QTest::newRow("upper-case AFP") << "AFP" << ShareProtocol::smb;
        QTest::newRow("empty") << "" << ShareProtocol::smb;
    }
    void protocolParsesOnlyExactAfp()
    {
        QFETCH(QString, stored);
        SettingsStore::open(m_path)->setValue(u"shareProtocol"_s, stored);
        QTEST(AppSettings(m_path).shareProtocol(), "expected");
    }

    void volumeConfiguredTrimsOnlyHorizontalBlanks_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("configured");
        QTest::addColumn<QString>("share");
        QTest::newRow("both set") << "nas" << true << "media";
        QTest::newRow("blank host") << "   " << false << "media";
        QTest::newRow("tab share") << "nas" << false << "\t \t";
        QTest::newRow("no-break space") << QString(QChar(0x00A0)) << false << "media";
        QTest::newRow("line break is content") << "\n" << true << "media";
        QTest::newRow("padded") << " nas\t" << true << "\tmedia ";
    }
    void volumeConfiguredTrimsOnlyHorizontalBlanks()
    {
        QFETCH(QString, host);
        QFETCH(QString, share);
        AppSettings settings(m_path);
        settings.setUsername(u"me"_s);
        settings.setServerHost(host);
        settings.setShareName(share);
        QTEST(settings.isVolumeConfigured(), "configured");
        QCOMPARE(settings.keychainAccount(), u"me@"_s + host + '/' + share);
    }
};

QTEST_GUILESS_MAIN(AppSettingsTest)
#include "AppSettingsTest.moc"
