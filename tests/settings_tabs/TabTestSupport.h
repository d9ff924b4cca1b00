#pragma once

#include "FakePorts.h"

#include "history/Clock.h"
#include "history/EventLog.h"
#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"

#include <QFont>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

namespace TabTestSupport {

// English (US) texts, UTC dates, the Fusion style and the Adwaita icons, whatever the machine.
void useFixedEnvironment();

// A fixed "now" for the clock; every record made afterwards carries it.
void setNow(Instant now);
Instant fixedNow();
Instant hoursAgo(double hours);

// Records an event as if it had happened at the given instant.
void recordAt(EventLog &log, LogEvent::Kind kind, Instant when, const QString &detail = {});

// What a tab is built on: a history in a fresh folder, the settings, and a watchdog on a
// fake machine; plus the window the tab is shown in.
struct TabWorld
{
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<EventLog> log;
    std::unique_ptr<AppSettings> settings;
    FakeMachine machine;
    std::unique_ptr<Watchdog> watchdog;
    QPointer<QWidget> window;

    void setUp();
    void tearDown();
    // Puts the tab in a tab container of the settings window's size and shows it.
    void show(QWidget *tab, const QString &label);
};

// Runs action on the file dialog as soon as it is the active modal window (QFileDialog::exec
// blocks the caller). Call before the action that opens the dialog.
void whenFileDialogOpens(std::function<void(QFileDialog *)> action);
// What a user does in a file dialog: type the full path into the name field and confirm.
void typePathAndAccept(QFileDialog *dialog, const QString &path);

// Scales the application font for as long as it lives.
class ScaledFont
{
public:
    explicit ScaledFont(qreal scale);
    ~ScaledFont();

private:
    QFont m_original;
};

// Saves the window's picture as <artifacts>/<name>.png.
void savePicture(QWidget *window, const QString &name);

// Saves the window's picture, then lists texts and controls that
// do not get the room they need, controls without an accessible name and controls that the
// Tab key does not reach (empty when all is well).
QStringList layoutProblems(QWidget *tab, QWidget *window, const QString &name);

} // namespace TabTestSupport
