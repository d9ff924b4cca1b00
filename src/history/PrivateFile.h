#pragma once

#include <QByteArray>
#include <QString>

// File operations of the history that never follow a symbolic link at the last step of a path,
// never write into a file someone else owns, and change modes only of what they created.
namespace PrivateFile {

// Makes sure the folder exists as a real folder of the current user. A folder created here is
// made user-only; an existing one keeps its mode. False for a link, a non-folder, a folder of
// another user, or one that could not be created.
bool ensureOwnFolder(const QString &path);

// Whether a path names a regular file of the current user (without following a link).
bool isOwnRegularFile(const QString &path);
bool isOwnRegularFile(int fd);

// Appends bytes to a regular file of the current user with O_APPEND (several writers never
// overwrite each other), creating it user-only when it is missing. A file that does not end in
// a line feed (an append torn by a crash or a full disk), or whose end cannot be read, gets one
// first, so a torn line cannot swallow these bytes.
bool appendLine(const QString &path, const QByteArray &line);

} // namespace PrivateFile

// Writes bytes to a file atomically: a user-only temporary file next to it is written, flushed
// and checked, then renamed over the path (a link at the path is replaced, never followed).
// Returns false when anything failed; the previous file then stays as it was.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);
