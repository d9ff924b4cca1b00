#include "platform/DesktopNotifications.h"

#include "common/ApplicationId.h"
#include "platform/GLibPointers.h"

namespace {

constexpr const char *service = "org.freedesktop.Notifications";
constexpr const char *path = "/org/freedesktop/Notifications";
constexpr const char *interface = "org.freedesktop.Notifications";

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

} // namespace

DesktopNotifications::DesktopNotifications(std::chrono::milliseconds bound)
    : m_bus(G_BUS_TYPE_SESSION, bound), m_bound(bound)
{}

void DesktopNotifications::requestPermission()
{
    call("GetCapabilities", nullptr);
}

void DesktopNotifications::post(const QString &identifier, NotificationSubject subject,
                                const QString &title, const QString &body)
{
    Q_UNUSED(subject)
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                          g_variant_new_string(utf8(applicationId).constData()));
    g_variant_builder_add(&hints, "{sv}", "x-vigilmount-id",
                          g_variant_new_string(utf8(identifier).constData()));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout.
    GVariant *parameters = g_variant_new(
        "(susss@asa{sv}i)", "Vigilmount", 0u, "", utf8(title).constData(),
        utf8(escapedBody(body)).constData(), g_variant_new_strv(nullptr, 0), &hints, -1);
    call("Notify", parameters);
}

void DesktopNotifications::call(const char *method, GVariant *parameters)
{
    // Kept until the bus is there, or dropped with the waiting call.
    const std::shared_ptr<GVariant> kept =
        GVariantPtr(parameters ? g_variant_ref_sink(parameters) : nullptr);
    const int timeout = int(m_bound.count());
    m_bus.withConnection([method, kept, timeout](GDBusConnection *bus) {
        g_dbus_connection_call(bus, service, path, interface, method, kept.get(), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, timeout, nullptr, nullptr, nullptr);
    });
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
