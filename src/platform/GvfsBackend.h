#pragma once

#include <QString>
#include <chrono>
#include <functional>

// Ends the process that serves one GVfs mount (gvfsd-smb and its kin), which releases every
// reader blocked on a frozen share at once and makes GVfs drop the mount. The process is the
// one GVfs's mount tracker names for the mount, and it is signalled only when it is the user's
// own and runs a GVfs backend executable.
namespace GvfsBackend {

// `done(true)` once the backend was ended and the mount has left GVfs's list; `done(false)`
// when no backend was found, it failed the checks, or the mount was still listed at the bound.
// `done` runs once, on the main thread, from the event loop. Main thread only.
void endFor(const QString &mountPoint, std::function<void(bool)> done,
            std::chrono::milliseconds bound = std::chrono::seconds(10));

} // namespace GvfsBackend
