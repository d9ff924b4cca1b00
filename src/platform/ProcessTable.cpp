#include "platform/ProcessTable.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
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

// The state letter of /proc/PID/stat, or none when the process is gone.
std::optional<char> processStateAt(int procFd, qint64 pid)
{
    // The command name is at most 64 bytes, so the state letter lies well within the buffer.
    char stat[512];
    const ssize_t length = readAt(procFd, PidPath(pid, "stat").text, stat, sizeof stat);
    if (length <= 0)
        return std::nullopt;
    // The state follows the parenthesised command name, which may itself hold ") ".
    const std::string_view text(stat, size_t(length));
    const size_t close = text.rfind(')');
    if (close == std::string_view::npos || close + 2 >= text.size())
        return std::nullopt;
    return text[close + 2];
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
