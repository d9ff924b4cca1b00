#include "platform/PlexController.h"

#include "common/HorizontalBlanks.h"
#include "platform/DesktopEntryLaunch.h"
#include "platform/DetachedSpawn.h"
#include "platform/PlexIdentity.h"
#include "platform/ProcessTable.h"
#include "platform/ServerProcessScanner.h"
#include "platform/ServerStop.h"
#include "platform/ServerUnits.h"
#include "platform/SystemdUnits.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>

namespace PlexController {

namespace {

using Launched = Outcome<QString>;
// The pid of a process that was started, when the start names one.
using Started = Outcome<std::optional<qint64>>;

QString notFoundSentence(const QString &configuredPath)
{
    return QStringLiteral("Plex Media Server wasn't found at \"") + configuredPath +
           QStringLiteral("\" and isn't registered with the system. Set the correct path in "
                          "Settings.");
}

QString launchFailedSentence()
{
    return QString::fromUtf8(QT_TRANSLATE_NOOP(
        "Outcome", "The system reported no error but didn't return a running Plex process."));
}

QStringList applicationDataDirs()
{
    QStringList dataDirs;
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    dataDirs.append(dataHome.startsWith(QLatin1Char('/'))
                        ? dataHome
                        : QDir::homePath() + QStringLiteral("/.local/share"));
    QString systemDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (systemDirs.isEmpty())
        systemDirs = QStringLiteral("/usr/local/share/:/usr/share/");
    for (const QString &dir : systemDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (dir.startsWith(QLatin1Char('/')))
            dataDirs.append(dir);
    }
    return dataDirs;
}

Started start(const QString &resolved)
{
    if (resolved.endsWith(QStringLiteral(".desktop")))
        return launchDesktopEntry(resolved);
    const Outcome<qint64> spawned = spawnDetached(resolved);
    return spawned ? Started::success(spawned.value()) : Started::failure(spawned.error());
}

// A start that reported no error counts once the new process is still alive after a short
// while, or a server runs by then (a wrapper may hand over to the real binary and exit).
LaunchReport settle(const QString &path, std::optional<qint64> pid)
{
    QThread::msleep(static_cast<unsigned long>(launchSettleTime.count()));
    if ((pid && ProcessTable(QStringLiteral("/proc")).isAlive(*pid)) ||
        ServerProcessScanner::findOnThisMachine())
        return {Launched::success(path), pid};
    return {Launched::failure(launchFailedSentence())};
}

LaunchReport launchNow(const QString &path, bool interactive)
{
    // Two servers on one database corrupt it.
    const bool running = ServerProcessScanner::findOnThisMachine().has_value();
    if (SystemdUnits::isLoaded(ServerUnits::systemUnit)) {
        if (running)
            return {Launched::success(ServerUnits::systemUnit)};
        return {SystemdUnits::change(ServerUnits::systemUnit, SystemdUnits::Change::start,
                                     interactive)};
    }
    const std::optional<QString> resolved = appURL(path);
    if (!resolved)
        return {Launched::failure(notFoundSentence(path))};
    if (running)
        return {Launched::success(*resolved)};
    const Started started = start(*resolved);
    if (!started)
        return {Launched::failure(started.error())};
    return settle(*resolved, started.value());
}

LaunchReport restartNow(const HungProcess &hung, const QString &path,
                        std::chrono::milliseconds grace)
{
    if (hung.inSystemUnit)
        return {
            SystemdUnits::change(ServerUnits::systemUnit, SystemdUnits::Change::restart, false)};
    const Status stopped = ServerStop::stop(hung.pid, hung.startTicks, hung.executable, grace);
    if (!stopped)
        return {Launched::failure(stopped.error())};
    // A wrapper or a second copy may still be on its way out.
    for (int waited = 0; ServerProcessScanner::findOnThisMachine(); waited += 100) {
        if (waited >= grace.count())
            return {Launched::failure(QString::fromUtf8(QT_TRANSLATE_NOOP(
                "Outcome", "Plex Media Server isn't answering and didn't stop when asked to.")))};
        QThread::msleep(100);
    }
    return launchNow(path, false);
}

} // namespace

std::optional<QString> registeredAppPath()
{
    const QString entryName = QStringLiteral("applications/") + PlexIdentity::bundleIdentifier +
                              QStringLiteral(".desktop");
    for (const QString &dir : applicationDataDirs()) {
        const QString entry = QDir(dir).filePath(entryName);
        if (QFileInfo(entry).isFile())
            return QDir::cleanPath(entry);
    }
    if (QFileInfo::exists(packagedBinaryPath))
        return packagedBinaryPath;
    return std::nullopt;
}

std::optional<QString> appURL(const QString &path)
{
    const QString trimmed = trimmedHorizontalBlanks(path);
    if (trimmed.isEmpty())
        return registeredAppPath();
    // The server starts in the home folder, and the program's own working folder depends on how
    // it was started: a relative path means one below home, for the test and the start alike.
    const QString absolute = QDir(QDir::homePath()).absoluteFilePath(trimmed);
    if (QFileInfo::exists(absolute))
        return absolute;
    return registeredAppPath();
}

void launch(const QString &path, bool interactive, std::function<void(LaunchReport)> completion)
{
    QThreadPool::globalInstance()->start([path, interactive, completion = std::move(completion)] {
        completion(launchNow(path, interactive));
    });
}

void restart(const HungProcess &hung, const QString &path, std::chrono::milliseconds grace,
             std::function<void(LaunchReport)> completion)
{
    QThreadPool::globalInstance()->start([hung, path, grace, completion = std::move(completion)] {
        completion(restartNow(hung, path, grace));
    });
}

} // namespace PlexController
