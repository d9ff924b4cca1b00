#pragma once

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

// A process held by a pidfd: the signal reaches the process that was opened, never one that
// took its pid after it ended. Called through syscall(): Debian 12's <sys/pidfd.h> lacks C
// linkage for C++.
namespace Pidfd {

// A pidfd for the process, or -1.
inline int open(pid_t pid)
{
    return int(::syscall(SYS_pidfd_open, pid, 0U));
}

inline bool signal(int pidfd, int signal)
{
    return ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0U) == 0;
}

} // namespace Pidfd
