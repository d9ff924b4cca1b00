#pragma once

#include "monitor/WatchdogPorts.h"

#include <QHash>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

// How long the share probe waits: for GIO's answer, and for the folder's child.
struct ShareProbeBounds
{
    std::chrono::milliseconds query = std::chrono::seconds(15);
    std::chrono::milliseconds folder = std::chrono::seconds(10);
};

// Judges whether a mounted share answers. A GVfs share is asked through GIO for its free space
// (which the server must answer; a cancellable ends the wait at the query bound) while a child
// process asks statfs() of its local folder (killed at the folder bound). A kernel mount has
// only the folder probe: GIO would ask the folder from a thread of this process.
class ShareProbe
{
public:
    using Bounds = ShareProbeBounds;

    explicit ShareProbe(Bounds bounds = {}) : m_bounds(bounds) {}

    // `done` runs once, on the main thread. A probe asked for a mount whose probe is still
    // running joins it: a share's backend answers one request at a time. Main thread only.
    void probe(const QString &mountPoint, std::function<void(ShareHealth)> done);

    // Who waits for the probe of each mount point; shared with the probes still running, which
    // may outlive this object.
    using Waiting = QHash<QString, std::vector<std::function<void(ShareHealth)>>>;

private:
    Bounds m_bounds;
    std::shared_ptr<Waiting> m_waiting = std::make_shared<Waiting>();
};
