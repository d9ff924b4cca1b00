// Stands in for a started server and reports what it inherited to $VIGILMOUNT_PROBE_REPORT:
// its umask, the signals 1..31 not at their default, and the blocked signals. Then sleeps
// until it is killed.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main()
{
    const char *report = std::getenv("VIGILMOUNT_PROBE_REPORT");
    if (!report)
        return 2;
    const mode_t mask = ::umask(0);
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", unsigned(mask));
    std::string text = std::string("umask ") + octal + "\nnot default:";
    for (int signalNumber = 1; signalNumber <= 31; ++signalNumber) {
        struct sigaction action = {};
        if (::sigaction(signalNumber, nullptr, &action) == 0 && action.sa_handler != SIG_DFL)
            text += ' ' + std::to_string(signalNumber);
    }
    text += "\nblocked:";
    sigset_t blocked;
    ::sigprocmask(SIG_BLOCK, nullptr, &blocked);
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        if (sigismember(&blocked, signalNumber) == 1)
            text += ' ' + std::to_string(signalNumber);
    }
    text += '\n';
    // Written aside and renamed, so that the test never reads half a report.
    const std::string partial = std::string(report) + ".part";
    FILE *file = std::fopen(partial.c_str(), "w");
    if (!file || std::fputs(text.c_str(), file) < 0 || std::fclose(file) != 0 ||
        std::rename(partial.c_str(), report) != 0)
        return 1;
    for (;;)
        ::pause();
}
