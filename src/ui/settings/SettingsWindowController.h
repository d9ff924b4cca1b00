#pragma once

#include "ui/settings/SettingsTab.h"

#include <QObject>
#include <QPointer>

class AppSettings;
#include <QWidget>

// Owns the one settings window. show(tab) builds it on first use and reuses it afterwards;
// closing the window only hides it.
class SettingsWindowController : public QObject
{
    Q_OBJECT

public:
    static SettingsWindowController &shared();

    // Selects the tab first (so an open window switches at once), builds the window if there
    // is none, then shows it, raises it and asks for focus.
    void show(SettingsTab tab);

    // The window once built; null before the first show().
    QWidget *window() const { return m_window; }

    // First launch: with no server address and no earlier launch, remember the launch and
    // open General. Returns whether the window was opened.
    bool applyFirstLaunchRule(const AppSettings &settings);

    // Settings store key of the saved window geometry.
    static inline const QString geometryKey = QStringLiteral("VigilmountSettings");

private:
    SettingsWindowController() = default;
    void buildWindow();

    QPointer<QWidget> m_window;
};
