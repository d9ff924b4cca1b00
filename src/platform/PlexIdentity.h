#pragma once

#include <QString>

// How the media server "Plex Media Server" is known on the machine.
namespace PlexIdentity {

// The application identifier its desktop entry and systemd units are named after.
inline const QString bundleIdentifier = QStringLiteral("com.plexapp.plexmediaserver");
// The executable's name (also the name the server shows to the user).
inline const QString displayName = QStringLiteral("Plex Media Server");

} // namespace PlexIdentity
