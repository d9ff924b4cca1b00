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

// Starts the server in the background and returns at once. completion runs exactly once, on a
// worker thread, with the path that was started (an executable or a desktop entry) or the
// user-readable reason. When a server already runs, nothing is started and the launch succeeds
// with the resolved path.
void launch(const QString &path, std::function<void(Outcome<QString>)> completion);

} // namespace PlexController
