#include "SmallDisk.h"
#include "settings/AppSettings.h"
#include "settings/IniText.h"
#include "settings/SettingsStore.h"

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
    struct stat info
    {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : -1;
}

} // namespace

// The settings file on disk: what a failed write leaves, which modes are touched, and that its
// text reads the same in Qt's INI format.
class SettingsDiskTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    // "lock only": the store's lock file still fits, the new text does not.
    void aFullDiskKeepsThePreviousFileAndTheChange_data()
    {
        QTest::addColumn<qint64>("leaveFree");
        QTest::newRow("no room") << qint64(0);
        QTest::newRow("room for the lock only") << qint64(4096);
    }
    void aFullDiskKeepsThePreviousFileAndTheChange()
    {
        QFETCH(qint64, leaveFree);
        SmallDisk disk(m_dir.filePath(u"disk"_s));
        QVERIFY(disk.mounted());
        const QString path = m_dir.filePath(u"disk/Vigilmount/Vigilmount.conf"_s);
        AppSettings settings(path);
        settings.setServerHost(u"nas"_s);
        settings.setShareName(u"media"_s);
        const QByteArray before = readAll(path);
        QVERIFY(before.contains("shareName=media"));

        QVERIFY(disk.fill(leaveFree));
        QSignalSpy notified(&settings, &AppSettings::usernameChanged);
        settings.setUsername(u"me"_s);
        QCOMPARE(notified.count(), 1);
        QCOMPARE(settings.username(), u"me"_s);
        QCOMPARE(readAll(path), before);
        QVERIFY(!SettingsStore::persist(*SettingsStore::open(path)));

        // With room again the next write carries the earlier change too.
        disk.release();
        QVERIFY(SettingsStore::persist(*SettingsStore::open(path)));
        settings.setLogRetentionDays(30);
        const QString copy = m_dir.filePath(u"copy-"_s + QTest::currentDataTag());
        QVERIFY(QFile::copy(path, copy));
        const AppSettings relaunched(copy);
        QCOMPARE(relaunched.username(), u"me"_s);
        QCOMPARE(relaunched.logRetentionDays(), 30);
        QCOMPARE(relaunched.serverHost(), u"nas"_s);
    }

    void onlyWhatItCreatesIsMadePrivate_data()
    {
        QTest::addColumn<bool>("folderExists");
        QTest::addColumn<bool>("folderIsLink");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<bool>("fileIsLink");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("fileMode");
        QTest::newRow("created") << false << false << false << false << 0700 << 0600;
        QTest::newRow("shared folder") << true << false << false << false << 0755 << 0600;
        QTest::newRow("folder is a link") << true << true << false << false << 0755 << 0600;
        QTest::newRow("shared file") << true << false << true << false << 0755 << 0644;
        QTest::newRow("file is a link") << true << false << true << true << 0755 << 0644;
    }
    void onlyWhatItCreatesIsMadePrivate()
    {
        QFETCH(bool, folderExists);
        QFETCH(bool, folderIsLink);
        QFETCH(bool, fileExists);
        QFETCH(bool, fileIsLink);
        const QString base = m_dir.filePath(QTest::currentDataTag());
        const QString folder = base + u"/config/Vigilmount"_s,
                      path = folder + u"/Vigilmount.conf"_s;
        const QString realFolder = folderIsLink ? base + u"/elsewhere"_s : folder;
        const QString realFile = fileIsLink ? base + u"/shared.conf"_s : path;
        QVERIFY(QDir().mkpath(base + u"/config"_s));
        if (folderExists)
            QVERIFY(QDir().mkpath(realFolder) && ::chmod(qPrintable(realFolder), 0755) == 0);
        if (folderIsLink)
            QVERIFY(QFile::link(realFolder, folder));
        if (fileExists) {
            QFile file(realFile);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[General]\nuser=x\n") > 0);
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther));
        }
        if (fileIsLink)
            QVERIFY(QFile::link(realFile, path));

        AppSettings(path).setServerHost(u"nas"_s);
        QTEST(mode(realFolder), "folderMode");
        QTEST(mode(realFile), "fileMode");
        QVERIFY(readAll(realFile).contains("serverHost=nas"));
        QCOMPARE(QFileInfo(path).isSymLink(), fileIsLink);
    }

    void textReadsTheSameInQtsIniFormat_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte += char(b);
        QString controls = u"\t\n\r\u0001a"_s;
        controls += QChar(0);
        controls += u"1 end"_s;
        QTest::newRow("plain") << u"serverHost"_s << QVariant(u"nas"_s);
        QTest::newRow("empty") << u"shareName"_s << QVariant(u""_s);
        QTest::newRow("blanks, separators") << u"a"_s << QVariant(u"  a, b; c = d  "_s);
        QTest::newRow("quotes, backslashes") << u"a"_s << QVariant(u"\"q\" \\ \\x41 'x'"_s);
        QTest::newRow("controls before digits") << u"a"_s << QVariant(controls);
        QTest::newRow("not ASCII") << u"a"_s << QVariant(u"É ü \U0001F600"_s);
        QTest::newRow("looks like bytes") << u"a"_s << QVariant(u"@ByteArray(x)"_s);
        QTest::newRow("bytes") << u"geometry"_s << QVariant(everyByte);
        QTest::newRow("list") << u"a"_s << QVariant(QStringList{u"a"_s, u" b,"_s, u""_s});
        QTest::newRow("key in a group") << u"a group/k=É/x"_s << QVariant(u"v"_s);
        QTest::newRow("group named General") << u"General/x"_s << QVariant(u"v"_s);
    }
    void textReadsTheSameInQtsIniFormat()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        const QString qtFile = m_dir.filePath(u"qt-"_s + QTest::currentDataTag());
        QSettings(qtFile, QSettings::IniFormat).setValue(key, value);
        QCOMPARE(IniText::read(readAll(qtFile)), (QSettings::SettingsMap{{key, value}}));

        const QString ownFile = m_dir.filePath(u"own-"_s + QTest::currentDataTag());
        QFile own(ownFile);
        QVERIFY(own.open(QIODevice::WriteOnly) && own.write(IniText::write({{key, value}})) > 0);
        own.close();
        const QSettings read(ownFile, QSettings::IniFormat);
        QCOMPARE(read.allKeys(), QStringList{key});
        QCOMPARE(read.value(key), value);
    }
};

QTEST_GUILESS_MAIN(SettingsDiskTest)
#include "SettingsDiskTest.moc"
