#include "platform/SleepWakeMonitor.h"

SleepWakeMonitor::SleepWakeMonitor(std::chrono::milliseconds bound, QObject *parent)
    : WakePort(parent), m_bus(G_BUS_TYPE_SYSTEM, bound)
{
    // The bus calls back only while this object lives: it owns the bus.
    m_bus.withConnection([this](GDBusConnection *bus) {
        // Naming the service makes the bus deliver only what its owner sends.
        m_connection = bus;
        m_subscription = g_dbus_connection_signal_subscribe(
            bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
            "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &prepareForSleep, this,
            nullptr);
    });
}

SleepWakeMonitor::~SleepWakeMonitor()
{
    if (m_subscription)
        g_dbus_connection_signal_unsubscribe(m_connection, m_subscription);
}

void SleepWakeMonitor::prepareForSleep(GDBusConnection *, const gchar *, const gchar *,
                                       const gchar *, const gchar *, GVariant *parameters,
                                       gpointer self)
{
    gboolean starting = TRUE;
    if (g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)")))
        g_variant_get(parameters, "(b)", &starting);
    if (!starting)
        Q_EMIT static_cast<SleepWakeMonitor *>(self)->didWake();
}
