#include "ui/settings/SettingsRootView.h"

#include "ui/Symbols.h"
#include "ui/settings/AccessKeys.h"
#include "ui/settings/SettingsTabContent.h"
#include "ui/settings/SettingsUIState.h"

namespace {
// The tabs in their order on screen.
const QList<SettingsTab> &allSettingsTabs()
{
    static const QList<SettingsTab> tabs = {SettingsTab::general, SettingsTab::plex,
                                            SettingsTab::volume, SettingsTab::history};
    return tabs;
}
} // namespace

SettingsRootView::SettingsRootView(const SettingsContext &context, QWidget *parent)
    : QTabWidget(parent), m_state(context.uiState)
{
    setDocumentMode(false);
    for (const SettingsTab tab : allSettingsTabs())
        addTab(makeSettingsTabContent(tab, context, this), symbolIcon(symbol(tab)), label(tab));
    setCurrentIndex(static_cast<int>(allSettingsTabs().indexOf(m_state.tab())));
    assignAccessKeys();

    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && index < allSettingsTabs().size())
            m_state.setTab(allSettingsTabs().at(index));
    });
    // Setting the index it already shows emits nothing, so the two directions cannot loop.
    connect(&m_state, &SettingsUIState::tabChanged, this, [this](SettingsTab tab) {
        setCurrentIndex(static_cast<int>(allSettingsTabs().indexOf(tab)));
    });
}

void SettingsRootView::assignAccessKeys()
{
    // The tabs' keys work from every tab, so no control may reuse one of them.
    QSet<QChar> tabKeys;
    for (int index = 0; index < count(); ++index)
        setTabText(index, AccessKeys::withAccessKey(tabText(index), tabKeys));
    for (int index = 0; index < count(); ++index)
        AccessKeys::assign(widget(index), tabKeys);
}

QString SettingsRootView::label(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return tr("General");
    case SettingsTab::plex:
        return tr("Plex");
    case SettingsTab::volume:
        return tr("Volume");
    case SettingsTab::history:
        return tr("History");
    }
    return {};
}

QString SettingsRootView::symbol(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("gearshape");
    case SettingsTab::plex:
        return QStringLiteral("play.tv");
    case SettingsTab::volume:
        return QStringLiteral("externaldrive.connected.to.line.below");
    case SettingsTab::history:
        return QStringLiteral("chart.bar.doc.horizontal");
    }
    return {};
}
