#pragma once

#include <QList>

// The four tabs of the settings window, in their order on screen. Labels and icons belong to
// the window's tab container, not to this enumeration.
enum class SettingsTab { general, plex, volume, history };

inline const QList<SettingsTab> &allSettingsTabs()
{
    static const QList<SettingsTab> tabs = {SettingsTab::general, SettingsTab::plex,
                                            SettingsTab::volume, SettingsTab::history};
    return tabs;
}
