#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The per-user key-value file behind AppSettings, the first-launch flag and the settings
// window geometry. Every function takes the file's path so tests can point it at a folder of
// their own.
//
// A write replaces the file only after every byte of the new text reached the disk; a write that
// fails (a full disk) leaves the previous file as it was and keeps the change pending for the
// next write. The file and its folder are made private only when this program creates them: an
// existing one (or a symbolic link's target) keeps its mode.
namespace SettingsStore {

// $XDG_CONFIG_HOME/Vigilmount/Vigilmount.conf
QString defaultPath();

// Creates the file's folder (private to the user) if needed; the file appears on first write.
std::unique_ptr<QSettings> open(const QString &path = defaultPath());

// Writes pending changes to disk at once; false when the file could not be written.
bool persist(QSettings &store);

// The first-launch flag lives beside the settings but is not one of them.
bool hasLaunchedBefore(const QString &path = defaultPath());
void setHasLaunchedBefore(const QString &path = defaultPath());

} // namespace SettingsStore
