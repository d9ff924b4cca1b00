#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SettingsStore {

namespace {
const auto hasLaunchedBeforeKey = QStringLiteral("hasLaunchedBefore");
}

std::unique_ptr<QSettings> open()
{
    auto store =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("Vigilmount"), QStringLiteral("Vigilmount"));
    const QFileInfo file(store->fileName());
    QDir().mkpath(file.absolutePath());
    QFile::setPermissions(file.absolutePath(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return store;
}

void persist(QSettings &store)
{
    store.sync();
    QFile::setPermissions(store.fileName(), QFile::ReadOwner | QFile::WriteOwner);
}

bool hasLaunchedBefore()
{
    const auto store = open();
    return store->value(hasLaunchedBeforeKey).toBool();
}

void setHasLaunchedBefore()
{
    const auto store = open();
    store->setValue(hasLaunchedBeforeKey, true);
    persist(*store);
}

} // namespace SettingsStore
