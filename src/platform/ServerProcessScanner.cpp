#include "platform/ServerProcessScanner.h"

#include "platform/PlexIdentity.h"
#include "platform/ProcessTable.h"
#include "platform/ServerUnits.h"

#include <QFile>

namespace {

RunningInstance instanceAt(ProcessTable &table, qint64 pid)
{
    const std::string_view name = table.nameOf(pid);
    return RunningInstance{pid, QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())))};
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
    for (qint64 pid : unitMembers(table, pids)) {
        if (table.isAlive(pid))
            return instanceAt(table, pid);
    }
    // The name alone rules out nearly every process.
    static const QByteArray wanted = QFile::encodeName(PlexIdentity::displayName);
    const std::string_view wantedName(wanted.constData(), size_t(wanted.size()));
    for (qint64 pid : pids) {
        if (table.nameOf(pid) == wantedName && table.isAlive(pid))
            return instanceAt(table, pid);
    }
    return std::nullopt;
}

std::vector<qint64> ServerProcessScanner::unitMembers(const ProcessTable &table,
                                                      const std::vector<qint64> &pids) const
{
    // systemd places a unit's processes at the same path in every hierarchy it manages, so its
    // own hierarchy answers for all of them.
    if (m_cgroupRoot)
        return ServerUnits::membersBelow(*m_cgroupRoot);
    std::vector<qint64> members;
    for (qint64 pid : pids) {
        if (ServerUnits::listedIn(QString::fromUtf8(table.cgroupOf(pid))))
            members.push_back(pid);
    }
    return members;
}

std::optional<RunningInstance> ServerProcessScanner::findOnThisMachine()
{
    return ServerProcessScanner(QStringLiteral("/proc"), ServerUnits::unitHierarchy()).find();
}
