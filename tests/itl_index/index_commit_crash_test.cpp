// Crash and failure tests of the one commit of an index (ItlClIndexCommit):
// a forked child runs an update (new named documents, a new field name and
// a new attribute, a removal) or a merge on a copy of a prepared index and
// is killed with SIGKILL just before each file operation of the commit in
// turn (counted through the library's and the engine's test hooks in one
// run first) and at 15 random moments. A new index object must then find
// the old or the new state whole (count, name-number pairs, field and
// attribute names, deleted count, engine counts and answers), and the next
// update must commit and leave no mark or prepared file behind. The same
// operations refused with EIO give 8: before the mark the old index
// stands, after it the next load shows the new one.
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

#include "build/voz_journal.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "index_fixture.hpp"
#include "itl_deleted_docs.hpp"
#include "itl_docmap_dex.hpp"
#include "itl_file_util.hpp"
#include "itl_index_config.hpp"
#include "itl_name_maps.hpp"
#include "ti_crash_child.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// ---- hooks: one count over the library's and the engine's operations

struct Hook {
  int count = 0;
  int killAt = 0;    // kill before this operation (0: never)
  int refuseAt = 0;  // refuse this operation with EIO (0: never)
  int markAt = 0;    // the operation that renames the commit's mark
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

void arm(int killAt, int refuseAt) {
  gs_hook = Hook{};
  gs_hook.killAt = killAt;
  gs_hook.refuseAt = refuseAt;
  itlSetFileOpTestHook(onOp);
  voz_JnlSetTestHook(onOp);
  vozSetCommitTestHook(onOp);
}

void disarm() {
  itlSetFileOpTestHook(nullptr);
  voz_JnlSetTestHook(nullptr);
  vozSetCommitTestHook(nullptr);
}

// ---- the index and its operations

struct Doc {
  std::string name;
  std::u16string text;
  double price;  // attribute "price" (and "size" when `sized`)
};

// An index object of the copy at `base`.
struct Open {
  ItlClErrorInfo errorInfo;
  ItlClContext context{errorInfo};
  ItlClIndex index;
  explicit Open(std::string const& base)
      : index("abc", (base + "/ix").c_str(), context) {
    index.init();
    index.setWorkingDirectory((base + "/work").c_str());
  }
};

uint64_t numberOf(ItlClIndex& index, std::string const& name) {
  _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
  uint64_t number = 0;
  bool isNew = false;
  index.getDocumentNameMapping().assignDocumentNameToNumber(&id, &number,
                                                            isNew);
  return number;
}

// One update: `docs` added (field `field`, attributes), `removed` removed;
// committed when `commit`, with the hooks armed around the commit alone.
void update(std::string const& base, std::vector<Doc> const& docs,
            std::vector<std::string> const& removed, char const* field,
            bool sized, int killAt = 0, int refuseAt = 0) {
  Open o(base);
  ItlClIndex& index = o.index;
  ItlClIndexCommit::recover(index, true);
  index.load();
  CosClMemoryPool pool{65536, 65536, 256};
  ItlClKernelInterface& kernel = index.getKernelInterface();
  ItlClIndexFileMgr& files = index.getIndexFileMgr();
  files.notifyStartTransaction();
  kernel.openForUpdate(pool, index.getErrorInfo(), false, nullptr);
  unsigned short fieldNo = 0, priceNo = 0, sizeNo = 0;
  bool isNew = false;
  index.getFieldNameMap().assignFieldNameToNumber(field, fieldNo, isNew);
  index.getAttributeNameMap().assignAttributeNameToNumber(
      "price", ItlEnAttributeType_Number, priceNo, isNew);
  if (sized)
    index.getAttributeNameMap().assignAttributeNameToNumber(
        "size", ItlEnAttributeType_Number, sizeNo, isNew);
  for (std::string const& name : removed) {
    uint64_t number = numberOf(index, name);
    _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    index.getDocumentNameMapping().deleteDocumentName(&id);
    kernel.removeDocument(number);
  }
  for (Doc const& d : docs) {
    _ItlStDocumentId id{d.name.data(), static_cast<uint16_t>(d.name.size())};
    uint64_t number = 0;
    index.getDocumentNameMapping().assignDocumentNameToNumber(&id, &number,
                                                              isNew);
    pool.deleteAll();
    kernel.addingToDocument(number, isNew);
    kernel.addDocumentText(
        reinterpret_cast<unsigned short const*>(d.text.data()),
        static_cast<unsigned>(d.text.size()));
    kernel.addField(fieldNo, 0, kernel.getBufferPosition());
    kernel.addNumberItem(priceNo, d.price);
    if (sized) kernel.addNumberItem(sizeNo, d.price * 2);
    kernel.endDocument(false);
  }
  kernel.processUpdate();
  files.notifyEndTransaction();
  arm(killAt, refuseAt);
  try {
    ItlClIndexCommit(index).commitUpdate();
  } catch (...) {
    disarm();
    throw;
  }
  disarm();
}

void merge(std::string const& base, int killAt = 0, int refuseAt = 0) {
  Open o(base);
  ItlClIndex& index = o.index;
  ItlClIndexCommit::recover(index, true);
  index.load();
  ItlClIndexFileMgr& files = index.getIndexFileMgr();
  files.notifyStartMergeTransaction();
  index.getKernelInterface().processMerge();
  files.notifyEndMergeTransaction();
  arm(killAt, refuseAt);
  try {
    ItlClIndexCommit(index).commitMerge();
  } catch (...) {
    disarm();
    throw;
  }
  disarm();
}

std::vector<Doc> firstDocs() {
  return {{"d0", u"alpha red", 1},   {"d1", u"alpha green", 2},
          {"d2", u"beta red", 3},    {"d3", u"beta blue", 4},
          {"d4", u"gamma red", 5},   {"d5", u"gamma green", 6},
          {"d6", u"delta red", 7},   {"d7", u"delta blue", 8},
          {"d8", u"alpha omega", 9}, {"d9", u"beta omega", 10}};
}

// The update under test: two new documents, a new field name and a new
// attribute, one removal.
void theUpdate(std::string const& base, int killAt = 0, int refuseAt = 0,
               bool first = false) {
  std::vector<std::string> removed;
  if (!first) removed.push_back("d1");
  update(base, {{"n1", u"alpha new", 11}, {"n2", u"zeta red", 12}}, removed,
         "f2", true, killAt, refuseAt);
}

// What a reader finds.
struct State {
  uint64_t count = 0, deleted = 0, count0 = 0, count1 = 0;
  std::vector<std::string> names;  // of numbers 1..14 ("" none)
  uint32_t fields = 0, numeric = 0;
  std::vector<kfix::Docs> answers;

  bool operator!=(State const& o) const { return !(*this == o); }
  bool operator==(State const& o) const {
    return count == o.count && deleted == o.deleted && count0 == o.count0 &&
           count1 == o.count1 && names == o.names && fields == o.fields &&
           numeric == o.numeric && answers == o.answers;
  }
  std::string text() const {
    std::string t = "count " + std::to_string(count) + " deleted " +
                    std::to_string(deleted) + " engine " +
                    std::to_string(count0) + "/" + std::to_string(count1) +
                    " fields " + std::to_string(fields) + " attrs " +
                    std::to_string(numeric) + " names";
    for (std::string const& n : names) t += " " + (n.empty() ? "-" : n);
    t += " answers";
    for (kfix::Docs const& a : answers) {
      t += " {";
      for (int32_t d : a) t += std::to_string(d) + ",";
      t += "}";
    }
    return t;
  }
};

State observe(std::string const& base) {
  State s;
  Open o(base);
  ItlClIndex& index = o.index;
  index.load();
  s.count = ifix::documentCount(index);
  index.getDocumentNameMapping().getDeletedDocs().obtainNumberOfDocumentsDeleted(
      s.deleted);
  index.getKernelInterface().obtainNumberOfDocuments(s.count0, s.count1);
  uint16_t size = index.getConfig().getMaxDocIDLength();
  for (uint64_t n = 1; n <= 14; ++n) {
    std::string buffer(size, '\0');
    _ItlStDocumentId id{buffer.data(), size};
    try {
      index.getDocumentNameMapping().mapNumberToDocumentName(n, &id);
      s.names.push_back(buffer.substr(0, id.usDocIdLength));
    } catch (ItlClException const&) {
      s.names.push_back("");
    }
  }
  s.fields = index.getFieldNameMap().getEntryCount();
  s.numeric = index.getAttributeNameMap().getNumericMap().getEntryCount();
  std::string dir = base + "/ix";
  for (char const* w : {"alpha", "red", "new", "zeta", "omega"})
    s.answers.push_back(ifix::find("abc", dir, w));
  s.answers.push_back(kfix::range("abc", (dir + "/").c_str(), 2, 0, 100));
  s.answers.push_back(kfix::range("abc", (dir + "/").c_str(), 3, 0, 100));
  return s;
}

// Files a finished commit must not leave in the index directory.
std::vector<std::string> leftovers(std::string const& base) {
  std::vector<std::string> out;
  for (std::string const& p : ifix::tree(base + "/ix")) {
    std::string name = fs::path(p.back() == '/' ? p.substr(0, p.size() - 1) : p)
                           .filename()
                           .string();
    if (name.find(".cmt") != std::string::npos ||
        name.find(".#") != std::string::npos || name.rfind("voz.JNL", 0) == 0 ||
        name[0] == '#' || name[0] == '%')
      out.push_back(p);
  }
  return out;
}

void copyTree(std::string const& from, std::string const& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
}

// Update: onto ten documents; Create: the first update of an empty index.
enum class Kind { Update, Create, Merge };

// The prepared index: ten documents, and for the merge four removed.
struct Golden {
  TempDir dir{"commit_golden", fastTempParent()};
  std::string base = dir / "g";
  State before, after;
  int ops = 0, markAt = 0;
  double seconds = 0;

  explicit Golden(Kind kind) {
    fs::create_directories(base + "/ix");
    fs::create_directories(base + "/work");
    EXPECT_TRUE(writeFile(base + "/template.ini", ifix::kTemplate));
    {
      Open o(base);
      o.index.adminCreate((base + "/template.ini").c_str());
    }
    if (kind != Kind::Create) update(base, firstDocs(), {}, "f1", false);
    if (kind == Kind::Merge) update(base, {}, {"d2", "d3", "d4", "d5"}, "f1", false);
    before = observe(base);
    std::string probe = dir / "probe";
    copyTree(base, probe);
    auto start = Clock::now();
    run(kind, probe, 0, 0);
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ops = gs_hook.count;
    markAt = gs_hook.markAt;
    after = observe(probe);
  }

  static void run(Kind kind, std::string const& base, int killAt,
                  int refuseAt) {
    if (kind == Kind::Merge) merge(base, killAt, refuseAt);
    else theUpdate(base, killAt, refuseAt, kind == Kind::Create);
  }
};

// Checks the copy at `base` after an interruption: the old or the new
// state, and `expectNew` when it is known; then the next update commits
// and leaves nothing of a commit behind.
void checkAfter(Golden const& g, std::string const& base, char const* what,
                int expectNew, bool nextUpdate = true) {
  State s = observe(base);
  bool isOld = s == g.before, isNew = s == g.after;
  ASSERT_TRUE(isOld || isNew) << what << ": a mix\n  found  " << s.text()
                              << "\n  old    " << g.before.text()
                              << "\n  new    " << g.after.text();
  if (expectNew >= 0) {
    EXPECT_EQ(isNew, expectNew == 1) << what << ": " << s.text();
  }
  if (!nextUpdate) return;
  update(base, {{"z9", u"omega last", 20}}, {}, "f3", false);
  Open o(base);
  EXPECT_EQ(ifix::documentCount(o.index), s.count + 1) << what;
  EXPECT_EQ(o.index.getFieldNameMap().getEntryCount(), s.fields + 1) << what;
  EXPECT_EQ(leftovers(base), std::vector<std::string>{}) << what;
}

// The next update (its recovery and a commit) runs after every third
// interruption, those around the mark and every random kill: the state
// check after each is what tells old from new; the update's clean-up is
// the same for all interruptions on one side of the mark.
bool nextUpdateAfter(Golden const& g, int k) {
  return k % 3 == 0 || k > g.ops || (k >= g.markAt - 2 && k <= g.markAt + 2);
}

// The plain build interrupts every operation. A sanitized build runs each
// child some thirty times slower, so it interrupts every fourth operation,
// the first and last, and all around the mark (the plain build still covers
// every one), and kills at fewer random moments.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kStride = 4;
constexpr int kRandomKills = 5;
#else
constexpr int kStride = 1;
constexpr int kRandomKills = 15;
#endif

bool interruptAt(Golden const& g, int k) {
  return k % kStride == 0 || k == 1 || k >= g.ops ||
         (k >= g.markAt - 2 && k <= g.markAt + 2);
}

void killRuns(Kind kind) {
  Golden g(kind);
  ASSERT_NE(g.before, g.after);
  ASSERT_GT(g.markAt, 0);
  EXPECT_EQ(leftovers(g.base), std::vector<std::string>{});
  std::string base = g.dir / "run";
  uint32_t seed = testSeed();
  std::mt19937 random(seed);
  for (int k = 1; k <= g.ops + kRandomKills; ++k) {
    bool precise = k <= g.ops;
    if (precise && !interruptAt(g, k)) continue;
    copyTree(g.base, base);
    std::uniform_real_distribution<double> delay(0, g.seconds * 1.2);
    int status = tiRunChildAndKill(
        [&] {
          Golden::run(kind, base, precise ? k : 0, 0);
          return 0;
        },
        precise, precise ? 0.0 : delay(random));
    std::string what = (precise ? "kill before operation " : "random kill ") +
                       std::to_string(k) + " of " + std::to_string(g.ops);
    ASSERT_TRUE(tiKilledOrSucceeded(status, precise)) << what;
    // A kill before the mark's rename leaves the old index, after it the
    // new one.
    int expected = precise ? (k > g.markAt ? 1 : 0) : -1;
    checkAfter(g, base, what.c_str(), expected, nextUpdateAfter(g, k));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

void refusalRuns(Kind kind) {
  Golden g(kind);
  std::string base = g.dir / "run";
  for (int k = 1; k <= g.ops; ++k) {
    if (!interruptAt(g, k)) continue;
    copyTree(g.base, base);
    std::string what = "operation " + std::to_string(k) + " of " +
                       std::to_string(g.ops) + " refused";
    int rc = 0;
    try {
      Golden::run(kind, base, 0, k);
    } catch (ItlClException const& e) {
      rc = e.getReturnCode();
    }
    // Only a clean-up after the commit point may shrug a refusal off (the
    // directory fsync after the engine's mark removal, the spent shadow
    // files): the commit then succeeds.
    if (rc == 0) {
      EXPECT_GT(k, g.markAt) << what;
    } else {
      EXPECT_EQ(rc, 8) << what;
    }
    checkAfter(g, base, what.c_str(), k > g.markAt ? 1 : 0,
               nextUpdateAfter(g, k));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(IndexCommitCrash, UpdateKilledAtEveryOperationAndAtRandom) {
  killRuns(Kind::Update);
}

TEST(IndexCommitCrash, UpdateOperationRefused) { refusalRuns(Kind::Update); }

TEST(IndexCommitCrash, FirstUpdateKilledAtEveryOperationAndAtRandom) {
  killRuns(Kind::Create);
}

TEST(IndexCommitCrash, FirstUpdateOperationRefused) {
  refusalRuns(Kind::Create);
}

TEST(IndexCommitCrash, MergeKilledAtEveryOperationAndAtRandom) {
  killRuns(Kind::Merge);
}

TEST(IndexCommitCrash, MergeOperationRefused) { refusalRuns(Kind::Merge); }

// The mark's layout: byte-exact, and every damage refused.
TEST(IndexCommitMark, LayoutAndDamage) {
  std::vector<ItlClIndexCommit::Step> steps = {
      {'E', "", ""}, {'R', ".#tf", ".tf"}, {'D', ".del", ""}};
  std::vector<uint8_t> bytes = ItlClIndexCommit::encodeMark(steps);
  std::vector<uint8_t> head = {'I', 'C', 'M', 'T', 0, 1, 0, 3, 0, 0, 0, 43,
                               0,   0,   0,   0,   'E', 0, 0, 0, 'R', 4, 3, 0,
                               '.', '#', 't', 'f', '.', 't', 'f', 'D', 4, 0, 0,
                               '.', 'd', 'e', 'l'};
  ASSERT_EQ(bytes.size(), 43u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end() - 4), head);
  uint32_t crc = voz_JnlCrc32(bytes.data(), 39);
  EXPECT_EQ(bytes[39], crc >> 24);
  EXPECT_EQ(bytes[42], crc & 0xFF);
  std::vector<ItlClIndexCommit::Step> back;
  ASSERT_TRUE(ItlClIndexCommit::decodeMark(bytes.data(), bytes.size(), back));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[1].from, ".#tf");
  EXPECT_EQ(back[1].to, ".tf");
  // Any flipped byte or cut length is refused.
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::vector<uint8_t> bad = bytes;
    bad[i] ^= 0x20;
    EXPECT_FALSE(ItlClIndexCommit::decodeMark(bad.data(), bad.size(), back))
        << i;
    EXPECT_FALSE(ItlClIndexCommit::decodeMark(bytes.data(), i, back)) << i;
  }
  // Well-formed but unsound steps: a removal before a rename, a path.
  for (auto const& wrong : std::vector<std::vector<ItlClIndexCommit::Step>>{
           {{'D', ".del", ""}, {'R', ".#tf", ".tf"}},
           {{'R', "./../x", ".tf"}},
           {{'R', ".#tf", ""}},
           {{'R', ".#tf", ".tf"}, {'E', "", ""}}}) {
    std::vector<uint8_t> b = ItlClIndexCommit::encodeMark(wrong);
    EXPECT_FALSE(ItlClIndexCommit::decodeMark(b.data(), b.size(), back));
  }
}

// A reader never removes what a commit prepared; an update start does.
TEST(IndexCommitRecovery, LeftoversGoOnlyAtAnUpdateStart) {
  Golden g(Kind::Update);
  std::string base = g.dir / "run";
  copyTree(g.base, base);
  std::string prepared = base + "/ix/abc.#tf";
  ASSERT_TRUE(writeFile(prepared, "partial"));
  ASSERT_TRUE(writeFile(base + "/ix/abc.cmt~", "partial"));
  EXPECT_EQ(observe(base), g.before);
  EXPECT_TRUE(fs::exists(prepared));
  {
    Open o(base);
    ItlClIndexCommit::recover(o.index, true);
  }
  EXPECT_FALSE(fs::exists(prepared));
  EXPECT_FALSE(fs::exists(base + "/ix/abc.cmt~"));
  EXPECT_EQ(observe(base), g.before);
  // A damaged mark is refused and touches nothing.
  ASSERT_TRUE(writeFile(base + "/ix/abc.cmt", "ICMT"));
  Open o(base);
  int reason = 0;
  try {
    o.index.load();
  } catch (ItlClException const& e) {
    reason = e.getReasonCode();
  }
  EXPECT_EQ(reason, ItlEnReasonCode_Index_corrupted);
}

}  // namespace
