#pragma once

#include "history/Clock.h"
#include "monitor/WatchdogPorts.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

class AppSettings;
class EventLog;

// How long the watchdog waits for things. Production uses the defaults; tests shorten them.
struct WatchdogTiming
{
    // After a wake, until the network is back.
    std::chrono::milliseconds wakeDelay = std::chrono::seconds(15);
    // Until a launch must have reported back before it counts as failed.
    std::chrono::milliseconds launchBound = std::chrono::seconds(90);
    // Until a mount must have reported back (the mounter gives up on its own after 60 s).
    std::chrono::milliseconds mountBound = std::chrono::seconds(120);
    // Until the keyring must have given the password, and a look for missing desktop services
    // must have answered.
    std::chrono::milliseconds serviceBound = std::chrono::seconds(5);
    // After the media server's process started, until its answers are judged (it is still
    // loading its database).
    std::chrono::milliseconds serverStartupGrace = std::chrono::seconds(120);
    // Between the probes that confirm that the media server isn't answering.
    std::chrono::milliseconds probeRetryDelay = std::chrono::seconds(30);
    // Until a server probe must have answered (the platform gives up after 10 s on its own).
    std::chrono::milliseconds serverProbeBound = std::chrono::seconds(15);
    // Until the restart of a hung server must have reported back: ending it can take twice 30 s.
    std::chrono::milliseconds restartBound = std::chrono::seconds(180);
    // At most two restarts of a hung server within this window.
    std::chrono::milliseconds restartWindow = std::chrono::hours(1);
    // Until a share probe must have answered (the probe bounds itself at 15 s) before the share
    // counts as frozen.
    std::chrono::milliseconds shareProbeBound = std::chrono::seconds(20);
    // Between a probe that found the share unwell and the probe that confirms it.
    std::chrono::milliseconds confirmDelay = std::chrono::seconds(30);
    // Until the backend of a frozen share must be ended and its mount gone.
    std::chrono::milliseconds backendBound = std::chrono::seconds(10);
    // Runs the repeating timer with this period instead of the interval (which is still
    // what timerInterval() reports).
    std::optional<std::chrono::milliseconds> timerPeriod{};
};

// Keeps the media server running and the share mounted: one check cycle at start-up, on a
// timer and after wake; records findings, repairs what is down and notifies the user.
// Everything runs on the main thread; isChecking guards against overlapping cycles.
class Watchdog : public QObject
{
    Q_OBJECT

public:
    using Timing = WatchdogTiming;

    Watchdog(AppSettings &settings, EventLog &log, WatchdogServices services, Timing timing = {},
             QObject *parent = nullptr);
    ~Watchdog() override;

    // none: not monitored or not checked yet; false: found down.
    std::optional<bool> plexRunning() const { return m_plexRunning; }
    std::optional<bool> volumeMounted() const { return m_volumeMounted; }
    std::optional<QString> volumeMountPoint() const { return m_volumeMountPoint; }
    // Whether the last check found the server running but not answering, or the share mounted
    // but not responding. Either counts as down: plexRunning() or volumeMounted() is false then.
    bool plexNotAnswering() const { return m_plexNotAnswering; }
    bool volumeNotResponding() const { return m_volumeNotResponding; }
    std::optional<Instant> lastCheck() const { return m_lastCheck; }
    bool isChecking() const { return m_isChecking; }
    QString lastMessage() const { return m_lastMessage; }

    // One full check cycle; returns at once when another is running. The returned task may
    // be dropped: the cycle still runs to its end.
    QCoro::Task<> checkNow(QString reason);
    // Launch the media server now (no notification, no summary change).
    QCoro::Task<> launchPlexNow();
    // Run the share step alone (no isChecking, no summary change).
    QCoro::Task<> mountVolumeNow();
    // Show the share's mount point in the file manager, when there is one.
    void openVolume();

    // Records appStarted, prunes the history, arms the timer, listens for wake, and queues
    // the start-up check.
    void start();
    // Stops the timer and records appStopped.
    void stop();

    // The repeating timer's interval follows checkIntervalMinutes, with
    // AppSettings::minimumCheckIntervalSeconds as its floor.
    static std::chrono::milliseconds intervalForMinutes(double minutes);
    bool isTimerArmed() const;
    std::chrono::milliseconds timerInterval() const;
    // When the timer was last (re-)armed; its next cycle is due one interval later.
    std::optional<Instant> timerArmedAt() const;

Q_SIGNALS:
    void plexRunningChanged();
    void volumeMountedChanged();
    void volumeMountPointChanged();
    void plexNotAnsweringChanged();
    void volumeNotRespondingChanged();
    void lastCheckChanged();
    void isCheckingChanged();
    void lastMessageChanged();

private:
    // Implementation (fields and steps) is the engine's own.
    struct Private;
    friend struct Private;
    std::unique_ptr<Private> d;

    QCoro::Task<QString> checkPlex();
    QCoro::Task<QString> launchPlex();
    // Probes the running server until it answers or fails three probes in a row; the process
    // that didn't answer, or none.
    QCoro::Task<std::optional<ServerProcess>> findHungServer(ServerProcess process);
    QCoro::Task<QString> repairHungServer(ServerProcess hung);
    // One launch (or restart) at a time: a second request joins the one in flight.
    QCoro::Task<LaunchOutcome> launchOnce(bool interactive);
    QCoro::Task<LaunchOutcome> restartOnce(const ServerProcess &hung);
    // A hung server is not restarted while the share it may be stuck on isn't healthy.
    bool shareIsHealthy() const;
    QCoro::Task<QString> checkVolume();
    // A probe, and for anything but alive a second one after confirmDelay.
    QCoro::Task<ShareHealth> confirmedHealth(QString mountPoint);
    // Records the share as mounted but unwell; repairs a frozen share when allowed.
    QCoro::Task<QString> volumeUnwell(QString share, QString mountPoint, ShareHealth health);
    // Mounts the share (or joins the mount in flight), records and notifies the outcome.
    QCoro::Task<QString> remountVolume(QString host, QString share);
    // Reads the password and mounts the share with it.
    QCoro::Task<MountOutcome> repairVolume(QString host, QString share);
    // After a failed repair: records each missing desktop service once, until it is back.
    QCoro::Task<> reportMissingServices();
    void scheduleTimer();
    void systemDidWake();

    // Observable state: every assignment notifies, also when the value is unchanged.
    void setPlexRunning(std::optional<bool> value);
    void setVolumeMounted(std::optional<bool> value);
    void setVolumeMountPoint(std::optional<QString> value);
    void setPlexNotAnswering(bool value);
    void setVolumeNotResponding(bool value);
    void setLastCheck(std::optional<Instant> value);
    void setIsChecking(bool value);
    void setLastMessage(const QString &value);

    std::optional<bool> m_plexRunning;
    std::optional<bool> m_volumeMounted;
    std::optional<QString> m_volumeMountPoint;
    bool m_plexNotAnswering = false;
    bool m_volumeNotResponding = false;
    std::optional<Instant> m_lastCheck;
    bool m_isChecking = false;
    QString m_lastMessage = tr("Not checked yet");
};
