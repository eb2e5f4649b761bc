// The commit lock of an index directory between a live writer and its
// readers: a reader that finds a commit's mark while a writer holds the
// lock waits for the writer instead of running the mark's steps beside it
// (two processes renaming and removing the same files made the writer's
// commit and the reader's load fail); without a holder the reader reads
// the mark itself. A steady stream of readers does not keep a writer out.
#include <gtest/gtest.h>
#include <signal.h>
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

// Forked readers take the shared lock again and again, each holding it a
// moment, so that at nearly every instant one of them holds it. A writer's
// commits must get through while the readers still run: without the gate
// the writer waited until every reader had run out of rounds.
TEST(IndexCommitLock, AStreamOfReadersLetsTheWriterIn) {
  ifix::Env env;
  auto index = env.open();
  index->adminCreate(env.templ.c_str());
  ifix::addDocuments(*index, {u"alpha", u"beta"});
  constexpr int kReaders = 4;
  constexpr int kRounds = 3000;  // each reader's most rounds
  struct Shared {
    std::atomic<int> stop;
    std::atomic<int> rounds[kReaders];
    std::atomic<int> spent;  // readers that ran out of rounds
  };
  void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  Shared* shared = new (memory) Shared();
  std::string directory = env.indexDir;
  std::vector<pid_t> readers;
  for (int r = 0; r < kReaders; ++r) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int round = 0;
      for (; round < kRounds && shared->stop.load() == 0; ++round) {
        ItlClIndexCommitLock lock(directory.c_str(), false);
        usleep(400);
        shared->rounds[r].fetch_add(1);
      }
      if (round == kRounds) shared->spent.fetch_add(1);
      _exit(0);
    }
    readers.push_back(pid);
  }
  // Every reader is under way.
  for (int r = 0; r < kReaders; ++r)
    while (shared->rounds[r].load() < 20 && shared->spent.load() == 0)
      usleep(200);
  for (int commit = 0; commit < 3; ++commit)
    ifix::addDocuments(*index, {u"gamma"});
  int spentAtCommit = shared->spent.load();
  shared->stop.store(1);
  for (pid_t pid : readers) waitpid(pid, nullptr, 0);
  EXPECT_EQ(spentAtCommit, 0) << "the writer got in only after the readers";
  munmap(memory, sizeof(Shared));
}

}  // namespace
