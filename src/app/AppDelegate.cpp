#include "app/AppDelegate.h"

#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "ui/menubar/StatusItemController.h"
#include "ui/settings/SettingsWindowController.h"

#include <QSignalBlocker>
#include <QTimer>

#include <cstdlib>

namespace {
AppDelegate *g_exitingDelegate = nullptr;

void terminateAtExit()
{
    if (!g_exitingDelegate)
        return;
    // The process is already going down and parts of the toolkit are torn down: nothing may
    // redraw now. Only the stop record has to reach the disk.
    const QSignalBlocker quietLog(EventLog::shared());
    const QSignalBlocker quietWatchdog(Watchdog::shared());
    g_exitingDelegate->applicationWillTerminate();
    // The stop is on disk. Running the static destructors now would race with the toolkit's
    // D-Bus thread, which is still delivering events (a crash at exit): end here instead, with
    // the failure status the windowing layer exits with.
    std::_Exit(EXIT_FAILURE);
}
} // namespace

AppDelegate::AppDelegate(Mode mode, QObject *parent) : QObject(parent), m_mode(mode) {}

AppDelegate::~AppDelegate()
{
    if (g_exitingDelegate == this)
        g_exitingDelegate = nullptr;
}

void AppDelegate::terminateAlsoOnExit()
{
    static const bool registered = std::atexit(terminateAtExit) == 0; // once per process
    if (registered)
        g_exitingDelegate = this;
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    if (m_mode == Mode::desktop)
        m_statusItemController = std::make_unique<StatusItemController>();
    Watchdog::shared().start();
    if (m_mode == Mode::desktop)
        SettingsWindowController::shared().applyFirstLaunchRule(AppSettings::shared());
    // Registered only now, after the tray item and the D-Bus services exist: exit handlers
    // run in reverse order, so ours runs before the toolkit's D-Bus state is torn down.
    terminateAlsoOnExit();
}

bool AppDelegate::applicationShouldHandleReopen()
{
    if (!m_launched) {
        // Asked before launch has finished: the window opens after the launch sequence.
        QTimer::singleShot(0, this, &AppDelegate::applicationShouldHandleReopen);
        return true;
    }
    if (m_mode == Mode::desktop)
        SettingsWindowController::shared().show(SettingsTab::general);
    return true;
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated || !m_launched)
        return;
    m_terminated = true;
    Watchdog::shared().stop();
    EventLog::shared().flush();
}
