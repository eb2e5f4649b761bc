// The parent's side of one kill of a forked child in the crash tests.
#ifndef TI_CRASH_CHILD_HPP
#define TI_CRASH_CHILD_HPP

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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

// Forks a child that runs `body` and exits with what it gives (0: the
// operation succeeded; a thrown exception exits 3). A precise kill lets the
// child stop itself at its kill point; otherwise the child is killed after
// `delaySeconds`. Gives the child's wait status, or -1 when fork failed.
template <class Body>
int tiRunChildAndKill(Body body, bool precise, double delaySeconds) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int rc = 3;
        try {
            rc = body();
        } catch (...) {
        }
        _exit(rc);
    }
    if (!precise) {
        std::this_thread::sleep_for(std::chrono::duration<double>(delaySeconds));
        kill(pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// A precise kill must have killed the child; after a timed one the child
// may also have ended first, but only with success.
inline bool tiKilledOrSucceeded(int status, bool precise) {
    if (status == -1) return false;
    if (precise) return WIFSIGNALED(status);
    return WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

#endif
