#pragma once

#include <QString>

// One line per history record in the system log (syslog, ident "Vigilmount").
namespace SystemLog {

// The line is passed as a "%s" argument: never interpreted as a format.
void write(const QString &line);

// Also copy every line to stderr (tests and --verbose runs read it there).
void setAlsoToStderr(bool enabled);

} // namespace SystemLog
