#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/StatusReport.h"
#include "app/Translations.h"
#include "common/ApplicationId.h"
#include "platform/ProcessSetup.h"
#include "platform/SystemLog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// The exit status of "--status" when no instance runs.
constexpr int notRunningStatus = 3;

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The desktop application only when this start shows something; --status, --version and
// the headless watchdog need no display.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char *argv[], bool desktop)
{
    std::unique_ptr<QCoreApplication> app;
    if (desktop) {
        auto *gui = new QApplication(argc, argv);
        // A tray utility: closing the settings window never ends it.
        gui->setQuitOnLastWindowClosed(false);
        QGuiApplication::setDesktopFileName(applicationId);
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Vigilmount"));
        QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(applicationId)));
        app.reset(gui);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Vigilmount"));
    QCoreApplication::setApplicationName(QStringLiteral("Vigilmount"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VIGILMOUNT_VERSION));
    installTranslations();
    return app;
}

SingleInstance::Request instanceRequest(CommandLine::Request request)
{
    switch (request) {
    case CommandLine::Request::settings:
        return SingleInstance::Request::settings;
    case CommandLine::Request::checkNow:
        return SingleInstance::Request::checkNow;
    case CommandLine::Request::status:
        return SingleInstance::Request::status;
    case CommandLine::Request::none:
        break;
    }
    return SingleInstance::Request::reopen;
}

int printStatus(SingleInstance &instance)
{
    const std::optional<QByteArray> reply = instance.ask(SingleInstance::Request::status);
    if (!reply) {
        print(
            stderr,
            QStringLiteral("vigilmount: %1\n").arg(CommandLine::tr("Vigilmount is not running.")));
        return notRunningStatus;
    }
    print(stdout, QString::fromUtf8(*reply) + QLatin1Char('\n'));
    return 0;
}

// Without a display only a running instance can take --settings or --check-now.
int handOverOnly(SingleInstance &instance, CommandLine::Request request)
{
    if (instance.ask(instanceRequest(request)) == QByteArray("ok"))
        return 0;
    print(stderr, CommandLine::noDisplayText());
    return 1;
}

int run(QCoreApplication &app, SingleInstance &instance, const CommandLine &options)
{
    CompositionRoot root(options.headless ? CompositionRoot::Mode::headless
                                          : CompositionRoot::Mode::desktop);
    AppDelegate delegate(root);
    QObject::connect(&instance, &SingleInstance::requested, &delegate, &AppDelegate::handleRequest);
    instance.setStatusProvider([&root] { return statusReport(root.watchdog()); });

    // Quit, SIGTERM, SIGINT, SIGHUP and the end of the session all leave the event loop
    // through quit(); the delegate then stops the watchdog and writes the history out.
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     &AppDelegate::applicationWillTerminate);

    // Launch has finished once the event loop runs; this start's own request follows it.
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    if (options.request != CommandLine::Request::none)
        delegate.handleRequest(instanceRequest(options.request));
    const int status = app.exec();
    delegate.applicationWillTerminate();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    ProcessSetup::restrictFileModes();
    ProcessSetup::ignoreFileSizeLimit();

    const CommandLine options = CommandLine::parse(argumentsOf(argc, argv));
    if (!options.error.isEmpty()) {
        print(stderr,
              QStringLiteral("vigilmount: %1\nTry \"vigilmount --help\".\n").arg(options.error));
        return 2;
    }
    const bool display = CommandLine::hasDisplay(qEnvironmentVariable("DISPLAY"),
                                                 qEnvironmentVariable("WAYLAND_DISPLAY"),
                                                 qEnvironmentVariable("QT_QPA_PLATFORM"));
    const bool oneShot =
        options.help || options.version || options.request == CommandLine::Request::status;
    if (!options.headless && !display && !oneShot &&
        options.request == CommandLine::Request::none) {
        print(stderr, CommandLine::noDisplayText());
        return 1;
    }
    SystemLog::setAlsoToStderr(options.verbose);

    const bool desktop = display && !options.headless && !options.version &&
                         options.request != CommandLine::Request::status;
    // The help's usage line names the command as it is typed, not the path that started it.
    static char commandName[] = "vigilmount";
    if (options.help)
        argv[0] = commandName;
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv, desktop);
    if (options.help)
        CommandLine::showHelpAndExit();
    if (options.version) {
        print(stdout, CommandLine::versionText());
        return 0;
    }

    SingleInstance instance;
    if (options.request == CommandLine::Request::status)
        return printStatus(instance);
    if (!desktop && !options.headless)
        return handOverOnly(instance, options.request);
    switch (instance.claim(instanceRequest(options.request))) {
    case SingleInstance::Role::handedOver:
        return 0;
    case SingleInstance::Role::failed:
        print(stderr, QStringLiteral("vigilmount: %1\n").arg(instance.errorString()));
        return 1;
    case SingleInstance::Role::primary:
        if (!instance.errorString().isEmpty())
            SystemLog::write(instance.errorString());
        break;
    }
    return run(*app, instance, options);
}
