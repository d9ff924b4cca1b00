#include "ui/settings/OutageHistogram.h"

#include <algorithm>

namespace {

using Period = OutageHistogram::Period;

QDateTime localTime(Instant at)
{
    return QDateTime::fromMSecsSinceEpoch(at.time_since_epoch().count(), Qt::LocalTime);
}

// The start of the local hour, day or week that holds the instant. An hour is floored by
// going back its minutes and seconds rather than by building a local time, which is ambiguous
// in the repeated hour of a change back to standard time.
Instant periodStart(Instant at, Period period, Qt::DayOfWeek firstDayOfWeek)
{
    const QDateTime local = localTime(at);
    if (period == Period::hour) {
        const QTime time = local.time();
        return at -
               std::chrono::milliseconds((time.minute() * 60 + time.second()) * 1000 + time.msec());
    }
    QDate day = local.date();
    if (period == Period::week)
        day = day.addDays(-((day.dayOfWeek() - firstDayOfWeek + 7) % 7));
    return Clock::fromDateTime(day.startOfDay(Qt::LocalTime));
}

// The start of the period after the one starting at start: local midnights, so days and weeks
// take the length the calendar gives them.
Instant nextStart(Instant start, Period period)
{
    if (period == Period::hour)
        return start + std::chrono::hours(1);
    const QDate day = localTime(start).date().addDays(period == Period::week ? 7 : 1);
    return Clock::fromDateTime(day.startOfDay(Qt::LocalTime));
}

} // namespace

OutageHistogram::OutageHistogram(const QList<LogEvent> &records, Period period,
                                 std::optional<Instant> from, Instant now,
                                 Qt::DayOfWeek firstDayOfWeek)
    : m_period(period)
{
    Instant first = from.value_or(now);
    Instant last = now;
    for (const LogEvent &record : records) {
        if (!from)
            first = std::min(first, record.date);
        last = std::max(last, record.date);
    }
    for (Instant start = periodStart(first, period, firstDayOfWeek); start <= last;) {
        const Instant end = nextStart(start, period);
        m_buckets.append({start, end});
        start = end;
    }
    // An outage counts once, in the period where it started (its down record), even when the
    // repair that ended it comes after midnight.
    for (const LogEvent &record : records) {
        if (!LogEvent::isOutage(record.kind) || record.date < first)
            continue;
        if (const std::optional<qsizetype> index = indexOf(record.date)) {
            Bucket &bucket = m_buckets[*index];
            ++(record.kind == LogEvent::Kind::plexDown ? bucket.server : bucket.share);
        }
    }
}

int OutageHistogram::total() const
{
    int sum = 0;
    for (const Bucket &bucket : m_buckets)
        sum += bucket.total();
    return sum;
}

std::optional<qsizetype> OutageHistogram::busiest() const
{
    const auto most =
        std::max_element(m_buckets.cbegin(), m_buckets.cend(),
                         [](const Bucket &a, const Bucket &b) { return a.total() < b.total(); });
    if (most == m_buckets.cend() || most->total() == 0)
        return std::nullopt;
    const auto ties = std::count_if(m_buckets.cbegin(), m_buckets.cend(),
                                    [most](const Bucket &b) { return b.total() == most->total(); });
    if (ties > 1)
        return std::nullopt;
    return most - m_buckets.cbegin();
}

std::optional<qsizetype> OutageHistogram::indexOf(Instant at) const
{
    const auto after =
        std::upper_bound(m_buckets.cbegin(), m_buckets.cend(), at,
                         [](Instant date, const Bucket &b) { return date < b.start; });
    if (after == m_buckets.cbegin() || at >= std::prev(after)->end)
        return std::nullopt;
    return std::prev(after) - m_buckets.cbegin();
}
