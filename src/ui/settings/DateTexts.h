#pragma once

#include "history/Clock.h"

#include <QLocale>
#include <QString>

// Dates as the History tab shows them, formatted with ICU in the given locale.
namespace DateTexts {

// The date relative to now in the largest unit that is not zero, abbreviated units
// ("2 hr. ago", "3 days ago", "in 5 sec." in English). A past date closer than a second
// reads in the past ("0 sec. ago").
QString relative(Instant date, Instant now, const QLocale &locale = QLocale());

// An abbreviated date with a short time ("Mar 1, 2025, 8:15 AM" in US English), in the
// local time zone.
QString abbreviated(Instant date, const QLocale &locale = QLocale());

} // namespace DateTexts
