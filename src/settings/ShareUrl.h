#pragma once

#include "settings/ShareProtocol.h"

#include <QString>
#include <optional>

// A share address written as a URL ("smb://nas/media", "afp://user@nas.local/Media"), split
// into the parts the settings keep. Any user name or password in it is left out.
struct ShareUrl
{
    ShareProtocol protocol = ShareProtocol::smb;
    QString host;
    // The first folder of the path; empty when the URL names only the server.
    QString share;
    // The URL carried a user name or a password, which was dropped.
    bool hadCredentials = false;

    // The parts of an smb:// or afp:// URL with a server; none for any other text.
    static std::optional<ShareUrl> parse(const QString &text);
    // Whether the text starts like an smb:// or afp:// URL (possibly still being typed).
    static bool looksLikeUrl(const QString &text);
};
