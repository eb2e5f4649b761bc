// itl_kept_directory.cpp: the kept index directory, its shared lock and
// its stamp (see the header for the invariants).
#include "itl_kept_directory.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// Counts the fork()s on the way to this process: a description opened
// under another count was inherited from a parent (invariant 1). Read
// instead of getpid(), which is a system call per lock.
std::atomic<uint64_t> g_forkGeneration{1};

void countFork() { g_forkGeneration.fetch_add(1); }

uint64_t forkGeneration() {
  static bool const registered = pthread_atfork(nullptr, nullptr,
                                                countFork) == 0;
  // Without the handler every lock opens the directory afresh.
  return registered ? g_forkGeneration.load(std::memory_order_relaxed) : 0;
}

constexpr int64_t kNanos = 1000000000;

int64_t nanosOf(timespec const& t) {
  return static_cast<int64_t>(t.tv_sec) * kNanos + t.tv_nsec;
}

ItlStDirectoryStamp stampOfStat(struct stat const& sb) {
  ItlStDirectoryStamp s;
  s.device = static_cast<uint64_t>(sb.st_dev);
  s.inode = static_cast<uint64_t>(sb.st_ino);
  s.size = static_cast<uint64_t>(sb.st_size);
  s.modified = nanosOf(sb.st_mtim);
  s.changed = nanosOf(sb.st_ctim);
  s.valid = true;
  return s;
}

bool flockRetrying(int fd, int operation) {
  while (flock(fd, operation) != 0)
    if (errno != EINTR) return false;
  return true;
}

}  // namespace

ItlClKeptDirectory::~ItlClKeptDirectory() { close(); }

void ItlClKeptDirectory::close() {
  // A description inherited from a parent is closed as well, never
  // unlocked: the flock is the parent's, and stays with its own reference.
  if (iv_iFd >= 0 && iv_iDepth > 0 &&
      iv_uiForkGeneration == forkGeneration())
    flockRetrying(iv_iFd, LOCK_UN);
  if (iv_iFd >= 0) ::close(iv_iFd);
  iv_iFd = -1;
  iv_iDepth = 0;
  iv_strPath.clear();
}

void ItlClKeptDirectory::reset() {
  close();
  forgetStamps();
}

void ItlClKeptDirectory::forgetStamps() {
  for (int w = 0; w < WATCHERS; ++w) {
    iv_astSeen[w] = ItlStDirectoryStamp();
    iv_abTrusted[w] = false;
  }
}

bool ItlClKeptDirectory::lockShared(char const* path,
                                    ItlStDirectoryStamp& stamp) {
  std::string dir = path != nullptr && *path != '\0' ? path : ".";
  uint64_t const generation = forkGeneration();
  if (iv_iDepth > 0 && iv_uiForkGeneration == generation &&
      dir == iv_strPath) {
    // Nested: the lock is held already (invariant 4).
    stamp = stampOf(dir.c_str());
    ++iv_iDepth;
    return true;
  }
  if (iv_iFd >= 0 && (iv_uiForkGeneration != generation || generation == 0 ||
                      dir != iv_strPath))
    close();
  // Twice at most: a directory replaced under its path is opened again.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (iv_iFd < 0) {
      iv_iFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (iv_iFd < 0) return false;
      ItlStDirectoryStamp own = stampOf(iv_iFd);
      if (!own.valid) {
        close();
        return false;
      }
      iv_uiDevice = own.device;
      iv_uiInode = own.inode;
      iv_uiForkGeneration = generation;
      iv_strPath = dir;
    }
    if (!flockRetrying(iv_iFd, LOCK_SH)) {
      close();
      return false;
    }
    stamp = stampOf(dir.c_str());
    if (stamp.valid && stamp.device == iv_uiDevice &&
        stamp.inode == iv_uiInode) {
      iv_iDepth = 1;
      return true;
    }
    // Gone or replaced (invariant 2). Unlocked first: a child that
    // inherited the description keeps it open past our close.
    flockRetrying(iv_iFd, LOCK_UN);
    close();
    if (!stamp.valid) return false;
  }
  stamp = ItlStDirectoryStamp();
  return false;
}

void ItlClKeptDirectory::unlockShared() {
  if (iv_iDepth <= 0 || --iv_iDepth > 0 || iv_iFd < 0) return;
  if (!flockRetrying(iv_iFd, LOCK_UN)) close();
}

bool ItlClKeptDirectory::unchangedFor(Watcher watcher,
                                      ItlStDirectoryStamp const& stamp) const {
  return iv_abTrusted[watcher] && iv_astSeen[watcher].sameAs(stamp);
}

void ItlClKeptDirectory::noteChecked(Watcher watcher,
                                     ItlStDirectoryStamp const& stamp,
                                     bool verified) {
  if (!verified || !stamp.valid) {
    iv_astSeen[watcher] = ItlStDirectoryStamp();
    iv_abTrusted[watcher] = false;
    return;
  }
  iv_astSeen[watcher] = stamp;
  iv_abTrusted[watcher] = isSettled(stamp);
}

ItlStDirectoryStamp ItlClKeptDirectory::stampOf(int fd) {
  struct stat sb;
  if (fstat(fd, &sb) != 0) return ItlStDirectoryStamp();
  return stampOfStat(sb);
}

ItlStDirectoryStamp ItlClKeptDirectory::stampOf(char const* path) {
  struct stat sb;
  if (stat(path, &sb) != 0) return ItlStDirectoryStamp();
  return stampOfStat(sb);
}

bool ItlClKeptDirectory::isSettled(ItlStDirectoryStamp const& stamp) {
  timespec now;
  if (!stamp.valid || clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0)
    return false;
  int64_t const latest =
      stamp.changed > stamp.modified ? stamp.changed : stamp.modified;
  // Whole seconds in both times: a file system that keeps seconds only
  // (some keep two); else the kernel's coarse clock tick, a few
  // milliseconds, with room for a file system of coarser stamps.
  bool const wholeSeconds =
      stamp.changed % kNanos == 0 && stamp.modified % kNanos == 0;
  int64_t const margin = wholeSeconds ? 3 * kNanos : kNanos / 10;
  return latest + margin < nanosOf(now);
}
