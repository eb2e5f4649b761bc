// The commit lock of an index directory between a live writer and its
// readers: a reader that finds a commit's mark while a writer holds the
// lock waits for the writer instead of running the mark's steps beside it
// (two processes renaming and removing the same files made the writer's
// commit and the reader's load fail); without a holder the reader reads
// the mark itself. A steady stream of readers does not keep a writer out.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "index_fixture.hpp"

namespace {

TEST(IndexCommitLock, AReaderWaitsForALiveWritersMark) {
  ifix::Env env;
  {
    auto index = env.open();
    index->adminCreate(env.templ.c_str());
    ifix::addDocuments(*index, {u"alpha", u"beta"});
  }
  auto probe = env.open();
  std::string mark = ItlClIndexCommit::markPath(*probe);
  // A live writer: the lock held, then a mark only it can read (damaged
  // for anyone else), removed again before the lock goes.
  std::thread reader;
  int reason = -1;
  {
    ItlClIndexCommitLock writer(*probe, true);
    ASSERT_TRUE(writeFile(mark, "ICMT"));
    reader = std::thread([&] {
      ItlClErrorInfo errorInfo;
      ItlClContext context{errorInfo};
      ItlClIndex index("abc", env.indexDir.c_str(), context);
      index.init();
      reason = 0;
      try {
        index.load();
        EXPECT_EQ(ifix::documentCount(index), 2u);
      } catch (ItlClException const& e) {
        reason = e.getReasonCode();
      }
    });
    // Time for the reader to reach the lock; if it is slower it finds no
    // mark at all, which passes as well.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(std::remove(mark.c_str()), 0);
  }
  reader.join();
  EXPECT_EQ(reason, 0) << "the reader read a live writer's mark";

  // Without a holder the same damaged mark is the reader's to look at:
  // refused as damage, nothing touched.
  ASSERT_TRUE(writeFile(mark, "ICMT"));
  auto after = env.open();
  try {
    after->load();
    ADD_FAILURE() << "a damaged mark was not refused";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Index_corrupted);
  }
}

// A search's shared lock goes through the directory the index object keeps
// open: it still waits for a writer in another process, and a forked child
// that locks through the same object holds a lock of its own, which goes
// when the child is killed.
TEST(IndexCommitLock, AKeptDirectoryLockWaitsForAWriterAndDiesWithItsChild) {
  ifix::Env env;
  {
    auto index = env.open();
    index->adminCreate(env.templ.c_str());
  }
  auto probe = env.open();
  { ItlClIndexCommitLock opened(*probe, false); }  // the directory kept open
  auto exclusiveFree = [&] {
    int fd = open(env.indexDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    bool const free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
  };
  // The child: 'w' holds the exclusive lock of a writer, 'r' the shared
  // lock through the inherited index object; says so, then writes
  // `released` before its lock goes ('w') or waits to be killed ('r').
  std::string released = env.indexDir + "/released";
  auto child = [&](char role) {
    int pipes[2];
    EXPECT_EQ(pipe(pipes), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(pipes[0]);
      if (role == 'w') {
        ItlClIndexCommitLock writer(env.indexDir.c_str(), true);
        if (write(pipes[1], &role, 1) != 1) _exit(2);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!writeFile(released, "x")) _exit(2);
        _exit(0);
      }
      ItlClIndexCommitLock reader(*probe, false);
      if (write(pipes[1], &role, 1) != 1) _exit(2);
      for (;;) pause();
    }
    close(pipes[1]);
    char said = 0;
    EXPECT_EQ(read(pipes[0], &said, 1), 1);
    close(pipes[0]);
    return pid;
  };
  pid_t writer = child('w');
  {
    ItlClIndexCommitLock reader(*probe, false);
    EXPECT_TRUE(exists(released)) << "the search did not wait for the writer";
    EXPECT_FALSE(exclusiveFree());
  }
  int status = 0;
  waitpid(writer, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(exclusiveFree());

  pid_t reader = child('r');
  EXPECT_FALSE(exclusiveFree());
  kill(reader, SIGKILL);
  waitpid(reader, &status, 0);
  EXPECT_TRUE(exclusiveFree()) << "a killed child's lock stayed";
  { ItlClIndexCommitLock again(*probe, false); EXPECT_FALSE(exclusiveFree()); }
  EXPECT_TRUE(exclusiveFree());
}

}  // namespace
