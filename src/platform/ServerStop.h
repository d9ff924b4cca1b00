#pragma once

#include "common/Outcome.h"

#include <QString>
#include <chrono>

// Ends one process of the media server that hangs. The process is held through a pidfd and
// checked after it is held (same start time, the executable it was found with, this user's
// own), so a pid reused meanwhile is never signalled. SIGTERM first, SIGKILL once grace has
// passed. Blocks: worker threads only.
namespace ServerStop {

// Done when the process is gone (also when it was gone already); else why it was left alone.
Status stop(qint64 pid, quint64 startTicks, const QString &executable,
            std::chrono::milliseconds grace);

} // namespace ServerStop
