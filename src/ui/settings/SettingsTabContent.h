#pragma once

#include "ui/settings/SettingsTab.h"

class QWidget;

// The content of one settings tab (General, Plex, Volume or History), built once for the
// window's tab container and owned by the given parent.
QWidget *makeSettingsTabContent(SettingsTab tab, QWidget *parent);
