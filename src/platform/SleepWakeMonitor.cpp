#include "platform/SleepWakeMonitor.h"

SleepWakeMonitor::SleepWakeMonitor(const QDBusConnection &bus, QObject *parent) : WakePort(parent)
{
    if (!bus.isConnected())
        return;
    // Naming the service makes the bus connection deliver only what its owner sends.
    QDBusConnection connection(bus);
    m_subscribed = connection.connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
}

void SleepWakeMonitor::prepareForSleep(bool starting)
{
    if (!starting)
        Q_EMIT didWake();
}
