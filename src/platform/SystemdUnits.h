#pragma once

#include "common/Outcome.h"

#include <QString>

// Asks systemd on the system bus about a system service, and to start or restart it. The calls
// block: worker threads only.
namespace SystemdUnits {

// Whether systemd has the unit loaded; false without its unit file or without systemd to ask.
bool isLoaded(const QString &unit);

enum class Change { start, restart };

// Asks systemd for the change ("replace" mode). interactive: the user asked for it, so polkit
// may ask for an administrator's password. The unit's name, or the sentence that says why not.
Outcome<QString> change(const QString &unit, Change change, bool interactive);

} // namespace SystemdUnits
