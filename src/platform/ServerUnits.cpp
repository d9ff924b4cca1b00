#include "platform/ServerUnits.h"

#include "platform/FileDescriptor.h"
#include "platform/PlexIdentity.h"

#include <QList>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

using namespace DescriptorFiles;

namespace ServerUnits {

namespace {

bool isAppUnitOfServer(QStringView unit)
{
    if (!unit.startsWith(u"app-"))
        return false;
    if (unit.endsWith(u".scope"))
        unit.chop(6);
    else if (unit.endsWith(u".service"))
        unit.chop(8);
    else
        return false;
    // app[-<launcher>]-<application id>[-<random>] or …[@<random>]; the identifier itself
    // holds no dash, so it is one dash-separated piece.
    for (QStringView piece : unit.mid(4).split(u'-')) {
        const qsizetype at = piece.indexOf(u'@');
        if ((at < 0 ? piece : piece.left(at)) == PlexIdentity::bundleIdentifier)
            return true;
    }
    return false;
}

// The cgroup tree's directory names are compared as bytes; only app units need the full parse.
bool isServerUnitName(const char *name)
{
    if (std::strcmp(name, "plexmediaserver.service") == 0)
        return true;
    return std::strncmp(name, "app-", 4) == 0 && isAppUnitOfServer(QString::fromUtf8(name));
}

void appendProcs(int cgroupFd, std::vector<qint64> &pids)
{
    const QByteArray procs = readAllAt(cgroupFd, "cgroup.procs");
    const char *at = procs.constData();
    const char *const end = at + procs.size();
    while (at < end) {
        qint64 pid = 0;
        const auto [stop, error] = std::from_chars(at, end, pid);
        // A member outside this pid namespace shows as 0.
        if (error == std::errc() && pid > 0)
            pids.push_back(pid);
        at = stop + 1;
    }
}

bool isDirectory(int at, const dirent &entry)
{
    if (entry.d_type == DT_DIR)
        return true;
    struct stat info;
    return entry.d_type == DT_UNKNOWN &&
           ::fstatat(at, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

void collectUnitMembers(int cgroupFd, bool inUnit, int depth, std::vector<qint64> &pids)
{
    if (inUnit)
        appendProcs(cgroupFd, pids);
    if (depth > 64)
        return;
    DIR *dir = ::fdopendir(::fcntl(cgroupFd, F_DUPFD_CLOEXEC, 0));
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (!isDirectory(cgroupFd, *entry))
            continue;
        const FileDescriptor child(openDirectoryAt(cgroupFd, name));
        if (child.valid())
            collectUnitMembers(child.get(), inUnit || isServerUnitName(name), depth + 1, pids);
    }
    ::closedir(dir);
}

} // namespace

bool listedIn(const QString &cgroupText)
{
    for (QStringView line : QStringView(cgroupText).split(u'\n', Qt::SkipEmptyParts)) {
        // hierarchy-ID:controller-list:cgroup-path
        const qsizetype first = line.indexOf(u':');
        const qsizetype second = first < 0 ? -1 : line.indexOf(u':', first + 1);
        if (second < 0)
            continue;
        for (QStringView unit : line.mid(second + 1).split(u'/', Qt::SkipEmptyParts)) {
            if (unit == u"plexmediaserver.service" || isAppUnitOfServer(unit))
                return true;
        }
    }
    return false;
}

bool inSystemUnit(const QString &cgroupText)
{
    const QString path = QStringLiteral(":/system.slice/") + systemUnit;
    for (QStringView line : QStringView(cgroupText).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype at = line.indexOf(path);
        if (at >= 0 && (line.size() == at + path.size() || line[at + path.size()] == u'/'))
            return true;
    }
    return false;
}

std::vector<qint64> systemUnitMembers(const QString &root)
{
    std::vector<qint64> members;
    const FileDescriptor unit(openDirectory(root + QStringLiteral("/system.slice/") + systemUnit));
    if (unit.valid())
        collectUnitMembers(unit.get(), true, 0, members);
    std::sort(members.begin(), members.end());
    return members;
}

std::vector<qint64> membersBelow(const QString &root)
{
    std::vector<qint64> members;
    const FileDescriptor hierarchy(openDirectory(root));
    if (hierarchy.valid())
        collectUnitMembers(hierarchy.get(), false, 0, members);
    std::sort(members.begin(), members.end());
    return members;
}

std::optional<QString> unitHierarchy()
{
    const auto mountedAs = [](const char *path, unsigned long type) {
        struct statfs info;
        return ::statfs(path, &info) == 0 && static_cast<unsigned long>(info.f_type) == type;
    };
    for (const char *path : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"}) {
        if (mountedAs(path, CGROUP2_SUPER_MAGIC))
            return QString::fromLatin1(path);
    }
    if (mountedAs("/sys/fs/cgroup/systemd", CGROUP_SUPER_MAGIC))
        return QStringLiteral("/sys/fs/cgroup/systemd");
    return std::nullopt;
}

} // namespace ServerUnits
