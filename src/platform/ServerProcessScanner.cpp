#include "platform/ServerProcessScanner.h"

#include "platform/PlexIdentity.h"
#include "platform/ProcessTable.h"
#include "platform/ServerUnits.h"

#include <QFile>
#include <pwd.h>
#include <unistd.h>

namespace {

RunningInstance instanceAt(ProcessTable &table, qint64 pid, bool inSystemUnit)
{
    const std::string_view name = table.nameOf(pid);
    return RunningInstance{pid, QFile::decodeName(QByteArray(name.data(), qsizetype(name.size()))),
                           table.ownerOf(pid).value_or(uid_t(-1)),
                           table.startTicksOf(pid).value_or(0), inSystemUnit};
}

// The uid of the account the official package runs the server as, when it exists.
std::optional<uid_t> serviceAccount()
{
    static const std::optional<uid_t> uid = []() -> std::optional<uid_t> {
        struct passwd entry;
        struct passwd *found = nullptr;
        char buffer[1024];
        if (::getpwnam_r("plex", &entry, buffer, sizeof buffer, &found) != 0 || !found)
            return std::nullopt;
        return found->pw_uid;
    }();
    return uid;
}

bool countsAsServer(const ProcessTable &table, qint64 pid)
{
    const std::optional<uid_t> owner = table.ownerOf(pid);
    return owner && (*owner == ::getuid() || owner == serviceAccount()) && table.isAlive(pid);
}

} // namespace

ServerProcessScanner::ServerProcessScanner(QString procRoot, std::optional<QString> cgroupRoot)
    : m_procRoot(std::move(procRoot)), m_cgroupRoot(std::move(cgroupRoot))
{}

std::optional<RunningInstance> ServerProcessScanner::find() const
{
    ProcessTable table(m_procRoot);
    if (!table.isOpen())
        return std::nullopt;
    const std::vector<qint64> pids = table.pids();
    for (qint64 pid : unitMembers(table, pids, true)) {
        if (table.isAlive(pid))
            return instanceAt(table, pid, true);
    }
    for (qint64 pid : unitMembers(table, pids, false)) {
        if (countsAsServer(table, pid))
            return instanceAt(table, pid, false);
    }
    // The name alone rules out nearly every process.
    static const QByteArray wanted = QFile::encodeName(PlexIdentity::displayName);
    const std::string_view wantedName(wanted.constData(), size_t(wanted.size()));
    for (qint64 pid : pids) {
        if (table.nameOf(pid) == wantedName && countsAsServer(table, pid))
            return instanceAt(table, pid, false);
    }
    return std::nullopt;
}

std::vector<qint64> ServerProcessScanner::unitMembers(const ProcessTable &table,
                                                      const std::vector<qint64> &pids,
                                                      bool systemUnitOnly) const
{
    // systemd places a unit's processes at the same path in every hierarchy it manages, so its
    // own hierarchy answers for all of them.
    if (m_cgroupRoot) {
        return systemUnitOnly ? ServerUnits::systemUnitMembers(*m_cgroupRoot)
                              : ServerUnits::membersBelow(*m_cgroupRoot);
    }
    std::vector<qint64> members;
    for (qint64 pid : pids) {
        const QString cgroup = QString::fromUtf8(table.cgroupOf(pid));
        if (systemUnitOnly ? ServerUnits::inSystemUnit(cgroup) : ServerUnits::listedIn(cgroup))
            members.push_back(pid);
    }
    return members;
}

std::optional<RunningInstance> ServerProcessScanner::findOnThisMachine()
{
    return ServerProcessScanner(QStringLiteral("/proc"), ServerUnits::unitHierarchy()).find();
}
