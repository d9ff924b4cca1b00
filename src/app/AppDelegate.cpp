#include "app/AppDelegate.h"

#include "ui/menubar/StatusItemController.h"

#include <QSignalBlocker>
#include <QTimer>

#include <cstdlib>
#include <memory>

namespace {
AppDelegate *g_exitingDelegate = nullptr;

void terminateAtExit()
{
    if (!g_exitingDelegate)
        return;
    // The process is already going down and parts of the toolkit are torn down: nothing may
    // redraw now. Only the stop record has to reach the disk.
    g_exitingDelegate->terminateQuietly();
    // The stop is on disk. Running the static destructors now would race with the toolkit's
    // D-Bus thread, which is still delivering events (a crash at exit): end here instead, with
    // the failure status the windowing layer exits with.
    std::_Exit(EXIT_FAILURE);
}
} // namespace

AppDelegate::AppDelegate(CompositionRoot &root, QObject *parent) : QObject(parent), m_root(root) {}

AppDelegate::~AppDelegate()
{
    if (g_exitingDelegate == this)
        g_exitingDelegate = nullptr;
}

void AppDelegate::terminateQuietly()
{
    const QSignalBlocker quietLog(m_root.log());
    const QSignalBlocker quietWatchdog(m_root.watchdog());
    applicationWillTerminate();
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
    SettingsWindowController *window = m_root.windowController();
    if (window) {
        m_statusItemController = std::make_unique<StatusItemController>(
            m_root.watchdog(), m_root.settings(), m_root.log(), *window);
    }
    m_root.watchdog().start();
    if (window)
        window->applyFirstLaunchRule();
    // Queued behind the start-up check, which it then follows.
    if (m_checkAfterLaunch)
        QTimer::singleShot(0, this, &AppDelegate::checkNowWhenFree);
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
    if (SettingsWindowController *window = m_root.windowController())
        window->show(SettingsTab::general);
    return true;
}

void AppDelegate::handleRequest(SingleInstance::Request request)
{
    switch (request) {
    case SingleInstance::Request::reopen:
    case SingleInstance::Request::settings:
        applicationShouldHandleReopen();
        break;
    case SingleInstance::Request::checkNow:
        checkNowWhenFree();
        break;
    case SingleInstance::Request::status:
        break;
    }
}

void AppDelegate::checkNowWhenFree()
{
    Watchdog &watchdog = m_root.watchdog();
    if (m_launched && !watchdog.isChecking()) {
        watchdog.checkNow(QStringLiteral("manual"));
        return;
    }
    if (!m_launched) {
        m_checkAfterLaunch = true;
        return;
    }
    auto waiting = std::make_shared<QMetaObject::Connection>();
    *waiting = connect(&watchdog, &Watchdog::isCheckingChanged, this, [this, waiting] {
        if (m_root.watchdog().isChecking())
            return;
        disconnect(*waiting);
        // Queued, so the finished cycle has fully returned first.
        QTimer::singleShot(0, this, &AppDelegate::checkNowWhenFree);
    });
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated || !m_launched)
        return;
    m_terminated = true;
    m_root.watchdog().stop();
    m_root.log().flush();
}
