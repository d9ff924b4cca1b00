#pragma once

#include "history/Clock.h"
#include "history/LogEvent.h"

#include <QStringList>
#include <functional>

class EventLog;
class QFileDialog;
class QWidget;

namespace TabTestSupport {

// English (US) texts, UTC dates, the Fusion style and the Adwaita icons, whatever the machine.
void useFixedEnvironment();

// A fixed "now" for the clock; every record made afterwards carries it.
void setNow(Instant now);
Instant fixedNow();

// Records an event as if it had happened at the given instant.
void recordAt(EventLog &log, LogEvent::Kind kind, Instant when, const QString &detail = {});

// Runs action on the file dialog as soon as it is the active modal window (QFileDialog::exec
// blocks the caller). Call before the action that opens the dialog.
void whenFileDialogOpens(std::function<void(QFileDialog *)> action);

// Puts the tab content in a tab container of the settings window's size and shows it.
QWidget *hostInWindow(QWidget *content, const QString &tabLabel);

// Saves the window's picture as <artifacts>/<name>.png; returns the path.
QString saveScreenshot(QWidget *window, const QString &name);

// Texts and controls that do not get the room they need (empty when everything fits).
QStringList clippedWidgets(QWidget *root);

// Controls that have no accessible name or cannot be reached with the Tab key.
QStringList unreachableOrUnnamedControls(QWidget *root);

} // namespace TabTestSupport
