#include "ui/menubar/StatusItemController.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "platform/StatusNotifierStatus.h"
#include "platform/SystemLog.h"
#include "settings/AppSettings.h"
#include "ui/Symbols.h"
#include "ui/settings/SettingsWindowController.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

StatusItemController::StatusItemController(Watchdog &watchdog, AppSettings &settings, EventLog &log,
                                           SettingsWindowController &window, QObject *parent)
    : QObject(parent), m_watchdog(watchdog), m_settings(settings), m_log(log), m_window(window),
      m_menu(std::make_unique<QMenu>())
{
    m_tray = new QSystemTrayIcon(this);
    m_tray->setContextMenu(m_menu.get());
    m_menu->setToolTipsVisible(true);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &StatusItemController::rebuildMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });

    // The icon follows the two states; a change of the watch switches alone waits for them.
    connect(&m_watchdog, &Watchdog::plexRunningChanged, this, &StatusItemController::updateIcon);
    connect(&m_watchdog, &Watchdog::volumeMountedChanged, this, &StatusItemController::updateIcon);

    // Everything the menu shows: keep it current before it opens.
    for (const auto signal : {&Watchdog::plexRunningChanged, &Watchdog::volumeMountedChanged,
                              &Watchdog::volumeMountPointChanged, &Watchdog::lastCheckChanged,
                              &Watchdog::isCheckingChanged, &Watchdog::plexNotAnsweringChanged,
                              &Watchdog::volumeNotRespondingChanged})
        connect(&m_watchdog, signal, this, &StatusItemController::scheduleRebuild);
    connect(&m_settings, &AppSettings::changed, this, &StatusItemController::scheduleRebuild);
    connect(&m_log, &EventLog::eventsChanged, this, &StatusItemController::scheduleRebuild);

    updateIcon();
    rebuildMenu();
    m_tray->show();
    // Made after the tray icon, so it goes before it.
    m_status = new StatusNotifierStatus(this);
    m_status->setNeedsAttention(m_attention);
    m_status->attach();
    // A panel that switches between light and dark gets the matching glyph.
    QCoreApplication::instance()->installEventFilter(this);

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        SystemLog::write(QStringLiteral(
            "[Vigilmount] No system tray is available; the watchdog keeps running without an "
            "icon. Start Vigilmount again to open its settings."));
    }
}

StatusItemController::~StatusItemController() = default;

QString StatusItemController::accessibleDescription() const
{
    return StatusMenuModel::trayDescription(currentInputs());
}

QString StatusItemController::status() const
{
    return m_status ? m_status->status() : QStringLiteral("Active");
}

StatusMenuModel::Inputs StatusItemController::currentInputs() const
{
    StatusMenuModel::Inputs in;
    in.watchPlex = m_settings.watchPlex();
    in.watchVolume = m_settings.watchVolume();
    in.volumeConfigured = m_settings.isVolumeConfigured();
    in.shareName = m_settings.shareName();
    in.checkIntervalMinutes = m_settings.checkIntervalMinutes();
    in.plexRunning = m_watchdog.plexRunning();
    in.volumeMounted = m_watchdog.volumeMounted();
    in.volumeMountPoint = m_watchdog.volumeMountPoint();
    in.plexNotAnswering = m_watchdog.plexNotAnswering();
    in.volumeNotResponding = m_watchdog.volumeNotResponding();
    in.lastCheck = m_watchdog.lastCheck();
    in.isChecking = m_watchdog.isChecking();
    const auto outages = StatusMenuModel::countOutages(m_log.events(), Clock::now());
    in.plexOutages = outages.plex;
    in.volumeOutages = outages.volume;
    return in;
}

void StatusItemController::updateIcon()
{
    const StatusMenuModel::Inputs in = currentInputs();
    m_attention = StatusMenuModel::needsAttention(in);
    m_tray->setToolTip(StatusMenuModel::trayToolTip(in));
    if (m_status)
        m_status->setNeedsAttention(m_attention);
    drawIcon();
}

void StatusItemController::drawIcon()
{
    const bool darkPanel = Symbols::isDark(QApplication::palette().color(QPalette::Window));
    m_tray->setIcon(Symbols::trayIcon(m_attention, darkPanel));
    m_menu->setAccessibleName(accessibleDescription());
}

bool StatusItemController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange)
        drawIcon();
    return QObject::eventFilter(watched, event);
}

void StatusItemController::scheduleRebuild()
{
    // Many notifications in one pass of the event loop give one rebuild.
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        m_rebuildPending = false;
        // A menu the user is looking at stays as it is; it is rebuilt when it next opens.
        if (!m_menu->isVisible())
            rebuildMenu();
    });
}

void StatusItemController::rebuildMenu()
{
    m_menu->clear();
    for (const StatusMenuModel::Row &row : StatusMenuModel::rows(currentInputs())) {
        if (row.type == StatusMenuModel::Row::Type::separator) {
            m_menu->addSeparator();
            continue;
        }
        QAction *item = m_menu->addAction(row.title);
        // A shortened row still tells its whole text, on hover and to a screen reader.
        item->setToolTip(row.toolTip.isEmpty() ? row.title : row.toolTip);
        item->setStatusTip(row.toolTip);
        if (row.type == StatusMenuModel::Row::Type::info) {
            item->setEnabled(false);
            item->setIcon(symbolIcon(row.symbol));
            item->setIconVisibleInMenu(true);
            continue;
        }
        item->setShortcut(row.shortcut);
        const StatusMenuModel::Action what = row.action;
        connect(item, &QAction::triggered, this, [this, what] { trigger(what); });
    }
}

void StatusItemController::activated(int reason)
{
    // A left click (hosts send Activate: the item is not only a menu).
    if (reason == QSystemTrayIcon::Trigger)
        m_window.showOrRaise(SettingsTab::general);
}

void StatusItemController::trigger(StatusMenuModel::Action action)
{
    using StatusMenuModel::Action;
    switch (action) {
    case Action::checkNow:
        // The cycle runs on; its outcome shows in the state, the history and notifications.
        m_watchdog.checkNow(QStringLiteral("manual"));
        break;
    case Action::startPlex:
        m_watchdog.launchPlexNow();
        break;
    case Action::mountVolume:
        m_watchdog.mountVolumeNow();
        break;
    case Action::openVolume:
        m_watchdog.openVolume();
        break;
    case Action::openHistory:
        m_window.show(SettingsTab::history);
        break;
    case Action::openSettings:
        m_window.show(SettingsTab::general);
        break;
    case Action::quit:
        QCoreApplication::quit();
        break;
    case Action::none:
        break;
    }
}
