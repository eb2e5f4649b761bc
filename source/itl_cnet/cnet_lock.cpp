// cnet_lock.cpp -- the dictionary locks (modes 1-4) and the process-wide
// registry of held lock files (see cnet_lock.hpp for the modes and their
// invariants).
#include "cnet_lock.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

// ---- registry ---------------------------------------------------------------

struct Held {
    dev_t dev;
    ino_t ino;
    int fd;
    int shared;           // holders of the read lock
    int exclusive;        // 1 while the write lock is held
    std::vector<int> spare;  // descriptors opened on the file while held
};

std::mutex gs_mutex;
std::vector<Held>* gs_held = nullptr;

void atforkPrepare() { gs_mutex.lock(); }
void atforkParent() { gs_mutex.unlock(); }
// A child holds none of its parent's fcntl locks: it starts with an empty
// registry and closes the inherited descriptors (which drops nothing of
// the parent's).
void atforkChild() {
    if (gs_held != nullptr) {
        for (Held& h : *gs_held) {
            close(h.fd);
            for (int fd : h.spare) close(fd);
        }
        gs_held->clear();
    }
    gs_mutex.unlock();
}

std::vector<Held>& held() {
    static std::once_flag once;
    std::call_once(once, [] {
        gs_held = new std::vector<Held>();
        pthread_atfork(atforkPrepare, atforkParent, atforkChild);
    });
    return *gs_held;
}

Held* findByKey(dev_t dev, ino_t ino) {
    for (Held& h : held())
        if (h.dev == dev && h.ino == ino) return &h;
    return nullptr;
}

// A hold on an entry already in the registry: shared joins shared, any
// other request conflicts.
int joinHeld(Held* h, int kind, int* err) {
    if (kind == CNET_LOCK_SHARED && h->exclusive == 0) {
        ++h->shared;
        return h->fd;
    }
    *err = EAGAIN;
    return -1;
}

// ---- lock files ---------------------------------------------------------------

const char* const kSuffix[3] = {".lk1", ".lk2", ".lk3"};
const char* const kMarker[3] = {"CL01", "CL02", "CL03"};

void lockName(char* out, const CNETDIRS* dirs, const char* name, int which) {
    std::snprintf(out, CNET_PATH_MAX, "%s/%s%s", dirs->first, name, kSuffix[which]);
}

// Creates a lock file with its marker when it does not exist yet; an
// existing file is left as it is.
bool createLockFile(const char* path, int which, CNETLOCK* lk, bool sync,
                    CNETSTATUS* st) {
    if (cnetFileOpRefused("lock-create", path) != 0) {
        cnetSetStatus(st, CNET_RC_OPEN, 301, path);
        return false;
    }
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return true;
        cnetSetStatus(st, CNET_RC_OPEN, 302, path);
        return false;
    }
    lk->changed[which] = 1;
    bool ok = write(fd, kMarker[which], 4) == 4;
    if (!ok) cnetSetStatus(st, CNET_RC_WRITE, 303, path);
    if (ok && sync && (cnetFileOpRefused("fsync", path) != 0 || fsync(fd) != 0)) {
        cnetSetStatus(st, CNET_RC_WRITE, 304, path);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        cnetSetStatus(st, CNET_RC_CLOSE, 305, path);
        ok = false;
    }
    return ok;
}

bool removeMark(const char* path, CNETLOCK* lk, CNETSTATUS* st) {
    if (cnetFileOpRefused("lock-remove", path) != 0 ||
        (unlink(path) != 0 && errno != ENOENT)) {
        cnetSetStatus(st, CNET_RC_DELETE, 310, path);
        return false;
    }
    lk->changed[2] = 1;
    return true;
}

void setLockFailure(CNETSTATUS* st, int err, uint32_t site, const char* path) {
    if (err == 0 || err == EAGAIN || err == EACCES)
        cnetSetStatus(st, CNET_RC_LOCKED, site, path);
    else
        cnetSetStatus(st, CNET_RC_LOCKING, site + 1, path);
}

// Locks one file once, recording the descriptor in slot `which`.
bool lockOnce(const char* path, int which, int kind, CNETLOCK* lk, int* err,
              CNETSTATUS* st, uint32_t site) {
    int fd = cnetLockFile(path, kind, err);
    if (fd < 0) {
        if (*err == EINVAL)
            cnetSetStatus(st, CNET_RC_UNEXPECTED, site, path);
        else if (*err != ENOENT)
            setLockFailure(st, *err, site, path);
        return false;
    }
    lk->fd[which] = fd;
    return true;
}

// The access lock, taken exclusively in rounds of `tries` tries one second
// apart for `totalMs` milliseconds. With `show`, the wait is shown: a
// heading, a countdown each round and the outcome. Returns the lock's
// errno: 0 granted, ENOENT when the file is absent, else the refusal.
int waitExclusive(const CNETEXEC* opts, const char* path, long totalMs, int tries,
                  bool show, CNETLOCK* lk) {
    long left = totalMs;
    bool waited = false;
    int err = 0;
    int fd = -1;
    for (;;) {
        for (int t = 0; t < tries; ++t) {
            err = 0;
            fd = cnetLockFile(path, CNET_LOCK_EXCLUSIVE, &err);
            if (fd >= 0 || err == ENOENT) break;
        }
        if (fd >= 0 || err == ENOENT) break;
        if (show) {
            if (!waited) {
                cnetOutf(opts, "\n");
                cnetTimef(opts, "Waiting to lock the dictionary...\n");
            }
            cnetOutf(opts, "          %lusec          \r",
                     static_cast<unsigned long>(left / 1000));
        }
        waited = true;
        cnetSleep(1);
        left -= 1000;
        if (left < 1000) break;
    }
    if (fd >= 0) {
        lk->fd[0] = fd;
        err = 0;
    }
    if (waited && show) {
        cnetOutf(opts, "\n");
        cnetTimef(opts, fd >= 0 ? "Locked.\n" : "Cannot lock the dictionary.\n");
    }
    return err;
}

void releaseAll(CNETLOCK* lk, const char (*names)[CNET_PATH_MAX], CNETSTATUS* st) {
    for (int i = 0; i < 3; ++i) {
        if (lk->fd[i] < 0) continue;
        if (!cnetReleaseLockFile(lk->fd[i])) cnetSetStatus(st, CNET_RC_CLOSE, 320, names[i]);
        lk->fd[i] = -1;
    }
}

}  // namespace

int cnetLockFile(const char* path, int kind, int* err) {
    if (kind != CNET_LOCK_EXCLUSIVE && kind != CNET_LOCK_SHARED) {
        *err = EINVAL;
        return -1;
    }
    std::lock_guard<std::mutex> guard(gs_mutex);
    held();
    struct stat sb;
    if (stat(path, &sb) != 0) {
        *err = errno;
        return -1;
    }
    if (Held* h = findByKey(sb.st_dev, sb.st_ino)) return joinHeld(h, kind, err);
    int fd = open(path, kind == CNET_LOCK_EXCLUSIVE ? O_RDWR : O_RDONLY);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    if (fstat(fd, &sb) != 0) {
        *err = errno;
        close(fd);
        return -1;
    }
    if (Held* h = findByKey(sb.st_dev, sb.st_ino)) {
        // The file was held after all (replaced between stat and open):
        // closing this descriptor would drop the held lock, so keep it.
        h->spare.push_back(fd);
        return joinHeld(h, kind, err);
    }
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = kind == CNET_LOCK_EXCLUSIVE ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    if (fcntl(fd, F_SETLK, &fl) != 0) {
        *err = errno;
        close(fd);  // nothing of ours is locked on this file
        return -1;
    }
    held().push_back({sb.st_dev, sb.st_ino, fd, kind == CNET_LOCK_SHARED ? 1 : 0,
                      kind == CNET_LOCK_EXCLUSIVE ? 1 : 0, {}});
    return fd;
}

bool cnetReleaseLockFile(int fd) {
    std::lock_guard<std::mutex> guard(gs_mutex);
    std::vector<Held>& all = held();
    for (size_t i = 0; i < all.size(); ++i) {
        Held& h = all[i];
        if (h.fd != fd) continue;
        if (h.exclusive > 0)
            h.exclusive = 0;
        else if (h.shared > 0)
            --h.shared;
        if (h.exclusive > 0 || h.shared > 0) return true;
        bool ok = close(h.fd) == 0;
        for (int s : h.spare) close(s);
        all.erase(all.begin() + static_cast<long>(i));
        return ok;
    }
    return true;
}

void cnetLockInit(CNETLOCK* lk) {
    for (int i = 0; i < 3; ++i) {
        lk->fd[i] = -1;
        lk->changed[i] = 0;
    }
}

bool cnetLock(const CNETEXEC* opts, int mode, const char* dirspec,
              const char* name, CNETLOCK* lk, CNETSTATUS* st) {
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return false;
    if (mode < 1 || mode > 4) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 330);
        return false;
    }
    if (dirs.two) return true;
    char names[3][CNET_PATH_MAX];
    for (int i = 0; i < 3; ++i) lockName(names[i], &dirs, name, i);
    int err = 0;
    switch (mode) {
        case 1:
            if (!createLockFile(names[1], 1, lk, false, st)) return false;
            if (!lockOnce(names[1], 1, CNET_LOCK_EXCLUSIVE, lk, &err, st, 340)) {
                if (err == ENOENT) setLockFailure(st, ENOENT, 340, names[1]);
                return false;
            }
            return true;
        case 2: {
            if (!createLockFile(names[0], 0, lk, false, st)) return false;
            err = waitExclusive(opts, names[0], 15000, 2, cnetShowProgress(opts), lk);
            if (err != 0) {
                setLockFailure(st, err, 350, names[0]);
                return false;
            }
            return removeMark(names[2], lk, st);
        }
        case 3: {
            if (!createLockFile(names[1], 1, lk, false, st)) return false;
            if (!lockOnce(names[1], 1, CNET_LOCK_EXCLUSIVE, lk, &err, st, 360)) {
                if (err == ENOENT) setLockFailure(st, ENOENT, 360, names[1]);
                return false;
            }
            err = waitExclusive(opts, names[0], 3000, 10, false, lk);
            if (err != 0 && err != ENOENT) {  // an absent .lk1 guards nothing
                setLockFailure(st, err, 362, names[0]);
                return false;
            }
            return removeMark(names[2], lk, st);
        }
        default: {
            if (!lockOnce(names[0], 0, CNET_LOCK_SHARED, lk, &err, st, 370) &&
                err != ENOENT)
                return false;
            // Checked under the shared lock, so no commit slips in between.
            struct stat sb;
            if (stat(names[2], &sb) != 0) {
                releaseAll(lk, names, st);
                cnetSetStatus(st, CNET_RC_NOT_EXIST, 372, names[2]);
                return false;
            }
            return true;
        }
    }
}

bool cnetUnlock(const CNETEXEC* opts, int mode, const char* dirspec,
                const char* name, CNETLOCK* lk, CNETSTATUS* st) {
    (void)opts;
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return false;
    if (mode < 1 || mode > 4) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 380);
        return false;
    }
    if (dirs.two) return true;
    char names[3][CNET_PATH_MAX];
    for (int i = 0; i < 3; ++i) lockName(names[i], &dirs, name, i);
    bool ok = true;
    // Mode 2 marks the new dictionary complete while readers are still
    // kept out, then lets them in.
    if (mode == 2 && lk->fd[0] >= 0) ok = createLockFile(names[2], 2, lk, true, st);
    if (mode == 1 && lk->fd[1] >= 0) {
        if (!cnetReleaseLockFile(lk->fd[1])) {
            cnetSetStatus(st, CNET_RC_CLOSE, 381, names[1]);
            ok = false;
        }
        lk->fd[1] = -1;
    }
    if (mode != 1 && lk->fd[0] >= 0) {
        if (!cnetReleaseLockFile(lk->fd[0])) {
            cnetSetStatus(st, CNET_RC_CLOSE, 382, names[0]);
            ok = false;
        }
        lk->fd[0] = -1;
    }
    releaseAll(lk, names, st);
    return ok && !cnetFailed(st);
}
