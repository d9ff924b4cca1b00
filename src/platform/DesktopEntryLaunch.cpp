#include "platform/DesktopEntryLaunch.h"

#include "platform/GLibPointers.h"
#include "platform/LaunchEnvironment.h"
#include "platform/ProcessSetup.h"
#include "platform/SystemMessage.h"

#include <QDir>
#include <QFile>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cerrno>
#include <unistd.h>

namespace {

using Launched = Outcome<std::optional<qint64>>;

using KeyFilePtr = GLibPtr<GKeyFile, g_key_file_unref>;

struct ChildSetup
{
    QByteArray home;
    bool changeToHome = true;
};

// Runs in the child between fork and exec: async-signal-safe calls only.
void setUpChild(gpointer data)
{
    const auto *setup = static_cast<const ChildSetup *>(data);
    ::setsid();
    ProcessSetup::resetForExec();
    if (setup->changeToHome) [[maybe_unused]]
        int ignored = ::chdir(setup->home.constData());
}

void recordPid(GDesktopAppInfo *, GPid pid, gpointer data)
{
    *static_cast<qint64 *>(data) = pid;
}

QString messageOf(GError *raw)
{
    const GErrorPtr error(raw);
    return QString::fromUtf8(error->message);
}

bool execProgramMissing(GKeyFile *keyFile)
{
    const GCharPtr exec(g_key_file_get_string(keyFile, G_KEY_FILE_DESKTOP_GROUP,
                                              G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr));
    int argc = 0;
    gchar **argv = nullptr;
    if (!exec || !g_shell_parse_argv(exec.get(), &argc, &argv, nullptr))
        return false;
    const GStrvPtr arguments(argv);
    return !GCharPtr(g_find_program_in_path(arguments.get()[0]));
}

GObjectPtr<GAppLaunchContext> contextWithoutSecrets()
{
    GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
    const LaunchEnvironment environment;
    for (const QByteArray &name : environment.withheldNames())
        g_app_launch_context_unsetenv(context.get(), name.constData());
    return context;
}

} // namespace

Launched launchDesktopEntry(const QString &path)
{
    const KeyFilePtr keyFile(g_key_file_new());
    GError *error = nullptr;
    if (!g_key_file_load_from_file(keyFile.get(), QFile::encodeName(path).constData(),
                                   G_KEY_FILE_NONE, &error))
        return Launched::failure(messageOf(error));
    const GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_keyfile(keyFile.get()));
    if (!info) {
        // GIO refuses entries whose program is missing, and entries it cannot use at all.
        return Launched::failure(
            systemMessage(execProgramMissing(keyFile.get()) ? ENOENT : ENOEXEC));
    }
    ChildSetup setup{QFile::encodeName(QDir::homePath()),
                     !g_key_file_has_key(keyFile.get(), G_KEY_FILE_DESKTOP_GROUP,
                                         G_KEY_FILE_DESKTOP_KEY_PATH, nullptr)};
    const GObjectPtr<GAppLaunchContext> context = contextWithoutSecrets();
    qint64 pid = -1;
    if (!g_desktop_app_info_launch_uris_as_manager(info.get(), nullptr, context.get(),
                                                   GSpawnFlags(G_SPAWN_SEARCH_PATH |
                                                               G_SPAWN_STDOUT_TO_DEV_NULL |
                                                               G_SPAWN_STDERR_TO_DEV_NULL),
                                                   setUpChild, &setup, recordPid, &pid, &error))
        return Launched::failure(messageOf(error));
    return Launched::success(pid > 0 ? std::optional<qint64>(pid) : std::nullopt);
}
