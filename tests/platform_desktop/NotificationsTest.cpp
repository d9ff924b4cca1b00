#include "platform/DesktopNotifications.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUuid>

namespace {

// The calls the notification listener recorded since the test started, oldest first.
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

QString newIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

bool setReplyDelay(uint milliseconds)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.vigilmount.Test"),
        QStringLiteral("SetReplyDelay"));
    call << milliseconds;
    return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
}

} // namespace

class NotificationsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void bodyEscaping();
    void probeAndNotificationsReachTheServer();
    void slowServerNeverBlocksTheCaller();
};

void NotificationsTest::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("VIGILMOUNT_NOTIFICATIONS_LOG"),
             "the notification listener component is not running");
}

void NotificationsTest::bodyEscaping()
{
    QCOMPARE(DesktopNotifications::escapedBody(QStringLiteral("a & b <c> 'd' \"e\"")),
             QStringLiteral("a &amp; b &lt;c&gt; 'd' \"e\""));
    QCOMPARE(DesktopNotifications::escapedBody(QStringLiteral("&amp;")),
             QStringLiteral("&amp;amp;"));
}

void NotificationsTest::probeAndNotificationsReachTheServer()
{
    const qsizetype before = recordedCalls().size();
    const QString first = newIdentifier();
    const QString second = newIdentifier();
    DesktopNotifications notifications;
    notifications.requestPermission();
    notifications.post(
        first, QStringLiteral("Plex restarted"),
        QStringLiteral("Plex Media Server wasn't running, so Vigilmount started it."));
    notifications.post(second, QStringLiteral("Couldn't mount <A&B>"),
                       QStringLiteral("Share \"<b>A&B</b>\" refused"));
    QTRY_COMPARE(recordedCalls().size(), before + 3);
    const QList<QJsonObject> calls = recordedCalls().mid(before);
    QCOMPARE(calls.at(0),
             QJsonObject({{QStringLiteral("method"), QStringLiteral("GetCapabilities")}}));

    const QStringList titles{QStringLiteral("Plex restarted"),
                             QStringLiteral("Couldn't mount <A&B>")};
    const QStringList bodies{
        QStringLiteral("Plex Media Server wasn't running, so Vigilmount started it."),
        QStringLiteral("Share \"&lt;b&gt;A&amp;B&lt;/b&gt;\" refused")};
    const QStringList ids{first, second};
    for (int i = 0; i < 2; ++i) {
        const QJsonObject call = calls.at(i + 1);
        QCOMPARE(call[QStringLiteral("method")].toString(), QStringLiteral("Notify"));
        QCOMPARE(call[QStringLiteral("signature")].toString(), QStringLiteral("susssasa{sv}i"));
        QCOMPARE(call[QStringLiteral("app_name")].toString(), QStringLiteral("Vigilmount"));
        QCOMPARE(call[QStringLiteral("replaces_id")].toInteger(-1), 0);
        QCOMPARE(call[QStringLiteral("summary")].toString(), titles.at(i));
        QCOMPARE(call[QStringLiteral("body")].toString(), bodies.at(i));
        QCOMPARE(call[QStringLiteral("actions")].toArray(), QJsonArray());
        QCOMPARE(call[QStringLiteral("expire")].toInteger(0), -1);
        QCOMPARE(call[QStringLiteral("hints")].toObject(),
                 QJsonObject({{QStringLiteral("desktop-entry"), QStringLiteral("vigilmount")},
                              {QStringLiteral("x-vigilmount-id"), ids.at(i)}}));
        QCOMPARE(call[QStringLiteral("hint_types")].toObject(),
                 QJsonObject({{QStringLiteral("desktop-entry"), QStringLiteral("s")},
                              {QStringLiteral("x-vigilmount-id"), QStringLiteral("s")}}));
    }
}

void NotificationsTest::slowServerNeverBlocksTheCaller()
{
    QVERIFY(setReplyDelay(4000));
    const qsizetype before = recordedCalls().size();
    DesktopNotifications notifications;
    QElapsedTimer timer;
    timer.start();
    notifications.requestPermission();
    notifications.post(newIdentifier(), QStringLiteral("Plex restarted"), QStringLiteral("slow"));
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    // The server has both calls while its answers are still outstanding.
    QTRY_COMPARE(recordedCalls().size(), before + 2);
    QVERIFY(timer.elapsed() < 4000);
    QVERIFY(setReplyDelay(0));
}

QTEST_GUILESS_MAIN(NotificationsTest)
#include "NotificationsTest.moc"
