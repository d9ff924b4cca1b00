#include "platform/ProcessTable.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace DescriptorFiles;

namespace {

// "PID/leaf" for the *at() calls below the /proc descriptor.
struct PidPath
{
    char text[40];

    PidPath(qint64 pid, std::string_view leaf)
    {
        char *end = std::to_chars(text, text + 20, pid).ptr;
        *end++ = '/';
        end = std::copy(leaf.begin(), leaf.end(), end);
        *end = '\0';
    }
};

std::string_view baseNameOf(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The fields of /proc/PID/stat from the state letter on (field 3), or none when the process is
// gone. The command name is at most 64 bytes, so the fields read lie well within the buffer.
struct StatFields
{
    char buffer[1024];
    std::string_view rest;

    StatFields(int procFd, qint64 pid)
    {
        const ssize_t length = readAt(procFd, PidPath(pid, "stat").text, buffer, sizeof buffer);
        const std::string_view text(buffer, size_t(std::max<ssize_t>(length, 0)));
        // The state follows the parenthesised command name, which may itself hold ") ".
        const size_t close = text.rfind(')');
        if (close != std::string_view::npos && close + 2 < text.size())
            rest = text.substr(close + 2);
    }

    // Field `number` (1-based as in proc(5)), when present.
    std::optional<std::string_view> field(int number) const
    {
        std::string_view left = rest;
        for (int at = 3; at < number; ++at) {
            const size_t blank = left.find(' ');
            if (blank == std::string_view::npos)
                return std::nullopt;
            left.remove_prefix(blank + 1);
        }
        const size_t blank = left.find(' ');
        if (left.empty())
            return std::nullopt;
        return left.substr(0, blank);
    }
};

std::optional<char> processStateAt(int procFd, qint64 pid)
{
    const StatFields stat(procFd, pid);
    if (stat.rest.empty())
        return std::nullopt;
    return stat.rest.front();
}

} // namespace

ProcessTable::ProcessTable(const QString &procRoot) : m_proc(openDirectory(procRoot)) {}

std::vector<qint64> ProcessTable::pids() const
{
    std::vector<qint64> pids;
    DIR *dir = ::fdopendir(::fcntl(m_proc.get(), F_DUPFD_CLOEXEC, 0));
    if (!dir)
        return pids;
    ::rewinddir(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        const char *end = name + std::strlen(name);
        qint64 pid = 0;
        const auto [stop, error] = std::from_chars(name, end, pid);
        if (error == std::errc() && stop == end && pid > 0)
            pids.push_back(pid);
    }
    ::closedir(dir);
    std::sort(pids.begin(), pids.end());
    return pids;
}

std::string_view ProcessTable::nameOf(qint64 pid)
{
    const ssize_t length =
        ::readlinkat(m_proc.get(), PidPath(pid, "exe").text, m_link, sizeof m_link);
    if (length > 0) {
        std::string_view target(m_link, size_t(length));
        // A server whose binary was replaced by an update keeps running from the old inode.
        constexpr std::string_view deleted = " (deleted)";
        if (target.ends_with(deleted))
            target.remove_suffix(deleted.size());
        return baseNameOf(target);
    }
    m_commandLine = readAllAt(m_proc.get(), PidPath(pid, "cmdline").text);
    const qsizetype end = m_commandLine.indexOf('\0');
    return baseNameOf(
        std::string_view(m_commandLine.constData(), size_t(end < 0 ? m_commandLine.size() : end)));
}

bool ProcessTable::isAlive(qint64 pid) const
{
    const std::optional<char> state = processStateAt(m_proc.get(), pid);
    return state && *state != 'Z' && *state != 'X';
}

QByteArray ProcessTable::cgroupOf(qint64 pid) const
{
    return readAllAt(m_proc.get(), PidPath(pid, "cgroup").text);
}

std::optional<uid_t> ProcessTable::ownerOf(qint64 pid) const
{
    char name[24];
    *std::to_chars(name, name + 20, pid).ptr = '\0';
    struct stat info;
    if (::fstatat(m_proc.get(), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return info.st_uid;
}

std::optional<quint64> ProcessTable::startTicksOf(qint64 pid) const
{
    const StatFields stat(m_proc.get(), pid);
    const std::optional<std::string_view> field = stat.field(22);
    quint64 ticks = 0;
    if (!field ||
        std::from_chars(field->data(), field->data() + field->size(), ticks).ec != std::errc())
        return std::nullopt;
    return ticks;
}
