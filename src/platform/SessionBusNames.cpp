#include "platform/SessionBusNames.h"

#include "platform/GAsyncCall.h"

namespace SessionBusNames {

namespace {

using Missing = std::optional<QString>;

QCoro::Task<Missing> askOwner(QString name, QString absent, std::chrono::milliseconds bound,
                              GCancellable *cancellable)
{
    const GObjectPtr<GAsyncResult> connected =
        co_await GAsyncCall([cancellable](GAsyncReadyCallback ready, gpointer data) {
            g_bus_get(G_BUS_TYPE_SESSION, cancellable, ready, data);
        });
    const GObjectPtr<GDBusConnection> bus(g_bus_get_finish(connected.get(), nullptr));
    if (!bus)
        co_return busMissing();

    const QByteArray busName = name.toUtf8();
    const GObjectPtr<GAsyncResult> answered =
        co_await GAsyncCall([&](GAsyncReadyCallback ready, gpointer data) {
            g_dbus_connection_call(
                bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "NameHasOwner", g_variant_new("(s)", busName.constData()), G_VARIANT_TYPE("(b)"),
                G_DBUS_CALL_FLAGS_NONE, static_cast<int>(bound.count()), cancellable, ready, data);
        });
    const GVariantPtr reply(g_dbus_connection_call_finish(bus.get(), answered.get(), nullptr));
    if (!reply)
        co_return busMissing();
    gboolean owned = FALSE;
    g_variant_get(reply.get(), "(b)", &owned);
    co_return owned ? Missing() : Missing(absent);
}

} // namespace

QString busMissing()
{
    return QString::fromUtf8(
        QT_TRANSLATE_NOOP("Outcome", "The desktop session bus isn't available."));
}

void missingOwner(const QString &name, const QString &absent,
                  std::function<void(std::optional<QString>)> done, std::chrono::milliseconds bound)
{
    BoundedGLib::run<Missing>(
        [=](GCancellable *cancellable) { return askOwner(name, absent, bound, cancellable); },
        bound, busMissing(), std::move(done));
}

} // namespace SessionBusNames
