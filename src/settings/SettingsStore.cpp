#include "settings/SettingsStore.h"

#include "settings/IniText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace SettingsStore {

namespace {

const auto hasLaunchedBeforeKey = QStringLiteral("hasLaunchedBefore");

bool readText(QIODevice &device, QSettings::SettingsMap &values)
{
    values = IniText::read(device.readAll());
    return true;
}

// Qt's own INI writer buffers a small file and commits it even when the buffer could not be
// written, replacing the file with an empty one on a full disk. This one flushes and answers
// the result, and the file is replaced only when it is true.
bool writeText(QIODevice &device, const QSettings::SettingsMap &values)
{
    auto *file = qobject_cast<QFileDevice *>(&device);
    if (!file)
        return false;
    if (const auto *saved = qobject_cast<QSaveFile *>(file);
        saved && !QFileInfo::exists(saved->fileName()))
        file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray text = IniText::write(values);
    return file->write(text) == text.size() && file->flush();
}

QSettings::Format checkedIniFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("conf"), readText, writeText);
    return format;
}

// Creates a missing folder (and its missing parents) private to the user; an existing one,
// or one reached through a symbolic link, is left as it is.
void createPrivateFolder(const QString &folder)
{
    if (QFileInfo(folder).exists() || QFileInfo(folder).isSymLink())
        return;
    createPrivateFolder(QFileInfo(folder).absolutePath());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
}

} // namespace

QString defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vigilmount/Vigilmount.conf");
}

std::unique_ptr<QSettings> open(const QString &path)
{
    createPrivateFolder(QFileInfo(path).absolutePath());
    return std::make_unique<QSettings>(path, checkedIniFormat());
}

bool persist(QSettings &store)
{
    // A QSettings keeps the first error it met for good. A fresh one on the same file writes the
    // changes pending there as it opens, and its status answers for this write alone.
    const QSettings writer(store.fileName(), store.format());
    return writer.status() == QSettings::NoError;
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
