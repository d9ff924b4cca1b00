#include "app/CommandLine.h"

#include <QCommandLineParser>

#include <cstdlib>

namespace {

const QString headlessName = QStringLiteral("headless");
const QString verboseName = QStringLiteral("verbose");
const QString settingsName = QStringLiteral("settings");
const QString checkNowName = QStringLiteral("check-now");
const QString statusName = QStringLiteral("status");

// The options QGuiApplication and QApplication take out of the arguments themselves. They are
// known here only so that the first look at the arguments, before the application object
// exists, accepts them; --help-all lists Qt's own descriptions.
void acceptQtOptions(QCommandLineParser &parser)
{
    for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "style",
                             "stylesheet", "display", "qmljsdebugger"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

void describe(QCommandLineParser &parser)
{
    // Qt's options are single-dash words (-platform, -style).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(CommandLine::tr(
        "Keeps Plex Media Server running and the media share mounted.\n"
        "Without options it lives in the system tray; started again while it runs, it opens\n"
        "its settings window."));
    parser.addHelpOption();
    parser.addOption(QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")},
                                        CommandLine::tr("Displays version information.")));
    parser.addOption(QCommandLineOption(
        headlessName, CommandLine::tr("Run the watchdog without a tray icon or windows (for a "
                                      "machine without a desktop session).")));
    parser.addOption(QCommandLineOption(
        verboseName, CommandLine::tr("Also write every system-log line to standard error.")));
    parser.addOption(QCommandLineOption(
        settingsName, CommandLine::tr("Open the settings window of the running Vigilmount (or "
                                      "start one that opens it).")));
    parser.addOption(QCommandLineOption(
        checkNowName, CommandLine::tr("Make the running Vigilmount check now (or start one "
                                      "that does).")));
    parser.addOption(QCommandLineOption(
        statusName, CommandLine::tr("Print the state of the running Vigilmount as one line "
                                    "of JSON; exit status 3 when none runs.")));
    acceptQtOptions(parser);
}

// The one request among --settings, --check-now and --status, or an error for more than one.
void readRequest(const QCommandLineParser &parser, CommandLine &result)
{
    const std::pair<const QString &, CommandLine::Request> requests[] = {
        {settingsName, CommandLine::Request::settings},
        {checkNowName, CommandLine::Request::checkNow},
        {statusName, CommandLine::Request::status}};
    for (const auto &[name, request] : requests) {
        if (!parser.isSet(name))
            continue;
        if (result.request != CommandLine::Request::none) {
            result.error =
                CommandLine::tr("Give only one of --settings, --check-now and --status.");
            return;
        }
        result.request = request;
    }
    if (result.headless && result.request == CommandLine::Request::settings) {
        result.error = CommandLine::tr("--settings needs the tray, not --headless.");
    }
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
        result.error =
            tr("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    result.version = parser.isSet(QStringLiteral("version"));
    result.headless = parser.isSet(headlessName);
    result.verbose = parser.isSet(verboseName);
    readRequest(parser, result);
    return result;
}

void CommandLine::showHelpAndExit()
{
    QCommandLineParser parser;
    describe(parser);
    // Prints the help (with the application object's own options for --help-all) and exits.
    parser.process(QCoreApplication::arguments());
    std::exit(EXIT_SUCCESS);
}

QString CommandLine::versionText()
{
    QString text = QStringLiteral("vigilmount %1\n").arg(QStringLiteral(VIGILMOUNT_VERSION));
    const QString revision = QStringLiteral(VIGILMOUNT_REVISION);
    if (!revision.isEmpty())
        text += tr("built from git revision %1\n").arg(revision);
    return text;
}

QString CommandLine::noDisplayText()
{
    return tr("vigilmount: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so "
              "there is no tray to live in.\n"
              "Start it from a desktop session, or run \"vigilmount --headless\" to keep Plex and "
              "the share alive without a user interface.\n");
}

bool CommandLine::hasDisplay(const QString &x11Display, const QString &waylandDisplay,
                             const QString &qpaPlatform)
{
    if (!x11Display.isEmpty() || !waylandDisplay.isEmpty())
        return true;
    return qpaPlatform == QLatin1String("offscreen") || qpaPlatform == QLatin1String("minimal");
}
