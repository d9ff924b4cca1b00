#pragma once

#include "monitor/WatchdogPorts.h"

#include <QString>
#include <memory>

class AppSettings;

// Desktop notifications about repairs and failed repairs, switched by notifyOnAction. Every
// notification gets its own identifier and names its subject.
class RepairNotifier
{
public:
    RepairNotifier(AppSettings &settings, std::shared_ptr<NotificationPort> port);

    // The start-up probe; made only when notifyOnAction is on at that moment.
    void requestPermissionIfEnabled();
    // Posts at once when notifyOnAction is on; otherwise does nothing.
    void notify(NotificationSubject subject, const QString &title, const QString &body);

    // A fresh random UUID: 36 characters, upper-case hexadecimal in groups of 8-4-4-4-12.
    static QString newIdentifier();

private:
    AppSettings &m_settings;
    std::shared_ptr<NotificationPort> m_port;
};
