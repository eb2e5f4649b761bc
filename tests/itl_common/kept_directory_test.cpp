// The index directory a searcher keeps open for its shared lock: the lock
// still excludes a writer in another process in every case where a kept
// description could go wrong (a child of fork(), a directory replaced under
// its path, nested locks), and a remembered stamp vouches for the
// directory only when it is settled and unchanged.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "itl_kept_directory.hpp"
#include "ti_test_util.hpp"

namespace {

// Whether a fresh open of `dir` gets the exclusive lock at once.
bool exclusiveFree(std::string const& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  EXPECT_GE(fd, 0);
  bool const free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free;
}

// A child that takes the kept directory's shared lock, says so on `ready`
// and waits to be killed.
pid_t childHoldingShared(ItlClKeptDirectory& kept, std::string const& dir) {
  int pipes[2];
  EXPECT_EQ(pipe(pipes), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(pipes[0]);
    ItlStDirectoryStamp stamp;
    char ok = kept.lockShared(dir.c_str(), stamp) ? 'y' : 'n';
    if (write(pipes[1], &ok, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(pipes[1]);
  char ok = 0;
  EXPECT_EQ(read(pipes[0], &ok, 1), 1);
  EXPECT_EQ(ok, 'y');
  close(pipes[0]);
  return pid;
}

void killAndReap(pid_t pid) {
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
}

TEST(KeptDirectory, ALockExcludesAWriterAndGoesWithItsProcess) {
  TempDir dir("kept_dir", fastTempParent());
  ItlClKeptDirectory kept;
  ItlStDirectoryStamp stamp;
  // Nested locks of one object release the flock once, at the last.
  ASSERT_TRUE(kept.lockShared(dir.path().c_str(), stamp));
  ASSERT_TRUE(kept.lockShared(dir.path().c_str(), stamp));
  EXPECT_TRUE(stamp.valid);
  EXPECT_FALSE(exclusiveFree(dir.path()));
  kept.unlockShared();
  EXPECT_FALSE(exclusiveFree(dir.path()));
  kept.unlockShared();
  EXPECT_TRUE(exclusiveFree(dir.path()));

  // A forked child inherits the open description; its lock must be its
  // own, so that killing it frees the directory (a lock taken through the
  // parent's description would stay while the parent lives).
  pid_t child = childHoldingShared(kept, dir.path());
  EXPECT_FALSE(exclusiveFree(dir.path()));
  killAndReap(child);
  EXPECT_TRUE(exclusiveFree(dir.path()));
  // And the parent's own lock still works after the fork.
  ASSERT_TRUE(kept.lockShared(dir.path().c_str(), stamp));
  EXPECT_FALSE(exclusiveFree(dir.path()));
  kept.unlockShared();
  EXPECT_TRUE(exclusiveFree(dir.path()));
}

TEST(KeptDirectory, ASharedLockWaitsForAWriterInAnotherProcess) {
  TempDir dir("kept_dir", fastTempParent());
  ItlClKeptDirectory kept;
  ItlStDirectoryStamp stamp;
  ASSERT_TRUE(kept.lockShared(dir.path().c_str(), stamp));  // kept open
  kept.unlockShared();
  std::string released = dir.path() + "/released";
  int pipes[2];
  ASSERT_EQ(pipe(pipes), 0);
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(2);
    char c = 'x';
    if (write(pipes[1], &c, 1) != 1) _exit(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Written before the lock goes: a reader that got its lock early
    // would not see it.
    FILE* f = std::fopen(released.c_str(), "w");
    if (f == nullptr) _exit(2);
    std::fclose(f);
    _exit(0);
  }
  close(pipes[1]);
  char c = 0;
  ASSERT_EQ(read(pipes[0], &c, 1), 1);
  close(pipes[0]);
  ASSERT_TRUE(kept.lockShared(dir.path().c_str(), stamp));
  EXPECT_TRUE(exists(released)) << "the shared lock did not wait";
  kept.unlockShared();
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(KeptDirectory, ADirectoryReplacedUnderItsPathIsLockedAfresh) {
  TempDir parent("kept_dir", fastTempParent());
  std::string dir = parent.path() + "/ix";
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  ItlClKeptDirectory kept;
  ItlStDirectoryStamp before, after;
  ASSERT_TRUE(kept.lockShared(dir.c_str(), before));
  kept.unlockShared();
  ASSERT_EQ(rename(dir.c_str(), (parent.path() + "/old").c_str()), 0);
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  ASSERT_TRUE(kept.lockShared(dir.c_str(), after));
  EXPECT_FALSE(exclusiveFree(dir)) << "the lock is on the old directory";
  EXPECT_FALSE(after.sameAs(before));
  kept.unlockShared();
  // A directory gone: nothing held.
  ASSERT_EQ(rmdir(dir.c_str()), 0);
  EXPECT_FALSE(kept.lockShared(dir.c_str(), after));
  EXPECT_FALSE(after.valid);
}

// Only a settled stamp that is still the directory's vouches for it; a
// stamp taken within the timestamp granularity of a change may be shared
// by the next change and vouches for nothing.
TEST(KeptDirectory, ASettledUnchangedStampVouchesForTheDirectory) {
  TempDir dir("kept_dir", fastTempParent());
  using W = ItlClKeptDirectory::Watcher;
  ItlClKeptDirectory kept;
  ItlStDirectoryStamp stamp;
  auto check = [&](W watcher, bool verified) {
    EXPECT_TRUE(kept.lockShared(dir.path().c_str(), stamp));
    bool unchanged = kept.unchangedFor(watcher, stamp);
    if (!unchanged) kept.noteChecked(watcher, stamp, verified);
    kept.unlockShared();
    return unchanged;
  };
  auto settle = [&] {
    for (int i = 0; i < 500 && !ItlClKeptDirectory::isSettled(stamp); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(ItlClKeptDirectory::isSettled(stamp));
  };
  W const maps = ItlClKeptDirectory::NAME_MAPS;
  W const names = ItlClKeptDirectory::DOCUMENT_NAMES;
  ASSERT_TRUE(writeFile(dir.path() + "/a", "a"));
  EXPECT_FALSE(check(maps, true));  // nothing remembered
  // Remembered, but fresh (when it still is now, it was when noted).
  bool again = check(maps, true);
  if (!ItlClKeptDirectory::isSettled(stamp)) {
    EXPECT_FALSE(again);
  }
  settle();
  check(maps, true);  // the settled stamp is remembered
  EXPECT_TRUE(check(maps, true));
  EXPECT_FALSE(kept.unchangedFor(names, stamp)) << "watchers are apart";
  // A rename into the directory, at once.
  ASSERT_TRUE(writeFile(dir.path() + "/b~", "b"));
  ASSERT_EQ(rename((dir.path() + "/b~").c_str(), (dir.path() + "/a").c_str()),
            0);
  EXPECT_FALSE(check(maps, true));
  again = check(maps, true);
  if (!ItlClKeptDirectory::isSettled(stamp)) {
    EXPECT_FALSE(again);
  }
  settle();
  // A check that verified nothing is not remembered.
  EXPECT_FALSE(check(names, false));
  EXPECT_FALSE(check(names, false));
  EXPECT_FALSE(check(names, true));
  EXPECT_TRUE(check(names, true));
  kept.forgetStamps();
  EXPECT_FALSE(check(maps, true));
  EXPECT_FALSE(check(names, true));
}

}  // namespace
