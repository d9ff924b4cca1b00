#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "common/ApplicationId.h"
#include "platform/ProcessSetup.h"
#include "platform/SystemLog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    ProcessSetup::restrictFileModes();
    ProcessSetup::ignoreFileSizeLimit();

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine options = CommandLine::parse(arguments);
    if (!options.error.isEmpty()) {
        print(stderr,
              QStringLiteral("vigilmount: %1\nTry \"vigilmount --help\".\n").arg(options.error));
        return 2;
    }
    if (options.help) {
        print(stdout, CommandLine::helpText());
        return 0;
    }
    if (options.version) {
        print(stdout, CommandLine::versionText());
        return 0;
    }
    if (!options.headless && !CommandLine::hasDisplay(qEnvironmentVariable("DISPLAY"),
                                                      qEnvironmentVariable("WAYLAND_DISPLAY"),
                                                      qEnvironmentVariable("QT_QPA_PLATFORM"))) {
        print(stderr, CommandLine::noDisplayText());
        return 1;
    }

    SystemLog::setAlsoToStderr(options.verbose);

    std::unique_ptr<QCoreApplication> app;
    if (options.headless) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        auto *gui = new QApplication(argc, argv);
        // A tray utility: closing the settings window never ends it.
        gui->setQuitOnLastWindowClosed(false);
        QGuiApplication::setDesktopFileName(applicationId);
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Vigilmount"));
        app.reset(gui);
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Vigilmount"));
    QCoreApplication::setApplicationName(QStringLiteral("Vigilmount"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VIGILMOUNT_VERSION));

    SingleInstance instance;
    switch (instance.claim()) {
    case SingleInstance::Role::handedOver:
        return 0;
    case SingleInstance::Role::failed:
        print(stderr, QStringLiteral("vigilmount: %1\n").arg(instance.errorString()));
        return 1;
    case SingleInstance::Role::primary:
        break;
    }

    CompositionRoot root(options.headless ? CompositionRoot::Mode::headless
                                          : CompositionRoot::Mode::desktop);
    AppDelegate delegate(root);
    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate,
                     &AppDelegate::applicationShouldHandleReopen);

    // Quit, SIGTERM, SIGINT, SIGHUP and the end of the session all leave the event loop
    // through quit(); the delegate then stops the watchdog and writes the history out.
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, app.get(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(app.get(), &QCoreApplication::aboutToQuit, &delegate,
                     &AppDelegate::applicationWillTerminate);

    // Launch has finished once the event loop runs.
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    const int status = app->exec();
    delegate.applicationWillTerminate();
    return status;
}
