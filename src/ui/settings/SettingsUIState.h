#pragma once

#include "ui/settings/SettingsTab.h"

#include <QObject>

// Which tab the settings window shows. Shared by the window and its controller, so asking
// for a tab while the window is open switches it at once.
class SettingsUIState : public QObject
{
    Q_OBJECT

public:
    SettingsTab tab() const { return m_tab; }
    // Notifies on every assignment, also when the tab does not change.
    void setTab(SettingsTab tab);

Q_SIGNALS:
    void tabChanged(SettingsTab tab);

private:
    SettingsTab m_tab = SettingsTab::general;
};
