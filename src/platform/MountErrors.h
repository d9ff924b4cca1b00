#pragma once

#include <QString>

#include <glib.h>

// What a failed mount tells the user: GIO's errors as errno values, and the sentence for each.
namespace MountErrors {

// The sentence for an errno value, without the code.
QString messageForCode(int code);

// The sentence followed by " (code N)": what a failed mount reports.
QString sentenceForCode(int code);

// The errno value for a GIO mount error. `credentialsRefused`: the server asked for the
// password again. `boundReached`: the mount was cancelled because it ran past its bound.
int errnoForGioError(const GError *error, bool credentialsRefused, bool boundReached);

} // namespace MountErrors
