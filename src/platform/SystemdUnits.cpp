#include "platform/SystemdUnits.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>

namespace SystemdUnits {

namespace {

const QString service = QStringLiteral("org.freedesktop.systemd1");
const QString managerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString managerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");
// A bus that accepts calls and never answers costs a worker thread this long.
constexpr int queryTimeoutMs = 10'000;
// An administrator may take a while to type the password.
constexpr int interactiveTimeoutMs = 80'000;

QDBusMessage call(const QDBusMessage &message, int timeoutMs)
{
    return QDBusConnection::systemBus().call(message, QDBus::Block, timeoutMs);
}

QDBusMessage managerCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(service, managerPath, managerInterface, method);
    message.setArguments(arguments);
    return message;
}

// Whether a unit file by that name lies in one of the folders systemd loads system units from
// ($SYSTEMD_UNIT_PATH, as systemd reads it, else the standard ones). Without one the bus is not
// asked at all: a stalled system bus then costs nothing.
bool hasUnitFile(const QString &unit)
{
    QStringList folders = qEnvironmentVariable("SYSTEMD_UNIT_PATH").split(u':', Qt::SkipEmptyParts);
    if (folders.isEmpty())
        folders = {QStringLiteral("/etc/systemd/system"), QStringLiteral("/run/systemd/system"),
                   QStringLiteral("/usr/local/lib/systemd/system"),
                   QStringLiteral("/usr/lib/systemd/system"),
                   QStringLiteral("/lib/systemd/system")};
    for (const QString &folder : std::as_const(folders)) {
        if (QFileInfo::exists(folder + u'/' + unit))
            return true;
    }
    return false;
}

} // namespace

bool isLoaded(const QString &unit)
{
    if (!hasUnitFile(unit) || !QDBusConnection::systemBus().isConnected())
        return false;
    // GetUnit answers for a unit systemd holds already; LoadUnit reads its file first.
    QDBusMessage reply = call(managerCall(QStringLiteral("GetUnit"), {unit}), queryTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        reply = call(managerCall(QStringLiteral("LoadUnit"), {unit}), queryTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    const QString path = reply.arguments().first().value<QDBusObjectPath>().path();
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments(
        {QStringLiteral("org.freedesktop.systemd1.Unit"), QStringLiteral("LoadState")});
    const QDBusMessage state = call(get, queryTimeoutMs);
    return state.type() == QDBusMessage::ReplyMessage && !state.arguments().isEmpty() &&
           state.arguments().first().value<QDBusVariant>().variant().toString() ==
               QLatin1String("loaded");
}

Outcome<QString> change(const QString &unit, Change change, bool interactive)
{
    QDBusMessage message = managerCall(change == Change::start ? QStringLiteral("StartUnit")
                                                               : QStringLiteral("RestartUnit"),
                                       {unit, QStringLiteral("replace")});
    message.setInteractiveAuthorizationAllowed(interactive);
    const QDBusMessage reply = call(message, interactive ? interactiveTimeoutMs : queryTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return Outcome<QString>::success(unit);
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.AccessDenied") ||
        error == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"))
        return Outcome<QString>::failure(QString::fromUtf8(QT_TRANSLATE_NOOP(
            "Outcome", "Plex Media Server runs as a system service, and starting it needs an "
                       "administrator's permission.")));
    return Outcome<QString>::failure(reply.errorMessage().isEmpty() ? error : reply.errorMessage());
}

} // namespace SystemdUnits
