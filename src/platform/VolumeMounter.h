#pragma once

#include "common/Outcome.h"

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// Mounts the network share through GIO (GVfs), without ever blocking the caller.
namespace VolumeMounter {

// Mounts scheme://host/share. Returns at once; `done` gets the local mount point or the
// failure sentence exactly once, later, on the main thread (also when the server address or
// the share name is blank or forms no URL, which is found before anything is asked of GIO). A
// failure of the mount itself reads as its sentence followed by " (code N)", N an errno value.
// A mount still running after `bound` is cancelled and reported as ETIMEDOUT. The credentials
// answer the server's password question once (anonymous when both are absent) and are never
// saved. Needs a QCoreApplication whose event loop runs GLib's main context (Qt's default on
// Linux).
void mount(const QString &scheme, const QString &host, const QString &share,
           const std::optional<QString> &username, const std::optional<QString> &password,
           std::function<void(Outcome<QString>)> done,
           std::chrono::milliseconds bound = std::chrono::seconds(60));

} // namespace VolumeMounter
