#pragma once

#include "monitor/WatchdogPorts.h"

// The Linux services behind the watchdog's ports: the process scan and background launch of
// the media server, the mount table and GIO mounts, the login keyring, desktop notifications
// over D-Bus, logind's wake signal and the file manager.
WatchdogServices makeProductionServices();
