#include "platform/LaunchAtLogin.h"

#include "common/ApplicationId.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <glib.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

const char *const group = G_KEY_FILE_DESKTOP_GROUP;

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The Exec target: the first word of the command line, unquoted per the desktop-entry rules
// (inside double quotes a backslash escapes ", `, $ and \; "%%" is a literal %).
std::optional<QString> execTarget(const QByteArray &exec)
{
    int argc = 0;
    char **argv = nullptr;
    if (!g_shell_parse_argv(exec.constData(), &argc, &argv, nullptr))
        return std::nullopt;
    QString program = QString::fromUtf8(argv[0]);
    g_strfreev(argv);
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return program;
}

bool execTargetExists(const QString &program)
{
    if (program.contains(QLatin1Char('/')))
        return QFileInfo(program).isFile();
    gchar *found = g_find_program_in_path(program.toUtf8().constData());
    g_free(found);
    return found != nullptr;
}

} // namespace

LaunchAtLogin::LaunchAtLogin(QObject *parent) : QObject(parent)
{
    m_isEnabled = status() == enabled;
}

QString LaunchAtLogin::entryPath()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configHome.startsWith(QLatin1Char('/')))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart/vigilmount.desktop");
}

QString LaunchAtLogin::quotedExec(const QString &program)
{
    QString quoted = QStringLiteral("\"");
    for (QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

LaunchAtLogin::Status LaunchAtLogin::status() const
{
    const QByteArray path = QFile::encodeName(entryPath());
    GKeyFile *entry = g_key_file_new();
    Status result = notRegistered;
    if (g_key_file_load_from_file(entry, path.constData(), G_KEY_FILE_NONE, nullptr)) {
        const bool hidden = g_key_file_get_boolean(entry, group, "Hidden", nullptr);
        GError *error = nullptr;
        const bool switchedOff =
            !g_key_file_get_boolean(entry, group, "X-GNOME-Autostart-enabled", &error) && !error;
        if (error)
            g_error_free(error);
        gchar *exec = g_key_file_get_string(entry, group, "Exec", nullptr);
        if (!hidden && !switchedOff) {
            const std::optional<QString> target = exec ? execTarget(exec) : std::nullopt;
            result = target && execTargetExists(*target) ? enabled : notFound;
        }
        g_free(exec);
    }
    g_key_file_unref(entry);
    return result;
}

std::optional<QString> LaunchAtLogin::registerEntry()
{
    const QString path = entryPath();
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (g_mkdir_with_parents(folder.constData(), 0700) != 0)
        return systemMessage(errno);

    GKeyFile *entry = g_key_file_new();
    g_key_file_set_string(entry, group, "Type", "Application");
    g_key_file_set_string(entry, group, "Name", "Vigilmount");
    g_key_file_set_string(entry, group, "Comment",
                          "Keeps Plex Media Server running and its media share mounted");
    g_key_file_set_string(entry, group, "Exec",
                          quotedExec(QCoreApplication::applicationFilePath()).toUtf8().constData());
    g_key_file_set_string(entry, group, "Icon", applicationId.toUtf8().constData());
    g_key_file_set_boolean(entry, group, "Terminal", false);
    g_key_file_set_boolean(entry, group, "X-GNOME-Autostart-enabled", true);
    gsize length = 0;
    gchar *data = g_key_file_to_data(entry, &length, nullptr);
    const QByteArray bytes(data, qsizetype(length));
    g_free(data);
    g_key_file_unref(entry);

    // Unbuffered, so that a write the disk refuses fails here: a buffered save file writes a
    // small entry only while committing, ignores that failure and commits an empty file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> LaunchAtLogin::unregisterEntry()
{
    const QByteArray path = QFile::encodeName(entryPath());
    if (::unlink(path.constData()) != 0 && errno != ENOENT)
        return systemMessage(errno);
    return std::nullopt;
}

::Status LaunchAtLogin::setEnabled(bool wanted)
{
    std::optional<QString> error;
    if (wanted) {
        if (status() != enabled)
            error = registerEntry();
    } else {
        error = unregisterEntry();
    }
    setLastError(error);
    setIsEnabled(status() == enabled);
    return error ? ::Status::failure(*error) : ::Status::success({});
}

void LaunchAtLogin::refresh()
{
    setIsEnabled(status() == enabled);
}

void LaunchAtLogin::setIsEnabled(bool value)
{
    m_isEnabled = value;
    Q_EMIT isEnabledChanged(value);
}

void LaunchAtLogin::setLastError(const std::optional<QString> &value)
{
    m_lastError = value;
    Q_EMIT lastErrorChanged();
}
