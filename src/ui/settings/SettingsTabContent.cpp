#include "ui/settings/SettingsTabContent.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/LaunchAtLogin.h"
#include "settings/AppSettings.h"
#include "ui/settings/GeneralSettingsView.h"
#include "ui/settings/HistoryView.h"
#include "ui/settings/PlexSettingsView.h"
#include "ui/settings/VolumeSettingsView.h"

QWidget *makeSettingsTabContent(SettingsTab tab, QWidget *parent)
{
    switch (tab) {
    case SettingsTab::general:
        return new GeneralSettingsView(AppSettings::shared(), LaunchAtLogin::shared(),
                                       Watchdog::shared(), parent);
    case SettingsTab::plex:
        return new PlexSettingsView(AppSettings::shared(), Watchdog::shared(), parent);
    case SettingsTab::volume:
        return new VolumeSettingsView(AppSettings::shared(), Watchdog::shared(), parent);
    case SettingsTab::history:
        return new HistoryView(parent);
    }
    return nullptr;
}
