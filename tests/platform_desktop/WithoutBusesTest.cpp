#include "platform/DesktopNotifications.h"
#include "platform/FileBrowser.h"
#include "platform/SleepWakeMonitor.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

// Neither a session bus nor a system bus: the program carries on, silently.
class WithoutBusesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nothingWaitsAndNothingWakes();

public Q_SLOTS:
    void open(const QUrl &url) { m_opened.append(url); }

private:
    QList<QUrl> m_opened;
};

void WithoutBusesTest::nothingWaitsAndNothingWakes()
{
    QVERIFY(!QDBusConnection::sessionBus().isConnected());
    QVERIFY(!QDBusConnection::systemBus().isConnected());

    QElapsedTimer timer;
    timer.start();
    DesktopNotifications notifications;
    notifications.requestPermission();
    notifications.post(QStringLiteral("ID"), QStringLiteral("Plex restarted"), QStringLiteral("b"));
    QVERIFY(timer.elapsed() < 1000);

    SleepWakeMonitor monitor;
    QVERIFY(!monitor.isSubscribed());
    QSignalSpy woke(&monitor, &WakePort::didWake);

    // Revealing falls back to the folder at once.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
    FileBrowser::revealFile(QStringLiteral("/srv/exports/history.tsv"));
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/srv/exports"))});
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QTest::qWait(100);
    QCOMPARE(woke.size(), 0);
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
