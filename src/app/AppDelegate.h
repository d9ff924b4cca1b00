#pragma once

#include "app/CompositionRoot.h"
#include "app/SingleInstance.h"

#include <QObject>
#include <memory>

class StatusItemController;

// Receives the application's launch-finished, reopen and will-terminate events. With a
// desktop it shows the tray item and may open the settings window; headless it only runs the
// watchdog.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(CompositionRoot &root, QObject *parent = nullptr);
    ~AppDelegate() override;

    StatusItemController *statusItemController() const { return m_statusItemController.get(); }

public Q_SLOTS:
    // In this order: the tray item, the watchdog's start(), the first-launch rule. The
    // start-up check runs once this has returned and the event loop is free again.
    void applicationDidFinishLaunching();
    // Vigilmount was started again while running: bring up General. Always true.
    bool applicationShouldHandleReopen();
    // What a later start asked for (reopen, --settings, --check-now), or this one's own
    // command line: runs once launch has finished.
    void handleRequest(SingleInstance::Request request);
    // Stops the watchdog (which records appStopped) and waits until the history is on disk.
    // Runs once, however many ways the end is reached.
    void applicationWillTerminate();
    // The same, with the history's and the watchdog's notifications blocked: used when the
    // process is already going down and nothing may redraw.
    void terminateQuietly();

private:
    // When the display connection breaks at the end of a session, the windowing layer ends
    // the process with exit() from inside the event loop. This hook still runs the normal
    // termination for the delegate that is alive at that moment.
    void terminateAlsoOnExit();
    // A manual check cycle; when one is running (at launch, the start-up check), it follows
    // that one instead of being dropped.
    void checkNowWhenFree();
    CompositionRoot &m_root;
    std::unique_ptr<StatusItemController> m_statusItemController;
    bool m_launched = false;
    bool m_terminated = false;
    bool m_checkAfterLaunch = false;
};
