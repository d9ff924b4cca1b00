#include "ui/settings/SettingsUIState.h"

void SettingsUIState::setTab(SettingsTab tab)
{
    m_tab = tab;
    Q_EMIT tabChanged(tab);
}
