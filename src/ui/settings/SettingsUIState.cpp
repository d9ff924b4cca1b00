#include "ui/settings/SettingsUIState.h"

SettingsUIState &SettingsUIState::shared()
{
    static auto *instance = new SettingsUIState;
    return *instance;
}

void SettingsUIState::setTab(SettingsTab tab)
{
    m_tab = tab;
    Q_EMIT tabChanged(tab);
}
