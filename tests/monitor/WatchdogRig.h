#pragma once

// Fakes for the watchdog's ports and a rig that wires a watchdog to them, with its own
// settings (reset for every test) and its own history folder.

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

#include <QCoroTask>
#include <QHash>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// How a fake answers a launch or a mount.
enum class Answer {
    succeed,    // calls back inside the call
    fail,       // calls back inside the call
    fromThread, // succeeds, calling back from another thread
    hold,       // keeps the completion until the test answers
};

class FakeMediaServer : public MediaServerPort
{
public:
    bool running = false;
    Answer answer = Answer::succeed;
    QString appPath = QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server");
    QString failure = QStringLiteral("Plex Media Server wasn't found at \"/opt/plex\"");
    int lookups = 0;
    QStringList launches;
    std::vector<std::function<void(LaunchOutcome)>> held;

    ~FakeMediaServer() override
    {
        for (std::thread &thread : threads)
            thread.join();
    }
    bool isRunning() override
    {
        ++lookups;
        return running;
    }
    void launch(const QString &path, std::function<void(LaunchOutcome)> done) override
    {
        launches.append(path);
        const LaunchOutcome ok{true, appPath, {}};
        switch (answer) {
        case Answer::succeed:
            return done(ok);
        case Answer::fail:
            return done(LaunchOutcome{false, {}, failure});
        case Answer::fromThread:
            threads.emplace_back([done, ok] { done(ok); });
            return;
        case Answer::hold:
            held.push_back(std::move(done));
            return;
        }
    }

private:
    std::vector<std::thread> threads;
};

class FakeShare : public SharePort
{
public:
    std::optional<QString> mounted;
    Answer answer = Answer::succeed;
    QString mountedAt = QStringLiteral("/run/user/1000/gvfs/smb-share:server=box.lan,share=media");
    QString failure = QStringLiteral("The server couldn't be reached on the network. (code 113)");
    int lookups = 0;
    QList<MountRequest> requests;
    QStringList opened;
    std::vector<std::function<void(MountOutcome)>> held;

    ~FakeShare() override
    {
        for (std::thread &thread : threads)
            thread.join();
    }
    std::optional<QString> mountPoint(const QString &, const QString &) override
    {
        ++lookups;
        return mounted;
    }
    void mount(const MountRequest &request, std::function<void(MountOutcome)> done) override
    {
        requests.append(request);
        const MountOutcome ok{true, mountedAt, {}};
        switch (answer) {
        case Answer::succeed:
            return done(ok);
        case Answer::fail:
            return done(MountOutcome{false, {}, failure});
        case Answer::fromThread:
            threads.emplace_back([done, ok] { done(ok); });
            return;
        case Answer::hold:
            held.push_back(std::move(done));
            return;
        }
    }
    void openFolder(const QString &path) override { opened.append(path); }

private:
    std::vector<std::thread> threads;
};

class FakeCredentials : public CredentialPort
{
public:
    QHash<QString, QString> passwords;
    QStringList asked;
    std::optional<QString> password(const QString &account) override
    {
        asked.append(account);
        if (!passwords.contains(account))
            return std::nullopt;
        return passwords.value(account);
    }
};

struct Posted
{
    QString identifier, title, body;
};

class FakeNotifications : public NotificationPort
{
public:
    int permissionRequests = 0;
    QList<Posted> posted;
    std::function<void()> onPermissionRequest;
    void requestPermission() override
    {
        ++permissionRequests;
        if (onPermissionRequest)
            onPermissionRequest();
    }
    void post(const QString &identifier, const QString &title, const QString &body) override
    {
        posted.append({identifier, title, body});
    }
};

class FakeWake : public WakePort
{
public:
    void wake() { Q_EMIT didWake(); }
};

inline void resetSettingsFile()
{
    auto store = SettingsStore::open();
    store->clear();
    store->sync();
}

// "none", "true" or "false".
inline QString text(std::optional<bool> value)
{
    return !value   ? QStringLiteral("none")
           : *value ? QStringLiteral("true")
                    : QStringLiteral("false");
}

struct WatchdogRig
{
    QTemporaryDir folder;
    AppSettings settings;
    EventLog log{folder.path()};
    std::shared_ptr<FakeMediaServer> server = std::make_shared<FakeMediaServer>();
    std::shared_ptr<FakeShare> share = std::make_shared<FakeShare>();
    std::shared_ptr<FakeCredentials> credentials = std::make_shared<FakeCredentials>();
    std::shared_ptr<FakeNotifications> notifications = std::make_shared<FakeNotifications>();
    std::shared_ptr<FakeWake> wake = std::make_shared<FakeWake>();
    Watchdog dog{settings, log, WatchdogServices{server, share, credentials, notifications, wake}};

    void configureShare()
    {
        settings.setServerHost(QStringLiteral("box.lan"));
        settings.setShareName(QStringLiteral("media"));
        settings.setUsername(QStringLiteral("ana"));
    }
    void cycle(const QString &reason = QStringLiteral("manual"))
    {
        QCoro::waitFor(dog.checkNow(reason));
    }
    // The history as "kind: detail" lines ("kind" alone when the detail is empty).
    QStringList lines() const
    {
        QStringList out;
        for (const LogEvent &event : log.events())
            out.append(LogEvent::rawValue(event.kind) +
                       (event.detail.isEmpty() ? QString() : QStringLiteral(": ") + event.detail));
        return out;
    }
    QStringList kinds() const
    {
        QStringList out;
        for (const LogEvent &event : log.events())
            out.append(LogEvent::rawValue(event.kind));
        return out;
    }
};
