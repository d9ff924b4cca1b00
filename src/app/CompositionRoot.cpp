#include "app/CompositionRoot.h"

#include "app/ProductionServices.h"
#include "platform/SystemLog.h"

CompositionRoot::CompositionRoot(Mode mode)
    : CompositionRoot(mode, makeProductionServices(
                                mode == Mode::desktop
                                    ? [this](NotificationSubject subject) { openSettings(subject); }
                                    : std::function<void(NotificationSubject)>()))
{}

CompositionRoot::CompositionRoot(Mode mode, WatchdogServices services, Watchdog::Timing timing)
    : m_mode(mode), m_log(EventLog::defaultDirectory(), &SystemLog::write),
      m_watchdog(m_settings, m_log, std::move(services), timing)
{
    if (mode == Mode::desktop) {
        m_windowController = std::make_unique<SettingsWindowController>(
            SettingsContext{m_settings, m_log, m_watchdog, m_launchAtLogin, m_uiState});
    }
}

void CompositionRoot::openSettings(NotificationSubject subject)
{
    if (m_windowController)
        m_windowController->show(subject == NotificationSubject::plex ? SettingsTab::plex
                                                                      : SettingsTab::volume);
}
