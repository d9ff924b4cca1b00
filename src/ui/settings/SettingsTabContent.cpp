#include "ui/settings/SettingsTabContent.h"

#include <QWidget>

// Until the tab views exist, each tab shows an empty page.
QWidget *makeSettingsTabContent(SettingsTab tab, QWidget *parent)
{
    Q_UNUSED(tab);
    return new QWidget(parent);
}
