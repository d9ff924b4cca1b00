#pragma once

#include "monitor/WatchdogPorts.h"

// The watchdog's share on Linux: found in the mount table, mounted through GIO, shown in the
// file manager.
class GvfsShare final : public SharePort
{
public:
    std::optional<QString> mountPoint(const QString &host, const QString &share) override;
    // GIO mounts asynchronously on the main context, so nothing blocks here; the mounter
    // gives up on a silent server after its own 60 s.
    void mount(const MountRequest &request, std::function<void(MountOutcome)> done) override;
    void openFolder(const QString &path) override;
    // GVfs's daemon owns its name on the session bus while it runs.
    void missingService(std::function<void(MissingService)> done) override;
};
