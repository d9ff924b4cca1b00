#pragma once

#include "ui/settings/SettingsTab.h"

class QWidget;

// The content of one settings tab, built on the shared settings, history, watchdog and login
// item. The tab container owns the returned widget (through parent).
QWidget *makeSettingsTabContent(SettingsTab tab, QWidget *parent);
