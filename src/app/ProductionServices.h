#pragma once

#include "monitor/WatchdogPorts.h"

#include <functional>

// The Linux services behind the watchdog's ports: the process scan and background launch of
// the media server, the mount table and GIO mounts, the login keyring, desktop notifications
// over D-Bus, logind's wake signal and the file manager. A notification's "Open Settings"
// button calls openSettings with its subject; without one, notifications have no button.
WatchdogServices makeProductionServices(std::function<void(NotificationSubject)> openSettings = {});
