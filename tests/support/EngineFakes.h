#pragma once

// The watchdog's ports as one fake machine (media server, share, keyring, notifications and
// wake), and EngineWorld: a watchdog on it over default settings and an empty history.

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

#include <QHash>
#include <QTemporaryDir>

namespace EngineFakes {
inline const QString plexPath = "/usr/lib/plexmediaserver/Plex Media Server";
inline const QString launchError = "Plex Media Server wasn't found at \"x\"";
inline const QString mountedAt = "/run/user/1000/gvfs/smb-share:server=box,share=media";
inline const QString mountError = "The server didn't respond in time. (code 110)";
inline const QString keyringLocked = "The login keyring is locked.";
} // namespace EngineFakes

enum class Answer { succeed, fail, hold };

// Answers a launch, a mount or a password read at once (a call may bring its own success), or
// holds it until release(i) answers the i-th held call with success (again, when called twice).
template <typename Outcome> struct Answering
{
    Answering(Outcome success, Outcome failure) : ok(std::move(success)), failed(std::move(failure))
    {}
    Outcome ok, failed;
    Answer answer = Answer::succeed;
    std::vector<std::function<void(Outcome)>> held;

    void operator()(std::function<void(Outcome)> done, const std::optional<Outcome> &success = {})
    {
        if (answer == Answer::hold)
            held.push_back(std::move(done));
        else
            done(answer == Answer::succeed ? success.value_or(ok) : failed);
    }
    void release(std::size_t i = 0) { held.at(i)(ok); }
};

struct FakeMachine : WakePort, MediaServerPort, SharePort, CredentialPort, NotificationPort
{
    struct Posted
    {
        QString identifier;
        NotificationSubject subject;
        QString title, body;
    };
    bool running = false;
    std::optional<ServerProcess> process; // what runningProcess() finds while running
    QList<bool> probeAnswers;             // the next probes' answers; none left: it answers
    int serverProbes = 0;
    QList<ServerProcess> restarted;
    std::optional<QString> stray; // what unrecognisedLaunch() reports
    std::optional<QString> mounted;
    int plexLookups = 0, shareLookups = 0;
    QList<MountRequest> requests;
    QStringList launches;
    QHash<QString, QString> passwords;
    QList<Posted> posted;
    Answering<LaunchOutcome> launchAnswers{LaunchOutcome::success(EngineFakes::plexPath),
                                           LaunchOutcome::failure(EngineFakes::launchError)};
    Answering<MountOutcome> mountAnswers{MountOutcome::success(EngineFakes::mountedAt),
                                         MountOutcome::failure(EngineFakes::mountError)};
    Answering<PasswordOutcome> passwordAnswers{
        PasswordOutcome::success(std::nullopt),
        PasswordOutcome::failure(EngineFakes::keyringLocked)};
    MissingService missing;    // what the share and the keyring both report missing
    QList<ShareHealth> health; // the probes' answers in turn; alive once used up
    int shareProbes = 0;
    QStringList endedBackends;
    bool backendEnds = true; // ending one unmounts the share
    std::function<void()> onPermissionRequest = [] {};

    void wake() { Q_EMIT didWake(); }
    // A server without a process of its own started just now, too recently to be probed.
    std::optional<ServerProcess> runningProcess() override
    {
        ++plexLookups;
        return running ? process.value_or(ServerProcess{.pid = 1, .startedAt = Clock::now()})
                       : std::optional<ServerProcess>();
    }
    void probe(quint16, std::function<void(bool)> done) override
    {
        ++serverProbes;
        done(probeAnswers.isEmpty() || probeAnswers.takeFirst());
    }
    void launch(const QString &path, bool interactive,
                std::function<void(LaunchOutcome)> done) override
    {
        launches.append(interactive ? QStringLiteral("interactive ") + path : path);
        launchAnswers(std::move(done));
    }
    void restart(const ServerProcess &hung, const QString &,
                 std::function<void(LaunchOutcome)> done) override
    {
        restarted.append(hung);
        launchAnswers(std::move(done));
    }
    std::optional<QString> unrecognisedLaunch() override { return stray; }
    std::optional<QString> mountPoint(const QString &, const QString &) override
    {
        return ++shareLookups, mounted;
    }
    void mount(const MountRequest &request, std::function<void(MountOutcome)> done) override
    {
        requests.append(request);
        mountAnswers(std::move(done));
    }
    void openFolder(const QString &) override {}
    void probe(const QString &, std::function<void(ShareHealth)> done) override
    {
        ++shareProbes, done(health.isEmpty() ? ShareHealth::alive : health.takeFirst());
    }
    void endBackend(const QString &mountPoint, std::function<void(bool)> done) override
    {
        endedBackends.append(mountPoint);
        if (backendEnds)
            mounted.reset();
        done(backendEnds);
    }
    void password(const QString &account, std::function<void(PasswordOutcome)> done) override
    {
        const auto stored =
            passwords.contains(account) ? std::optional(passwords[account]) : std::nullopt;
        passwordAnswers(std::move(done), PasswordOutcome::success(stored));
    }
    void missingService(std::function<void(MissingService)> done) override { done(missing); }
    void requestPermission() override { onPermissionRequest(); }
    void post(const QString &identifier, NotificationSubject subject, const QString &title,
              const QString &body) override
    {
        posted.append({identifier, subject, title, body});
    }
};

// Every world starts from the default settings (the store is cleared before they are read).
struct EngineWorld
{
    explicit EngineWorld(Watchdog::Timing timing = {}) : dog(settings, log, services(), timing) {}

    const bool cleared = (SettingsStore::open()->clear(), true);
    QTemporaryDir folder;
    AppSettings settings;
    EventLog log{folder.filePath(QStringLiteral("history"))};
    std::shared_ptr<FakeMachine> machine = std::make_shared<FakeMachine>();
    FakeMachine &fake = *machine;
    Watchdog dog;

    WatchdogServices services() const { return {machine, machine, machine, machine, machine}; }
    void configureShare()
    {
        settings.setServerHost("box.lan");
        settings.setShareName("media");
    }
};
