#include "app/StatusReport.h"

#include "monitor/Watchdog.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

template <typename T> QJsonValue orNull(const std::optional<T> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace

QByteArray statusReport(const Watchdog &watchdog)
{
    std::optional<QString> lastCheck;
    if (watchdog.lastCheck())
        lastCheck = Clock::toDateTime(*watchdog.lastCheck()).toString(Qt::ISODate);
    const QJsonObject report{
        {QStringLiteral("plexRunning"), orNull(watchdog.plexRunning())},
        {QStringLiteral("volumeMounted"), orNull(watchdog.volumeMounted())},
        {QStringLiteral("volumeMountPoint"), orNull(watchdog.volumeMountPoint())},
        {QStringLiteral("lastCheck"), orNull(lastCheck)},
        {QStringLiteral("lastMessage"), watchdog.lastMessage()},
        {QStringLiteral("isChecking"), watchdog.isChecking()},
    };
    return QJsonDocument(report).toJson(QJsonDocument::Compact);
}
