#pragma once

#include "common/Outcome.h"

#include <QString>

// Starts an executable in the background, detached from this process: the leader of a new
// session, reparented away (double fork), stdio on /dev/null, working directory $HOME, the
// LaunchEnvironment, the user's umask and default signal handling (ProcessSetup::resetForExec).
// Answers the new process's pid, or the system's message for the failed
// fork or exec.
Outcome<qint64> spawnDetached(const QString &program);
