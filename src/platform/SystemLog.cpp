#include "platform/SystemLog.h"

#include <syslog.h>

namespace SystemLog {

namespace {
bool g_opened = false;
bool g_stderr = false;

void openIfNeeded()
{
    if (g_opened)
        return;
    openlog("Vigilmount", LOG_PID | (g_stderr ? LOG_PERROR : 0), LOG_USER);
    g_opened = true;
}
} // namespace

void write(const QString &line)
{
    openIfNeeded();
    syslog(LOG_NOTICE, "%s", line.toUtf8().constData());
}

void setAlsoToStderr(bool enabled)
{
    if (g_opened)
        closelog();
    g_opened = false;
    g_stderr = enabled;
}

} // namespace SystemLog
