#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace {

const QString headlessName = QStringLiteral("headless");
const QString verboseName = QStringLiteral("verbose");

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Keeps Plex Media Server running and the media share mounted.\n"
        "Without options it lives in the system tray; started again while it runs, it opens\n"
        "its settings window."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        headlessName, QStringLiteral("Run the watchdog without a tray icon or windows (for a "
                                     "machine without a desktop session).")));
    parser.addOption(QCommandLineOption(
        verboseName, QStringLiteral("Also write every system-log line to standard error.")));
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    describe(parser);
    CommandLine result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("Unexpected argument '%1'.")
                           .arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    result.version = parser.isSet(QStringLiteral("version"));
    result.headless = parser.isSet(headlessName);
    result.verbose = parser.isSet(verboseName);
    return result;
}

QString CommandLine::helpText()
{
    QCommandLineParser parser;
    describe(parser);
    QString text = parser.helpText();
    // Without an application object the parser does not know the program's name.
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("vigilmount"));
    return text;
}

QString CommandLine::versionText()
{
    return QStringLiteral("vigilmount %1\n").arg(QStringLiteral(VIGILMOUNT_VERSION));
}

QString CommandLine::noDisplayText()
{
    return QStringLiteral(
        "vigilmount: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so there is "
        "no tray to live in.\n"
        "Start it from a desktop session, or run \"vigilmount --headless\" to keep Plex and the "
        "share alive without a user interface.\n");
}

bool CommandLine::hasDisplay(const QString &x11Display, const QString &waylandDisplay,
                             const QString &qpaPlatform)
{
    if (!x11Display.isEmpty() || !waylandDisplay.isEmpty())
        return true;
    return qpaPlatform == QLatin1String("offscreen") || qpaPlatform == QLatin1String("minimal");
}
