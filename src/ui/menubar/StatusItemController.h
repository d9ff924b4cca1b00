#pragma once

#include "ui/menubar/StatusMenuModel.h"

#include <QObject>
#include <memory>

class AppSettings;
class EventLog;
class QAction;
class QMenu;
class QSystemTrayIcon;
class SettingsWindowController;
class StatusNotifierStatus;
class Watchdog;

// The tray icon and its menu. The icon turns into a warning triangle, its tooltip into the
// attention text and its StatusNotifier status into NeedsAttention while something watched is
// known to be down; a click on it brings up the settings window. The menu shows the state, the last
// check, the week's outages and the actions. The menu is rebuilt just before it opens and also
// whenever what it shows changes, because StatusNotifier hosts copy the menu before opening it.
class StatusItemController : public QObject
{
    Q_OBJECT

public:
    StatusItemController(Watchdog &watchdog, AppSettings &settings, EventLog &log,
                         SettingsWindowController &window, QObject *parent = nullptr);
    ~StatusItemController() override;

    QSystemTrayIcon &trayIcon() const { return *m_tray; }
    QMenu &menu() const { return *m_menu; }
    // The spoken description of the icon ("Vigilmount" or "Vigilmount — attention needed").
    QString accessibleDescription() const;
    // "NeedsAttention" or "Active", as the StatusNotifier host is told.
    QString status() const;

    // The current values the menu is built from.
    StatusMenuModel::Inputs currentInputs() const;

public Q_SLOTS:
    void rebuildMenu();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateIcon();
    void drawIcon();
    void scheduleRebuild();
    void trigger(StatusMenuModel::Action action);
    void activated(int reason);

    Watchdog &m_watchdog;
    AppSettings &m_settings;
    EventLog &m_log;
    SettingsWindowController &m_window;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon *m_tray = nullptr;
    StatusNotifierStatus *m_status = nullptr;
    bool m_attention = false;
    bool m_rebuildPending = false;
};
