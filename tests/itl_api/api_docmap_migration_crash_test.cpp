// Crash and failure tests of the document-map migration's commit: a forked
// child migrates the maps of a copy of a prepared index (eight documents,
// one deleted; variable names of at most 64 bytes to fixed names of 32)
// and is killed with SIGKILL just before each file operation of the commit
// in turn (counted through the library's test hook in one run first) and
// at random moments of the whole migration. A new index object must then
// load (never 300 "Option: MaxDocumentIDLength") and find configuration
// and maps agreeing, all old or all new, and the next update must commit
// and leave no mark or prepared file behind. The same operations refused
// with EIO give 8: before the mark the old index stands, after it the next
// load shows the new one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "itl_file_util.hpp"
#include "migration_env.hpp"
#include "ti_crash_child.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Hook {
  int count = 0;
  int killAt = 0;
  int refuseAt = 0;
  int markAt = 0;  // the operation that renames the commit's mark
};
Hook gs_hook;

int onOp(char const* op, char const* path) {
  int n = ++gs_hook.count;
  size_t len = std::strlen(path);
  if (gs_hook.markAt == 0 && std::strcmp(op, "rename") == 0 && len > 4 &&
      std::strcmp(path + len - 4, ".cmt") == 0)
    gs_hook.markAt = n;
  if (n == gs_hook.killAt) kill(getpid(), SIGKILL);
  return n == gs_hook.refuseAt ? 1 : 0;
}

std::vector<std::string> oldNames() {
  return {"alpha", "beta-document", "gamma", "d",
          "epsilon/with/a/longer/name/of/forty/bytes!!", "zeta", "eta", "theta"};
}

std::string newName(std::string const& old) {
  return ("NEW:" + old + std::string(32, '#')).substr(0, 32);
}

// An index handle on the copy at `dir` (working directory inside it).
struct Handle {
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  explicit Handle(std::string const& dir) {
    itlHandleNewErrorInfo(&ei);
    itlHandleNewContext(&ctx, ei);
    itlHandleNewIndex(ctx, "ix", dir.c_str(), &index);
    itlIndexSetWorkingDirectory(index, dir.c_str());
  }
  ~Handle() {
    itlHandleDeleteIndex(&index);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
};

// The whole migration (or, `prepareOnly`, up to Prepare); the hook armed
// around its commit alone. Returns the commit's return code.
int migrate(std::string const& dir, int killAt, int refuseAt,
            bool prepareOnly = false) {
  Handle h(dir);
  ItlTyNameMapMigrationHandle m = nullptr;
  auto arm = [&] {
    gs_hook = Hook{};
    gs_hook.killAt = killAt;
    gs_hook.refuseAt = refuseAt;
    itlSetFileOpTestHook(onOp);
  };
  if (itlHandleNewNameMapMigrationR3(h.index, 32, true, &m) != 0) return -1;
  int rc = itlNameMapMigrationR3Prepare(m);
  if (rc == 0 && prepareOnly) {
    itlHandleDeleteNameMapMigrationR3(&m);
    return 0;
  }
  if (rc == 0) {
    migenv::walk(m, 64, [](std::string const& old) { return newName(old); });
    rc = itlNameMapMigrationR3Process(m);
  }
  if (rc == 0) {
    arm();
    rc = itlNameMapMigrationR3Commit(m);
  }
  itlSetFileOpTestHook(nullptr);
  itlHandleDeleteNameMapMigrationR3(&m);
  return rc;
}

// What a reader finds: length, layout and the name of numbers 1..9.
struct State {
  uint16_t length = 0;
  bool fixed = false;
  std::vector<std::string> names;
  bool operator==(State const& o) const {
    return length == o.length && fixed == o.fixed && names == o.names;
  }
  bool operator!=(State const& o) const { return !(*this == o); }
  std::string text() const {
    std::string t = std::to_string(length) + (fixed ? " fixed" : " variable");
    for (std::string const& n : names) t += " [" + n + "]";
    return t;
  }
};

State observe(std::string const& dir, std::string& failure) {
  State s;
  Handle h(dir);
  try {
    migenv::Lookup look(h.index);
    s.length = look.index.getConfig().getMaxDocIDLength();
    s.fixed = look.index.getConfig().getDocNamesHaveFixSize();
    // Each number's name and the number that name leads back to (0 for
    // a deleted document whose name the maps still hold).
    for (uint64_t n = 1; n <= 9; ++n) {
      std::string name = look.name(n);
      if (!name.empty()) name += " -> " + std::to_string(look.number(name));
      s.names.push_back(name);
    }
  } catch (ItlClException const& e) {
    failure = "load or lookup failed: reason " +
              std::to_string(e.getReasonCode()) + " " +
              (e.getContext() != nullptr ? e.getContext() : "");
  }
  return s;
}

std::vector<std::string> leftovers(std::string const& dir) {
  std::vector<std::string> out;
  for (auto const& e : fs::directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (name.find(".cmt") != std::string::npos ||
        name.find(".#") != std::string::npos)
      out.push_back(name);
  }
  return out;
}

void copyTree(std::string const& from, std::string const& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
}

struct Golden {
  TempDir dir{"migration_golden", fastTempParent()};
  std::string base = dir / "g";
  // Before the migration, after its Prepare (the deleted document merged
  // out: the state its commit starts from), after its commit.
  State before, merged, after;
  int ops = 0, markAt = 0;
  double seconds = 0;

  Golden() {
    fs::create_directories(base);
    EXPECT_TRUE(writeFile(dir / "template.ini",
                          "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = "
                          "ON\nMaxDocumentIDLength = 64\n[IndexV4]\n"
                          "BlockMode = OFF\n"));
    {
      Handle h(base);
      EXPECT_EQ(itlIndexCreate(h.index, (dir / "template.ini").c_str()), 0);
      std::vector<upfix::Document> docs;
      for (std::string const& n : oldNames())
        docs.push_back({n, ItlEnDocumentFormat_Text, "text of " + n});
      EXPECT_EQ(upfix::addDocuments(h.index, docs), "");
    }
    {
      // One document deleted: Prepare merges it out of the maps.
      Handle h(base);
      EXPECT_EQ(migenv::nameMap(h.index, {"gamma"}, false), "");
    }
    std::string failure;
    before = observe(base, failure);
    EXPECT_EQ(failure, "");
    std::string probe = dir / "probe";
    copyTree(base, probe);
    EXPECT_EQ(migrate(probe, 0, 0, true), 0);
    merged = observe(probe, failure);
    EXPECT_EQ(failure, "");
    copyTree(base, probe);
    auto start = Clock::now();
    EXPECT_EQ(migrate(probe, 0, 0), 0);
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ops = gs_hook.count;
    markAt = gs_hook.markAt;
    after = observe(probe, failure);
    EXPECT_EQ(failure, "");
  }
};

// The old or the new state, `expectNew` when known (-1: either, and the
// state before Prepare too); then the next update commits and leaves
// nothing of a commit behind.
void checkAfter(Golden const& g, std::string const& dir, std::string const& what,
                int expectNew) {
  std::string failure;
  State s = observe(dir, failure);
  ASSERT_EQ(failure, "") << what;
  bool isOld = s == g.merged || (expectNew < 0 && s == g.before);
  bool isNew = s == g.after;
  ASSERT_TRUE(isOld || isNew) << what << ": a mix\n  found  " << s.text()
                              << "\n  old    " << g.merged.text()
                              << "\n  new    " << g.after.text();
  if (expectNew >= 0) {
    EXPECT_EQ(isNew, expectNew == 1) << what << " " << s.text();
  }
  std::string next = isNew ? newName("next") : "next";
  {
    Handle h(dir);
    ASSERT_EQ(upfix::addDocuments(
                  h.index, {{next, ItlEnDocumentFormat_Text, "next words"}}),
              "")
        << what;
  }
  Handle h(dir);
  migenv::Lookup look(h.index);
  EXPECT_EQ(look.number(next), 9u) << what;
  EXPECT_EQ(leftovers(dir), std::vector<std::string>{}) << what;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int kStride = 3;
constexpr int kRandomKills = 5;
#else
constexpr int kStride = 1;
constexpr int kRandomKills = 15;
#endif

bool interruptAt(Golden const& g, int k) {
  return k % kStride == 0 || k == 1 || k >= g.ops ||
         (k >= g.markAt - 2 && k <= g.markAt + 2);
}

TEST(DocMapMigrationCrash, KilledBeforeEveryOperationAndAtRandom) {
  Golden g;
  ASSERT_NE(g.before, g.merged);
  ASSERT_NE(g.merged, g.after);
  ASSERT_EQ(g.after.length, 32);
  ASSERT_GT(g.markAt, 0);
  std::string run = g.dir / "run";
  uint32_t seed = testSeed();
  std::mt19937 random(seed);
  for (int k = 1; k <= g.ops + kRandomKills; ++k) {
    bool precise = k <= g.ops;
    if (precise && !interruptAt(g, k)) continue;
    copyTree(g.base, run);
    std::uniform_real_distribution<double> delay(0, g.seconds * 1.2);
    int status = tiRunChildAndKill(
        [&] { return migrate(run, precise ? k : 0, 0) == 0 ? 0 : 3; },
        precise, precise ? 0.0 : delay(random));
    std::string what = (precise ? "kill before operation " : "random kill ") +
                       std::to_string(k) + " of " + std::to_string(g.ops);
    ASSERT_TRUE(tiKilledOrSucceeded(status, precise)) << what;
    checkAfter(g, run, what, precise ? (k > g.markAt ? 1 : 0) : -1);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(DocMapMigrationCrash, OperationRefused) {
  Golden g;
  std::string run = g.dir / "run";
  for (int k = 1; k <= g.ops; ++k) {
    if (!interruptAt(g, k)) continue;
    copyTree(g.base, run);
    std::string what = "operation " + std::to_string(k) + " of " +
                       std::to_string(g.ops) + " refused";
    int rc = migrate(run, 0, k);
    EXPECT_EQ(rc, 8) << what;
    checkAfter(g, run, what, k > g.markAt ? 1 : 0);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
