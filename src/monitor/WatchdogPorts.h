#pragma once

#include "common/Outcome.h"

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

class MediaServerPort
{
public:
    virtual ~MediaServerPort() = default;
    virtual bool isRunning() = 0;
    // Calls done exactly once, on any thread.
    virtual void launch(const QString &path, std::function<void(LaunchOutcome)> done) = 0;
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
