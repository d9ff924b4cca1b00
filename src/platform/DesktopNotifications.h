#pragma once

#include "monitor/WatchdogPorts.h"
#include "platform/AsyncBus.h"

#include <QString>

// Desktop notifications through org.freedesktop.Notifications on the session bus. Every call
// is asynchronous and its answer is ignored: without a bus or a notification server nothing is
// shown, silently, and nothing ever waits for the bus or the server.
class DesktopNotifications : public NotificationPort
{
public:
    explicit DesktopNotifications(std::chrono::milliseconds bound = std::chrono::seconds(5));

    // Asks the server for its capabilities (the stand-in for a permission request).
    void requestPermission() override;
    // One notification that replaces no other; the identifier travels in the hint
    // "x-vigilmount-id".
    void post(const QString &identifier, NotificationSubject subject, const QString &title,
              const QString &body) override;

    // Escapes &, < and > (servers may read the body as markup).
    static QString escapedBody(const QString &body);

private:
    void call(const char *method, GVariant *parameters);

    AsyncBus m_bus;
    std::chrono::milliseconds m_bound;
};
