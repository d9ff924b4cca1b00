#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace SettingsStore {

namespace {
const auto hasLaunchedBeforeKey = QStringLiteral("hasLaunchedBefore");
}

QString defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vigilmount/Vigilmount.conf");
}

std::unique_ptr<QSettings> open(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

void persist(QSettings &store)
{
    store.sync();
    QFile::setPermissions(store.fileName(), QFile::ReadOwner | QFile::WriteOwner);
}

bool hasLaunchedBefore(const QString &path)
{
    return open(path)->value(hasLaunchedBeforeKey).toBool();
}

void setHasLaunchedBefore(const QString &path)
{
    const auto store = open(path);
    store->setValue(hasLaunchedBeforeKey, true);
    persist(*store);
}

} // namespace SettingsStore
