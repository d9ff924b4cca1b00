#include "ui/settings/DateTexts.h"

#include "ui/settings/IcuBridge.h"

#include <memory>
#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

namespace DateTexts {

namespace {

using IcuBridge::icuLocale;
using IcuBridge::toQString;
using IcuBridge::toUDate;

} // namespace

QString relative(Instant date, Instant now, const QLocale &locale)
{
    const icu::Locale where = icuLocale(locale);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(where, status));
    icu::RelativeDateTimeFormatter formatter(where, nullptr, UDAT_STYLE_SHORT,
                                             UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_FAILURE(status))
        return {};

    // Walk from now towards the date one calendar unit at a time, largest first; the first
    // unit with a non-zero difference names the distance.
    static constexpr struct
    {
        UCalendarDateFields field;
        URelativeDateTimeUnit unit;
    } steps[] = {
        {UCAL_YEAR, UDAT_REL_UNIT_YEAR},         {UCAL_MONTH, UDAT_REL_UNIT_MONTH},
        {UCAL_WEEK_OF_YEAR, UDAT_REL_UNIT_WEEK}, {UCAL_DATE, UDAT_REL_UNIT_DAY},
        {UCAL_HOUR_OF_DAY, UDAT_REL_UNIT_HOUR},  {UCAL_MINUTE, UDAT_REL_UNIT_MINUTE},
        {UCAL_SECOND, UDAT_REL_UNIT_SECOND},
    };
    calendar->setTime(toUDate(now), status);
    int amount = 0;
    URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
    for (const auto &step : steps) {
        const int difference = calendar->fieldDifference(toUDate(date), step.field, status);
        if (U_FAILURE(status))
            return {};
        if (difference != 0) {
            amount = difference;
            unit = step.unit;
            break;
        }
    }
    icu::UnicodeString text;
    if (amount == 0 && date <= now) // a moment ago: the past form, never "in 0 sec."
        formatter.format(0.0, UDAT_DIRECTION_LAST, UDAT_RELATIVE_SECONDS, text, status);
    else
        formatter.formatNumeric(double(amount), unit, text, status);
    return U_SUCCESS(status) ? toQString(text) : QString();
}

QString abbreviated(Instant date, const QLocale &locale)
{
    // Building a formatter costs far more than using one, and the list formats a date per
    // visible row: keep the last one (the tab only draws on the main thread).
    static QString cachedLocale;
    static std::unique_ptr<icu::DateFormat> format;
    const QString name = locale.bcp47Name();
    if (!format || cachedLocale != name) {
        format.reset(icu::DateFormat::createDateTimeInstance(
            icu::DateFormat::kMedium, icu::DateFormat::kShort, icuLocale(locale)));
        cachedLocale = name;
    }
    if (!format)
        return {};
    icu::UnicodeString text;
    format->format(toUDate(date), text);
    return toQString(text);
}

} // namespace DateTexts
