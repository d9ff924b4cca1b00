#pragma once

#include "history/Clock.h"
#include "history/LogEvent.h"

#include <QKeySequence>
#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

// What the tray menu shows, worked out from plain values so it can be checked without a
// running watchdog: status lines, check line, outage summary, rows and the attention rule.
namespace StatusMenuModel {

struct Inputs
{
    bool watchPlex = true;
    bool watchVolume = true;
    bool volumeConfigured = false;
    QString shareName;
    double checkIntervalMinutes = 5;
    std::optional<bool> plexRunning;
    std::optional<bool> volumeMounted;
    std::optional<QString> volumeMountPoint;
    // Down, but there: the server runs without answering, the share is mounted without responding.
    bool plexNotAnswering = false;
    bool volumeNotResponding = false;
    std::optional<Instant> lastCheck;
    bool isChecking = false;
    int plexOutages = 0;   // plexDown records in the last seven days
    int volumeOutages = 0; // volumeDown records in the last seven days
};

enum class Action {
    none,
    checkNow,
    startPlex,
    mountVolume,
    openVolume,
    openHistory,
    openSettings,
    quit
};

struct Row
{
    enum class Type { info, separator, action };
    Type type = Type::separator;
    QString title;
    QString symbol; // info rows only
    Action action = Action::none;
    QKeySequence shortcut;
    QString toolTip = {}; // the whole text of a title that was shortened to fit the menu

    bool operator==(const Row &) const = default;
};

struct StatusLine
{
    QString text;
    QString symbol;
    QString toolTip = {}; // set when the text was shortened
};

// No menu row grows longer than this, in characters: a long mount point would widen the menu.
constexpr qsizetype maximumRowLength = 40;

struct OutageCount
{
    int plex = 0;
    int volume = 0;
};

// Seven days, to the second.
constexpr qint64 outageWindowSeconds = 604800;

StatusLine plexStatus(const Inputs &in);
StatusLine volumeStatus(const Inputs &in);
// The text shortened in the middle to at most maxLength characters, with "…" in place of what
// was left out; a surrogate pair is never split.
QString elidedInTheMiddle(const QString &text, qsizetype maxLength);
// The icon's tooltip: "Vigilmount — Plex running · Volume mounted", or while something is down
// the attention text above the state of each watched service.
QString trayToolTip(const Inputs &in);
// The spoken description of the icon ("Vigilmount" or "Vigilmount — attention needed").
QString trayDescription(const Inputs &in);
// "every …" part of the check line, from the interval in minutes.
QString intervalText(double minutes);
// "Checking…", "No check yet" or "Last check <time> · every <interval>"; the time is the local
// time of day in the locale's short format.
QString checkLine(const Inputs &in, const QLocale &locale = QLocale());
// plexDown and volumeDown records dated at or after now minus seven days.
OutageCount countOutages(const QList<LogEvent> &events, Instant now);
QString outageSummary(OutageCount count);
// Something watched is known to be down.
bool needsAttention(const Inputs &in);
// The rows of the menu, top to bottom.
QList<Row> rows(const Inputs &in, const QLocale &locale = QLocale());

} // namespace StatusMenuModel
