#include "platform/DesktopNotifications.h"
#include "platform/FileBrowser.h"
#include "platform/SleepWakeMonitor.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

namespace {

class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

} // namespace

// Neither a session bus nor a system bus: the program carries on, silently.
class WithoutBusesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void notificationsAreSilentlyDropped();
    void noWakeWithoutSystemBus();
    void revealOpensTheFolder();
};

void WithoutBusesTest::initTestCase()
{
    QVERIFY(!QDBusConnection::sessionBus().isConnected());
    QVERIFY(!QDBusConnection::systemBus().isConnected());
}

void WithoutBusesTest::notificationsAreSilentlyDropped()
{
    QElapsedTimer timer;
    timer.start();
    DesktopNotifications notifications;
    notifications.requestPermission();
    notifications.post(QStringLiteral("ID"), QStringLiteral("Plex restarted"), QStringLiteral("b"));
    DesktopNotifications unreachable(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("unreachable")));
    unreachable.post(QStringLiteral("ID"), QStringLiteral("t"), QStringLiteral("b"));
    QVERIFY(timer.elapsed() < 1000);
}

void WithoutBusesTest::noWakeWithoutSystemBus()
{
    SleepWakeMonitor monitor;
    QVERIFY(!monitor.isSubscribed());
    QSignalSpy woke(&monitor, &WakePort::didWake);
    QTest::qWait(100);
    QCOMPARE(woke.size(), 0);
}

void WithoutBusesTest::revealOpensTheFolder()
{
    UrlRecorder urls;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &urls, "open");
    FileBrowser::revealFile(QStringLiteral("/srv/exports/history.tsv"));
    QCOMPARE(urls.opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/srv/exports"))});
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

int main(int argc, char *argv[])
{
    // Buses that cannot exist, so nothing is found or auto-launched on the machine.
    const QByteArray nowhere = "unix:path=" + qgetenv("VIGILMOUNT_TEST_ROOT") + "/no-bus";
    qputenv("DBUS_SESSION_BUS_ADDRESS", nowhere);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", nowhere);
    QApplication app(argc, argv);
    WithoutBusesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WithoutBusesTest.moc"
