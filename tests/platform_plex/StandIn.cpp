// A stand-in for the media server: exits at once when VIGILMOUNT_STANDIN_EXIT is set, else
// reports what it inherited to $VIGILMOUNT_STANDIN_REPORTS/<pid> (its umask, the signals not
// at their default, the blocked signals) and sleeps until it is killed.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main()
{
    if (std::getenv("VIGILMOUNT_STANDIN_EXIT"))
        return 3;
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o\n", unsigned(::umask(0)));
    std::string text = std::string("umask ") + octal;
    sigset_t blocked;
    ::sigprocmask(SIG_BLOCK, nullptr, &blocked);
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        struct sigaction action = {};
        if (::sigaction(signalNumber, nullptr, &action) == 0 && action.sa_handler != SIG_DFL)
            text += "not default " + std::to_string(signalNumber) + '\n';
        if (sigismember(&blocked, signalNumber) == 1)
            text += "blocked " + std::to_string(signalNumber) + '\n';
    }
    // Written aside and renamed, so that the test never reads half a report.
    if (const char *folder = std::getenv("VIGILMOUNT_STANDIN_REPORTS")) {
        const std::string report = std::string(folder) + '/' + std::to_string(::getpid());
        FILE *file = std::fopen((report + ".part").c_str(), "w");
        if (!file || std::fputs(text.c_str(), file) < 0 || std::fclose(file) != 0 ||
            std::rename((report + ".part").c_str(), report.c_str()) != 0)
            return 1;
    }
    for (;;)
        ::pause();
}
