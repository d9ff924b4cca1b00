#pragma once

#include <QDBusConnection>
#include <QString>

// Showing things in the user's file manager.
namespace FileBrowser {

// Opens a folder in the default file manager.
void openFolder(const QString &path);

// Shows a file selected in its folder (org.freedesktop.FileManager1.ShowItems); when no file
// manager answers that call, opens the containing folder instead. Never waits for the answer.
void revealFile(const QString &path, const QDBusConnection &bus = QDBusConnection::sessionBus());

} // namespace FileBrowser
