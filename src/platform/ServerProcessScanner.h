#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>
#include <vector>

class ProcessTable;

struct RunningInstance
{
    qint64 pid = 0;
    QString name;
    uid_t owner = 0;
    quint64 startTicks = 0;    // after boot; with the pid it names this very process
    bool inSystemUnit = false; // a member of plexmediaserver.service in the system slice
};

// Finds the running media server. First pass: the first live member of the system unit
// plexmediaserver.service in the system slice; second pass (identifier): the first live member
// of a server unit; third pass (display name): the first live process whose executable is named
// exactly "Plex Media Server". Zombies never count, and outside the system unit only processes
// of this user and of the service account "plex" do: another user's server is not ours to judge.
//
// It runs on every check cycle, so it costs little more than listing /proc: the units' members
// come from the cgroup hierarchy, the name pass reads one link per process, and only
// candidates have their state read.
class ServerProcessScanner
{
public:
    // cgroupRoot: the hierarchy systemd places its units in; without one the units come from
    // every /proc/PID/cgroup.
    ServerProcessScanner(QString procRoot, std::optional<QString> cgroupRoot);

    std::optional<RunningInstance> find() const;

    // The server on this machine: /proc and ServerUnits::unitHierarchy().
    static std::optional<RunningInstance> findOnThisMachine();

private:
    std::vector<qint64> unitMembers(const ProcessTable &table, const std::vector<qint64> &pids,
                                    bool systemUnitOnly) const;

    QString m_procRoot;
    std::optional<QString> m_cgroupRoot;
};
