// Tests of the document-name mapping: round trips through transactions,
// names assigned and deleted within one transaction, deletions and merges,
// rollback and the file events, the working directory, and crash and
// failure tests of the map commit.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "docmap_test_util.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_location.hpp"

using namespace docmap_test;

namespace {

class Index {
 public:
  Index(std::string const& base, uint16_t size = 64, bool fixed = false)
      : dir(base + "/index"), work(base + "/work"), size(size), fixed(fixed) {
    mkdir(dir.c_str(), 0700);
    mkdir(work.c_str(), 0700);
    location.reset(new ItlClIndexLocation("ix", dir.c_str(), work.c_str()));
  }
  std::unique_ptr<ItlClDocumentNameMapping> open() {
    std::unique_ptr<ItlClDocumentNameMapping> m(
        new ItlClDocumentNameMapping(info, *location));
    m->setNameLayout(size, fixed);
    return m;
  }
  std::string file(char const* ext) const { return dir + "/ix" + ext; }
  std::string wfile(char const* ext) const {
    return work + "/" + location->getWorkBaseName() + ext;
  }
  std::string name(uint64_t i) const {
    std::string s = "doc/" + std::to_string(i) + "/" + std::string(i % 13, 'x');
    if (fixed) s.resize(size, '_');
    return s;
  }
  // Every file of the index directory and the working directory.
  std::set<std::string> files() const {
    std::set<std::string> all;
    for (std::string const& d : {dir, work})
      for (auto const& e : std::filesystem::directory_iterator(d))
        all.insert(e.path().filename().string());
    return all;
  }

  std::string dir, work;
  uint16_t size;
  bool fixed;
  ItlClErrorInfo info;
  std::unique_ptr<ItlClIndexLocation> location;
};

uint64_t assign(ItlClDocumentNameMapping& m, std::string const& name,
                bool* isNew = nullptr) {
  _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
  uint64_t number = 0;
  bool fresh = false;
  m.assignDocumentNameToNumber(&id, &number, fresh);
  if (isNew != nullptr) *isNew = fresh;
  return number;
}

void remove(ItlClDocumentNameMapping& m, std::string const& name) {
  _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
  m.deleteDocumentName(&id);
}

// The number of a name as a reader sees it (0: unknown or deleted).
uint64_t numberOf(ItlClDocumentNameMapping& m, std::string const& name) {
  m.access4Read();
  _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
  uint64_t number = 0;
  m.getDex().obtainDocNumber(&id, &number, m.getDeletedDocs());
  return number;
}

std::string nameOf(ItlClDocumentNameMapping& m, uint64_t number,
                   uint16_t size) {
  std::string buffer(size, '\0');
  _ItlStDocumentId id{buffer.data(), size};
  m.mapNumberToDocumentName(number, &id);
  return buffer.substr(0, id.usDocIdLength);
}

void commit(ItlClDocumentNameMapping& m) {
  m.onIndexFileEndTransaction();
  m.onIndexFileCommitTransaction();
}

void merge(ItlClDocumentNameMapping& m) {
  m.onIndexFileEndMergeTransaction();
  m.onIndexFileCommitMergeTransaction();
}

class DocMapMapping : public ::testing::Test {
 protected:
  TempDir tmp{"docmap_mapping", fastTempParent()};
};

// ---- round trips ----------------------------------------------------------------

void roundTrip(Index& index, uint32_t count) {
  {
    auto m = index.open();
    for (uint32_t i = 1; i <= count; ++i) ASSERT_EQ(assign(*m, index.name(i)), i);
    commit(*m);
  }
  for (char const* e : {".did", ".dii", ".ded", ".dei"})
    EXPECT_TRUE(exists(index.file(e))) << e;
  EXPECT_EQ(index.files(), (std::set<std::string>{"ix.did", "ix.dii", "ix.ded", "ix.dei"}));
  auto m = index.open();
  for (uint32_t i = 1; i <= count; i += 3) {
    ASSERT_EQ(numberOf(*m, index.name(i)), i);
    std::string got = nameOf(*m, i, index.size);
    ASSERT_EQ(index.fixed ? got.substr(0, index.size) : got, index.name(i));
  }
  // Batches, in order and sorted, each result at its request's position.
  std::mt19937 rng(count);
  std::vector<uint64_t> numbers;
  for (int i = 0; i < 2000; ++i) numbers.push_back(1 + rng() % count);
  for (bool inOrder : {true, false}) {
    std::vector<uint16_t> lengths(numbers.size(), 777);
    std::vector<char> names(numbers.size() * index.size, '\0');
    if (index.fixed)
      m->mapNumbersToNamesFix(numbers.size(), index.size, numbers.data(),
                              lengths.data(), names.data(), inOrder);
    else
      m->mapNumbersToNamesSeq(numbers.size(), index.size, numbers.data(),
                              lengths.data(), names.data(), inOrder);
    for (size_t i = 0; i < numbers.size(); ++i) {
      std::string expect = index.name(numbers[i]);
      if (index.fixed) {
        ASSERT_EQ(lengths[i], 777) << "fixed batches leave the lengths";
        ASSERT_EQ(std::string(&names[i * index.size], index.size), expect);
      } else {
        ASSERT_EQ(lengths[i], expect.size());
        ASSERT_EQ(std::string(&names[i * index.size], lengths[i]), expect);
      }
    }
  }
}

TEST_F(DocMapMapping, RoundTripSequential) {
  Index index(tmp.path(), 64, false);
  roundTrip(index, 100000);
}

TEST_F(DocMapMapping, RoundTripFixed) {
  Index index(tmp.path(), 24, true);
  roundTrip(index, 100000);
}

TEST_F(DocMapMapping, IndexWithoutMapsHasNoDocuments) {
  Index index(tmp.path());
  auto m = index.open();
  EXPECT_EQ(m->checkFileSet(), 0u);
  EXPECT_EQ(numberOf(*m, "nothing"), 0u);
  EXPECT_EQ(thrown([&] { nameOf(*m, 1, 64); }).reason, 301);
  writeFile(index.file(".did"), "");
  writeFile(index.file(".dii"), "");
  auto partial = index.open();
  EXPECT_EQ(thrown([&] { partial->checkFileSet(); }).reason, 103);
  EXPECT_EQ(thrown([&] { partial->access4Read(); }).reason, 103);
  EXPECT_EQ(thrown([&] { assign(*partial, "a"); }).reason, 103);
}

// ---- names within one transaction -----------------------------------------------

TEST_F(DocMapMapping, SameNamesInOneTransaction) {
  Index index(tmp.path());
  {
    auto m = index.open();
    bool isNew = false;
    EXPECT_EQ(assign(*m, "twice", &isNew), 1u);
    EXPECT_TRUE(isNew);
    uint64_t count = m->getDocumentCount();
    EXPECT_EQ(assign(*m, "twice", &isNew), 1u);
    EXPECT_FALSE(isNew);
    EXPECT_EQ(m->getDocumentCount(), count);
    // Added, then deleted.
    EXPECT_EQ(assign(*m, "brief"), 2u);
    remove(*m, "brief");
    // Added, deleted, added: a new number.
    EXPECT_EQ(assign(*m, "again"), 3u);
    remove(*m, "again");
    EXPECT_EQ(assign(*m, "again", &isNew), 4u);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(thrown([&] { remove(*m, "brief"); }).reason, 303);
    commit(*m);
  }
  EXPECT_EQ(hex(readFile(index.file(".del"))),
            hex(std::string("\x02\0\0\0\0\0\0\0\x03\0\0\0\0\0\0\0", 16)));
  auto m = index.open();
  EXPECT_EQ(numberOf(*m, "twice"), 1u);
  EXPECT_EQ(numberOf(*m, "brief"), 0u);
  EXPECT_EQ(numberOf(*m, "again"), 4u);
  // The name-to-number map holds each name once.
  EXPECT_EQ(m->getDex().indexControl().ulDocumentCount, 2u);
  // A name deleted in a committed transaction gets a new number.
  bool isNew = false;
  EXPECT_EQ(assign(*m, "brief", &isNew), 5u);
  EXPECT_TRUE(isNew);
  commit(*m);
  auto r = index.open();
  EXPECT_EQ(numberOf(*r, "brief"), 5u);
  EXPECT_EQ(nameOf(*r, 2, 64), "brief") << "the old number still maps";
}

// ---- deletions and merges --------------------------------------------------------

TEST_F(DocMapMapping, DeletionsThenMerge) {
  Index index(tmp.path());
  const uint32_t count = 100000;
  {
    auto m = index.open();
    for (uint32_t i = 1; i <= count; ++i) assign(*m, index.name(i));
    commit(*m);
  }
  std::set<uint64_t> gone;
  std::mt19937 rng(testSeed());
  while (gone.size() < 5000) gone.insert(1 + rng() % count);
  {
    auto m = index.open();
    for (uint64_t n : gone) remove(*m, index.name(n));
    commit(*m);
  }
  std::string del = readFile(index.file(".del"));
  ASSERT_EQ(del.size(), 40000u);
  size_t at = 0;
  for (uint64_t n : gone) {
    ASSERT_EQ(get64(del, at), n);
    at += 8;
  }
  {
    auto m = index.open();
    for (uint64_t n = 1; n <= count; n += 7) {
      bool deleted = gone.count(n) != 0;
      ASSERT_EQ(numberOf(*m, index.name(n)), deleted ? 0 : n);
      ASSERT_EQ(nameOf(*m, n, 64), index.name(n)) << "numbers still map";
    }
    merge(*m);
  }
  EXPECT_FALSE(exists(index.file(".del")));
  auto m = index.open();
  for (uint64_t n = 1; n <= count; n += 7) {
    if (gone.count(n)) {
      int reason = thrown([&] { nameOf(*m, n, 64); }).reason;
      ASSERT_TRUE(reason == 301 || reason == 304) << reason;
      ASSERT_EQ(numberOf(*m, index.name(n)), 0u);
    } else {
      ASSERT_EQ(nameOf(*m, n, 64), index.name(n));
      ASSERT_EQ(numberOf(*m, index.name(n)), n);
    }
  }
}

TEST_F(DocMapMapping, NumbersAreNeverReused) {
  Index index(tmp.path(), 16, true);
  auto m = index.open();
  for (int i = 1; i <= 300; ++i) assign(*m, index.name(i));
  commit(*m);
  for (int i = 201; i <= 300; ++i) remove(*m, index.name(i));  // the top
  commit(*m);
  merge(*m);
  EXPECT_EQ(assign(*m, index.name(1000)), 301u);
  commit(*m);
  for (int i = 1; i <= 200; ++i) remove(*m, index.name(i));
  remove(*m, index.name(1000));
  commit(*m);
  merge(*m);
  for (char const* e : {".did", ".dii", ".ded", ".dei"})
    EXPECT_TRUE(exists(index.file(e))) << "the files stay";
  EXPECT_FALSE(exists(index.file(".del")));
  auto r = index.open();
  EXPECT_EQ(assign(*r, index.name(2000)), 302u);
  commit(*r);
  auto q = index.open();
  EXPECT_EQ(numberOf(*q, index.name(2000)), 302u);
  EXPECT_EQ(numberOf(*q, index.name(5)), 0u);
}

// ---- rollback and file events -----------------------------------------------------

TEST_F(DocMapMapping, RollbackAndObjectEndKeepTheIndexSet) {
  Index index(tmp.path());
  {
    auto m = index.open();
    for (int i = 1; i <= 500; ++i) assign(*m, index.name(i));
    commit(*m);
  }
  std::map<std::string, std::string> before;
  for (char const* e : {".did", ".dii", ".ded", ".dei"})
    before[e] = readFile(index.file(e));
  {
    auto m = index.open();
    assign(*m, "new");
    remove(*m, index.name(3));
    m->onIndexFileEndTransaction();
    m->onIndexFileRollbackTransaction();
    EXPECT_EQ(numberOf(*m, "new"), 0u);
    assign(*m, "other");
  }  // the object goes mid-transaction
  for (auto const& b : before) EXPECT_EQ(readFile(index.file(b.first.c_str())), b.second);
  EXPECT_EQ(index.files(), (std::set<std::string>{"ix.did", "ix.dii", "ix.ded", "ix.dei"}));
}

TEST_F(DocMapMapping, RenameCopyMove) {
  Index index(tmp.path());
  auto m = index.open();
  EXPECT_EQ(thrown([&] { m->onIndexFileRename(nullptr); }).reason, 25);
  EXPECT_EQ(thrown([&] { m->onIndexFileCopy(nullptr); }).reason, 102);
  EXPECT_EQ(thrown([&] { m->onIndexFileMove(nullptr); }).reason, 102);
  // Without map files: nothing to do.
  std::string other = tmp / "other";
  mkdir(other.c_str(), 0700);
  m->onIndexFileCopy(other.c_str());
  m->onIndexFileMove(other.c_str());
  EXPECT_TRUE(std::filesystem::is_empty(other));
  assign(*m, "kept");
  remove(*m, "kept");
  assign(*m, "alive");
  commit(*m);
  m->onIndexFileCopy(other.c_str());
  for (char const* e : {".did", ".dii", ".ded", ".dei", ".del"})
    EXPECT_EQ(readFile(other + "/ix" + e), readFile(index.file(e))) << e;
  m->onIndexFileRename("iy");
  EXPECT_FALSE(exists(index.file(".did")));
  EXPECT_TRUE(exists(index.dir + "/iy.del"));
  index.location->setIndexName("iy");
  EXPECT_EQ(numberOf(*m, "alive"), 2u);
  std::string moved = tmp / "moved";
  mkdir(moved.c_str(), 0700);
  m->onIndexFileMove(moved.c_str());
  EXPECT_TRUE(exists(moved + "/iy.ded"));
  EXPECT_FALSE(exists(index.dir + "/iy.ded"));
  // A partial set.
  unlink((moved + "/iy.ded").c_str());
  index.location->setIndexDirectory(moved.c_str());
  EXPECT_EQ(thrown([&] { m->onIndexFileCopy(other.c_str()); }).reason, 103);
}

TEST_F(DocMapMapping, DestroyRemovesEverything) {
  Index index(tmp.path());
  auto m = index.open();
  assign(*m, "a");
  commit(*m);
  assign(*m, "b");  // a transaction in flight
  m->onIndexFileDestroy();
  EXPECT_TRUE(index.files().empty());
}

TEST_F(DocMapMapping, RepointWorkingFiles) {
  Index index(tmp.path());
  std::string elsewhere = tmp / "elsewhere";
  mkdir(elsewhere.c_str(), 0700);
  auto m = index.open();
  m->repointWorkingFiles(elsewhere.c_str());
  assign(*m, "a");
  std::string const moved = elsewhere + "/" + index.location->getWorkBaseName() + ".xid";
  EXPECT_TRUE(exists(moved));
  EXPECT_FALSE(exists(index.wfile(".xid")));
  Thrown t = thrown([&] { m->repointWorkingFiles(index.work.c_str()); });
  EXPECT_EQ(t.reason, 4);
  EXPECT_TRUE(exists(moved)) << "nothing changed";
  commit(*m);
  EXPECT_EQ(numberOf(*m, "a"), 1u);
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
  m->repointWorkingFiles(index.work.c_str());
}

// ---- crash and failure tests of the commit ------------------------------------

int gFileOp = 0, gKillAt = 0, gRefuseAt = 0;

int crashHook(char const*, char const*) {
  ++gFileOp;
  if (gFileOp == gKillAt) kill(getpid(), SIGKILL);
  return gFileOp == gRefuseAt ? 1 : 0;
}

// One kind of commit: its setup (committed before) and its transaction.
struct CommitKind {
  char const* what;
  int before;   // names committed first (0: a fresh index)
  int added;    // names the transaction adds
  int deleted;  // names it deletes (from the first ones)
  bool merge;   // a merge of the deletions follows in the transaction
};

void setupKind(Index& index, CommitKind const& k) {
  if (k.before == 0) return;
  auto m = index.open();
  for (int i = 1; i <= k.before; ++i) assign(*m, index.name(i));
  commit(*m);
  if (k.merge) {
    for (int i = 1; i <= k.deleted; ++i) remove(*m, index.name(i));
    commit(*m);
  }
}

void runKind(Index& index, CommitKind const& k) {
  auto m = index.open();
  if (k.merge) {
    merge(*m);
    return;
  }
  for (int i = 1; i <= k.deleted; ++i) remove(*m, index.name(i));
  for (int i = 0; i < k.added; ++i) assign(*m, index.name(k.before + 1 + i));
  commit(*m);
}

// Old or new state, never a mix; returns true for the new one.
bool checkState(Index& index, CommitKind const& k) {
  auto m = index.open();
  m->access4Read();  // the first use finishes a marked commit
  bool added = k.added > 0 && numberOf(*m, index.name(k.before + 1)) != 0;
  bool isNew;
  if (k.merge) {
    isNew = !exists(index.file(".del"));
    for (int i = 1; i <= k.before; i += 37) {
      uint64_t n = static_cast<uint64_t>(i);
      if (i <= k.deleted) {
        EXPECT_EQ(numberOf(*m, index.name(i)), 0u);
        int reason = thrown([&] { nameOf(*m, n, 64); }).reason;
        EXPECT_EQ(reason, isNew ? 304 : 0) << i;
      } else {
        EXPECT_EQ(nameOf(*m, n, 64), index.name(i));
      }
    }
    return isNew;
  }
  bool deleted = k.deleted > 0 && numberOf(*m, index.name(1)) == 0;
  isNew = k.added > 0 ? added : deleted;
  for (int i = 1; i <= k.before; i += 37) {
    bool gone = isNew && i <= k.deleted;
    EXPECT_EQ(numberOf(*m, index.name(i)), gone ? 0u : uint64_t(i)) << i;
  }
  for (int i = 0; i < k.added; i += 17) {
    uint64_t expect = isNew ? uint64_t(k.before + 1 + i) : 0;
    EXPECT_EQ(numberOf(*m, index.name(k.before + 1 + i)), expect);
  }
  uint64_t delCount =
      exists(index.file(".del")) ? readFile(index.file(".del")).size() / 8 : 0;
  EXPECT_EQ(delCount, isNew ? uint64_t(k.deleted) : 0u) << ".del agrees";
  return isNew;
}

// After any crash the next update commits and leaves nothing behind.
void checkCleanAfter(Index& index) {
  {
    auto m = index.open();
    assign(*m, "after the crash");
    commit(*m);
  }
  for (std::string const& f : index.files()) {
    EXPECT_EQ(f.find(".!"), std::string::npos) << f;
    EXPECT_EQ(f.find(".#"), std::string::npos) << f;
    EXPECT_EQ(f.find(".x"), std::string::npos) << f;
  }
  auto m = index.open();
  EXPECT_NE(numberOf(*m, "after the crash"), 0u);
}

std::vector<CommitKind> const kinds = {
    {"first commit", 0, 100, 0, false},
    {"add to existing", 100, 60, 0, false},
    {"deletions only", 100, 0, 30, false},
    {"merge with deletions", 100, 0, 30, true},
};

int runChild(Index& index, CommitKind const& k, int killAt) {
  pid_t pid = fork();
  if (pid == 0) {
    gFileOp = 0;
    gKillAt = killAt;
    itlSetFileOpTestHook(crashHook);
    try {
      runKind(index, k);
    } catch (...) {
      _exit(100);
    }
    _exit(gFileOp > 99 ? 99 : gFileOp);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

TEST_F(DocMapMapping, CrashBeforeEveryFileOperationOfACommit) {
  for (CommitKind const& k : kinds) {
    SCOPED_TRACE(k.what);
    int total;
    {
      TempDir d("count", fastTempParent());
      Index index(d.path());
      setupKind(index, k);
      int status = runChild(index, k, 0);
      ASSERT_TRUE(WIFEXITED(status));
      total = WEXITSTATUS(status);
      ASSERT_GT(total, 0);
      ASSERT_LT(total, 99);
      EXPECT_TRUE(checkState(index, k));
    }
    int sawOld = 0, sawNew = 0;
    for (int killAt = 1; killAt <= total; ++killAt) {
      SCOPED_TRACE(killAt);
      TempDir d("crash", fastTempParent());
      Index index(d.path());
      setupKind(index, k);
      int status = runChild(index, k, killAt);
      ASSERT_TRUE(WIFSIGNALED(status)) << "operation " << killAt;
      (checkState(index, k) ? sawNew : sawOld)++;
      checkCleanAfter(index);
    }
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
  }
}

TEST_F(DocMapMapping, CrashAtRandomMoments) {
  std::mt19937 rng(testSeed());
  for (CommitKind const& k : kinds) {
    SCOPED_TRACE(k.what);
    for (int round = 0; round < 4; ++round) {
      TempDir d("random", fastTempParent());
      Index index(d.path());
      setupKind(index, k);
      pid_t pid = fork();
      if (pid == 0) {
        runKind(index, k);
        _exit(0);
      }
      usleep(rng() % 20000);
      kill(pid, SIGKILL);
      int status;
      waitpid(pid, &status, 0);
      checkState(index, k);
      checkCleanAfter(index);
    }
  }
}

TEST_F(DocMapMapping, RefusedOperationBeforeAndAfterTheMark) {
  CommitKind k = kinds[1];
  int total;
  {
    TempDir d("count", fastTempParent());
    Index index(d.path());
    setupKind(index, k);
    total = WEXITSTATUS(runChild(index, k, 0));
  }
  int before = 0, after = 0;
  for (int refuse = 1; refuse <= total; ++refuse) {
    SCOPED_TRACE(refuse);
    TempDir d("refuse", fastTempParent());
    Index index(d.path());
    setupKind(index, k);
    gFileOp = 0;
    gKillAt = 0;
    gRefuseAt = refuse;
    itlSetFileOpTestHook(crashHook);
    int reason = thrown([&] { runKind(index, k); }).reason;
    itlSetFileOpTestHook(nullptr);
    gRefuseAt = 0;
    EXPECT_NE(reason, 0) << "the error comes out";
    bool marked = exists(index.file(".#dm"));
    // The next first use shows the new set when the mark stood.
    (checkState(index, k) ? after : before)++;
    if (marked) {
      EXPECT_FALSE(exists(index.file(".#dm")));
    }
    checkCleanAfter(index);
  }
  EXPECT_GT(before, 0);
  EXPECT_GT(after, 0);
}

TEST_F(DocMapMapping, SetAsideFilesComeBack) {
  Index index(tmp.path());
  {
    auto m = index.open();
    assign(*m, "a");
    commit(*m);
  }
  std::string did = readFile(index.file(".did"));
  ASSERT_EQ(rename(index.file(".did").c_str(), index.file(".!id").c_str()), 0);
  writeFile(index.file(".!ii"), "stale");  // the live one exists
  auto m = index.open();
  EXPECT_EQ(numberOf(*m, "a"), 1u);
  EXPECT_EQ(readFile(index.file(".did")), did);
  EXPECT_FALSE(exists(index.file(".!id")));
  EXPECT_FALSE(exists(index.file(".!ii")));
}

}  // namespace
