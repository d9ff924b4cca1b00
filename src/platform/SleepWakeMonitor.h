#pragma once

#include "monitor/WatchdogPorts.h"
#include "platform/AsyncBus.h"

// Emits didWake() when logind announces the end of a sleep: PrepareForSleep(false) from
// org.freedesktop.login1 on the system bus. Signals from any other sender are ignored. The
// subscription is made in the background: without a system bus, or with one that does not
// answer, it stays silent and never holds anything up.
class SleepWakeMonitor : public WakePort
{
    Q_OBJECT

public:
    explicit SleepWakeMonitor(std::chrono::milliseconds bound = std::chrono::seconds(5),
                              QObject *parent = nullptr);
    ~SleepWakeMonitor() override;

    // True once the subscription to logind is in place.
    bool isSubscribed() const { return m_subscription != 0; }

private:
    static void prepareForSleep(GDBusConnection *, const gchar *, const gchar *, const gchar *,
                                const gchar *, GVariant *parameters, gpointer self);

    AsyncBus m_bus;
    GDBusConnection *m_connection = nullptr; // owned by m_bus
    guint m_subscription = 0;
};
