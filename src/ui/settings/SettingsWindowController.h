#pragma once

#include "ui/settings/SettingsTab.h"
#include "ui/settings/SettingsTabContent.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

// Owns the one settings window. show(tab) builds it on first use and reuses it afterwards;
// closing the window only hides it.
class SettingsWindowController : public QObject
{
    Q_OBJECT

public:
    explicit SettingsWindowController(const SettingsContext &context, QObject *parent = nullptr);
    // Closes and deletes the window, if one was built.
    ~SettingsWindowController() override;

    // Selects the tab first (so an open window switches at once), builds the window if there
    // is none, then shows it, raises it and asks for focus.
    void show(SettingsTab tab);
    // A hidden window opens on tabWhenHidden; an open one comes forward on the tab it shows.
    void showOrRaise(SettingsTab tabWhenHidden);

    // The window once built; null before the first show().
    QWidget *window() const { return m_window; }

    // First launch: with no server address and no earlier launch, remember the launch and
    // open General. Returns whether the window was opened.
    bool applyFirstLaunchRule();

    // Settings store key of the saved window geometry.
    static inline const QString geometryKey = QStringLiteral("VigilmountSettings");

private:
    void buildWindow();

    SettingsContext m_context;
    QPointer<QWidget> m_window;
};
