#include "platform/PlexController.h"

#include "common/HorizontalBlanks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <linux/magic.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace PlexController {

namespace {

const QString desktopEntryName = bundleIdentifier + QStringLiteral(".desktop");

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024);
}

std::optional<QString> readLinkTarget(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    char buffer[4096];
    const ssize_t length = ::readlink(encoded.constData(), buffer, sizeof buffer);
    if (length <= 0)
        return std::nullopt;
    QString target = QFile::decodeName(QByteArray(buffer, int(length)));
    // A server whose binary was replaced by an update keeps running from the old inode.
    static const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return target;
}

QString baseName(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

// The state letter of /proc/PID/stat: the field after the parenthesised command name, which
// may itself contain spaces and parentheses.
std::optional<char> processState(const QByteArray &stat)
{
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return std::nullopt;
    return stat.at(close + 2);
}

std::optional<ProcessInfo> readProcess(const QString &procRoot, qint64 pid)
{
    const QString dir = procRoot + QLatin1Char('/') + QString::number(pid);
    const std::optional<char> state = processState(readSmallFile(dir + QStringLiteral("/stat")));
    if (!state)
        return std::nullopt; // gone meanwhile
    ProcessInfo info;
    info.pid = pid;
    info.zombie = *state == 'Z' || *state == 'X';
    info.cgroup = QString::fromUtf8(readSmallFile(dir + QStringLiteral("/cgroup")));
    if (const std::optional<QString> exe = readLinkTarget(dir + QStringLiteral("/exe"))) {
        info.name = baseName(*exe);
    } else {
        const QByteArray cmdline = readSmallFile(dir + QStringLiteral("/cmdline"));
        const qsizetype end = cmdline.indexOf('\0');
        info.name = baseName(QFile::decodeName(end < 0 ? cmdline : cmdline.left(end)));
    }
    return info;
}

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
        if ((at < 0 ? piece : piece.left(at)) == bundleIdentifier)
            return true;
    }
    return false;
}

// --- The cheap scan ------------------------------------------------------------------------
//
// Everything below works on open directory descriptors and fixed buffers: one scan looks at
// every process of the machine on every check cycle, so it must cost little more than listing
// /proc.

// An owned file descriptor.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

int openDirectoryAt(int at, const char *path)
{
    return ::openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
}

int openRoot(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

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

// Reads up to size bytes of a file below a directory; the length read, or -1.
ssize_t readAt(int at, const char *path, char *buffer, size_t size)
{
    const Descriptor file(::openat(at, path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.valid())
        return -1;
    size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(file.get(), buffer + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += size_t(got);
    }
    return ssize_t(total);
}

QByteArray readAllAt(int at, const char *path)
{
    QByteArray content;
    const Descriptor file(::openat(at, path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.valid())
        return content;
    char chunk[4096];
    while (content.size() < 64 * 1024) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        content.append(chunk, got);
    }
    return content;
}

// Every entry of a directory that names a pid, in ascending order.
std::vector<qint64> pidsIn(int procFd)
{
    std::vector<qint64> pids;
    DIR *dir = ::fdopendir(::fcntl(procFd, F_DUPFD_CLOEXEC, 0));
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

// The process's name as bytes: the basename of its executable when the link is readable,
// else of argv[0]. Reuses one buffer; the view lives until the next call.
class NameReader
{
public:
    std::string_view nameOf(int procFd, qint64 pid)
    {
        const ssize_t length =
            ::readlinkat(procFd, PidPath(pid, "exe").text, m_link, sizeof m_link);
        if (length > 0) {
            std::string_view target(m_link, size_t(length));
            // A server whose binary was replaced by an update keeps running from the old inode.
            constexpr std::string_view deleted = " (deleted)";
            if (target.ends_with(deleted))
                target.remove_suffix(deleted.size());
            return baseNameOf(target);
        }
        m_commandLine = readAllAt(procFd, PidPath(pid, "cmdline").text);
        const qsizetype end = m_commandLine.indexOf('\0');
        return baseNameOf(std::string_view(m_commandLine.constData(),
                                           size_t(end < 0 ? m_commandLine.size() : end)));
    }

private:
    static std::string_view baseNameOf(std::string_view path)
    {
        const size_t slash = path.rfind('/');
        return slash == std::string_view::npos ? path : path.substr(slash + 1);
    }

    char m_link[4096];
    QByteArray m_commandLine;
};

// The state letter of /proc/PID/stat, or none when the process is gone.
std::optional<char> processStateAt(int procFd, qint64 pid)
{
    // The command name is at most 64 bytes, so the state letter lies well within the buffer.
    char stat[512];
    const ssize_t length = readAt(procFd, PidPath(pid, "stat").text, stat, sizeof stat);
    if (length <= 0)
        return std::nullopt;
    const std::string_view text(stat, size_t(length));
    const size_t close = text.rfind(')');
    if (close == std::string_view::npos || close + 2 >= text.size())
        return std::nullopt;
    return text[close + 2];
}

bool aliveAt(int procFd, qint64 pid)
{
    const std::optional<char> state = processStateAt(procFd, pid);
    return state && *state != 'Z' && *state != 'X';
}

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

// Collects the members of every server unit below a cgroup directory, and of every cgroup
// nested inside such a unit.
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
        if (entry->d_type != DT_DIR) {
            struct stat info;
            if (entry->d_type != DT_UNKNOWN ||
                ::fstatat(cgroupFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISDIR(info.st_mode))
                continue;
        }
        const Descriptor child(openDirectoryAt(cgroupFd, name));
        if (child.valid())
            collectUnitMembers(child.get(), inUnit || isServerUnitName(name), depth + 1, pids);
    }
    ::closedir(dir);
}

std::optional<RunningInstance> instanceAt(int procFd, qint64 pid, NameReader &names)
{
    const std::string_view name = names.nameOf(procFd, pid);
    return RunningInstance{pid, QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())))};
}

bool processAlive(qint64 pid)
{
    const std::optional<char> state =
        processState(readSmallFile(QStringLiteral("/proc/%1/stat").arg(pid)));
    return state && *state != 'Z' && *state != 'X';
}

// Environment variables that look like they could carry a secret never reach the server.
bool isSecretName(const QByteArray &name)
{
    const QByteArray upper = name.toUpper();
    for (const char *word : {"PASSWORD", "PASSWD", "SECRET", "TOKEN", "CREDENTIAL"}) {
        if (upper.contains(word))
            return true;
    }
    return false;
}

QList<QByteArray> launchEnvironment()
{
    QList<QByteArray> entries;
    for (char **entry = environ; entry && *entry; ++entry) {
        const QByteArray text(*entry);
        const qsizetype equals = text.indexOf('=');
        if (equals > 0 && !isSecretName(text.left(equals)))
            entries.append(text);
    }
    return entries;
}

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

struct SpawnRecord
{
    enum Kind : int { pid = 1, error = 2 };
    int kind;
    qint64 value;
};

void writeRecord(int fd, SpawnRecord::Kind kind, qint64 value)
{
    const SpawnRecord record{kind, value};
    [[maybe_unused]] ssize_t written = ::write(fd, &record, sizeof record);
}

// Starts an executable as the leader of a new session, reparented away from this process
// (double fork), stdio on /dev/null, working directory $HOME. Answers the new pid, or the
// errno of the failed fork or exec.
struct SpawnOutcome
{
    qint64 pid = -1;
    int error = 0;
};

SpawnOutcome spawnDetached(const QString &program)
{
    // Everything the children need is prepared before fork: after it only async-signal-safe
    // calls are allowed (other threads may hold locks).
    QByteArray executable = QFile::encodeName(program);
    const QByteArray home = QFile::encodeName(QDir::homePath());
    QList<QByteArray> environment = launchEnvironment();
    std::vector<char *> envp;
    for (QByteArray &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char *argv[] = {executable.data(), nullptr};

    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return {-1, errno};
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(channel[0]);
        ::close(channel[1]);
        return {-1, error};
    }
    if (child == 0) {
        ::close(channel[0]);
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            writeRecord(channel[1], SpawnRecord::error, errno);
            ::_exit(1);
        }
        if (grandchild > 0) {
            writeRecord(channel[1], SpawnRecord::pid, grandchild);
            ::_exit(0);
        }
        ::setsid();
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &fallback, nullptr);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            if (null > 2)
                ::close(null);
        }
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        if (::chdir(home.constData()) != 0) [[maybe_unused]]
            int ignored = ::chdir("/");
        ::execve(executable.constData(), argv, envp.data());
        writeRecord(channel[1], SpawnRecord::error, errno);
        ::_exit(127);
    }
    ::close(channel[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    SpawnOutcome outcome;
    SpawnRecord record;
    for (;;) {
        const ssize_t got = ::read(channel[0], &record, sizeof record);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != sizeof record)
            break;
        if (record.kind == SpawnRecord::pid)
            outcome.pid = record.value;
        else
            outcome.error = int(record.value);
    }
    ::close(channel[0]);
    if (outcome.error == 0 && outcome.pid < 0)
        outcome.error = ECHILD;
    return outcome;
}

struct DesktopSetup
{
    QByteArray home;
    bool changeToHome = true;
};

void desktopChildSetup(gpointer data)
{
    const auto *setup = static_cast<const DesktopSetup *>(data);
    ::setsid();
    if (setup->changeToHome) [[maybe_unused]]
        int ignored = ::chdir(setup->home.constData());
}

void recordDesktopPid(GDesktopAppInfo *, GPid pid, gpointer data)
{
    *static_cast<qint64 *>(data) = pid;
}

bool execProgramMissing(GKeyFile *keyFile)
{
    gchar *exec = g_key_file_get_string(keyFile, G_KEY_FILE_DESKTOP_GROUP,
                                        G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
    int argc = 0;
    char **argv = nullptr;
    bool missing = false;
    if (exec && g_shell_parse_argv(exec, &argc, &argv, nullptr)) {
        gchar *found = g_find_program_in_path(argv[0]);
        missing = found == nullptr;
        g_free(found);
        g_strfreev(argv);
    }
    g_free(exec);
    return missing;
}

// Launches a desktop entry through GIO. Answers the pid when one was spawned (none for a
// D-Bus activated entry), or the system's message.
struct DesktopOutcome
{
    std::optional<qint64> pid;
    std::optional<QString> error;
};

DesktopOutcome launchDesktopEntry(const QString &path)
{
    GKeyFile *keyFile = g_key_file_new();
    GError *error = nullptr;
    DesktopOutcome outcome;
    if (!g_key_file_load_from_file(keyFile, QFile::encodeName(path).constData(), G_KEY_FILE_NONE,
                                   &error)) {
        outcome.error = QString::fromUtf8(error->message);
        g_error_free(error);
        g_key_file_unref(keyFile);
        return outcome;
    }
    GDesktopAppInfo *info = g_desktop_app_info_new_from_keyfile(keyFile);
    if (!info) {
        // GIO refuses entries whose program is missing, and entries it cannot use at all.
        outcome.error = systemMessage(execProgramMissing(keyFile) ? ENOENT : ENOEXEC);
        g_key_file_unref(keyFile);
        return outcome;
    }
    DesktopSetup setup{QFile::encodeName(QDir::homePath()),
                       !g_key_file_has_key(keyFile, G_KEY_FILE_DESKTOP_GROUP,
                                           G_KEY_FILE_DESKTOP_KEY_PATH, nullptr)};
    GAppLaunchContext *context = g_app_launch_context_new();
    for (char **entry = environ; entry && *entry; ++entry) {
        const QByteArray text(*entry);
        const qsizetype equals = text.indexOf('=');
        if (equals > 0 && isSecretName(text.left(equals)))
            g_app_launch_context_unsetenv(context, text.left(equals).constData());
    }
    qint64 pid = -1;
    const gboolean launched = g_desktop_app_info_launch_uris_as_manager(
        info, nullptr, context,
        GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
        desktopChildSetup, &setup, recordDesktopPid, &pid, &error);
    if (!launched) {
        outcome.error = QString::fromUtf8(error->message);
        g_error_free(error);
    } else if (pid > 0) {
        outcome.pid = pid;
    }
    g_object_unref(context);
    g_object_unref(info);
    g_key_file_unref(keyFile);
    return outcome;
}

// A launch that reported no error counts once the new process is still alive after a short
// while, or a server runs by then (a wrapper may hand over to the real binary and exit).
LaunchResult settle(const QString &path, std::optional<qint64> pid)
{
    QThread::msleep(static_cast<unsigned long>(launchSettleTime.count()));
    if ((pid && processAlive(*pid)) || runningInstance())
        return LaunchResult::success(path);
    return LaunchResult::failure(PlexError::launchFailed().description());
}

LaunchResult launchNow(const QString &path)
{
    const std::optional<QString> resolved = appURL(path);
    if (!resolved)
        return LaunchResult::failure(PlexError::notFound(path).description());
    // Two servers on one database corrupt it.
    if (runningInstance())
        return LaunchResult::success(*resolved);
    if (resolved->endsWith(QStringLiteral(".desktop"))) {
        const DesktopOutcome outcome = launchDesktopEntry(*resolved);
        if (outcome.error)
            return LaunchResult::failure(*outcome.error);
        return settle(*resolved, outcome.pid);
    }
    const SpawnOutcome outcome = spawnDetached(*resolved);
    if (outcome.error != 0)
        return LaunchResult::failure(systemMessage(outcome.error));
    return settle(*resolved, outcome.pid);
}

} // namespace

bool inServerUnit(const QString &cgroup)
{
    for (QStringView line : QStringView(cgroup).split(u'\n', Qt::SkipEmptyParts)) {
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

QList<ProcessInfo> processes(const QString &procRoot)
{
    QList<qint64> pids;
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (numeric && pid > 0)
            pids.append(pid);
    }
    std::sort(pids.begin(), pids.end());
    QList<ProcessInfo> result;
    result.reserve(pids.size());
    for (qint64 pid : pids) {
        if (std::optional<ProcessInfo> info = readProcess(procRoot, pid))
            result.append(std::move(*info));
    }
    return result;
}

std::optional<RunningInstance> runningInstance(const QList<ProcessInfo> &processes)
{
    for (const ProcessInfo &process : processes) {
        if (!process.zombie && inServerUnit(process.cgroup))
            return RunningInstance{process.pid, process.name};
    }
    for (const ProcessInfo &process : processes) {
        if (!process.zombie && process.name == displayName)
            return RunningInstance{process.pid, process.name};
    }
    return std::nullopt;
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

std::optional<RunningInstance> runningInstance(const QString &procRoot,
                                               const std::optional<QString> &cgroupRoot)
{
    const Descriptor proc(openRoot(procRoot));
    if (!proc.valid())
        return std::nullopt;
    const std::vector<qint64> pids = pidsIn(proc.get());
    NameReader names;

    // Identifier pass. systemd places a unit's processes at the same path in every hierarchy
    // it manages, so its own hierarchy answers for all of them.
    std::vector<qint64> members;
    if (cgroupRoot) {
        const Descriptor root(openRoot(*cgroupRoot));
        if (root.valid())
            collectUnitMembers(root.get(), false, 0, members);
        std::sort(members.begin(), members.end());
    } else {
        for (qint64 pid : pids) {
            if (inServerUnit(QString::fromUtf8(readAllAt(proc.get(), PidPath(pid, "cgroup").text))))
                members.push_back(pid);
        }
    }
    for (qint64 pid : members) {
        if (aliveAt(proc.get(), pid))
            return instanceAt(proc.get(), pid, names);
    }

    // Name pass: the name alone rules out nearly every process.
    static const QByteArray wanted = QFile::encodeName(displayName);
    const std::string_view wantedName(wanted.constData(), size_t(wanted.size()));
    for (qint64 pid : pids) {
        if (names.nameOf(proc.get(), pid) == wantedName && aliveAt(proc.get(), pid))
            return instanceAt(proc.get(), pid, names);
    }
    return std::nullopt;
}

std::optional<RunningInstance> runningInstance()
{
    return runningInstance(QStringLiteral("/proc"), unitHierarchy());
}

QString PlexError::description() const
{
    switch (m_kind) {
    case Case::notFound:
        return QStringLiteral("Plex Media Server wasn't found at \"") + m_path +
               QStringLiteral("\" and isn't registered with the system. Set the correct path "
                              "in Settings.");
    case Case::launchFailed:
        break;
    }
    return QStringLiteral("The system reported no error but didn't return a running Plex process.");
}

std::optional<QString> registeredAppPath()
{
    QStringList dataDirs;
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    dataDirs.append(dataHome.startsWith(QLatin1Char('/'))
                        ? dataHome
                        : QDir::homePath() + QStringLiteral("/.local/share"));
    QString systemDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (systemDirs.isEmpty())
        systemDirs = QStringLiteral("/usr/local/share/:/usr/share/");
    for (const QString &dir : systemDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (dir.startsWith(QLatin1Char('/')))
            dataDirs.append(dir);
    }
    for (const QString &dir : std::as_const(dataDirs)) {
        const QString entry =
            QDir(dir).filePath(QStringLiteral("applications/") + desktopEntryName);
        if (QFileInfo(entry).isFile())
            return QDir::cleanPath(entry);
    }
    if (QFileInfo::exists(packagedBinaryPath))
        return packagedBinaryPath;
    return std::nullopt;
}

std::optional<QString> appURL(const QString &path)
{
    const QString trimmed = trimmedHorizontalBlanks(path);
    if (!trimmed.isEmpty() && QFileInfo::exists(trimmed))
        return trimmed;
    return registeredAppPath();
}

void launch(const QString &path, std::function<void(LaunchResult)> completion)
{
    QThreadPool::globalInstance()->start(
        [path, completion = std::move(completion)] { completion(launchNow(path)); });
}

} // namespace PlexController
