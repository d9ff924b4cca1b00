#pragma once

#include <QString>
#include <QStringList>

// The few options of the vigilmount command.
struct CommandLine
{
    bool help = false;
    bool version = false;
    bool headless = false;
    bool verbose = false; // copy every system-log line to stderr
    QString error;        // set when the arguments could not be understood

    static CommandLine parse(const QStringList &arguments);
    static QString helpText();
    static QString versionText();
    // What a desktop start without any display prints before it gives up.
    static QString noDisplayText();
    // A desktop start needs an X11 or Wayland display, unless Qt is told to draw off screen.
    static bool hasDisplay(const QString &x11Display, const QString &waylandDisplay,
                           const QString &qpaPlatform);
};
