#pragma once

#include "ui/settings/SettingsTab.h"

class AppSettings;
class EventLog;
class LaunchAtLogin;
class QWidget;
class SettingsUIState;
class Watchdog;

// What the settings window and its tabs work on; every object outlives the window.
struct SettingsContext
{
    AppSettings &settings;
    EventLog &log;
    Watchdog &watchdog;
    LaunchAtLogin &launchAtLogin;
    SettingsUIState &uiState;
};

// The content of one settings tab. The tab container owns the returned widget (through parent).
QWidget *makeSettingsTabContent(SettingsTab tab, const SettingsContext &context, QWidget *parent);
