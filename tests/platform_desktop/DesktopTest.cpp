// Notifications as the harness's listener records them, and wake-ups from its fake logind.
#include "platform/DesktopNotifications.h"
#include "platform/SleepWakeMonitor.h"

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
    QFile log(qEnvironmentVariable("VIGILMOUNT_NOTIFICATIONS_LOG"));
    QList<QJsonObject> calls;
    if (log.open(QIODevice::ReadOnly))
        for (const QByteArray &line : log.readAll().split('\n'))
            if (!line.isEmpty())
                calls.append(QJsonDocument::fromJson(line).object());
    return calls;
}

QList<QJsonObject> notifyCalls()
{
    QList<QJsonObject> calls = recordedCalls();
    calls.removeIf([](const QJsonObject &call) { return call[u"method"_s] != u"Notify"_s; });
    return calls;
}

// What the listener offers or reports: SetCapabilities(as) or InvokeAction(u, s).
bool listener(const QString &method, const QStringList &arguments)
{
    return QProcess::execute(u"gdbus"_s,
                             QStringList{u"call"_s, u"--session"_s, u"--dest"_s,
                                         u"org.freedesktop.Notifications"_s, u"--object-path"_s,
                                         u"/org/freedesktop/Notifications"_s, u"--method"_s,
                                         u"org.vigilmount.Test."_s + method} +
                                 arguments) == 0;
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
    // Without a handler there is no button, even from a server that offers actions.
    void notificationsReachTheServer()
    {
        QVERIFY(listener(u"SetCapabilities"_s, {u"['actions']"_s}));
        DesktopNotifications notifications;
        notifications.requestPermission();
        notifications.post(u"ID-1"_s, NotificationSubject::plex, u"Couldn't mount <A&B>"_s,
                           u"Share \"<b>A&amp;B</b>\"'"_s);
        QTRY_COMPARE(recordedCalls().size(), 3);
        for (int i : {0, 1})
            QCOMPARE(recordedCalls().at(i), QJsonObject({{u"method"_s, u"GetCapabilities"_s}}));
        QJsonObject call = recordedCalls().at(2);
        call.remove(u"app_icon"_s);
        call.remove(u"id"_s); // the server's own
        const char *expected = R"({"method": "Notify", "signature": "susssasa{sv}i",
            "app_name": "Vigilmount", "replaces_id": 0, "summary": "Couldn't mount <A&B>",
            "body": "Share \"&lt;b&gt;A&amp;amp;B&lt;/b&gt;\"'", "actions": [], "expire": -1,
            "hints": {"desktop-entry": "org.vigilmount.Vigilmount", "x-vigilmount-id": "ID-1"},
            "hint_types": {"desktop-entry": "s", "x-vigilmount-id": "s"}})";
        QCOMPARE(call, QJsonDocument::fromJson(expected).object());
    }

    // A notification takes the place of the last one about its subject, also when posted
    // before the server answered that one; the other subject keeps its own. The button only
    // when the server offers actions; a click on it names the subject of that notification.
    void sameSubjectReplacesAndOpensSettings()
    {
        QVERIFY(listener(u"SetCapabilities"_s, {u"['body']"_s}));
        QList<NotificationSubject> opened;
        DesktopNotifications notifications(std::chrono::seconds(5),
                                           [&](NotificationSubject subject) { opened << subject; });
        const qsizetype before = notifyCalls().size();
        const auto post = [&](NotificationSubject subject) {
            notifications.post(u"ID"_s, subject, u"Couldn't start Plex"_s, {});
        };
        post(NotificationSubject::plex);
        post(NotificationSubject::plex);
        QTRY_COMPARE(notifyCalls().size(), before + 2);
        const quint32 plex = notifications.shownNotification(NotificationSubject::plex);
        QCOMPARE(notifyCalls().at(before)[u"replaces_id"_s], 0);
        QCOMPARE(notifyCalls().at(before + 1)[u"replaces_id"_s].toInt(), int(plex));
        QCOMPARE(notifyCalls().at(before + 1)[u"actions"_s], QJsonArray());

        QVERIFY(listener(u"SetCapabilities"_s, {u"['actions', 'body']"_s}));
        post(NotificationSubject::volume);
        QTRY_VERIFY(notifications.shownNotification(NotificationSubject::volume) != 0);
        const quint32 volume = notifications.shownNotification(NotificationSubject::volume);
        QVERIFY(volume != plex);
        QCOMPARE(notifyCalls().last()[u"replaces_id"_s], 0);
        QCOMPARE(notifyCalls().last()[u"actions"_s],
                 QJsonArray({u"open-settings"_s, u"Open Settings"_s}));

        const auto click = [](quint32 id, const QString &key) {
            return listener(u"InvokeAction"_s, {QString::number(id), key});
        };
        QVERIFY(click(volume + plex + 1, u"open-settings"_s) && click(plex, u"other"_s));
        QVERIFY(click(volume, u"open-settings"_s) && click(plex, u"open-settings"_s));
        // Signals arrive in order: the last one seen means the others were handled.
        QTRY_COMPARE(opened.size(), 2);
        QCOMPARE(opened, (QList{NotificationSubject::volume, NotificationSubject::plex}));
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
