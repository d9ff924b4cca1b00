#include "platform/DesktopNotifications.h"

#include "common/ApplicationId.h"
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection &bus) : m_bus(bus) {}

void DesktopNotifications::requestPermission()
{
    if (!m_bus.isConnected())
        return;
    m_bus.asyncCall(QDBusMessage::createMethodCall(service, path, interface,
                                                   QStringLiteral("GetCapabilities")));
}

void DesktopNotifications::post(const QString &identifier, const QString &title,
                                const QString &body)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), applicationId},
        {QStringLiteral("x-vigilmount-id"), identifier},
    };
    // Signature susssasa{sv}i: app_name, replaces_id, app_icon, summary, body, actions,
    // hints, expire_timeout.
    call << QStringLiteral("Vigilmount") << quint32(0) << QString() << title << escapedBody(body)
         << QStringList() << hints << qint32(-1);
    m_bus.asyncCall(call);
}

QString DesktopNotifications::escapedBody(const QString &body)
{
    QString escaped;
    escaped.reserve(body.size());
    for (QChar c : body) {
        if (c == QLatin1Char('&'))
            escaped += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QStringLiteral("&gt;");
        else
            escaped += c;
    }
    return escaped;
}
