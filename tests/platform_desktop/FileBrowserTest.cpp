#include "platform/FileBrowser.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

// Stands in for the desktop's URL opener.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

// A file manager on the session bus that only records what it was asked to show.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;
    QStringList startupIds;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        shown.append(uris);
        startupIds.append(startupId);
    }
};

} // namespace

class FileBrowserTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void openFolderOpensItsUrl();
    void revealFallsBackToFolderWithoutFileManager();
    void revealAsksTheFileManager();

private:
    QTemporaryDir m_dir;
    UrlRecorder m_urls;
};

void FileBrowserTest::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "the session bus component is not running");
    QVERIFY(m_dir.isValid());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");
}

void FileBrowserTest::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void FileBrowserTest::init()
{
    m_urls.opened.clear();
}

void FileBrowserTest::openFolderOpensItsUrl()
{
    const QString folder = m_dir.filePath(QStringLiteral("with space"));
    FileBrowser::openFolder(folder);
    QCOMPARE(m_urls.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
}

void FileBrowserTest::revealFallsBackToFolderWithoutFileManager()
{
    const QString file = m_dir.filePath(QStringLiteral("exports/Vigilmount-history.tsv"));
    FileBrowser::revealFile(file);
    QTRY_COMPARE(m_urls.opened,
                 QList<QUrl>{QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("exports")))});
}

void FileBrowserTest::revealAsksTheFileManager()
{
    QDBusConnection fileManagerBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("file-manager"));
    FakeFileManager fileManager;
    QVERIFY(fileManagerBus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"),
                                          &fileManager, QDBusConnection::ExportAllSlots));
    QVERIFY(fileManagerBus.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    const QString file = m_dir.filePath(QStringLiteral("a b#c.tsv"));
    FileBrowser::revealFile(file);
    QTRY_COMPARE(fileManager.shown.size(), 1);
    QCOMPARE(fileManager.shown.first(),
             QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)});
    QVERIFY(fileManager.shown.first().first().contains(QStringLiteral("a%20b%23c.tsv")));
    QCOMPARE(fileManager.startupIds.first(), QString());
    QTest::qWait(200);
    QVERIFY(m_urls.opened.isEmpty());

    fileManagerBus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
}

QTEST_MAIN(FileBrowserTest)
#include "FileBrowserTest.moc"
