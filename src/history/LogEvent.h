#pragma once

#include "history/Clock.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <optional>
#include <string_view>

// One history record: what the watchdog found or did, and when.
struct LogEvent
{
    enum class Kind {
        appStarted,
        appStopped,
        wake,
        checkStarted,
        plexOK,
        plexDown,
        plexLaunched,
        plexLaunchFailed,
        volumeOK,
        volumeDown,
        volumeMounted,
        volumeMountFailed,
        info,
        error,
    };
    static constexpr int kindCount = 14;

    QUuid id;
    Instant date;
    Kind kind = Kind::info;
    QString detail;

    // A new record with a fresh random id, stamped with the current clock. A detail longer
    // than maxDetailLength is cut there and ends with "…": even escaped to six bytes a
    // character, the record's line stays far below the loader's 1 MiB line limit.
    static LogEvent make(Kind kind, const QString &detail);
    static constexpr qsizetype maxDetailLength = 64 * 1024;

    bool operator==(const LogEvent &other) const = default;

    static QString rawValue(Kind kind);
    static QLatin1StringView rawValueView(Kind kind);
    // Only the fourteen exact raw values (case-sensitive) name a kind.
    static std::optional<Kind> kindFromRaw(std::string_view raw);
    static QString title(Kind kind);
    static bool isOutage(Kind kind) { return kind == Kind::plexDown || kind == Kind::volumeDown; }
    static bool isRepair(Kind kind)
    {
        return kind == Kind::plexLaunched || kind == Kind::volumeMounted;
    }
    static bool isFailure(Kind kind)
    {
        return kind == Kind::plexLaunchFailed || kind == Kind::volumeMountFailed ||
               kind == Kind::error;
    }
    static bool isIncident(Kind kind)
    {
        return isOutage(kind) || isRepair(kind) || isFailure(kind);
    }

    // Compact one-line JSON: {"id":..,"date":..,"kind":..,"detail":..}, no line feed.
    QByteArray toJson() const;
    // The same, appended to a buffer (no allocation per record when encoding many).
    void appendJson(QByteArray &out) const;
    // Decodes one JSON object; none when a member is missing, mistyped or invalid.
    static std::optional<LogEvent> fromJson(std::string_view json);
    // The same without a copy, for text followed by at least paddingBytes readable bytes.
    static std::optional<LogEvent> fromPaddedJson(const char *data, size_t size);
    static constexpr size_t paddingBytes = 64;

    // "2025-03-01T08:15:00Z": UTC, whole seconds (fractions are cut off).
    static QString formatDate(Instant date);
    static void appendDate(QString &out, Instant date);
    static constexpr int dateLength = 20;
    // The upper-case canonical form of the id.
    QString idText() const;
};
