#include "history/LogEvent.h"

#include <array>
#include <simdjson.h>

namespace {

struct KindInfo
{
    std::string_view raw;
    const char *title;
};

constexpr std::array<KindInfo, LogEvent::kindCount> kinds = {{
    {"appStarted", "Vigilmount started"},
    {"appStopped", "Vigilmount quit"},
    {"wake", "Computer woke from sleep"},
    {"checkStarted", "Check"},
    {"plexOK", "Plex running"},
    {"plexDown", "Plex not running"},
    {"plexLaunched", "Plex relaunched"},
    {"plexLaunchFailed", "Plex relaunch failed"},
    {"volumeOK", "Volume mounted"},
    {"volumeDown", "Volume disconnected"},
    {"volumeMounted", "Volume remounted"},
    {"volumeMountFailed", "Volume mount failed"},
    {"info", "Info"},
    {"error", "Error"},
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

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Only the canonical 8-4-4-4-12 form, either letter case; no braces or other spellings.
std::optional<QUuid> parseUuid(std::string_view text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? text[i] != '-' : !isHex(text[i]))
            return std::nullopt;
    }
    return QUuid::fromString(
        QAnyStringView(QLatin1StringView(text.data(), qsizetype(text.size()))));
}

void appendJsonString(QByteArray &out, const QByteArray &utf8)
{
    static constexpr char hex[] = "0123456789abcdef";
    out.append('"');
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
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
        default:
            if (c < 0x20) {
                out.append("\\u00");
                out.append(hex[c >> 4]);
                out.append(hex[c & 0xf]);
            } else {
                out.append(ch);
            }
        }
    }
    out.append('"');
}

} // namespace

LogEvent LogEvent::make(Kind kind, const QString &detail)
{
    return LogEvent{QUuid::createUuid(), Clock::now(), kind, detail};
}

QString LogEvent::rawValue(Kind kind)
{
    const auto raw = info(kind).raw;
    return QString::fromLatin1(raw.data(), qsizetype(raw.size()));
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
    return QString::fromUtf8(info(kind).title);
}

QString LogEvent::formatDate(Instant date)
{
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(date);
    const auto days = floor<std::chrono::days>(seconds);
    const year_month_day ymd(days);
    const hh_mm_ss hms(seconds - days);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(hms.hours().count()),
                  int(hms.minutes().count()), int(hms.seconds().count()));
    return QString::fromLatin1(buffer);
}

QString LogEvent::idText() const
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QByteArray LogEvent::toJson() const
{
    const QByteArray detailUtf8 = detail.toUtf8();
    QByteArray out;
    out.reserve(detailUtf8.size() + 128);
    out.append("{\"id\":\"");
    out.append(idText().toLatin1());
    out.append("\",\"date\":\"");
    out.append(formatDate(date).toLatin1());
    out.append("\",\"kind\":\"");
    out.append(info(kind).raw.data(), qsizetype(info(kind).raw.size()));
    out.append("\",\"detail\":");
    appendJsonString(out, detailUtf8);
    out.append('}');
    return out;
}

std::optional<LogEvent> LogEvent::fromJson(std::string_view json)
{
    // The DOM parser validates the whole text (also members that are then ignored). simdjson
    // reads up to SIMDJSON_PADDING bytes past the end, so it gets a padded copy.
    thread_local simdjson::dom::parser parser;
    thread_local std::string buffer;
    buffer.assign(json);
    buffer.resize(json.size() + simdjson::SIMDJSON_PADDING);

    simdjson::dom::object object;
    if (parser.parse(buffer.data(), json.size(), false).get_object().get(object))
        return std::nullopt;

    const auto member = [&object](const char *key) -> std::optional<std::string_view> {
        std::string_view value;
        if (object[key].get_string().get(value))
            return std::nullopt; // missing, or not a string
        return value;
    };
    const auto idText = member("id");
    const auto dateText = member("date");
    const auto kindText = member("kind");
    const auto detailText = member("detail");
    if (!idText || !dateText || !kindText || !detailText)
        return std::nullopt;
    const auto id = parseUuid(*idText);
    const auto date = parseDate(*dateText);
    const auto kind = kindFromRaw(*kindText);
    if (!id || !date || !kind)
        return std::nullopt;
    return LogEvent{*id, *date, *kind,
                    QString::fromUtf8(detailText->data(), qsizetype(detailText->size()))};
}
