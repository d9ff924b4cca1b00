#pragma once

#include "monitor/WatchdogPorts.h"

#include <QTimer>
#include <memory>

// Stand-ins for the machine behind a Watchdog. Completions arrive from the event loop, never
// inside the call, as the real services deliver them; a held completion waits until the test
// releases it.

class FakeMediaServer : public MediaServerPort
{
public:
    bool running = false;
    bool holdLaunch = false;
    LaunchOutcome outcome{true, QStringLiteral("/opt/plex/Plex Media Server"), {}};
    int launches = 0;

    bool isRunning() override { return running; }
    void launch(const QString &, std::function<void(LaunchOutcome)> done) override
    {
        ++launches;
        if (holdLaunch)
            m_pending = std::move(done);
        else
            deliver(std::move(done));
    }
    bool launchPending() const { return bool(m_pending); }
    void finishLaunch() { deliver(std::exchange(m_pending, {})); }

private:
    void deliver(std::function<void(LaunchOutcome)> done)
    {
        QTimer::singleShot(0, [done = std::move(done), outcome = outcome] { done(outcome); });
    }
    std::function<void(LaunchOutcome)> m_pending;
};

class FakeShare : public SharePort
{
public:
    std::optional<QString> mounted;
    bool holdMount = false;
    MountOutcome outcome{
        true, QStringLiteral("/run/user/1000/gvfs/smb-share:server=nas,share=media"), {}};
    int mounts = 0;

    std::optional<QString> mountPoint(const QString &, const QString &) override { return mounted; }
    void mount(const MountRequest &, std::function<void(MountOutcome)> done) override
    {
        ++mounts;
        if (holdMount)
            m_pending = std::move(done);
        else
            deliver(std::move(done));
    }
    void openFolder(const QString &) override {}
    bool mountPending() const { return bool(m_pending); }
    void finishMount() { deliver(std::exchange(m_pending, {})); }

private:
    void deliver(std::function<void(MountOutcome)> done)
    {
        QTimer::singleShot(0, [done = std::move(done), outcome = outcome] { done(outcome); });
    }
    std::function<void(MountOutcome)> m_pending;
};

class FakeCredentials : public CredentialPort
{
public:
    std::optional<QString> password(const QString &) override { return std::nullopt; }
};

class FakeNotifications : public NotificationPort
{
public:
    void requestPermission() override {}
    void post(const QString &, const QString &, const QString &) override {}
};

struct FakeMachine
{
    std::shared_ptr<FakeMediaServer> server = std::make_shared<FakeMediaServer>();
    std::shared_ptr<FakeShare> share = std::make_shared<FakeShare>();

    WatchdogServices services() const
    {
        return {server, share, std::make_shared<FakeCredentials>(),
                std::make_shared<FakeNotifications>(), std::make_shared<WakePort>()};
    }
};
