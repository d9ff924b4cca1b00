#include "platform/DesktopNotifications.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QTest>

namespace {

// A notification server that appears only after the program posted, counting what it gets.
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
    QStringList GetCapabilities()
    {
        ++calls;
        return {};
    }
};

} // namespace

class NoNotificationServerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void postingWithoutServerIsSilentAndDropped();
};

void NoNotificationServerTest::postingWithoutServerIsSilentAndDropped()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY2(bus.isConnected(), "the session bus component is not running");
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    QVERIFY(!bus.interface()->isServiceRegistered(service).value());

    DesktopNotifications notifications;
    QElapsedTimer timer;
    timer.start();
    notifications.requestPermission();
    for (int i = 0; i < 3; ++i)
        notifications.post(QStringLiteral("ID-%1").arg(i), QStringLiteral("Couldn't start Plex"),
                           QStringLiteral("body"));
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));

    // A server that turns up later gets none of it: nothing was queued for it.
    QDBusConnection late =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("late-server"));
    LateServer server;
    QVERIFY(late.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                QDBusConnection::ExportAllSlots));
    QVERIFY(late.registerService(service));
    QTest::qWait(500);
    QCOMPARE(server.calls, 0);

    // …while what is posted now does reach it.
    notifications.post(QStringLiteral("ID-late"), QStringLiteral("Plex restarted"),
                       QStringLiteral("body"));
    QTRY_COMPARE(server.calls, 1);
    late.unregisterService(service);
    QDBusConnection::disconnectFromBus(QStringLiteral("late-server"));
}

QTEST_GUILESS_MAIN(NoNotificationServerTest)
#include "NoNotificationServerTest.moc"
