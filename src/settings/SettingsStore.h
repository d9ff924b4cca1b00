#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The per-user key-value file behind AppSettings, the first-launch flag and the settings
// window geometry, readable by the user only. Every function takes the file's path so tests
// can point it at a folder of their own.
namespace SettingsStore {

// $XDG_CONFIG_HOME/Vigilmount/Vigilmount.conf
QString defaultPath();

// Creates the file's folder (private to the user) if needed; the file appears on first write.
std::unique_ptr<QSettings> open(const QString &path = defaultPath());

// Writes pending changes to disk at once and keeps the file private to the user.
void persist(QSettings &store);

// The first-launch flag lives beside the settings but is not one of them.
bool hasLaunchedBefore(const QString &path = defaultPath());
void setHasLaunchedBefore(const QString &path = defaultPath());

} // namespace SettingsStore
