#include "platform/ProcessSetup.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ProcessSetup {

namespace {

// The umask the user started the program with; negative while it was never changed.
std::atomic<int> g_userFileModeMask{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read between fork and exec");

} // namespace

void restrictFileModes()
{
    const mode_t previous = ::umask(077);
    int unset = -1;
    // A second call must not record the restricted mask as the user's.
    g_userFileModeMask.compare_exchange_strong(unset, int(previous));
}

void ignoreFileSizeLimit()
{
    ::signal(SIGXFSZ, SIG_IGN);
}

void resetForExec()
{
    const int userMask = g_userFileModeMask.load();
    if (userMask >= 0)
        ::umask(mode_t(userMask));
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    // SIGKILL, SIGSTOP and the C library's own signals refuse the change, harmlessly.
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
        ::sigaction(signalNumber, &fallback, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

} // namespace ProcessSetup

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_requested{false};
constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onTerminationSignal(int signalNumber)
{
    if (g_requested.exchange(true)) {
        // Still shutting down from the first request: the user insists.
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return;
    }
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : handledSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (const int signalNumber : handledSignals)
        ::signal(signalNumber, SIG_DFL);
}

void TerminationSignals::readPipe()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        Q_EMIT terminationRequested(byte);
}
