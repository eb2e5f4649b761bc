// Kill tests of update transactions: a forked child adds and removes
// documents and processes them, and is killed with SIGKILL at random
// moments before it commits. The next open must find the old index (count,
// names and numbers, engine answers), and the next update must commit.
// (The kills inside the commit's own file operations are the commit's
// tests.)
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

#include "../itl_index/kernel_fixture.hpp"
#include "update_fixture.hpp"

namespace {

using upfix::ApiIndex;
using upfix::Document;

uint64_t numberOf(ItlTyIndexHandle index, std::string const& name) {
  ItlTyDocumentIDHandle id = nullptr;
  EXPECT_EQ(itlHandleNewDocumentID(index, &id), 0);
  uint64_t number = 0;
  if (itlDocumentIDRetrieveByName(id, name.data(),
                                  static_cast<uint32_t>(name.size())) == 0) {
    itlDocumentIDObtainNumber(id, &number);
  }
  itlHandleDeleteDocumentID(&id);
  return number;
}

// The child: transactions of documents, a removal and process, never
// committed, until it is killed.
[[noreturn]] void runUncommitted(std::string const& dir) {
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  itlHandleNewErrorInfo(&ei);
  itlHandleNewContext(&ctx, ei);
  itlHandleNewIndex(ctx, "ix", dir.c_str(), &index);
  itlIndexSetWorkingDirectory(index, dir.c_str());
  ItlTyIndexUpdateHandle update = nullptr;
  ItlTyDocumentIDHandle id = nullptr;
  itlHandleNewIndexUpdate(index, &update);
  itlHandleNewDocumentID(index, &id);
  for (int round = 0;; ++round) {
    for (int i = 0; i < 40; ++i) {
      std::string name = "n" + std::to_string(round * 40 + i);
      itlDocumentIDSetName(id, name.data(), static_cast<uint32_t>(name.size()));
      itlIndexUpdateSetNumberAttribute(update, id, "price", i);
      std::string text = "fresh words number " + name;
      ItlTyCCSID ccsid = 1208;
      itlIndexUpdateDocument(update, id, ItlEnDocumentFormat_Text, nullptr,
                             text.data(), static_cast<uint32_t>(text.size()),
                             &ccsid, "en");
    }
    itlDocumentIDSetName(id, "a", 1);
    itlIndexUpdateRemoveDocument(update, id);
    itlIndexUpdateProcess(update);
    itlIndexUpdateRollback(update);
  }
}

TEST(ApiUpdateCrash, KillsBeforeTheCommitLeaveTheOldIndex) {
  uint32_t seed = testSeed();
  std::mt19937 rng(seed);
  ApiIndex ix;
  ASSERT_EQ(upfix::addDocuments(
                ix.index, {Document("a", ItlEnDocumentFormat_Text, "alpha"),
                           Document("b", ItlEnDocumentFormat_Text, "beta"),
                           Document("c", ItlEnDocumentFormat_Html,
                                    "<p>gamma</p>")}),
            "");
  std::string dir = ix.dir.path();
  std::string engineDir = dir + "/";
  uint64_t a = numberOf(ix.index, "a"), b = numberOf(ix.index, "b"),
           c = numberOf(ix.index, "c");
  ix.close();
  for (int round = 0; round < 15; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) runUncommitted(dir);
    usleep(std::uniform_int_distribution<int>(0, 60000)(rng));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ix.open();
    EXPECT_EQ(ix.count(), 3u);
    EXPECT_EQ(numberOf(ix.index, "a"), a);
    EXPECT_EQ(numberOf(ix.index, "b"), b);
    EXPECT_EQ(numberOf(ix.index, "c"), c);
    EXPECT_EQ(numberOf(ix.index, "n0"), 0u);
    EXPECT_EQ(kfix::word("ix", engineDir.c_str(), "alpha"),
              kfix::Docs({static_cast<int32_t>(a)}));
    EXPECT_EQ(kfix::word("ix", engineDir.c_str(), "gamma"),
              kfix::Docs({static_cast<int32_t>(c)}));
    EXPECT_EQ(kfix::word("ix", engineDir.c_str(), "fresh"), kfix::Docs());
    ix.close();
  }
  // The next update commits over whatever the kills left.
  ix.open();
  ASSERT_EQ(upfix::addDocuments(
                ix.index, {Document("d", ItlEnDocumentFormat_Text, "delta")}),
            "");
  ix.reopen();
  EXPECT_EQ(ix.count(), 4u);
  uint64_t d = numberOf(ix.index, "d");
  EXPECT_GT(d, c);
  EXPECT_EQ(kfix::word("ix", engineDir.c_str(), "delta"),
            kfix::Docs({static_cast<int32_t>(d)}));
  EXPECT_EQ(kfix::word("ix", engineDir.c_str(), "alpha"),
            kfix::Docs({static_cast<int32_t>(a)}));
}

}  // namespace
