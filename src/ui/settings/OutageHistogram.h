#pragma once

#include "history/LogEvent.h"

#include <QList>
#include <optional>

// Outages (the server or the share found down) counted per hour, day or week of the user's
// local time, as the History chart draws them. Periods follow the local calendar, so a day
// across a daylight-saving change lasts 23 or 25 hours; periods without outages are present
// with zero counts.
class OutageHistogram
{
public:
    enum class Period { hour, day, week };

    struct Bucket
    {
        Instant start; // inclusive
        Instant end;   // exclusive: the next bucket's start
        int server = 0;
        int share = 0;

        int total() const { return server + share; }
    };

    OutageHistogram() = default;

    // One bucket for every local period that overlaps from..now, the first one usually only in
    // part. Without from (all time) the buckets start at the earliest record; records before
    // from are left out. Records after now (a clock set back) extend the last buckets. Weeks
    // begin on firstDayOfWeek.
    OutageHistogram(const QList<LogEvent> &records, Period period, std::optional<Instant> from,
                    Instant now, Qt::DayOfWeek firstDayOfWeek = Qt::Monday);

    Period period() const { return m_period; }
    const QList<Bucket> &buckets() const { return m_buckets; }
    int total() const;
    // The bucket with more outages than any other, none on a tie or without outages.
    std::optional<qsizetype> busiest() const;
    // The bucket that holds the instant, none outside them all.
    std::optional<qsizetype> indexOf(Instant at) const;

private:
    Period m_period = Period::day;
    QList<Bucket> m_buckets;
};
