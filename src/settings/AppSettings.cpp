#include "settings/AppSettings.h"

#include "common/HorizontalBlanks.h"
#include "settings/SettingsStore.h"

namespace {

// The INI file gives every value back as text, so each key is read by its property's type.
// A key that was never written, or holds text of the wrong type, yields the registered default.
double readDouble(const QSettings &store, const QString &key, double fallback)
{
    bool ok = false;
    const double value = store.value(key).toString().toDouble(&ok);
    return ok ? value : fallback;
}

bool readBool(const QSettings &store, const QString &key, bool fallback)
{
    const QString text = store.value(key).toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}

qint64 readInteger(const QSettings &store, const QString &key, qint64 fallback)
{
    bool ok = false;
    const qint64 value = store.value(key).toString().toLongLong(&ok);
    return ok ? value : fallback;
}

QString readString(const QSettings &store, const QString &key, const QString &fallback)
{
    const QVariant value = store.value(key);
    return value.isValid() ? value.toString() : fallback;
}

// Sets, notifies the property and the general subscribers, and writes; always, even when the
// value is unchanged.
template <typename T, typename Signal>
void assign(AppSettings *self, T &field, const T &value, Signal signal)
{
    field = value;
    Q_EMIT(self->*signal)(value);
    Q_EMIT self->changed();
}

} // namespace

AppSettings::AppSettings(QObject *parent) : QObject(parent), m_store(SettingsStore::open())
{
    const QSettings &s = *m_store;
    m_checkIntervalMinutes = readDouble(s, QStringLiteral("checkIntervalMinutes"), 5.0);
    m_watchPlex = readBool(s, QStringLiteral("watchPlex"), true);
    m_plexAppPath = readString(s, QStringLiteral("plexAppPath"), defaultPlexAppPath);
    m_watchVolume = readBool(s, QStringLiteral("watchVolume"), true);
    m_shareProtocol =
        shareProtocolFromRaw(readString(s, QStringLiteral("shareProtocol"), QStringLiteral("smb")));
    m_serverHost = readString(s, QStringLiteral("serverHost"), {});
    m_shareName = readString(s, QStringLiteral("shareName"), {});
    m_username = readString(s, QStringLiteral("username"), {});
    m_notifyOnAction = readBool(s, QStringLiteral("notifyOnAction"), true);
    m_checkOnWake = readBool(s, QStringLiteral("checkOnWake"), true);
    m_verboseLogging = readBool(s, QStringLiteral("verboseLogging"), false);
    m_logRetentionDays = readInteger(s, QStringLiteral("logRetentionDays"), 90);
}

AppSettings::~AppSettings() = default;

void AppSettings::write(const QString &key, const QVariant &value)
{
    m_store->setValue(key, value);
    SettingsStore::persist(*m_store);
}

void AppSettings::setCheckIntervalMinutes(double value)
{
    write(QStringLiteral("checkIntervalMinutes"), value);
    assign(this, m_checkIntervalMinutes, value, &AppSettings::checkIntervalMinutesChanged);
}

void AppSettings::setWatchPlex(bool value)
{
    write(QStringLiteral("watchPlex"), value);
    assign(this, m_watchPlex, value, &AppSettings::watchPlexChanged);
}

void AppSettings::setPlexAppPath(const QString &value)
{
    write(QStringLiteral("plexAppPath"), value);
    assign(this, m_plexAppPath, value, &AppSettings::plexAppPathChanged);
}

void AppSettings::setWatchVolume(bool value)
{
    write(QStringLiteral("watchVolume"), value);
    assign(this, m_watchVolume, value, &AppSettings::watchVolumeChanged);
}

void AppSettings::setShareProtocol(ShareProtocol value)
{
    write(QStringLiteral("shareProtocol"), rawValue(value));
    assign(this, m_shareProtocol, value, &AppSettings::shareProtocolChanged);
}

void AppSettings::setServerHost(const QString &value)
{
    write(QStringLiteral("serverHost"), value);
    assign(this, m_serverHost, value, &AppSettings::serverHostChanged);
}

void AppSettings::setShareName(const QString &value)
{
    write(QStringLiteral("shareName"), value);
    assign(this, m_shareName, value, &AppSettings::shareNameChanged);
}

void AppSettings::setUsername(const QString &value)
{
    write(QStringLiteral("username"), value);
    assign(this, m_username, value, &AppSettings::usernameChanged);
}

void AppSettings::setNotifyOnAction(bool value)
{
    write(QStringLiteral("notifyOnAction"), value);
    assign(this, m_notifyOnAction, value, &AppSettings::notifyOnActionChanged);
}

void AppSettings::setCheckOnWake(bool value)
{
    write(QStringLiteral("checkOnWake"), value);
    assign(this, m_checkOnWake, value, &AppSettings::checkOnWakeChanged);
}

void AppSettings::setVerboseLogging(bool value)
{
    write(QStringLiteral("verboseLogging"), value);
    assign(this, m_verboseLogging, value, &AppSettings::verboseLoggingChanged);
}

void AppSettings::setLogRetentionDays(qint64 value)
{
    write(QStringLiteral("logRetentionDays"), value);
    assign(this, m_logRetentionDays, value, &AppSettings::logRetentionDaysChanged);
}

bool AppSettings::isVolumeConfigured() const
{
    return !trimmedHorizontalBlanks(m_serverHost).isEmpty() &&
           !trimmedHorizontalBlanks(m_shareName).isEmpty();
}

QString AppSettings::keychainAccount() const
{
    return m_username + QLatin1Char('@') + m_serverHost + QLatin1Char('/') + m_shareName;
}
