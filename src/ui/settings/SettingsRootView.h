#pragma once

#include "ui/settings/SettingsTab.h"

#include <QTabWidget>

class SettingsUIState;
struct SettingsContext;

// The window's content: the four tabs, whose selection follows SettingsUIState both ways
// (setting the state selects a tab; clicking a tab writes the state).
class SettingsRootView : public QTabWidget
{
    Q_OBJECT

public:
    // The smallest size of the window; it grows to what the tabs need at the current font.
    static constexpr int width = 560;
    static constexpr int height = 470;

    explicit SettingsRootView(const SettingsContext &context, QWidget *parent = nullptr);

    static QString label(SettingsTab tab);
    static QString symbol(SettingsTab tab);

private:
    // Gives the tabs and every labelled control and button an access key, unique per tab.
    void assignAccessKeys();

    SettingsUIState &m_state;
};
