#include "platform/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUuid>

namespace {

// Every call the notification listener recorded, oldest first.
QList<QJsonObject> recordedCalls()
{
    QList<QJsonObject> calls;
    QFile log(qEnvironmentVariable("VIGILMOUNT_NOTIFICATIONS_LOG"));
    if (!log.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.isEmpty())
            calls.append(QJsonDocument::fromJson(line).object());
    }
    return calls;
}

QList<QJsonObject> notifyCalls()
{
    QList<QJsonObject> calls;
    for (const QJsonObject &call : recordedCalls()) {
        if (call.value(QStringLiteral("method")).toString() == QStringLiteral("Notify"))
            calls.append(call);
    }
    return calls;
}

QString newIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

void setReplyDelay(uint milliseconds)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.vigilmount.Test"),
        QStringLiteral("SetReplyDelay"));
    call << milliseconds;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
}

} // namespace

class NotificationsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void bodyEscaping();
    void permissionProbeAsksForCapabilities();
    void notificationCarriesExactFields();
    void eachNotificationIsSeparate();
    void markupInBodyIsEscapedButTitleKept();
    void slowServerNeverBlocksTheCaller();

private:
    qsizetype m_before = 0;
};

void NotificationsTest::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("VIGILMOUNT_NOTIFICATIONS_LOG"),
             "the notification listener component is not running");
    QVERIFY(QDBusConnection::sessionBus().isConnected());
}

void NotificationsTest::init()
{
    m_before = recordedCalls().size();
}

void NotificationsTest::bodyEscaping()
{
    QCOMPARE(DesktopNotifications::escapedBody(QStringLiteral("a & b <c> 'd' \"e\"")),
             QStringLiteral("a &amp; b &lt;c&gt; 'd' \"e\""));
    QCOMPARE(DesktopNotifications::escapedBody(QStringLiteral("&amp;")),
             QStringLiteral("&amp;amp;"));
    QCOMPARE(DesktopNotifications::escapedBody(QStringLiteral("plain text")),
             QStringLiteral("plain text"));
}

void NotificationsTest::permissionProbeAsksForCapabilities()
{
    DesktopNotifications notifications;
    notifications.requestPermission();
    QTRY_COMPARE(recordedCalls().size(), m_before + 1);
    QCOMPARE(recordedCalls().last().value(QStringLiteral("method")).toString(),
             QStringLiteral("GetCapabilities"));
}

void NotificationsTest::notificationCarriesExactFields()
{
    const qsizetype before = notifyCalls().size();
    const QString id = newIdentifier();
    DesktopNotifications notifications;
    notifications.post(
        id, QStringLiteral("Plex restarted"),
        QStringLiteral("Plex Media Server wasn't running, so Vigilmount started it."));
    QTRY_COMPARE(notifyCalls().size(), before + 1);
    const QJsonObject call = notifyCalls().last();
    QCOMPARE(call.value(QStringLiteral("signature")).toString(), QStringLiteral("susssasa{sv}i"));
    QCOMPARE(call.value(QStringLiteral("app_name")).toString(), QStringLiteral("Vigilmount"));
    QCOMPARE(call.value(QStringLiteral("replaces_id")).toInteger(-1), 0);
    QCOMPARE(call.value(QStringLiteral("summary")).toString(), QStringLiteral("Plex restarted"));
    QCOMPARE(call.value(QStringLiteral("body")).toString(),
             QStringLiteral("Plex Media Server wasn't running, so Vigilmount started it."));
    QCOMPARE(call.value(QStringLiteral("actions")).toArray(), QJsonArray());
    QCOMPARE(call.value(QStringLiteral("expire")).toInteger(0), -1);
    const QJsonObject hints = call.value(QStringLiteral("hints")).toObject();
    QCOMPARE(hints.keys(),
             (QStringList{QStringLiteral("desktop-entry"), QStringLiteral("x-vigilmount-id")}));
    QCOMPARE(hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("vigilmount"));
    QCOMPARE(hints.value(QStringLiteral("x-vigilmount-id")).toString(), id);
    const QJsonObject types = call.value(QStringLiteral("hint_types")).toObject();
    QCOMPARE(types.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("s"));
    QCOMPARE(types.value(QStringLiteral("x-vigilmount-id")).toString(), QStringLiteral("s"));
}

void NotificationsTest::eachNotificationIsSeparate()
{
    const qsizetype before = notifyCalls().size();
    const QString first = newIdentifier();
    const QString second = newIdentifier();
    DesktopNotifications notifications;
    notifications.post(first, QStringLiteral("Plex restarted"), QStringLiteral("one"));
    notifications.post(second, QStringLiteral("Plex volume reconnected"),
                       QStringLiteral("media is mounted at /m."));
    QTRY_COMPARE(notifyCalls().size(), before + 2);
    const QList<QJsonObject> calls = notifyCalls().mid(before);
    QCOMPARE(
        calls.at(0).value(QStringLiteral("hints"))[QStringLiteral("x-vigilmount-id")].toString(),
        first);
    QCOMPARE(
        calls.at(1).value(QStringLiteral("hints"))[QStringLiteral("x-vigilmount-id")].toString(),
        second);
    QCOMPARE(calls.at(1).value(QStringLiteral("summary")).toString(),
             QStringLiteral("Plex volume reconnected"));
    for (const QJsonObject &call : calls)
        QCOMPARE(call.value(QStringLiteral("replaces_id")).toInteger(-1), 0);
}

void NotificationsTest::markupInBodyIsEscapedButTitleKept()
{
    const qsizetype before = notifyCalls().size();
    DesktopNotifications notifications;
    notifications.post(newIdentifier(), QStringLiteral("Couldn't mount <A&B>"),
                       QStringLiteral("Share \"<b>A&B</b>\" refused"));
    QTRY_COMPARE(notifyCalls().size(), before + 1);
    const QJsonObject call = notifyCalls().last();
    QCOMPARE(call.value(QStringLiteral("summary")).toString(),
             QStringLiteral("Couldn't mount <A&B>"));
    QCOMPARE(call.value(QStringLiteral("body")).toString(),
             QStringLiteral("Share \"&lt;b&gt;A&amp;B&lt;/b&gt;\" refused"));
}

void NotificationsTest::slowServerNeverBlocksTheCaller()
{
    setReplyDelay(4000);
    const qsizetype before = notifyCalls().size();
    DesktopNotifications notifications;
    QElapsedTimer timer;
    timer.start();
    notifications.requestPermission();
    notifications.post(newIdentifier(), QStringLiteral("Plex restarted"), QStringLiteral("slow"));
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    // The server got the call while its answer is still outstanding.
    QTRY_COMPARE(notifyCalls().size(), before + 1);
    QVERIFY(timer.elapsed() < 4000);
    setReplyDelay(0);
}

QTEST_GUILESS_MAIN(NotificationsTest)
#include "NotificationsTest.moc"
