#include "platform/detached_work.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace kelmor::platform {

bool runDetached(const std::function<void()> &work)
{
    // What this process wrote is not written twice by the child's buffers.
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child > 0)
        return true;

    ::setsid(); // no signals from the terminal's session (Ctrl+C, hang-up)
    if (const int null = ::open("/dev/null", O_RDWR); null >= 0) {
        // Whoever reads this command's output (a pipe, $(...)) sees its end now.
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO)
            ::close(null);
    }
    ::setpriority(PRIO_PROCESS, 0, 10);
    try {
        work();
    } catch (...) {
    }
    ::_exit(0);
}

} // namespace kelmor::platform
