#pragma once

#include "monitor/WatchdogPorts.h"

#include <QDBusConnection>

// Emits didWake() when logind announces the end of a sleep: PrepareForSleep(false) from
// org.freedesktop.login1 on the system bus. Signals from any other sender are ignored. Without
// a system bus it stays silent.
class SleepWakeMonitor : public WakePort
{
    Q_OBJECT

public:
    explicit SleepWakeMonitor(const QDBusConnection &bus = QDBusConnection::systemBus(),
                              QObject *parent = nullptr);

    // True when the subscription to logind is in place.
    bool isSubscribed() const { return m_subscribed; }

private Q_SLOTS:
    void prepareForSleep(bool starting);

private:
    bool m_subscribed = false;
};
