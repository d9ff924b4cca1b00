// A session bus without a notification server or file manager, and no system bus: the
// program carries on, silently.
#include "platform/DesktopNotifications.h"
#include "platform/FileBrowser.h"
#include "platform/SleepWakeMonitor.h"

#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

// A notification server that turns up on the bus late.
class LateServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    int calls = 0;

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &, const QString &,
                const QStringList &, const QVariantMap &, int)
    {
        return uint(++calls);
    }
    QStringList GetCapabilities() { return ++calls, QStringList(); }
};

class DesktopWithoutServersTest : public QObject
{
    Q_OBJECT

    QList<QUrl> m_opened;

public Q_SLOTS:
    void open(const QUrl &url) { m_opened.append(url); }

private Q_SLOTS:
    void initTestCase()
    {
        // A system bus that cannot exist (set before the first use), so none is found.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS",
                "unix:path=" + qgetenv("VIGILMOUNT_TEST_ROOT") + "/none");
        QVERIFY(!QDBusConnection::systemBus().isConnected());
        QDesktopServices::setUrlHandler(u"file"_s, this, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"file"_s); }

    // Nothing is queued: a server that turns up later only gets what is posted then.
    void notificationsWithoutServer()
    {
        const QString name = u"org.freedesktop.Notifications"_s;
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value());
        DesktopNotifications notifications;
        const auto started = std::chrono::steady_clock::now();
        notifications.requestPermission();
        notifications.post(u"ID-1"_s, NotificationSubject::plex, u"Couldn't start Plex"_s,
                           u"body"_s);
        QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(1));
        QTest::qWait(500); // the bus is reached in the background; the calls go out, unanswered

        LateServer server;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        QVERIFY(bus.registerObject(u"/org/freedesktop/Notifications"_s, &server,
                                   QDBusConnection::ExportAllSlots) &&
                bus.registerService(name));
        QTest::qWait(500);
        QCOMPARE(server.calls, 0);
        notifications.post(u"ID-2"_s, NotificationSubject::plex, u"Plex restarted"_s, u"body"_s);
        QTRY_COMPARE(server.calls, 2); // its capabilities, then the notification
        QDBusConnection::disconnectFromBus(name);
    }

    void noSystemBusNoWake()
    {
        SleepWakeMonitor monitor;
        QVERIFY(!monitor.isSubscribed());
        QSignalSpy woke(&monitor, &WakePort::didWake);
        QTest::qWait(100);
        QCOMPARE(woke.size(), 0);
    }

    // Without a file manager the folder is opened.
    void revealFileOpensTheFolder()
    {
        FileBrowser::revealFile(u"/srv/exports/history.tsv"_s);
        QTRY_COMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(u"/srv/exports"_s)});
    }
};

QTEST_MAIN(DesktopWithoutServersTest)
#include "DesktopWithoutServersTest.moc"
