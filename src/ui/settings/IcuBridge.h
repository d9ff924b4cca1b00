#pragma once

#include "history/Clock.h"

#include <QLocale>
#include <QString>
#include <unicode/locid.h>
#include <unicode/udat.h>
#include <unicode/unistr.h>

// Conversions between Qt's and ICU's types for the date texts.
namespace IcuBridge {

// The user's language for ICU; English when ICU doesn't know the tag.
inline icu::Locale icuLocale(const QLocale &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale result =
        icu::Locale::forLanguageTag(locale.bcp47Name().toStdString().c_str(), status);
    return U_SUCCESS(status) ? result : icu::Locale::getEnglish();
}

inline QString toQString(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

inline UDate toUDate(Instant instant)
{
    return UDate(instant.time_since_epoch().count());
}

} // namespace IcuBridge
