#pragma once

#include "common/Outcome.h"

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// What to start for the media server "Plex Media Server" and how its start is judged. Stateless:
// every call reads the machine afresh. ServerProcessScanner tells whether it runs.
namespace PlexController {

// Where the official package installs the server.
inline const QString packagedBinaryPath =
    QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server");
// How long a freshly started server must stay alive before its launch counts as a success.
inline constexpr std::chrono::milliseconds launchSettleTime{1000};

// The desktop entry com.plexapp.plexmediaserver.desktop in the XDG application folders
// ($XDG_DATA_HOME, then $XDG_DATA_DIRS), else the packaged binary, else none.
std::optional<QString> registeredAppPath();

// What to launch for the configured path: the trimmed path, taken relative to the home folder
// unless it is absolute, when something exists there; else the registered application.
std::optional<QString> appURL(const QString &path);

// How a launch went, and the process it started when it names one.
struct LaunchReport
{
    Outcome<QString> outcome;
    std::optional<qint64> startedPid{};
};

// Starts the server in the background and returns at once. completion runs exactly once, on a
// worker thread, with the path that was started (an executable or a desktop entry) or the
// user-readable reason. When a server already runs, nothing is started and the launch succeeds
// with the resolved path. When systemd has the system unit loaded, that unit is the server: it
// is started through systemd (interactive: polkit may ask for a password) and the launch
// succeeds with the unit's name; no copy is started as this user then.
void launch(const QString &path, bool interactive, std::function<void(LaunchReport)> completion);

// The process of a server that stopped answering, as it was found.
struct HungProcess
{
    qint64 pid = 0;
    quint64 startTicks = 0;
    QString executable;
    bool inSystemUnit = false;
};

// Restarts a hung server: the system unit through systemd (never interactive), else ends the
// process (ServerStop, with grace before SIGKILL), waits until no server is left and launches.
void restart(const HungProcess &hung, const QString &path, std::chrono::milliseconds grace,
             std::function<void(LaunchReport)> completion);

} // namespace PlexController
