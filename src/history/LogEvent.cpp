#include "history/LogEvent.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <simdjson.h>

static_assert(LogEvent::paddingBytes >= simdjson::SIMDJSON_PADDING);

namespace {

struct KindInfo
{
    std::string_view raw;
    const char *title;
};

constexpr std::array<KindInfo, LogEvent::kindCount> kinds = {{
    {"appStarted", QT_TRANSLATE_NOOP("LogEvent", "Vigilmount started")},
    {"appStopped", QT_TRANSLATE_NOOP("LogEvent", "Vigilmount quit")},
    {"wake", QT_TRANSLATE_NOOP("LogEvent", "Computer woke from sleep")},
    {"checkStarted", QT_TRANSLATE_NOOP("LogEvent", "Check")},
    {"plexOK", QT_TRANSLATE_NOOP("LogEvent", "Plex running")},
    {"plexDown", QT_TRANSLATE_NOOP("LogEvent", "Plex not running")},
    {"plexLaunched", QT_TRANSLATE_NOOP("LogEvent", "Plex relaunched")},
    {"plexLaunchFailed", QT_TRANSLATE_NOOP("LogEvent", "Plex relaunch failed")},
    {"volumeOK", QT_TRANSLATE_NOOP("LogEvent", "Volume mounted")},
    {"volumeDown", QT_TRANSLATE_NOOP("LogEvent", "Volume disconnected")},
    {"volumeMounted", QT_TRANSLATE_NOOP("LogEvent", "Volume remounted")},
    {"volumeMountFailed", QT_TRANSLATE_NOOP("LogEvent", "Volume mount failed")},
    {"info", QT_TRANSLATE_NOOP("LogEvent", "Info")},
    {"error", QT_TRANSLATE_NOOP("LogEvent", "Error")},
}};

const KindInfo &info(LogEvent::Kind kind)
{
    return kinds[static_cast<size_t>(kind)];
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
constexpr qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

bool isLeap(qint64 y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(qint64 y, unsigned m)
{
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

bool digits(std::string_view text, size_t pos, size_t count, int &out)
{
    out = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

// An internet date-time without fractions: "YYYY-MM-DDTHH:MM:SS" then "Z" or "+HH:MM"/"-HH:MM".
std::optional<Instant> parseDate(std::string_view text)
{
    if (text.size() != 20 && text.size() != 25)
        return std::nullopt;
    int year, month, day, hour, minute, second;
    if (!digits(text, 0, 4, year) || text[4] != '-' || !digits(text, 5, 2, month) ||
        text[7] != '-' || !digits(text, 8, 2, day) || text[10] != 'T' ||
        !digits(text, 11, 2, hour) || text[13] != ':' || !digits(text, 14, 2, minute) ||
        text[16] != ':' || !digits(text, 17, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > int(daysInMonth(year, month)) || hour > 23 ||
        minute > 59 || second > 59)
        return std::nullopt;
    qint64 offsetSeconds = 0;
    if (text.size() == 20) {
        if (text[19] != 'Z')
            return std::nullopt;
    } else {
        int offHour, offMinute;
        const char sign = text[19];
        if ((sign != '+' && sign != '-') || !digits(text, 20, 2, offHour) || text[22] != ':' ||
            !digits(text, 23, 2, offMinute) || offHour > 23 || offMinute > 59)
            return std::nullopt;
        offsetSeconds = (offHour * 3600 + offMinute * 60) * (sign == '+' ? 1 : -1);
    }
    const qint64 seconds = daysFromCivil(year, unsigned(month), unsigned(day)) * 86400 +
                           hour * 3600 + minute * 60 + second - offsetSeconds;
    return Instant(std::chrono::seconds(seconds));
}

// A table instead of comparisons: ids are random, so digit-or-letter branches mispredict.
constexpr std::array<signed char, 256> hexDigits = [] {
    std::array<signed char, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) {
        table['a' + i] = static_cast<signed char>(10 + i);
        table['A' + i] = static_cast<signed char>(10 + i);
    }
    return table;
}();

int hexValue(char c)
{
    return hexDigits[static_cast<unsigned char>(c)];
}

// Only the canonical 8-4-4-4-12 form, either letter case; no braces or other spellings.
std::optional<QUuid> parseUuid(std::string_view text)
{
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
        text[23] != '-')
        return std::nullopt;
    static constexpr std::array<unsigned char, 16> starts = {0,  2,  4,  6,  9,  11, 14, 16,
                                                             19, 21, 24, 26, 28, 30, 32, 34};
    uchar bytes[16];
    int invalid = 0;
    for (size_t i = 0; i < 16; ++i) {
        const int high = hexValue(text[starts[i]]);
        const int low = hexValue(text[starts[i] + 1]);
        invalid |= high | low; // negative once any digit is not hexadecimal
        bytes[i] = uchar(high << 4 | low);
    }
    if (invalid < 0)
        return std::nullopt;
    return QUuid::fromRfc4122(QByteArrayView(bytes, 16));
}

// Writes "YYYY-MM-DDTHH:MM:SSZ" (20 characters) for years 0000 to 9999.
void writeDate(char *out, Instant date)
{
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(date);
    const auto days = floor<std::chrono::days>(seconds);
    const year_month_day ymd(days);
    const qint64 secondOfDay = (seconds - days).count();
    const auto put = [&out](int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            out[i] = char('0' + value % 10);
        out += width;
    };
    put(std::clamp(int(ymd.year()), 0, 9999), 4);
    *out++ = '-';
    put(int(unsigned(ymd.month())), 2);
    *out++ = '-';
    put(int(unsigned(ymd.day())), 2);
    *out++ = 'T';
    put(int(secondOfDay / 3600), 2);
    *out++ = ':';
    put(int(secondOfDay / 60 % 60), 2);
    *out++ = ':';
    put(int(secondOfDay % 60), 2);
    *out = 'Z';
}

void appendUpperUuid(QByteArray &out, const QUuid &id)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = id.toRfc4122();
    char text[36];
    char *at = text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *at++ = '-';
        *at++ = hex[uchar(bytes[i]) >> 4];
        *at++ = hex[uchar(bytes[i]) & 0xf];
    }
    out.append(text, 36);
}

void appendJsonString(QByteArray &out, const QByteArray &utf8)
{
    static constexpr char hex[] = "0123456789abcdef";
    out.append('"');
    const char *run = utf8.constData(); // start of the bytes that need no escaping
    const char *end = run + utf8.size();
    for (const char *at = run; at != end; ++at) {
        const auto c = static_cast<unsigned char>(*at);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(run, at - run);
        run = at + 1;
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        default: {
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
            out.append(escaped, 6);
        }
        }
    }
    out.append(run, end - run);
    out.append('"');
}

} // namespace

LogEvent LogEvent::make(Kind kind, const QString &detail)
{
    if (detail.size() <= maxDetailLength)
        return LogEvent{QUuid::createUuid(), Clock::now(), kind, detail};
    qsizetype cut = maxDetailLength - 1;      // room for the ellipsis
    if (detail.at(cut - 1).isHighSurrogate()) // never half a character
        --cut;
    return LogEvent{QUuid::createUuid(), Clock::now(), kind, detail.left(cut) + QChar(0x2026)};
}

QString LogEvent::rawValue(Kind kind)
{
    const auto raw = info(kind).raw;
    return QString::fromLatin1(raw.data(), qsizetype(raw.size()));
}

QLatin1StringView LogEvent::rawValueView(Kind kind)
{
    const auto raw = info(kind).raw;
    return QLatin1StringView(raw.data(), qsizetype(raw.size()));
}

std::optional<LogEvent::Kind> LogEvent::kindFromRaw(std::string_view raw)
{
    for (size_t i = 0; i < kinds.size(); ++i) {
        if (kinds[i].raw == raw)
            return static_cast<Kind>(i);
    }
    return std::nullopt;
}

QString LogEvent::title(Kind kind)
{
    // The file and the system log keep the raw kind; only the title is shown translated.
    return QCoreApplication::translate("LogEvent", info(kind).title);
}

QString LogEvent::formatDate(Instant date)
{
    char buffer[dateLength];
    writeDate(buffer, date);
    return QString::fromLatin1(buffer, dateLength);
}

void LogEvent::appendDate(QString &out, Instant date)
{
    char buffer[dateLength];
    writeDate(buffer, date);
    out.append(QLatin1StringView(buffer, dateLength));
}

QString LogEvent::idText() const
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QByteArray LogEvent::toJson() const
{
    QByteArray out;
    appendJson(out);
    return out;
}

void LogEvent::appendJson(QByteArray &out) const
{
    const QByteArray detailUtf8 = detail.toUtf8();
    const auto raw = info(kind).raw;
    char dateText[dateLength];
    writeDate(dateText, date);
    if (out.isEmpty()) // a growing buffer keeps its own (geometric) growth
        out.reserve(detailUtf8.size() + 128);
    out.append("{\"id\":\"");
    appendUpperUuid(out, id);
    out.append("\",\"date\":\"");
    out.append(dateText, dateLength);
    out.append("\",\"kind\":\"");
    out.append(raw.data(), qsizetype(raw.size()));
    out.append("\",\"detail\":");
    appendJsonString(out, detailUtf8);
    out.append('}');
}

std::optional<LogEvent> LogEvent::fromJson(std::string_view json)
{
    // simdjson reads up to SIMDJSON_PADDING bytes past the end, so it gets a padded copy.
    thread_local std::string buffer;
    buffer.assign(json);
    buffer.resize(json.size() + simdjson::SIMDJSON_PADDING);
    return fromPaddedJson(buffer.data(), json.size());
}

std::optional<LogEvent> LogEvent::fromPaddedJson(const char *data, size_t size)
{
    // The DOM parser validates the whole text (also members that are then ignored).
    thread_local simdjson::dom::parser parser;
    simdjson::dom::object object;
    if (parser.parse(data, size, false).get_object().get(object))
        return std::nullopt;

    std::string_view idText, dateText, kindText, detailText;
    if (object["id"].get_string().get(idText) || object["date"].get_string().get(dateText) ||
        object["kind"].get_string().get(kindText) || object["detail"].get_string().get(detailText))
        return std::nullopt; // a member is missing or not a string
    const auto id = parseUuid(idText);
    const auto date = parseDate(dateText);
    const auto kind = kindFromRaw(kindText);
    if (!id || !date || !kind)
        return std::nullopt;
    return LogEvent{*id, *date, *kind,
                    QString::fromUtf8(detailText.data(), qsizetype(detailText.size()))};
}
