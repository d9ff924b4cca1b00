#pragma once

#include <QObject>
#include <array>

class QSocketNotifier;

// Process-wide settings made once at the very start of main().
namespace ProcessSetup {

// Everything the program creates is private to the user (files 0600, folders 0700). The
// user's own mask is kept for the programs this process starts.
void restrictFileModes();
// A write beyond the file-size limit then fails with an error instead of killing the process,
// so a full or limited disk cannot take the watchdog down.
void ignoreFileSizeLimit();
// Runs in a forked child before exec and undoes what a started program must not inherit: the
// user's umask from before restrictFileModes(), every signal at its default (an ignored signal
// stays ignored across exec, be it ours or the starting shell's) and none blocked.
// Async-signal-safe.
void resetForExec();

} // namespace ProcessSetup

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread (self-pipe), so that a
// signal ends the program through the same path as the Quit action. A second signal of the
// kind while the first is still being handled ends the process at once.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
