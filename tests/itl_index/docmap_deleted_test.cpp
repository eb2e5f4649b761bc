// Tests of the deleted-documents list: the file bytes after a transaction,
// the 4096-number buffer, double deletions, unreadable files, and random
// deletions against a set.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <set>
#include <string>

#include "docmap_test_util.hpp"
#include "itl_deleted_docs.hpp"
#include "itl_index_location.hpp"

using namespace docmap_test;

namespace {

std::string numbers(std::initializer_list<uint64_t> list) {
  std::string s;
  for (uint64_t n : list) put64(s, s.size(), n);
  return s;
}

class DocMapDeleted : public ::testing::Test {
 protected:
  TempDir dir{"docmap_deleted"};
  ItlClIndexLocation location{"ix", dir.path().c_str(), dir.path().c_str()};
  std::string del = dir / "ix.del",
              xel = dir / (location.getWorkBaseName() + ".xel");
  _ItlStDocumentId name{"doc", 3};
};

TEST_F(DocMapDeleted, TransactionLeavesSortedWorkingCopy) {
  writeFile(del, numbers({5}));
  writeFile(xel, numbers({5}));
  ItlClDeletedDocs docs(location);
  docs.access4Update();
  for (uint64_t n : {9, 3, 7}) docs.deleteDocumentNumber(n, &name);
  EXPECT_EQ(docs.getBufferedCount(), 3u);
  docs.updateDeletionBuffer();
  docs.writeDeletionBuffer();
  EXPECT_FALSE(docs.isOpen());
  EXPECT_EQ(hex(readFile(xel)), hex(numbers({3, 5, 7, 9})));
  EXPECT_EQ(docs.getDeletionCount(), 3u);

  uint64_t count = 0;
  docs.obtainNumberOfDocumentsDeleted(count);
  EXPECT_EQ(count, 1u) << "the committed list only";
  writeFile(del, numbers({1, 2, 3}));
  docs.obtainNumberOfDocumentsDeleted(count);
  EXPECT_EQ(count, 3u);
  unlink(del.c_str());
  docs.obtainNumberOfDocumentsDeleted(count);
  EXPECT_EQ(count, 0u);
}

TEST_F(DocMapDeleted, FullBufferIsAppendedBeforeTheNextDeletion) {
  ItlClDeletedDocs docs(location);
  docs.access4Update();
  for (uint64_t n = 1; n <= 4096; ++n) docs.deleteDocumentNumber(n * 2, &name);
  EXPECT_FALSE(exists(xel));
  docs.deleteDocumentNumber(1, &name);
  EXPECT_EQ(readFile(xel).size(), 4096u * 8);
  EXPECT_EQ(docs.getListCount(), 4096u);
  EXPECT_EQ(docs.getBufferedCount(), 1u);
  uint64_t probe = 4096 * 2;
  docs.reassignIfDeleted(&probe);
  EXPECT_EQ(probe, 0u);
  probe = 1;
  docs.reassignIfDeleted(&probe);
  EXPECT_EQ(probe, 0u) << "found in the buffer";
  probe = 3;
  docs.reassignIfDeleted(&probe);
  EXPECT_EQ(probe, 3u);
}

TEST_F(DocMapDeleted, DoubleOrZeroDeletionIs303) {
  writeFile(xel, numbers({4}));
  ItlClDeletedDocs docs(location);
  docs.access4Update();
  docs.deleteDocumentNumber(8, &name);
  for (uint64_t n : {0, 4, 8}) {
    SCOPED_TRACE(n);
    Thrown t = thrown([&] { docs.deleteDocumentNumber(n, &name); });
    EXPECT_EQ(t.reason, 303);
    EXPECT_EQ(t.context.substr(0, 3), "doc");
  }
  EXPECT_EQ(docs.getDeletionCount(), 1u);
}

TEST_F(DocMapDeleted, UnreadableFilesAreErrorsNotEmptyLists) {
  {
    ItlClDeletedDocs docs(location);
    docs.access4Read();  // missing: no deletions
    EXPECT_EQ(docs.getListCount(), 0u);
    writeFile(del, "");
    docs.access4Read();  // empty: no deletions
    EXPECT_FALSE(docs.isOpen());
    uint64_t n = 5;
    docs.reassignIfDeleted(&n);
    EXPECT_EQ(n, 5u);
  }
  unlink(del.c_str());
  mkdir(del.c_str(), 0700);
  mkdir(xel.c_str(), 0700);
  ItlClDeletedDocs docs(location);
  EXPECT_EQ(thrown([&] { docs.access4Read(); }).reason, 17);
  EXPECT_EQ(thrown([&] { docs.access4Update(); }).reason, 16);
}

TEST_F(DocMapDeleted, RandomDeletionsAgreeWithSet) {
  std::mt19937_64 rng(testSeed());
  std::set<uint64_t> model;
  std::string initial;
  for (int i = 0; i < 300; ++i) {
    uint64_t n = 1 + rng() % (1ULL << 40);
    if (model.insert(n).second) put64(initial, initial.size(), n);
  }
  // The committed file is sorted.
  std::string sorted;
  for (uint64_t n : model) put64(sorted, sorted.size(), n);
  writeFile(xel, sorted);
  ItlClDeletedDocs docs(location);
  docs.access4Update();
  for (int i = 0; i < 9000; ++i) {
    uint64_t n = rng() % 4 == 0 ? 1 + rng() % 10000 : 1 + rng() % (1ULL << 40);
    bool fresh = model.count(n) == 0;
    int reason = thrown([&] { docs.deleteDocumentNumber(n, &name); }).reason;
    ASSERT_EQ(reason, fresh ? 0 : 303) << n;
    model.insert(n);
    if (i % 1000 == 0) {
      uint64_t probe = *model.begin();
      docs.reassignIfDeleted(&probe);
      ASSERT_EQ(probe, 0u);
    }
  }
  docs.updateDeletionBuffer();
  docs.writeDeletionBuffer();
  std::string file = readFile(xel);
  ASSERT_EQ(file.size(), model.size() * 8);
  size_t at = 0;
  for (uint64_t n : model) {
    ASSERT_EQ(get64(file, at), n);
    at += 8;
  }
}

}  // namespace
