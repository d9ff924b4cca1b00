#pragma once

#include "common/Outcome.h"

#include <QString>
#include <optional>

// Launches a desktop entry file through GIO: its own session, stdout and stderr on /dev/null,
// working directory $HOME unless the entry names one, the LaunchEnvironment, the user's umask
// and default signal handling (ProcessSetup::resetForExec). Answers the pid
// of the spawned process (none when D-Bus activated the entry), or the system's message.
Outcome<std::optional<qint64>> launchDesktopEntry(const QString &path);
