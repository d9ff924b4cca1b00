// Notifications as the harness's listener records them, and wake-ups from its fake logind.
#include "platform/DesktopNotifications.h"
#include "platform/SleepWakeMonitor.h"

#include <QDBusConnection>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The calls the listener recorded, oldest first.
QList<QJsonObject> recordedCalls()
{
    QList<QJsonObject> calls;
    QFile log(qEnvironmentVariable("VIGILMOUNT_NOTIFICATIONS_LOG"));
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : log.readAll().split('\n')) {
            if (!line.isEmpty())
                calls.append(QJsonDocument::fromJson(line).object());
        }
    }
    return calls;
}

// PrepareForSleep(starting) as logind, or from a connection that does not own its name.
bool prepareForSleep(bool starting, bool asLogind = true)
{
    const QString value = starting ? u"true"_s : u"false"_s;
    if (asLogind)
        return QProcess::execute(qEnvironmentVariable("VIGILMOUNT_HARNESS_DIR") +
                                     u"/emit-prepare-for-sleep"_s,
                                 {value}) == 0;
    return QProcess::execute(u"gdbus"_s,
                             {u"emit"_s, u"--system"_s, u"--object-path"_s,
                              u"/org/freedesktop/login1"_s, u"--signal"_s,
                              u"org.freedesktop.login1.Manager.PrepareForSleep"_s, value}) == 0;
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("VIGILMOUNT_NOTIFICATIONS_LOG"),
                 "the notification listener component is not running");
        QVERIFY2(QDBusConnection::systemBus().isConnected(), "the system bus is not running");
    }

    void notificationsReachTheServer()
    {
        const qsizetype before = recordedCalls().size();
        DesktopNotifications notifications;
        notifications.requestPermission();
        notifications.post(u"ID-1"_s, u"Couldn't mount <A&B>"_s, u"Share \"<b>A&amp;B</b>\"'"_s);
        QTRY_COMPARE(recordedCalls().size(), before + 2);
        const QList<QJsonObject> calls = recordedCalls().mid(before);
        QCOMPARE(calls.at(0), QJsonObject({{u"method"_s, u"GetCapabilities"_s}}));

        QJsonObject call = calls.at(1);
        call.remove(u"app_icon"_s);
        call.remove(u"id"_s); // the server's own
        QCOMPARE(call,
                 QJsonObject({{u"method"_s, u"Notify"_s},
                              {u"signature"_s, u"susssasa{sv}i"_s},
                              {u"app_name"_s, u"Vigilmount"_s},
                              {u"replaces_id"_s, 0},
                              {u"summary"_s, u"Couldn't mount <A&B>"_s},
                              {u"body"_s, u"Share \"&lt;b&gt;A&amp;amp;B&lt;/b&gt;\"'"_s},
                              {u"actions"_s, QJsonArray()},
                              {u"hints"_s, QJsonObject({{u"desktop-entry"_s, u"org.vigilmount.Vigilmount"_s},
                                                        {u"x-vigilmount-id"_s, u"ID-1"_s}})},
                              {u"hint_types"_s, QJsonObject({{u"desktop-entry"_s, u"s"_s},
                                                             {u"x-vigilmount-id"_s, u"s"_s}})},
                              {u"expire"_s, -1}}));
    }

    // Only logind's "resumed" is a wake: not going to sleep, not another sender.
    void wakeFromLogind()
    {
        SleepWakeMonitor monitor;
        QTRY_VERIFY(monitor.isSubscribed()); // made in the background
        QSignalSpy woke(&monitor, &WakePort::didWake);
        QVERIFY(prepareForSleep(false, false));
        QVERIFY(prepareForSleep(true));
        QVERIFY(prepareForSleep(false));
        // Signals arrive in order: once the resume is seen, the others were handled too.
        QTRY_COMPARE(woke.size(), 1);
        QVERIFY(prepareForSleep(false));
        QTRY_COMPARE(woke.size(), 2);
        QTest::qWait(200);
        QCOMPARE(woke.size(), 2);
    }
};

QTEST_GUILESS_MAIN(DesktopTest)
#include "DesktopTest.moc"
