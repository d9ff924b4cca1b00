// Notifications as the harness's listener records them, and wake-ups from its fake logind.
#include "platform/DesktopNotifications.h"
#include "platform/SleepWakeMonitor.h"

#include <QFile>
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
    QFile log(qEnvironmentVariable("VIGILMOUNT_NOTIFICATIONS_LOG"));
    QList<QJsonObject> calls;
    if (log.open(QIODevice::ReadOnly))
        for (const QByteArray &line : log.readAll().split('\n'))
            if (!line.isEmpty())
                calls.append(QJsonDocument::fromJson(line).object());
    return calls;
}

// PrepareForSleep(starting) from the fake logind, or from a connection that doesn't own its name.
bool prepareForSleep(bool starting, bool asLogind = true)
{
    const QString how =
        asLogind ? u"call --dest org.freedesktop.login1 --method org.vigilmount.Test.Emit"_s
                 : u"emit --signal org.freedesktop.login1.Manager."_s;
    const QString where = u"PrepareForSleep --system --object-path /org/freedesktop/login1 "_s;
    return QProcess::execute(u"gdbus"_s,
                             (how + where + QVariant(starting).toString()).split(u' ')) == 0;
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void notificationsReachTheServer()
    {
        DesktopNotifications notifications;
        notifications.requestPermission();
        notifications.post(u"ID-1"_s, NotificationSubject::plex, u"Couldn't mount <A&B>"_s,
                           u"Share \"<b>A&amp;B</b>\"'"_s);
        QTRY_COMPARE(recordedCalls().size(), 2);
        QCOMPARE(recordedCalls().at(0), QJsonObject({{u"method"_s, u"GetCapabilities"_s}}));
        QJsonObject call = recordedCalls().at(1);
        call.remove(u"app_icon"_s);
        call.remove(u"id"_s); // the server's own
        const char *expected = R"({"method": "Notify", "signature": "susssasa{sv}i",
            "app_name": "Vigilmount", "replaces_id": 0, "summary": "Couldn't mount <A&B>",
            "body": "Share \"&lt;b&gt;A&amp;amp;B&lt;/b&gt;\"'", "actions": [], "expire": -1,
            "hints": {"desktop-entry": "org.vigilmount.Vigilmount", "x-vigilmount-id": "ID-1"},
            "hint_types": {"desktop-entry": "s", "x-vigilmount-id": "s"}})";
        QCOMPARE(call, QJsonDocument::fromJson(expected).object());
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
