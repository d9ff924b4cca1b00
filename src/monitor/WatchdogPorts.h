#pragma once

#include "common/Outcome.h"
#include "history/Clock.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The small interfaces through which the watchdog reaches the machine. Production wires the
// Linux services behind them in one place; the engine's unit tests use fakes.

// On success: the path of the application that was started.
using LaunchOutcome = Outcome<QString>;

// The mount point, or the sentence that says why the share isn't mounted.
using MountOutcome = Outcome<QString>;

// The share password as the keyring gave it: the password, none (no item, as for a guest
// share, or no keyring to ask), or the sentence that says why the keyring gave no answer.
using PasswordOutcome = Outcome<std::optional<QString>>;

// The sentence that names a desktop service the share step relies on and found missing ("The
// login keyring isn't available."), or none when it is there.
using MissingService = std::optional<QString>;

struct MountRequest
{
    QString scheme; // "smb" or "afp"
    QString host;   // as stored, untrimmed
    QString share;  // as stored, untrimmed
    std::optional<QString> username;
    std::optional<QString> password;
};

// The process counted as the media server. Its pid and start time name this very process (a
// later one may reuse the pid); the rest lets the platform check it again before a restart.
struct ServerProcess
{
    qint64 pid = 0;
    quint64 startTicks = 0;
    Instant startedAt{};
    QString executable{};
    bool inSystemUnit = false;
    // The same process, however its start time was worked out.
    bool operator==(const ServerProcess &other) const
    {
        return pid == other.pid && startTicks == other.startTicks;
    }
};

class MediaServerPort
{
public:
    virtual ~MediaServerPort() = default;
    // The running server's process, when one runs: a quick, non-blocking look at /proc.
    virtual std::optional<ServerProcess> runningProcess() = 0;
    // Asks the server over HTTP on port whether it answers. Calls done exactly once, on the
    // main thread, with whether it did (the platform bounds the wait).
    virtual void probe(quint16 port, std::function<void(bool)> done) = 0;
    // interactive: the user asked, so starting a system service may ask for a password.
    // Calls done exactly once, on any thread.
    virtual void launch(const QString &path, bool interactive,
                        std::function<void(LaunchOutcome)> done) = 0;
    // Ends a hung server process and starts the server again. Calls done exactly once, on any
    // thread.
    virtual void restart(const ServerProcess &hung, const QString &path,
                         std::function<void(LaunchOutcome)> done) = 0;
    // The program an earlier launch started, when it still runs without being recognised as
    // the server (a path that names another program): starting it again would pile up copies.
    virtual std::optional<QString> unrecognisedLaunch() = 0;
};

// What a probe of a mounted share found: it answers; it fails at once (server stopped); it
// gave no answer within its bound (server frozen); or the share answers but its local folder
// doesn't (the file-system bridge is gone).
enum class ShareHealth { alive, notAnswering, frozen, folderUnreachable };

class SharePort
{
public:
    virtual ~SharePort() = default;
    // Quick, non-blocking look at the mount table.
    virtual std::optional<QString> mountPoint(const QString &host, const QString &share) = 0;
    // Never blocks the calling thread; calls done exactly once, on any thread.
    virtual void mount(const MountRequest &request, std::function<void(MountOutcome)> done) = 0;
    // Shows a folder in the file manager.
    virtual void openFolder(const QString &path) = 0;
    // Whether the service that mounts shares is missing. Never blocks; calls done exactly
    // once, on any thread.
    virtual void missingService(std::function<void(MissingService)> done) = 0;
    // Probes the share mounted at the mount point without ever touching its folder from this
    // process. Answers within its own bounds; calls done exactly once, on any thread.
    virtual void probe(const QString &mountPoint, std::function<void(ShareHealth)> done) = 0;
    // Ends the process that serves the mount (so that every reader blocked on it is released
    // and the mount goes away), when that process is the user's own mount backend. done(false)
    // when there is none to end (a kernel mount). Calls done exactly once, on any thread.
    virtual void endBackend(const QString &mountPoint, std::function<void(bool)> done) = 0;
};

class CredentialPort
{
public:
    virtual ~CredentialPort() = default;
    // Never blocks; calls done exactly once, on any thread.
    virtual void password(const QString &account, std::function<void(PasswordOutcome)> done) = 0;
    // Whether the keyring is missing. Never blocks; calls done exactly once, on any thread.
    virtual void missingService(std::function<void(MissingService)> done) = 0;
};

// What a notification is about; a newer notification about the same subject may take the place
// of the older one.
enum class NotificationSubject { plex, volume };

class NotificationPort
{
public:
    virtual ~NotificationPort() = default;
    // The start-up probe that stands in for asking permission; its answer is ignored.
    virtual void requestPermission() = 0;
    // Shows a notification at once; the identifier is a fresh upper-case UUID.
    virtual void post(const QString &identifier, NotificationSubject subject, const QString &title,
                      const QString &body) = 0;
};

// Emits didWake() when the machine has resumed from sleep.
class WakePort : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void didWake();
};

struct WatchdogServices
{
    std::shared_ptr<MediaServerPort> mediaServer;
    std::shared_ptr<SharePort> share;
    std::shared_ptr<CredentialPort> credentials;
    std::shared_ptr<NotificationPort> notifications;
    std::shared_ptr<WakePort> wake;
};
