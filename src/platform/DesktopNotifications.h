#pragma once

#include "monitor/WatchdogPorts.h"
#include "platform/AsyncBus.h"

#include <QString>

#include <functional>
#include <memory>

// Desktop notifications through org.freedesktop.Notifications on the session bus. Every call
// is asynchronous: without a bus or a notification server nothing is shown, silently, and
// nothing ever waits for the bus or the server.
//
// A notification takes the place of the one shown before about the same subject (the server's
// id from Notify is kept for the next one's replaces_id), so the server's list holds the latest
// per subject. With an openSettings handler, and a server that offers actions, each notification
// has an "Open Settings" button that hands the handler its subject.
class DesktopNotifications : public NotificationPort
{
public:
    using OpenSettings = std::function<void(NotificationSubject)>;

    explicit DesktopNotifications(std::chrono::milliseconds bound = std::chrono::seconds(5),
                                  OpenSettings openSettings = {});
    ~DesktopNotifications() override;

    // Asks the server for its capabilities (the stand-in for a permission request).
    void requestPermission() override;
    // One notification, asked for the server's capabilities first; the identifier travels in
    // the hint "x-vigilmount-id".
    void post(const QString &identifier, NotificationSubject subject, const QString &title,
              const QString &body) override;

    // The server's id of the latest notification shown about subject; 0 before the first.
    quint32 shownNotification(NotificationSubject subject) const;

    // Escapes &, < and > (servers may read the body as markup).
    static QString escapedBody(const QString &body);

    // What the callbacks share; public only so that GLib's callbacks can find it.
    struct State;

private:
    AsyncBus m_bus;
    std::shared_ptr<State> m_state;
};
