#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The options of the vigilmount command. Qt's own options (-platform, -style, -reverse and
// the rest) are accepted and left to the application object, which takes them out of its
// arguments; --help-all lists them.
struct CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    // What to ask of the running instance (or do once this one runs).
    enum class Request { none, settings, checkNow, status };

    bool help = false; // --help or --help-all
    bool version = false;
    bool headless = false;
    bool verbose = false; // copy every system-log line to stderr
    Request request = Request::none;
    QString error; // set when the arguments could not be understood

    static CommandLine parse(const QStringList &arguments);
    // Prints the help for the arguments the application object was given, with Qt's options
    // for --help-all, and ends the process.
    [[noreturn]] static void showHelpAndExit();
    // The version, and the git revision it was built from when built from a git checkout.
    static QString versionText();
    // What a desktop start without any display prints before it gives up.
    static QString noDisplayText();
    // A desktop start needs an X11 or Wayland display, unless Qt is told to draw off screen.
    static bool hasDisplay(const QString &x11Display, const QString &waylandDisplay,
                           const QString &qpaPlatform);
};
