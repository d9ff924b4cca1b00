#pragma once

#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>
#include <sys/types.h>
#include <vector>

// The processes below a /proc tree, read cheaply: one open directory descriptor, fixed buffers,
// and only the file a question needs. Processes of all users are visible.
class ProcessTable
{
public:
    explicit ProcessTable(const QString &procRoot);
    ProcessTable(const ProcessTable &) = delete;
    ProcessTable &operator=(const ProcessTable &) = delete;

    bool isOpen() const { return m_proc.valid(); }
    // Every entry that names a pid, in ascending order.
    std::vector<qint64> pids() const;
    // The basename of the process's executable when the link is readable, else of argv[0]
    // (/proc/PID/comm is cut to 15 characters). The view lives until the next call.
    std::string_view nameOf(qint64 pid);
    // The process exists and is neither a zombie nor dead.
    bool isAlive(qint64 pid) const;
    // The text of /proc/PID/cgroup.
    QByteArray cgroupOf(qint64 pid) const;
    // The owner of the process (the real uid), or none when it is gone.
    std::optional<uid_t> ownerOf(qint64 pid) const;
    // When the process started, in clock ticks after boot (stat field 22); with the pid it tells
    // a process apart from a later one that reuses the pid. None when it is gone.
    std::optional<quint64> startTicksOf(qint64 pid) const;

private:
    FileDescriptor m_proc;
    char m_link[4096];
    QByteArray m_commandLine;
};
