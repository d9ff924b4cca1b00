#pragma once

// Fakes for the watchdog's ports, and a rig that wires a watchdog to them with its own
// settings (the file is reset for every test) and its own history folder.

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>
#include <vector>

enum class Answer { succeed, fail, fromThread, hold };

// Answers a completion inside the call (succeed, fail), from another thread (succeeds), or
// keeps it for the test to answer (hold).
template <typename Outcome> struct Answering
{
    Answer answer = Answer::succeed;
    std::vector<std::function<void(Outcome)>> held;
    std::vector<std::thread> threads;

    ~Answering()
    {
        for (std::thread &thread : threads)
            thread.join();
    }
    void operator()(std::function<void(Outcome)> done, const Outcome &ok, const Outcome &failed)
    {
        if (answer == Answer::hold)
            held.push_back(std::move(done));
        else if (answer == Answer::fromThread)
            threads.emplace_back([done, ok] { done(ok); });
        else
            done(answer == Answer::succeed ? ok : failed);
    }
};

struct FakeMediaServer : MediaServerPort
{
    bool running = false;
    int lookups = 0;
    QStringList launches;
    Answering<LaunchOutcome> answers;
    static inline const QString path = QStringLiteral("/usr/lib/plexmediaserver/Plex Media Server");
    static inline const QString error = QStringLiteral("Plex Media Server wasn't found at \"x\"");

    bool isRunning() override { return ++lookups, running; }
    void launch(const QString &appPath, std::function<void(LaunchOutcome)> done) override
    {
        launches.append(appPath);
        answers(std::move(done), {true, path, {}}, {false, {}, error});
    }
};

struct FakeShare : SharePort
{
    std::optional<QString> mounted;
    int lookups = 0;
    QList<MountRequest> requests;
    QStringList opened;
    Answering<MountOutcome> answers;
    static inline const QString at =
        QStringLiteral("/run/user/1000/gvfs/smb-share:server=box,share=media");
    static inline const QString error =
        QStringLiteral("The server didn't respond in time. (code 110)");

    std::optional<QString> mountPoint(const QString &, const QString &) override
    {
        return ++lookups, mounted;
    }
    void mount(const MountRequest &request, std::function<void(MountOutcome)> done) override
    {
        requests.append(request);
        answers(std::move(done), {true, at, {}}, {false, {}, error});
    }
    void openFolder(const QString &path) override { opened.append(path); }
};

struct FakeCredentials : CredentialPort
{
    QHash<QString, QString> passwords;
    QStringList asked;
    std::optional<QString> password(const QString &account) override
    {
        asked.append(account);
        return passwords.contains(account) ? std::optional(passwords[account]) : std::nullopt;
    }
};

struct Posted
{
    QString identifier, title, body;
};

struct FakeNotifications : NotificationPort
{
    int permissionRequests = 0;
    std::function<void()> onPermissionRequest = [] {};
    QList<Posted> posted;
    void requestPermission() override { ++permissionRequests, onPermissionRequest(); }
    void post(const QString &identifier, const QString &title, const QString &body) override
    {
        posted.append({identifier, title, body});
    }
};

struct FakeWake : WakePort
{
    void wake() { Q_EMIT didWake(); }
};

inline QString text(std::optional<bool> value)
{
    return !value   ? QStringLiteral("none")
           : *value ? QStringLiteral("true")
                    : QStringLiteral("false");
}

// The settings file is shared by every rig of a test program: each starts from the defaults.
struct FreshSettingsFile
{
    FreshSettingsFile()
    {
        const auto store = SettingsStore::open();
        store->clear();
        store->sync();
        Clock::setSourceForTesting({});
    }
};

struct WatchdogRig : FreshSettingsFile
{
    QTemporaryDir folder;
    AppSettings settings;
    EventLog log{folder.path()};
    std::shared_ptr<FakeMediaServer> server = std::make_shared<FakeMediaServer>();
    std::shared_ptr<FakeShare> share = std::make_shared<FakeShare>();
    std::shared_ptr<FakeCredentials> credentials = std::make_shared<FakeCredentials>();
    std::shared_ptr<FakeNotifications> notifications = std::make_shared<FakeNotifications>();
    std::shared_ptr<FakeWake> wake = std::make_shared<FakeWake>();
    Watchdog dog{settings, log, {server, share, credentials, notifications, wake}};

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
        for (const LogEvent &e : log.events())
            out.append(LogEvent::rawValue(e.kind) +
                       (e.detail.isEmpty() ? QString() : QStringLiteral(": ") + e.detail));
        return out;
    }
    int count(const QString &line) const { return lines().count(line); }
    int countKind(const QString &kind) const
    {
        return lines().filter(QRegularExpression(QStringLiteral("^") + kind + "(:|$)")).size();
    }
};
