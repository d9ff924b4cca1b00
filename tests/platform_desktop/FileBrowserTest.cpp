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

// A file manager on the session bus that records what it was asked to show.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        shown.append(uris + QStringList{startupId});
    }
};

} // namespace

class FileBrowserTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openAndRevealWithoutFileManager();
    void revealAsksTheFileManager();
};

void FileBrowserTest::openAndRevealWithoutFileManager()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the session bus is not running");
    UrlRecorder urls;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &urls, "open");
    FileBrowser::openFolder(QStringLiteral("/srv/with space"));
    FileBrowser::revealFile(QStringLiteral("/srv/exports/Vigilmount-history.tsv"));
    QTRY_COMPARE(urls.opened, (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/srv/with space")),
                                           QUrl::fromLocalFile(QStringLiteral("/srv/exports"))}));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void FileBrowserTest::revealAsksTheFileManager()
{
    const QString name = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("files"));
    FakeFileManager fileManager;
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                               QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(name));
    UrlRecorder urls;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &urls, "open");

    FileBrowser::revealFile(QStringLiteral("/srv/a b#c.tsv"));
    QTRY_COMPARE(fileManager.shown.size(), 1);
    QCOMPARE(fileManager.shown.first(),
             (QStringList{QStringLiteral("file:///srv/a%20b%23c.tsv"), QString()}));
    QTest::qWait(200);
    QVERIFY(urls.opened.isEmpty());

    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    bus.unregisterService(name);
    QDBusConnection::disconnectFromBus(QStringLiteral("files"));
}

QTEST_MAIN(FileBrowserTest)
#include "FileBrowserTest.moc"
