// cnet_lock.hpp -- dictionary locks between processes.
//
// Three lock files stand beside a dictionary, "<dir>/<name>.lk1" ("CL01"),
// ".lk2" ("CL02") and ".lk3" ("CL03"), each created with exactly its four
// marker bytes when it does not exist yet:
//   .lk1  access lock: readers share it; a commit or a clear holds it alone
//   .lk2  compiler lock: a compilation or a clear holds it for its whole run
//   .lk3  completion mark: present while the live dictionary is complete
// The locks are advisory fcntl whole-file locks. A dictionary given by two
// directories is never locked.
//
// Modes (lock / unlock):
//   1 compilation start  lock .lk2 alone, once        / release .lk2
//   2 commit             lock .lk1 alone, waiting 15 s, then remove .lk3
//                        / write .lk3, then release .lk1
//   3 clear              lock .lk2 alone, then .lk1 alone waiting 3 s,
//                        then remove .lk3 / release both
//   4 reader             lock .lk1 shared, once; then .lk3 must exist
//                        / release .lk1
// Invariants:
//  1. ".lk3" is removed only while the locks of modes 2 and 3 are held: a
//     commit that cannot get the access lock leaves the dictionary readable.
//  2. ".lk1" and ".lk2" are never removed (a process may hold them).
//  3. Inside one process, requests conflict as between processes (shared
//     only with shared): a registry keyed by device and inode keeps one
//     descriptor per lock file and a holder count, because fcntl locks
//     belong to the process and any close of the file drops them all.
#ifndef CNET_LOCK_HPP
#define CNET_LOCK_HPP

#include "cnet_base.hpp"

// The caller's record of one lock call: per lock file (.lk1, .lk2, .lk3)
// the descriptor held (-1 none) and whether the call created or removed it.
struct CNETLOCK {
    int fd[3];
    uint8_t changed[3];
};

enum { CNET_LOCK_EXCLUSIVE = 16, CNET_LOCK_SHARED = 32 };

// Sets every descriptor to -1.
void cnetLockInit(CNETLOCK* lk);

// Takes the locks of `mode` (1..4; else 501). Failures: 531 locked by
// another holder, 530 other locking errors, 543 (mode 4) without ".lk3",
// 510/512 creating a lock file, 515 removing ".lk3". On failure the locks
// taken so far stay in *lk for cnetUnlock.
bool cnetLock(const CNETEXEC* opts, int mode, const char* dirspec,
              const char* name, CNETLOCK* lk, CNETSTATUS* st);
// Releases the locks of `mode` (mode 2 writes ".lk3" first when it holds
// the access lock), then every descriptor still held; resets *lk.
bool cnetUnlock(const CNETEXEC* opts, int mode, const char* dirspec,
                const char* name, CNETLOCK* lk, CNETSTATUS* st);

// Locks one file (kind CNET_LOCK_EXCLUSIVE or CNET_LOCK_SHARED) without
// waiting: returns the descriptor, or -1 with *err the errno (EAGAIN for a
// conflict inside the process; ENOENT when the file is absent). Any other
// kind: -1 with *err EINVAL.
int cnetLockFile(const char* path, int kind, int* err);
// Drops one hold taken by cnetLockFile; the descriptor closes with the
// last holder. False when the close failed.
bool cnetReleaseLockFile(int fd);

#endif  // CNET_LOCK_HPP
