#include "SmallDisk.h"
#include "settings/AppSettings.h"
#include "settings/IniText.h"
#include "settings/SettingsStore.h"

#include <QMetaProperty>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

int mode(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : -1;
}

} // namespace

// The settings and their file: typed values, full disks, modes and Qt's INI format.
class SettingsTest : public QObject
{
    Q_OBJECT

    // Per type: a value other than the default, chosen to expose a lossy read, and file contents
    // that are no value of the type (a list is no text either).
    static inline const QVariant list = QStringList{u"afp"_s, u"b"_s};
    static auto probes(double d) { return std::pair{-d - 0.25, QVariant(u"often"_s)}; }
    static auto probes(bool d) { return std::pair{!d, QVariant(u"maybe"_s)}; }
    static auto probes(qint64) { return std::pair{qint64(1234567890123), QVariant(u"1.5e"_s)}; }
    static auto probes(QString d) { return std::pair{d.isEmpty() ? u" É, à\t"_s : u""_s, list}; }
    static auto probes(ShareProtocol) { return std::pair{ShareProtocol::afp, QVariant(u"AFP"_s)}; }

    template <typename Visit> static void forEachKey(Visit visit)
    {
        std::apply([&](const auto &...key) { (visit(key), ...); }, AppSettings::Keys::all());
    }
    template <typename T> static T read(const AppSettings &settings, const AppSettings::Key<T> &key)
    {
        return settings.property(key.name).template value<T>();
    }

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath(u"Vigilmount/Vigilmount.conf"_s);

    // Reads one setting without a file, sets it to its default and to another value, and reads
    // it from a copy of the file (so that it is parsed), then from one with a wrong type.
    template <typename T> void checkSetting(const AppSettings::Key<T> &key, QStringList &faults)
    {
        const QString name = QLatin1String(key.name), path = m_path + u'.' + name;
        const auto [value, garbage] = probes(key.registeredDefault);
        const auto expect = [&](bool ok, const QString &fault) {
            if (!ok)
                faults << name + u": "_s + fault;
        };
        {
            AppSettings settings(path);
            expect(read(settings, key) == key.registeredDefault, u"reads wrong without a file"_s);
            expect(!QFileInfo::exists(path) && mode(QFileInfo(path).path()) == 0700,
                   u"reading wrote, or the folder is not private"_s);
            const QMetaObject &meta = *settings.metaObject();
            QSignalSpy notified(&settings,
                                meta.property(meta.indexOfProperty(key.name)).notifySignal());
            QSignalSpy changed(&settings, &AppSettings::changed);
            settings.setProperty(key.name, QVariant::fromValue(key.registeredDefault));
            settings.setProperty(key.name, QVariant::fromValue(value));
            expect(notified.count() == 2 && changed.count() == 2, u"a set did not notify"_s);
            expect(QSettings(path, QSettings::IniFormat).allKeys() == QStringList{name},
                   u"other keys were written"_s);
            expect(mode(path) == 0600, u"the file is not private"_s);
        }
        const QString copy = path + u".copy"_s;
        QFile::copy(path, copy);
        expect(read(AppSettings(copy), key) == value, u"reads back wrong"_s);
        SettingsStore::open(copy)->setValue(name, garbage);
        expect(read(AppSettings(copy), key) == key.registeredDefault, u"a wrong type reads"_s);
    }

private Q_SLOTS:
    void init() { QDir(QFileInfo(m_path).path()).removeRecursively(); }

    void eachSettingIsWrittenAloneOnEverySetAndReadsBackTyped()
    {
        QStringList faults;
        forEachKey([&](const auto &key) { checkSetting(key, faults); });
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"; "_s)));
    }

    void volumeConfiguredTrimsOnlyHorizontalBlanks_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("configured");
        QTest::addColumn<QString>("share");
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

    // With room for the store's lock file only, or none at all: the new text never fits.
    void aFullDiskKeepsThePreviousFileAndTheChange()
    {
        for (const qint64 leaveFree : {0, 4096}) {
            SmallDisk disk(m_dir.filePath(u"disk"_s));
            QVERIFY(disk.mounted());
            const QString path = m_dir.filePath(u"disk/Vigilmount/%1.conf"_s.arg(leaveFree));
            AppSettings settings(path);
            settings.setServerHost(u"nas"_s);
            const QByteArray before = readAll(path);
            QVERIFY(before.contains("serverHost=nas"));

            QVERIFY(disk.fill(leaveFree));
            QSignalSpy notified(&settings, &AppSettings::usernameChanged);
            settings.setUsername(u"me"_s);
            QCOMPARE(notified.count(), 1);
            QCOMPARE(readAll(path), before);
            QVERIFY(!SettingsStore::persist(*SettingsStore::open(path)));

            // With room again the next write carries the earlier change too.
            disk.release();
            settings.setLogRetentionDays(30);
            QVERIFY(readAll(path).contains("username=me"));
        }
    }

    // What exists before the first write, as "folder" or "file", either of them maybe a link.
    void onlyWhatItCreatesIsMadePrivate_data()
    {
        QTest::addColumn<QString>("existing");
        for (const char *existing : {"", "folder", "folder link", "file", "file link"})
            QTest::newRow(*existing ? existing : "nothing") << QString::fromLatin1(existing);
    }
    void onlyWhatItCreatesIsMadePrivate()
    {
        QFETCH(QString, existing);
        const QString base = m_dir.filePath(QTest::currentDataTag());
        const QString folder = base + u"/config/Vigilmount"_s,
                      path = folder + u"/Vigilmount.conf"_s;
        const QString realFolder = existing == u"folder link" ? base + u"/elsewhere"_s : folder;
        const QString realFile = existing == u"file link" ? base + u"/shared.conf"_s : path;
        QVERIFY(QDir().mkpath(base + u"/config"_s));
        if (!existing.isEmpty())
            QVERIFY(QDir().mkpath(realFolder) && ::chmod(qPrintable(realFolder), 0755) == 0);
        if (realFolder != folder)
            QVERIFY(QFile::link(realFolder, folder));
        if (existing.startsWith(u"file"))
            QVERIFY(QFile(realFile).open(QIODevice::WriteOnly) &&
                    ::chmod(qPrintable(realFile), 0644) == 0);
        if (realFile != path)
            QVERIFY(QFile::link(realFile, path));

        AppSettings(path).setServerHost(u"nas"_s);
        QCOMPARE(mode(realFolder), existing.isEmpty() ? 0700 : 0755);
        QCOMPARE(mode(realFile), existing.startsWith(u"file") ? 0644 : 0600);
        QVERIFY(readAll(realFile).contains("serverHost=nas"));
        QCOMPARE(QFileInfo(path).isSymLink(), realFile != path);
    }

    // Every value in one file written by Qt and read by IniText, and the other way round.
    void textReadsTheSameInQtsIniFormat()
    {
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte += char(b);
        const QSettings::SettingsMap values{
            {u"serverHost"_s, u""_s},
            {u"separators"_s, u"  a, b; c = d  "_s},
            {u"quotes"_s, u"\"q\" \\ \\x41 'x'"_s},
            {u"controls before digits"_s, u"\t\n\r\u0001a"_s + QChar(0) + u"1 end"_s},
            {u"notASCII"_s, u"É ü \U0001F600"_s},
            {u"looksLikeBytes"_s, u"@ByteArray(x)"_s},
            {u"geometry"_s, everyByte},
            {u"list"_s, QStringList{u"a"_s, u" b,"_s, u""_s}},
            {u"a group/k=É/x"_s, u"v"_s},
            {u"General/x"_s, u"v"_s}};
        const QString qtFile = m_dir.filePath(u"qt.conf"_s),
                      ownFile = m_dir.filePath(u"own.conf"_s);
        QSettings qt(qtFile, QSettings::IniFormat);
        for (auto value = values.begin(); value != values.end(); ++value)
            qt.setValue(value.key(), value.value());
        qt.sync();
        QFile own(ownFile);
        QVERIFY(own.open(QIODevice::WriteOnly) && own.write(IniText::write(values)) > 0);
        own.close();
        const QSettings::SettingsMap parsed = IniText::read(readAll(qtFile));
        const QSettings qtReads(ownFile, QSettings::IniFormat);
        QCOMPARE(parsed.keys(), values.keys());
        QCOMPARE(qtReads.allKeys().size(), values.size());
        for (const QString &key : values.keys()) {
            QCOMPARE(parsed.value(key), values[key]);
            QCOMPARE(qtReads.value(key), values[key]);
        }
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
