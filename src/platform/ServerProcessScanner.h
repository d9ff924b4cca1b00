#pragma once

#include <QString>
#include <optional>
#include <vector>

class ProcessTable;

struct RunningInstance
{
    qint64 pid = 0;
    QString name;
};

// Finds the running media server among the processes of all users. First pass (identifier):
// the first live member of a server unit; second pass (display name): the first live process
// whose executable is named exactly "Plex Media Server". Zombies never count.
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
    std::vector<qint64> unitMembers(const ProcessTable &table,
                                    const std::vector<qint64> &pids) const;

    QString m_procRoot;
    std::optional<QString> m_cgroupRoot;
};
