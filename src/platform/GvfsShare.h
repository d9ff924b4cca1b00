#pragma once

#include "monitor/WatchdogPorts.h"
#include "platform/ShareProbe.h"

// The watchdog's share on Linux: found in the mount table, mounted through GIO, shown in the
// file manager.
class GvfsShare final : public SharePort
{
public:
    // The bounds of the share probe and of ending a frozen share's backend (tests shorten them).
    explicit GvfsShare(ShareProbe::Bounds probeBounds = {},
                       std::chrono::milliseconds backendBound = std::chrono::seconds(10))
        : m_probe(probeBounds), m_backendBound(backendBound)
    {}

    std::optional<QString> mountPoint(const QString &host, const QString &share) override;
    // GIO mounts asynchronously on the main context, so nothing blocks here; the mounter
    // gives up on a silent server after its own 60 s.
    void mount(const MountRequest &request, std::function<void(MountOutcome)> done) override;
    void openFolder(const QString &path) override;
    // GVfs's daemon owns its name on the session bus while it runs.
    void missingService(std::function<void(MissingService)> done) override;
    void probe(const QString &mountPoint, std::function<void(ShareHealth)> done) override;
    // Only a GVfs mount has a backend of the user's to end; a kernel mount answers false.
    void endBackend(const QString &mountPoint, std::function<void(bool)> done) override;

private:
    ShareProbe m_probe;
    std::chrono::milliseconds m_backendBound;
};
