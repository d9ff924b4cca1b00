#pragma once

#include <QDateTime>
#include <chrono>
#include <functional>

// A point in time with millisecond precision. Files store whole seconds.
using Instant = std::chrono::sys_time<std::chrono::milliseconds>;

namespace Clock {

// The current time; tests may replace the source to drive time by hand.
Instant now();
void setSourceForTesting(std::function<Instant()> source);

inline QDateTime toDateTime(Instant instant)
{
    return QDateTime::fromMSecsSinceEpoch(instant.time_since_epoch().count(), Qt::UTC);
}

inline Instant fromDateTime(const QDateTime &dateTime)
{
    return Instant(std::chrono::milliseconds(dateTime.toMSecsSinceEpoch()));
}

inline Instant secondsAgo(Instant from, qint64 seconds)
{
    return from - std::chrono::seconds(seconds);
}

} // namespace Clock
