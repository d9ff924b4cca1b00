#pragma once

#include <QByteArray>

class Watchdog;

// The watchdog's state as one line of JSON, for "vigilmount --status": plexRunning and
// volumeMounted (true, false or null when unknown), volumeMountPoint, lastCheck (ISO 8601 UTC;
// both null when there is none), lastMessage and isChecking.
QByteArray statusReport(const Watchdog &watchdog);
