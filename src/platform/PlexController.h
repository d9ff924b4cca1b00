#pragma once

#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// The only contact with the media server "Plex Media Server": is it running, where is it
// installed, and starting it in the background. Stateless: every call reads the machine afresh.
namespace PlexController {

// The application identifier the server's desktop entry and systemd units are named after.
inline const QString bundleIdentifier = QStringLiteral("com.plexapp.plexmediaserver");
// The executable's name (also the name the server shows to the user).
inline const QString displayName = QStringLiteral("Plex Media Server");
// Where the official package installs the server.
inline const QString packagedBinaryPath =
    QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server");
// How long a freshly started server must stay alive before its launch counts as a success.
inline constexpr std::chrono::milliseconds launchSettleTime{1000};

struct RunningInstance
{
    qint64 pid = 0;
    QString name;
};

// What the process scan learns about one process.
struct ProcessInfo
{
    qint64 pid = 0;
    // Basename of /proc/PID/exe when readable, else of argv[0].
    QString name;
    // The text of /proc/PID/cgroup.
    QString cgroup;
    bool zombie = false;
};

// True when a /proc/PID/cgroup text places the process in plexmediaserver.service or in an
// app unit (app-…-com.plexapp.plexmediaserver-….scope / app-…@….service) named after the
// application identifier.
bool inServerUnit(const QString &cgroup);

// Every process below procRoot ("/proc"), of all users, in ascending pid order.
QList<ProcessInfo> processes(const QString &procRoot = QStringLiteral("/proc"));

// The server among the given processes: the first one in a server unit, else the first one
// whose name is exactly "Plex Media Server". Zombies never count.
std::optional<RunningInstance> runningInstance(const QList<ProcessInfo> &processes);
std::optional<RunningInstance> runningInstance();

// The error of a launch that did not start the server.
class PlexError
{
public:
    enum class Case { notFound, launchFailed };

    // The path exactly as configured (untrimmed).
    static PlexError notFound(const QString &path) { return PlexError(Case::notFound, path); }
    static PlexError launchFailed() { return PlexError(Case::launchFailed, {}); }

    Case kind() const { return m_kind; }
    const QString &path() const { return m_path; }
    QString description() const;

    bool operator==(const PlexError &other) const = default;

private:
    PlexError(Case kind, const QString &path) : m_kind(kind), m_path(path) {}

    Case m_kind;
    QString m_path;
};

struct LaunchResult
{
    // On success: the path of what was started (an executable or a desktop entry).
    std::optional<QString> appPath;
    // On failure: the user-readable description.
    QString error;

    bool succeeded() const { return appPath.has_value(); }
    static LaunchResult success(const QString &path) { return {path, {}}; }
    static LaunchResult failure(const QString &description) { return {std::nullopt, description}; }
};

// The desktop entry com.plexapp.plexmediaserver.desktop in the XDG application folders
// ($XDG_DATA_HOME, then $XDG_DATA_DIRS), else the packaged binary, else none.
std::optional<QString> registeredAppPath();

// What to launch for the configured path: the trimmed path when something exists there,
// else the registered application.
std::optional<QString> appURL(const QString &path);

// Starts the server in the background and returns at once. completion runs exactly once, on a
// worker thread. When a server already runs, nothing is started and the launch succeeds with
// the resolved path.
void launch(const QString &path, std::function<void(LaunchResult)> completion);

} // namespace PlexController
