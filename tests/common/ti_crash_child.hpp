// The parent's side of one kill of a forked child in the crash tests.
#ifndef TI_CRASH_CHILD_HPP
#define TI_CRASH_CHILD_HPP

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// A precise kill lets the child stop itself at its kill point; a timed
// kill waits for the child's byte on `readFd` (it has reached its kill
// point), sleeps `delayUs` microseconds and kills it. Either way the read
// end is closed and the child reaped; gives its wait status.
inline int tiReapKilledChild(pid_t pid, int readFd, bool precise,
                             long long delayUs) {
    if (!precise) {
        char c = 0;
        if (read(readFd, &c, 1) == 1) usleep(static_cast<useconds_t>(delayUs));
        kill(pid, SIGKILL);
    }
    close(readFd);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

#endif
