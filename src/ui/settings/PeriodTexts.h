#pragma once

#include "history/Clock.h"

#include <QLocale>
#include <QString>

// Dates and date ranges from an ICU skeleton ("EEEE" a weekday, "MMMd" a short month and day,
// "j" an hour), so each language orders and spells the parts its own way: "Tuesday",
// "Mar 31", "2 PM" in US English; "Dienstag", "31. März", "14 Uhr" in German. Local time zone.
namespace PeriodTexts {

QString date(Instant at, const char *skeleton, const QLocale &locale = QLocale());
// The span from..to as one text, the parts both ends share written once ("2:00 – 3:00 PM").
QString range(Instant from, Instant to, const char *skeleton, const QLocale &locale = QLocale());

} // namespace PeriodTexts
