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

}  // namespace
