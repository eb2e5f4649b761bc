// itl_kept_directory.hpp: an index directory kept open by its index object
// for the shared lock of its searches, and the stamp that tells a reader
// whether anything in the directory changed since it last looked.
//
// A search holds the index directory's lock shared (see the commit lock of
// the index) and checks, under it, whether a commit replaced the name maps
// it read. Opening the directory and looking at every map file each time
// cost more than many searches themselves; the object instead keeps one
// open description of the directory and takes flock(LOCK_SH) on it, and
// reads the directory's own stamp (one stat) to learn whether the files
// need a look at all.
//
// Invariants:
//   1. The kept description is this process's own: a child of fork()
//      inherits the parent's description (and with it the parent's flock),
//      so a child never locks through it; it opens one of its own. A
//      killed process's lock thus always goes with the process.
//   2. The description names the directory now at the path: every shared
//      lock compares, under the lock, the device and inode at the path with
//      the description's; a directory replaced under the same path is
//      opened again (the lock of a stale directory would exclude nobody).
//   3. Every commit of an index creates, renames into or removes entries
//      of the index directory (its mark, its renames), which sets the
//      directory's change time. A stamp (device, inode, size, modification
//      and change time) unchanged since a reader's full check therefore
//      means that no file of the index was replaced since then, provided
//      the stamp was older than the file system's timestamp granularity
//      when it was taken: a stamp taken within it may be shared by a change
//      in the same clock tick, and is not trusted (the next search looks at
//      the files again). Stamps are set by this host's clock (or one kept in
//      step with it).
//   4. Nested shared locks of one object take and release the flock once.
// Not thread-safe: one index object serves one thread at a time, as the
// rest of it does.
#ifndef ITL_KEPT_DIRECTORY_HPP
#define ITL_KEPT_DIRECTORY_HPP

#include <cstdint>
#include <string>

// What a directory looked like: zero (valid false) when unknown.
struct ItlStDirectoryStamp {
  uint64_t device = 0, inode = 0, size = 0;
  int64_t modified = 0, changed = 0;  // nanoseconds since the epoch
  bool valid = false;
  bool sameAs(ItlStDirectoryStamp const& o) const {
    return valid && o.valid && device == o.device && inode == o.inode &&
           size == o.size && modified == o.modified && changed == o.changed;
  }
};

class ItlClKeptDirectory {
 public:
  // What a reader checks against the directory's stamp.
  enum Watcher { NAME_MAPS = 0, DOCUMENT_NAMES = 1, WATCHERS = 2 };

  ItlClKeptDirectory() = default;
  // Closes the description (its lock goes with it). Never throws.
  ~ItlClKeptDirectory();
  ItlClKeptDirectory(ItlClKeptDirectory const&) = delete;
  ItlClKeptDirectory& operator=(ItlClKeptDirectory const&) = delete;

  // Takes the shared lock of the directory `path` ("" the current one),
  // opening it when not open in this process or when the path names
  // another directory now. False: the directory cannot be opened or
  // locked; nothing is held (the calls under the lock report what is
  // wrong). True: held until unlockShared; `stamp` is the directory's,
  // taken under the lock.
  bool lockShared(char const* path, ItlStDirectoryStamp& stamp);
  // REQUIRES: a lockShared that returned true.
  void unlockShared();

  // `stamp` (taken under the shared lock) is the one `watcher` remembered
  // at its last full check, and that one was trusted: the files it looks
  // at have not changed since.
  bool unchangedFor(Watcher watcher, ItlStDirectoryStamp const& stamp) const;
  // After a full check of `watcher`'s files under the lock that gave
  // `stamp`: remembered, trusted when old enough (invariant 3).
  // `verified` false (the watcher's state was not checked against its
  // files): forgotten.
  void noteChecked(Watcher watcher, ItlStDirectoryStamp const& stamp,
                   bool verified);
  // Forgets every remembered stamp (the index name changed).
  void forgetStamps();
  // Closes the description and forgets the stamps (the index moved).
  // REQUIRES: no shared lock held.
  void reset();

  // The directory's stamp of `fd` or `path` (valid false on failure).
  static ItlStDirectoryStamp stampOf(int fd);
  static ItlStDirectoryStamp stampOf(char const* path);
  // A stamp not newer than the margin of the timestamp granularity before
  // the coarse clock's now (invariant 3).
  static bool isSettled(ItlStDirectoryStamp const& stamp);

 private:
  void close();

  int iv_iFd = -1;
  uint64_t iv_uiForkGeneration = 0;  // of the process that opened iv_iFd
  uint64_t iv_uiDevice = 0, iv_uiInode = 0;  // of iv_iFd
  std::string iv_strPath;                    // what iv_iFd was opened as
  int iv_iDepth = 0;                         // shared locks held
  ItlStDirectoryStamp iv_astSeen[WATCHERS];
  bool iv_abTrusted[WATCHERS] = {false, false};
};

#endif  // ITL_KEPT_DIRECTORY_HPP
