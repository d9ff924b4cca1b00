#pragma once

#include <QString>
#include <optional>
#include <vector>

// Which cgroups hold the media server: the system unit plexmediaserver.service, and the app
// units a desktop starts it in (app-…-com.plexapp.plexmediaserver-….scope, app-…@….service).
namespace ServerUnits {

// The unit the official package installs the server as.
inline const QString systemUnit = QStringLiteral("plexmediaserver.service");

// True when a /proc/PID/cgroup text places the process in the system unit, in the system slice.
bool inSystemUnit(const QString &cgroupText);

// The members of the system unit (and its nested cgroups) in the hierarchy at root.
std::vector<qint64> systemUnitMembers(const QString &root);

// True when a /proc/PID/cgroup text places the process in a server unit, in any hierarchy.
bool listedIn(const QString &cgroupText);

// The members of every server unit in the hierarchy at root, and of every cgroup nested inside
// one, in ascending order; none when the hierarchy cannot be read.
std::vector<qint64> membersBelow(const QString &root);

// The cgroup hierarchy systemd places its units in: the cgroup v2 hierarchy (at /sys/fs/cgroup,
// or at /sys/fs/cgroup/unified beside v1 controllers), else the v1 "name=systemd" one. None
// when neither is mounted.
std::optional<QString> unitHierarchy();

} // namespace ServerUnits
