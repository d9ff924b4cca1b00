#pragma once

#include <QString>

// One line per history record in the system log (ident "Vigilmount", facility user, priority
// notice). Lines go straight to the log daemon's datagram socket and never wait for it: when
// the daemon does not read, lines are dropped and counted, and the next line that gets through
// is preceded by a notice saying how many were lost. Safe to call from any thread.
namespace SystemLog {

// The line is sent as it is: never interpreted as a format.
void write(const QString &line);

// Also copy every line to stderr (tests and --verbose runs read it there), whether or not the
// log daemon takes it.
void setAlsoToStderr(bool enabled);

// Sends to this datagram socket instead of /dev/log, so that tests can be the log daemon.
void setSocketPathForTesting(const QString &path);

} // namespace SystemLog
