#include "settings/AppSettings.h"

#include "common/HorizontalBlanks.h"
#include "settings/SettingsStore.h"

AppSettings::AppSettings(QObject *parent) : AppSettings(SettingsStore::defaultPath(), parent) {}

AppSettings::AppSettings(const QString &storePath, QObject *parent)
    : QObject(parent), m_store(SettingsStore::open(storePath))
{}

AppSettings::~AppSettings() = default;

double AppSettings::decode(const QVariant &stored, double fallback)
{
    bool ok = false;
    const double value = stored.toString().toDouble(&ok);
    return ok ? value : fallback;
}

bool AppSettings::decode(const QVariant &stored, bool fallback)
{
    const QString text = stored.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}

qint64 AppSettings::decode(const QVariant &stored, qint64 fallback)
{
    bool ok = false;
    const qint64 value = stored.toString().toLongLong(&ok);
    return ok ? value : fallback;
}

QString AppSettings::decode(const QVariant &stored, const QString &fallback)
{
    // A list ("a, b" in the file) is not text.
    return stored.typeId() == QMetaType::QString ? stored.toString() : fallback;
}

ShareProtocol AppSettings::decode(const QVariant &stored, ShareProtocol fallback)
{
    return stored.typeId() == QMetaType::QString ? shareProtocolFromRaw(stored.toString())
                                                 : fallback;
}

void AppSettings::write(const QString &key, const QVariant &value)
{
    m_store->setValue(key, value);
    SettingsStore::persist(*m_store);
}

bool AppSettings::isVolumeConfigured() const
{
    return !trimmedHorizontalBlanks(serverHost()).isEmpty() &&
           !trimmedHorizontalBlanks(shareName()).isEmpty();
}

QString AppSettings::keychainAccount() const
{
    return username() + QLatin1Char('@') + serverHost() + QLatin1Char('/') + shareName();
}
