// Crash tests of administration: a forked child runs create, rename,
// clear, destroy or move on a copy of a prepared index and is killed
// (SIGKILL) just before each file operation in turn (counted through the
// file-operation test hook) and at random moments; a new index object then
// must find the index whole in its old or its new state.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "index_fixture.hpp"
#include "itl_documentmodels.hpp"
#include "itl_file_util.hpp"
#include "ti_crash_child.hpp"

namespace {

namespace fs = std::filesystem;

int gs_iOps = 0;
int gs_iKillAt = 0;

int killingHook(char const*, char const*) {
  if (++gs_iOps == gs_iKillAt) kill(getpid(), SIGKILL);
  return 0;
}

enum class Op { Create, Rename, Clear, Destroy, Move };

// The prepared state: "base/ix" holds index "abc" with three documents and
// a model (empty for Create); "base/target" exists.
struct Golden {
  TempDir dir{"crash_golden", fastTempParent()};
  explicit Golden(bool filled) {
    fs::create_directories(dir / "ix");
    fs::create_directories(dir / "target");
    fs::create_directories(dir / "work");
    EXPECT_TRUE(writeFile(dir / "template.ini", ifix::kTemplate));
    if (!filled) return;
    ItlClErrorInfo errorInfo;
    ItlClContext context(errorInfo);
    ItlClIndex index("abc", (dir / "ix").c_str(), context);
    index.init();
    index.setWorkingDirectory((dir / "work").c_str());
    index.adminCreate((dir / "template.ini").c_str());
    ifix::addDocuments(index, {u"alpha one", u"alpha two", u"alpha three"});
    index.addDocumentModel("m1", "<GPPModel/>", 11);
  }
};

void runOp(Op op, std::string const& base) {
  ItlClErrorInfo errorInfo;
  ItlClContext context(errorInfo);
  ItlClIndex index("abc", (base + "/ix").c_str(), context);
  index.init();
  index.setWorkingDirectory((base + "/work").c_str());
  switch (op) {
    case Op::Create:
      index.adminCreate((base + "/template.ini").c_str());
      break;
    case Op::Rename:
      index.adminRename("def");
      break;
    case Op::Clear:
      index.adminClear();
      break;
    case Op::Destroy:
      index.adminDestroy();
      break;
    case Op::Move:
      index.adminMove((base + "/target").c_str());
      break;
  }
}

// The state an index object made now finds of `name` in `directory`:
// -1 no index, else its document count (checked against the engine and
// the models).
int stateOf(std::string const& base, char const* name,
            std::string const& directory) {
  ItlClErrorInfo errorInfo;
  ItlClContext context(errorInfo);
  ItlClIndex index(name, directory.c_str(), context);
  index.init();
  index.setWorkingDirectory((base + "/work").c_str());
  if (!index.isExistent()) return -1;
  uint64_t count = ifix::documentCount(index);
  kfix::Docs found = ifix::find(name, directory, "alpha");
  if (count == 3) {
    EXPECT_EQ(found.size(), 3u) << base;
    EXPECT_EQ(index.getDocumentModels().getModelCount(), 1u) << base;
  } else {
    EXPECT_EQ(count, 0u) << base;
    EXPECT_TRUE(found.empty() || *found.begin() < 0) << base;
  }
  return static_cast<int>(count);
}

// After a kill of `op`: the index is whole in its old or its new state.
void checkStates(Op op, std::string const& base) {
  std::string ix = base + "/ix", target = base + "/target";
  switch (op) {
    case Op::Create: {
      ItlClErrorInfo errorInfo;
      ItlClContext context(errorInfo);
      ItlClIndex index("abc", ix.c_str(), context);
      index.init();
      index.setWorkingDirectory((base + "/work").c_str());
      if (!index.isExistent())
        index.adminCreate((base + "/template.ini").c_str());
      ifix::addDocuments(index, {u"alpha"});
      EXPECT_EQ(ifix::documentCount(index), 1u) << base;
      break;
    }
    case Op::Rename: {
      int renamed = stateOf(base, "def", ix);  // finishes a pending rename
      int old = stateOf(base, "abc", ix);
      EXPECT_TRUE((renamed == 3 && old == -1) || (renamed == -1 && old == 3))
          << base << " " << renamed << " " << old;
      break;
    }
    case Op::Clear: {
      int state = stateOf(base, "abc", ix);
      EXPECT_TRUE(state == 3 || state == 0) << base << " " << state;
      break;
    }
    case Op::Destroy: {
      int state = stateOf(base, "abc", ix);
      EXPECT_TRUE(state == 3 || state == -1) << base << " " << state;
      if (state == -1) {
        ItlClErrorInfo errorInfo;
        ItlClContext context(errorInfo);
        ItlClIndex index("abc", ix.c_str(), context);
        index.init();
        index.setWorkingDirectory((base + "/work").c_str());
        index.adminCreate((base + "/template.ini").c_str());
        EXPECT_EQ(ifix::documentCount(index), 0u) << base;
        index.load();
        EXPECT_EQ(index.getDocumentModels().getModelCount(), 0u) << base;
        kfix::Docs found = ifix::find("abc", ix, "alpha");
        EXPECT_TRUE(found.empty() || *found.begin() < 0) << base;
      }
      break;
    }
    case Op::Move: {
      int source = stateOf(base, "abc", ix);
      int moved = stateOf(base, "abc", target);
      EXPECT_TRUE(source == 3 || moved == 3) << base << " " << source << " "
                                             << moved;
      break;
    }
  }
}

// As checkStates, with an exception reported as a failure with its text.
void check(Op op, std::string const& base) {
  try {
    checkStates(op, base);
  } catch (ItlClException const& e) {
    ADD_FAILURE() << base << ": reason " << e.getReasonCode() << " at "
                  << e.getSourceFile() << ": " << e.getContext();
  }
}

// Runs `op` in a child on a fresh copy of the golden state; the child is
// killed before its `killAt`-th file operation (0: never) or after
// `delay` microseconds (0: never). True when the child was killed.
bool crashOnce(Golden const& golden, Op op, int killAt, int delay,
               TempDir& work) {
  fs::copy(golden.dir.path(), work.path(),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  int status = tiRunChildAndKill(
      [&] {
        gs_iOps = 0;
        gs_iKillAt = killAt;
        itlSetFileOpTestHook(killingHook);
        runOp(op, work.path());
        return 0;
      },
      delay <= 0, delay * 1e-6);
  if (WIFEXITED(status)) {
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the operation failed";
    return false;
  }
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

void crashTest(Op op) {
  Golden golden(op != Op::Create);
  int kills = 0;
  for (int killAt = 1;; ++killAt) {
    TempDir work("crash", fastTempParent());
    bool killed = crashOnce(golden, op, killAt, 0, work);
    check(op, work.path());
    if (!killed) break;
    ++kills;
    ASSERT_LT(killAt, 500);
  }
  EXPECT_GT(kills, 3);
  // Random moments within the operation's time.
  auto start = std::chrono::steady_clock::now();
  {
    TempDir work("crash", fastTempParent());
    crashOnce(golden, op, 0, 0, work);
  }
  int span = static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
  unsigned seed = testSeed();
  std::mt19937 random(seed);
  for (int i = 0; i < 8; ++i) {
    TempDir work("crash", fastTempParent());
    int delay = 1 + static_cast<int>(random() % static_cast<unsigned>(span + 1));
    crashOnce(golden, op, 0, delay, work);
    check(op, work.path());
  }
}

TEST(IndexAdminCrash, Create) { crashTest(Op::Create); }
TEST(IndexAdminCrash, Rename) { crashTest(Op::Rename); }
TEST(IndexAdminCrash, Clear) { crashTest(Op::Clear); }
TEST(IndexAdminCrash, Destroy) { crashTest(Op::Destroy); }
TEST(IndexAdminCrash, Move) { crashTest(Op::Move); }

}  // namespace
