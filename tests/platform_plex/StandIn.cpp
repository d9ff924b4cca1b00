// A stand-in for the media server: exits at once when VIGILMOUNT_STANDIN_EXIT is set, else
// reports what it inherited to $VIGILMOUNT_STANDIN_REPORTS/<pid> (its umask, the signals not
// at their default, the blocked signals). With VIGILMOUNT_STANDIN_PORT it then answers
// GET /identity on that loopback port until SIGUSR1, after which it hangs like a stopped
// server (connections are still accepted by the kernel, nothing is sent); else it sleeps until
// it is killed.
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t hung = 0;

void serveIdentity(int port)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0)
        std::exit(4);
    // Without SA_RESTART, so that a waiting accept() returns and sees the flag.
    struct sigaction onHang = {};
    onHang.sa_handler = [](int) { hung = 1; };
    ::sigaction(SIGUSR1, &onHang, nullptr);
    const std::string body = "<?xml version=\"1.0\"?>\n<MediaContainer size=\"0\" "
                             "machineIdentifier=\"standin\" version=\"1.0\"/>\n";
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    while (!hung) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        char request[4096];
        if (::read(client, request, sizeof request) > 0)
            (void)!::write(client, reply.data(), reply.size());
        ::close(client);
    }
}

} // namespace

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
    if (const char *port = std::getenv("VIGILMOUNT_STANDIN_PORT"))
        serveIdentity(std::atoi(port));
    for (;;)
        ::pause();
}
