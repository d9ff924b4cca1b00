#pragma once

#include "monitor/WatchdogPorts.h"

// The watchdog's view of the media server, answered by ServerProcessScanner and PlexController.
class PlexMediaServer : public MediaServerPort
{
public:
    bool isRunning() override;
    void launch(const QString &path, std::function<void(LaunchOutcome)> done) override;
};
