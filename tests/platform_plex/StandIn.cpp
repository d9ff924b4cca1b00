// A stand-in for the media server: sleeps until it is killed. With VIGILMOUNT_STANDIN_EXIT set
// it exits at once instead; with VIGILMOUNT_STANDIN_REPORT=<file> it first writes how it was
// started (session, working directory, standard streams, environment) to that file.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern char **environ;

namespace {

std::string linkTarget(const char *path)
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path, buffer, sizeof buffer - 1);
    return length < 0 ? std::string() : std::string(buffer, size_t(length));
}

void writeReport(const char *path)
{
    const std::string temporary = std::string(path) + ".part";
    FILE *report = std::fopen(temporary.c_str(), "w");
    if (!report)
        return;
    char cwd[PATH_MAX] = "";
    if (!getcwd(cwd, sizeof cwd))
        cwd[0] = '\0';
    std::fprintf(report, "session-leader=%d\n", getsid(0) == getpid() ? 1 : 0);
    std::fprintf(report, "parent=%d\n", int(getppid()));
    std::fprintf(report, "cwd=%s\n", cwd);
    for (const char *fd : {"0", "1", "2"})
        std::fprintf(report, "fd%s=%s\n", fd,
                     linkTarget((std::string("/proc/self/fd/") + fd).c_str()).c_str());
    for (char **entry = environ; *entry; ++entry)
        std::fprintf(report, "env:%s\n", *entry);
    std::fclose(report);
    std::rename(temporary.c_str(), path);
}

} // namespace

int main()
{
    if (std::getenv("VIGILMOUNT_STANDIN_EXIT"))
        return 3;
    if (const char *report = std::getenv("VIGILMOUNT_STANDIN_REPORT"))
        writeReport(report);
    for (;;)
        pause();
}
