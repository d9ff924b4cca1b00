#pragma once

#include <QSettings>
#include <memory>

// The per-user key-value file behind AppSettings, the first-launch flag and the settings
// window geometry: $XDG_CONFIG_HOME/Vigilmount/Vigilmount.conf, readable by the user only.
namespace SettingsStore {

std::unique_ptr<QSettings> open();

// Writes pending changes to disk at once and keeps the file private to the user.
void persist(QSettings &store);

// The first-launch flag lives beside the settings but is not one of them.
bool hasLaunchedBefore();
void setHasLaunchedBefore();

} // namespace SettingsStore
