#pragma once

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/LaunchAtLogin.h"
#include "settings/AppSettings.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"

#include <memory>

// Every long-lived object of the program, built once, in dependency order, and handed down by
// reference. main() owns the root, so each object lives exactly as long as the program: there
// is one of each, and nothing reaches them through a global.
class CompositionRoot
{
public:
    enum class Mode { desktop, headless };

    // Wired to the Linux services; the history goes to the system log too.
    explicit CompositionRoot(Mode mode);
    // Wired to the given services (tests use fakes), with the given timing.
    CompositionRoot(Mode mode, WatchdogServices services, Watchdog::Timing timing = {});
    CompositionRoot(const CompositionRoot &) = delete;
    CompositionRoot &operator=(const CompositionRoot &) = delete;

    Mode mode() const { return m_mode; }
    AppSettings &settings() { return m_settings; }
    EventLog &log() { return m_log; }
    LaunchAtLogin &launchAtLogin() { return m_launchAtLogin; }
    Watchdog &watchdog() { return m_watchdog; }
    SettingsUIState &uiState() { return m_uiState; }
    // Null when headless; the window itself is built on first use.
    SettingsWindowController *windowController() { return m_windowController.get(); }
    // A notification's "Open Settings": the window on the subject's tab (none when headless).
    void openSettings(NotificationSubject subject);

private:
    Mode m_mode;
    AppSettings m_settings;
    EventLog m_log;
    LaunchAtLogin m_launchAtLogin;
    Watchdog m_watchdog;
    SettingsUIState m_uiState;
    std::unique_ptr<SettingsWindowController> m_windowController;
};
