#include "ui/settings/PeriodTexts.h"

#include "ui/settings/IcuBridge.h"

#include <map>
#include <memory>
#include <unicode/datefmt.h>
#include <unicode/dtintrv.h>
#include <unicode/dtitvfmt.h>
#include <unicode/locid.h>

namespace PeriodTexts {

namespace {

using IcuBridge::icuLocale;
using IcuBridge::toQString;
using IcuBridge::toUDate;

// Building a format costs far more than using one (the chart writes a few texts per redraw),
// so they are kept per language and skeleton; only the main thread draws.
template <typename Format, typename Make>
Format *cached(const QLocale &locale, const char *skeleton, Make make)
{
    static std::map<std::string, std::unique_ptr<Format>> formats;
    const std::string key = locale.bcp47Name().toStdString() + '|' + skeleton;
    auto found = formats.find(key);
    if (found == formats.end()) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<Format> format(
            make(icu::UnicodeString::fromUTF8(skeleton), icuLocale(locale), status));
        if (U_FAILURE(status))
            format.reset();
        found = formats.emplace(key, std::move(format)).first;
    }
    return found->second.get();
}

} // namespace

QString date(Instant at, const char *skeleton, const QLocale &locale)
{
    auto *format = cached<icu::DateFormat>(
        locale, skeleton, [](const icu::UnicodeString &s, const icu::Locale &l, UErrorCode &e) {
            return icu::DateFormat::createInstanceForSkeleton(s, l, e);
        });
    if (!format)
        return {};
    icu::UnicodeString text;
    format->format(toUDate(at), text);
    return toQString(text);
}

QString range(Instant from, Instant to, const char *skeleton, const QLocale &locale)
{
    auto *format = cached<icu::DateIntervalFormat>(
        locale, skeleton, [](const icu::UnicodeString &s, const icu::Locale &l, UErrorCode &e) {
            return icu::DateIntervalFormat::createInstance(s, l, e);
        });
    if (!format)
        return {};
    const icu::DateInterval interval(toUDate(from), toUDate(to));
    icu::UnicodeString text;
    icu::FieldPosition position;
    UErrorCode status = U_ZERO_ERROR;
    format->format(&interval, text, position, status);
    return U_SUCCESS(status) ? toQString(text) : QString();
}

} // namespace PeriodTexts
