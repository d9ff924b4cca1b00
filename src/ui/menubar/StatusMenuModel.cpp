#include "ui/menubar/StatusMenuModel.h"

#include "settings/AppSettings.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace StatusMenuModel {

namespace {

Row info(const StatusLine &line)
{
    return Row{Row::Type::info, line.text, line.symbol, Action::none, {}, line.toolTip};
}

Row info(const QString &title, const QString &symbol)
{
    return info(StatusLine{title, symbol, {}});
}

Row separator()
{
    return Row{};
}

Row action(const QString &title, Action what, QKeySequence shortcut = {})
{
    return Row{Row::Type::action, title, {}, what, shortcut};
}

// The menu's texts, in the user's language.
QString text(const char *source)
{
    return QCoreApplication::translate("StatusMenuModel", source);
}

bool volumeShown(const Inputs &in)
{
    return in.watchVolume && in.volumeConfigured;
}

} // namespace

StatusLine plexStatus(const Inputs &in)
{
    if (!in.watchPlex)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Plex: not monitored")),
                QStringLiteral("minus.circle")};
    if (!in.plexRunning)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Plex: unknown")),
                QStringLiteral("questionmark.circle")};
    if (!*in.plexRunning && in.plexNotAnswering)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Plex: not answering")),
                QStringLiteral("xmark.circle.fill")};
    if (!*in.plexRunning)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Plex: not running")),
                QStringLiteral("xmark.circle.fill")};
    return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Plex: running")),
            QStringLiteral("checkmark.circle.fill")};
}

StatusLine volumeStatus(const Inputs &in)
{
    if (!in.watchVolume)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume: not monitored")),
                QStringLiteral("minus.circle")};
    if (!in.volumeConfigured)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume: not configured")),
                QStringLiteral("minus.circle")};
    if (!in.volumeMounted)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume: unknown")),
                QStringLiteral("questionmark.circle")};
    if (!*in.volumeMounted && in.volumeNotResponding)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume: not responding")),
                QStringLiteral("externaldrive.badge.xmark")};
    if (!*in.volumeMounted)
        return {text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume: disconnected")),
                QStringLiteral("externaldrive.badge.xmark")};
    // The path gets what the row's own words leave of the row's length.
    const QString row = text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume: %1"));
    const QString where = in.volumeMountPoint.value_or(in.shareName);
    const qsizetype room = std::max<qsizetype>(maximumRowLength - (row.size() - 2), 3);
    const QString shown = elidedInTheMiddle(where, room);
    return {row.arg(shown), QStringLiteral("externaldrive.fill.badge.checkmark"),
            shown == where ? QString() : row.arg(where)};
}

QString elidedInTheMiddle(const QString &text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text;
    const qsizetype kept = std::max<qsizetype>(maxLength - 1, 0);
    qsizetype head = (kept + 1) / 2;
    qsizetype tail = kept - head;
    if (head > 0 && text.at(head - 1).isHighSurrogate())
        --head;
    if (tail > 0 && text.at(text.size() - tail).isLowSurrogate())
        --tail;
    return text.left(head) + QChar(0x2026) + text.right(tail);
}

QString trayDescription(const Inputs &in)
{
    return needsAttention(in)
               ? text(QT_TRANSLATE_NOOP("StatusMenuModel", "Vigilmount — attention needed"))
               : QStringLiteral("Vigilmount");
}

QString trayToolTip(const Inputs &in)
{
    QStringList states;
    if (in.watchPlex && in.plexRunning)
        states << (*in.plexRunning ? text(QT_TRANSLATE_NOOP("StatusMenuModel", "Plex running"))
                   : in.plexNotAnswering
                       ? text(QT_TRANSLATE_NOOP("StatusMenuModel", "Plex not answering"))
                       : text(QT_TRANSLATE_NOOP("StatusMenuModel", "Plex not running")));
    if (volumeShown(in) && in.volumeMounted)
        states << (*in.volumeMounted ? text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume mounted"))
                   : in.volumeNotResponding
                       ? text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume not responding"))
                       : text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume disconnected")));
    const QString joined = states.join(QStringLiteral(" \u00B7 "));
    if (needsAttention(in))
        return trayDescription(in) + QLatin1Char('\n') + joined;
    if (states.isEmpty())
        return trayDescription(in);
    return text(QT_TRANSLATE_NOOP("StatusMenuModel", "Vigilmount — %1")).arg(joined);
}

QString intervalText(double minutes)
{
    if (minutes < 1) {
        // Never below the check timer's floor.
        const double seconds = std::max(minutes * 60, AppSettings::minimumCheckIntervalSeconds);
        return QString::number(static_cast<qint64>(std::trunc(seconds))) + QLatin1Char('s');
    }
    if (minutes == 1)
        return text(QT_TRANSLATE_NOOP("StatusMenuModel", "minute"));
    // NaN and infinity have no integral value either and take the one-decimal form.
    if (!std::isfinite(minutes) || minutes != std::trunc(minutes))
        return QString::asprintf("%.1f min", minutes);
    // 2^63 is the first whole value that no longer fits a signed 64-bit integer.
    if (minutes >= 9223372036854775808.0)
        return QString::asprintf("%.0f min", minutes);
    return QString::number(static_cast<qint64>(minutes)) + QStringLiteral(" min");
}

QString checkLine(const Inputs &in, const QLocale &locale)
{
    if (in.isChecking)
        return text(QT_TRANSLATE_NOOP("StatusMenuModel", "Checking…"));
    if (!in.lastCheck)
        return text(QT_TRANSLATE_NOOP("StatusMenuModel", "No check yet"));
    const QTime time = Clock::toDateTime(*in.lastCheck).toLocalTime().time();
    return text(QT_TRANSLATE_NOOP("StatusMenuModel", "Last check %1 · every %2"))
        .arg(locale.toString(time, QLocale::ShortFormat), intervalText(in.checkIntervalMinutes));
}

OutageCount countOutages(const QList<LogEvent> &events, Instant now)
{
    const Instant windowStart = Clock::secondsAgo(now, outageWindowSeconds);
    OutageCount count;
    for (const LogEvent &event : events) {
        if (event.date < windowStart)
            continue;
        if (event.kind == LogEvent::Kind::plexDown)
            ++count.plex;
        else if (event.kind == LogEvent::Kind::volumeDown)
            ++count.volume;
    }
    return count;
}

QString outageSummary(OutageCount count)
{
    if (count.plex == 0 && count.volume == 0)
        return text(QT_TRANSLATE_NOOP("StatusMenuModel", "No outages in the last 7 days"));
    return text(QT_TRANSLATE_NOOP("StatusMenuModel", "Last 7 days: %1 Plex, %2 volume"))
        .arg(count.plex)
        .arg(count.volume);
}

bool needsAttention(const Inputs &in)
{
    if (in.watchPlex && in.plexRunning == false)
        return true;
    return volumeShown(in) && in.volumeMounted == false;
}

QList<Row> rows(const Inputs &in, const QLocale &locale)
{
    const StatusLine plex = plexStatus(in);
    const StatusLine volume = volumeStatus(in);
    QList<Row> list;
    list << info(plex) << info(volume) << info(checkLine(in, locale), QStringLiteral("clock"))
         << separator()
         << action(text(QT_TRANSLATE_NOOP("StatusMenuModel", "Check Now")), Action::checkNow,
                   QKeySequence(Qt::CTRL | Qt::Key_R));
    if (in.watchPlex && in.plexRunning != true)
        list << action(text(QT_TRANSLATE_NOOP("StatusMenuModel", "Start Plex Media Server")),
                       Action::startPlex);
    if (volumeShown(in)) {
        if (in.volumeMounted == true) {
            list << action(text(QT_TRANSLATE_NOOP("StatusMenuModel", "Open %1 in File Manager"))
                               .arg(in.shareName),
                           Action::openVolume);
        } else {
            const QString name = in.shareName.isEmpty()
                                     ? text(QT_TRANSLATE_NOOP("StatusMenuModel", "Volume"))
                                     : in.shareName;
            list << action(text(QT_TRANSLATE_NOOP("StatusMenuModel", "Mount %1")).arg(name),
                           Action::mountVolume);
        }
    }
    list << separator()
         << info(outageSummary({in.plexOutages, in.volumeOutages}), QStringLiteral("chart.bar"))
         << action(text(QT_TRANSLATE_NOOP("StatusMenuModel", "History…")), Action::openHistory)
         << separator()
         << action(text(QT_TRANSLATE_NOOP("StatusMenuModel", "Settings…")), Action::openSettings,
                   QKeySequence(Qt::CTRL | Qt::Key_Comma))
         << action(text(QT_TRANSLATE_NOOP("StatusMenuModel", "Quit Vigilmount")), Action::quit,
                   QKeySequence(Qt::CTRL | Qt::Key_Q));
    return list;
}

} // namespace StatusMenuModel
