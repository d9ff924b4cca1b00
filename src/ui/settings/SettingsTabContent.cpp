#include "ui/settings/SettingsTabContent.h"

#include "ui/settings/GeneralSettingsView.h"
#include "ui/settings/HistoryView.h"
#include "ui/settings/PlexSettingsView.h"
#include "ui/settings/VolumeSettingsView.h"

QWidget *makeSettingsTabContent(SettingsTab tab, const SettingsContext &context, QWidget *parent)
{
    switch (tab) {
    case SettingsTab::general:
        return new GeneralSettingsView(context.settings, context.launchAtLogin, context.watchdog,
                                       context.log, parent);
    case SettingsTab::plex:
        return new PlexSettingsView(context.settings, context.watchdog, parent);
    case SettingsTab::volume:
        return new VolumeSettingsView(context.settings, context.watchdog, parent);
    case SettingsTab::history:
        return new HistoryView(context.log, context.settings, parent);
    }
    return nullptr;
}
