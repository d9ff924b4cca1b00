#pragma once

#include "monitor/WatchdogPorts.h"

#include <chrono>
#include <memory>

class ServerIdentityProbe;

// The watchdog's view of the media server, answered by ServerProcessScanner, PlexController and
// ServerIdentityProbe. Remembers the process its last launch started.
class PlexMediaServer : public MediaServerPort
{
public:
    struct Bounds
    {
        std::chrono::milliseconds probe = std::chrono::seconds(10);
        // After SIGTERM, until SIGKILL; after SIGKILL, until the restart gives up.
        std::chrono::milliseconds stopGrace = std::chrono::seconds(30);
    };

    PlexMediaServer();
    explicit PlexMediaServer(Bounds bounds);
    ~PlexMediaServer() override;

    std::optional<ServerProcess> runningProcess() override;
    void probe(quint16 port, std::function<void(bool)> done) override;
    void launch(const QString &path, bool interactive,
                std::function<void(LaunchOutcome)> done) override;
    void restart(const ServerProcess &hung, const QString &path,
                 std::function<void(LaunchOutcome)> done) override;
    std::optional<QString> unrecognisedLaunch() override;

    // What the last launch started; shared with the worker that reports it.
    struct Launched;

private:
    Bounds m_bounds;
    std::unique_ptr<ServerIdentityProbe> m_probe;
    std::shared_ptr<Launched> m_launched;
};
