// The commit journal: the mark's bytes, the steps a commit accepts, what
// recovery and the readers' roll-forward leave for every state of a switch
// (with and without a mark), and a commit failing at each file operation.
// Half and deleted-document directories are plain directories holding a
// file "tag" whose text tells which version they are.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_test_util.hpp"
#include "build/voz_journal.hpp"
#include "files/voz_bigendian.hpp"
#include "files/voz_status.hpp"

namespace {

using Dirs = std::map<std::string, std::string>;  // name -> tag text

_FCTLHEAD SetOf(const std::string& dir, const char* prefix = "Full") {
    _FCTLHEAD f;
    GTRSTATUS st{};
    voz_SetFctlForRead(&f, "idx", dir.c_str(), 0, 0, "KPLQ", prefix, &st);
    return f;
}

// Makes the index directory hold exactly `dirs`.
void Lay(const std::string& idx, const Dirs& dirs) {
    mkdir(idx.c_str(), 0770);
    for (const auto& [name, tag] : dirs) {
        mkdir((idx + "/" + name).c_str(), 0770);
        ASSERT_TRUE(writeFile(idx + "/" + name + "/tag", tag));
    }
}

// Every entry of the index directory; a directory with its tag text, a
// file as "<file>".
Dirs Look(const std::string& idx) {
    Dirs out;
    DIR* d = opendir(idx.c_str());
    if (d == nullptr) return out;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat sb;
        stat((idx + "/" + name).c_str(), &sb);
        out[name] = S_ISDIR(sb.st_mode) ? readFile(idx + "/" + name + "/tag")
                                        : "<file>";
    }
    closedir(d);
    return out;
}

struct StepSpec {
    char kind;
    char slot;
    const char* prefix;
};

VOZJOURNAL JournalOf(const std::string& dir,
                     const std::vector<StepSpec>& steps) {
    VOZJOURNAL j;
    GTRSTATUS st{};
    _FCTLHEAD f = SetOf(dir);
    voz_JnlBegin(&j, &f, &st);
    for (const StepSpec& s : steps)
        voz_JnlAdd(&j, s.kind, s.slot, s.prefix, &st);
    EXPECT_EQ(st.retcode, 0);
    return j;
}

void WriteMarkFile(const std::string& dir, const std::vector<StepSpec>& steps) {
    VOZJOURNAL j = JournalOf(dir, steps);
    std::string bytes(voz_JnlMarkSize(j.count), '\0');
    voz_JnlEncodeMark(&j, reinterpret_cast<uint8_t*>(&bytes[0]));
    ASSERT_TRUE(writeFile(dir + "/idx/voz.JNL", bytes));
}

TEST(JournalMark, BytesOfThreeSteps) {
    VOZJOURNAL j = JournalOf(
        "/d", {{'R', 'M', "Full"}, {'A', 'S', "Full"}, {'R', 'D', "Item"}});
    std::vector<uint8_t> bytes(voz_JnlMarkSize(j.count));
    ASSERT_EQ(bytes.size(), 80u);
    voz_JnlEncodeMark(&j, bytes.data());
    EXPECT_EQ(hexGroups(bytes, 4),
              "564A4E4C 00010003 00000050 00000000 "
              "524D0400 46756C6C 00000000 00000000 00000000 "
              "41530400 46756C6C 00000000 00000000 00000000 "
              "52440400 4974656D 00000000 00000000 00000000 25107BA2");
    VOZJOURNAL back;
    GTRSTATUS st{};
    ASSERT_EQ(voz_JnlDecodeMark(bytes.data(), 80, &back, "m", &st), 0);
    ASSERT_EQ(back.count, 3);
    EXPECT_EQ(back.steps[1].kind, 'A');
    EXPECT_EQ(back.steps[1].slot, 'S');
    EXPECT_STREQ(back.steps[2].prefix, "Item");
    // The checksums are zlib's crc32 of the bytes before them.
    VOZJOURNAL one = JournalOf("/d", {{'R', 'M', "Full"}});
    std::vector<uint8_t> small(voz_JnlMarkSize(1));
    voz_JnlEncodeMark(&one, small.data());
    EXPECT_EQ(hexGroups(small, 4),
              "564A4E4C 00010001 00000028 00000000 524D0400 46756C6C "
              "00000000 00000000 00000000 2AFC4E00");
}

TEST(JournalMark, RefusesEveryDamage) {
    VOZJOURNAL j = JournalOf("/d", {{'R', 'M', "Full"}, {'R', 'D', "Full"}});
    std::vector<uint8_t> good(voz_JnlMarkSize(j.count));
    voz_JnlEncodeMark(&j, good.data());
    // Each damage, then the checksum repaired where it says so.
    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
        bool repair;
        size_t size;
    } cases[] = {
        {"flipped step byte", 21, 'X', false, good.size()},
        {"flipped checksum", 59, 0xFF, false, good.size()},
        {"bad magic", 0, 'X', true, good.size()},
        {"version 2", 5, 2, true, good.size()},
        {"count 0", 7, 0, true, good.size()},
        {"count 3", 7, 3, true, good.size()},
        {"length off", 11, 0x41, true, good.size()},
        {"reserved set", 15, 1, true, good.size()},
        {"kind 'Z'", 16, 'Z', true, good.size()},
        {"slot 'Q'", 17, 'Q', true, good.size()},
        {"prefix length 0", 18, 0, true, good.size()},
        {"prefix length 16", 18, 16, true, good.size()},
        {"byte 3 set", 19, 1, true, good.size()},
        {"byte past the prefix", 24, 'x', true, good.size()},
        {"slash in prefix", 21, '/', true, good.size()},
        {"same slot twice", 37, 'M', true, good.size()},
        {"short by one", 0, 'V', false, good.size() - 1},
        {"header only", 0, 'V', false, 16},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        ASSERT_LT(c.at, bad.size()) << c.what;
        if (c.size == good.size()) {
            ASSERT_NE(bad[c.at], c.value) << c.what;
        }
        bad[c.at] = c.value;
        if (c.repair) {
            // Recompute the checksum by re-encoding around the raw bytes.
            uint32_t crc = 0xFFFFFFFFu;
            for (size_t i = 0; i + 4 < bad.size(); ++i) {
                crc ^= bad[i];
                for (int b = 0; b < 8; ++b) {
                    crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
                }
            }
            crc ^= 0xFFFFFFFFu;
            voz_putBE32(bad.data() + bad.size() - 4, crc);
        }
        VOZJOURNAL out;
        GTRSTATUS st{};
        EXPECT_EQ(voz_JnlDecodeMark(bad.data(), static_cast<uint32_t>(c.size),
                                    &out, "mark", &st),
                  -1)
            << c.what;
        EXPECT_EQ(st.retcode, 16) << c.what;
        EXPECT_EQ(st.errcode, 2416) << c.what;
        EXPECT_STREQ(st.errfname1, "mark") << c.what;
    }
}

TEST(JournalAdd, RefusesBadSteps) {
    struct Case {
        const char* what;
        char kind;
        char slot;
        const char* prefix;
    } cases[] = {{"kind", 'X', 'M', "Full"},
                 {"slot", 'R', 'X', "Full"},
                 {"empty prefix", 'R', 'M', ""},
                 {"null prefix", 'R', 'M', nullptr},
                 {"16-character prefix", 'R', 'M', "ABCDEFGHIJKLMNOP"},
                 {"slash", 'R', 'M', "Fu/l"},
                 {"dot", 'R', 'M', ".."},
                 {"main twice", 'A', 'M', "Full"}};
    for (const Case& c : cases) {
        VOZJOURNAL j = JournalOf("/d", {{'R', 'M', "Full"}});
        GTRSTATUS st{};
        EXPECT_EQ(voz_JnlAdd(&j, c.kind, c.slot, c.prefix, &st), -1) << c.what;
        EXPECT_EQ(st.retcode, 2) << c.what;
        EXPECT_EQ(st.errcode, 2402) << c.what;
        EXPECT_EQ(j.count, 1) << c.what;
    }
    // Sixteen steps fit, the seventeenth does not; a fifteen-character
    // prefix is the longest.
    VOZJOURNAL j = JournalOf("/d", {});
    GTRSTATUS st{};
    const char* slots = "MSD";
    for (int i = 0; i < 16; ++i) {
        std::string prefix = "P" + std::to_string(i) + "ABCDEFGHIJKL";
        prefix.resize(15, 'x');
        ASSERT_EQ(voz_JnlAdd(&j, 'R', slots[i % 3], prefix.c_str(), &st), 0)
            << i;
    }
    EXPECT_EQ(voz_JnlAdd(&j, 'R', 'M', "Last", &st), -1);
    EXPECT_EQ(st.errcode, 2402);
    _FCTLHEAD f = SetOf(std::string(2070, 'd'));
    GTRSTATUS tooLong{};
    EXPECT_EQ(voz_JnlBegin(&j, &f, &tooLong), -1);
    EXPECT_EQ(tooLong.retcode, 35);
    EXPECT_EQ(tooLong.errcode, 2401);
}

// One disk state of the index directory and what recovery and the readers
// leave of it.
struct StateCase {
    const char* what;
    Dirs before;
    std::vector<StepSpec> mark;  // empty: no mark
    Dirs recovered;              // after voz_JnlRecover (sub-index "Full")
};

const std::vector<StateCase>& StateCases() {
    static const std::vector<StateCase> cases = {
        // A replace of main, each state with its mark: always the new part.
        {"S1 mark written",
         {{"Fullmain", "old"}, {"#ullmain", "new"}},
         {{'R', 'M', "Full"}},
         {{"Fullmain", "new"}}},
        {"S2 live set aside",
         {{"%ullmain", "old"}, {"#ullmain", "new"}},
         {{'R', 'M', "Full"}},
         {{"Fullmain", "new"}}},
        {"S3 new in place",
         {{"Fullmain", "new"}, {"%ullmain", "old"}},
         {{'R', 'M', "Full"}},
         {{"Fullmain", "new"}}},
        {"S4 old removed",
         {{"Fullmain", "new"}},
         {{'R', 'M', "Full"}},
         {{"Fullmain", "new"}}},
        {"first commit of an index",
         {{"#ullmain", "new"}},
         {{'R', 'M', "Full"}},
         {{"Fullmain", "new"}}},
        {"stale old beside S1",
         {{"Fullmain", "old"}, {"#ullmain", "new"}, {"%ullmain", "stale"}},
         {{'R', 'M', "Full"}},
         {{"Fullmain", "new"}}},
        {"new part vanished after S2",
         {{"%ullmain", "old"}},
         {{'R', 'M', "Full"}},
         {{"Fullmain", "old"}}},
        // The same states without a mark: the old part wherever it is whole.
        {"S0 before the mark",
         {{"Fullmain", "old"}, {"#ullmain", "new"}},
         {},
         {{"Fullmain", "old"}}},
        {"S2 without mark",
         {{"%ullmain", "old"}, {"#ullmain", "new"}},
         {},
         {{"Fullmain", "old"}}},
        {"S3 without mark",
         {{"Fullmain", "new"}, {"%ullmain", "old"}},
         {},
         {{"Fullmain", "new"}}},
        {"first commit, no mark", {{"#ullmain", "new"}}, {}, {}},
        {"stale old supp",
         {{"Fullsupp", "old"}, {"%ullsupp", "stale"}},
         {},
         {{"Fullsupp", "old"}}},
        // Setting the supp half aside (a merge took it into main).
        {"set aside, marked", {{"Fullsupp", "old"}}, {{'A', 'S', "Full"}}, {}},
        {"set aside, moved", {{"%ullsupp", "old"}}, {{'A', 'S', "Full"}}, {}},
        {"set aside, no mark",
         {{"%ullsupp", "old"}},
         {},
         {{"Fullsupp", "old"}}},
        // Several steps under one mark: never a blend.
        {"main done, deleted list pending",
         {{"Fullmain", "new"},
          {"%ullmain", "old"},
          {"Fulldel", "old"},
          {"#ulldel", "new"}},
         {{'R', 'M', "Full"}, {'R', 'D', "Full"}},
         {{"Fullmain", "new"}, {"Fulldel", "new"}}},
        {"merge: main replaced, supp set aside, lists replaced",
         {{"%ullmain", "old"},
          {"#ullmain", "new"},
          {"Fullsupp", "old"},
          {"Fulldel", "old"},
          {"#ulldel", "new"}},
         {{'R', 'M', "Full"}, {'A', 'S', "Full"}, {'R', 'D', "Full"}},
         {{"Fullmain", "new"}, {"Fulldel", "new"}}},
        {"both sub-indexes under one mark",
         {{"Fullmain", "new"},
          {"%ullmain", "old"},
          {"Itemmain", "old"},
          {"#temmain", "new"}},
         {{'R', 'M', "Full"}, {'R', 'M', "Item"}},
         {{"Fullmain", "new"}, {"Itemmain", "new"}}},
        // Without a mark only the caller's sub-index is cleared.
        {"other sub-index's creation in progress",
         {{"Fullmain", "old"}, {"#ullmain", "new"}, {"#temmain", "building"}},
         {},
         {{"Fullmain", "old"}, {"#temmain", "building"}}},
    };
    return cases;
}

TEST(JournalRecovery, EveryStateOfASwitch) {
    for (const StateCase& c : StateCases()) {
        for (bool reader : {false, true}) {
            TempDir dir("journal_state");
            std::string idx = dir / "idx";
            Lay(idx, c.before);
            if (!c.mark.empty()) WriteMarkFile(dir.path(), c.mark);
            _FCTLHEAD f = SetOf(dir.path());
            std::string what = std::string(c.what) +
                               (reader ? ", reader" : ", recovery");
            // With a mark a reader finishes the commit as recovery does;
            // without one it touches nothing, not even a "#" part (a
            // creation in progress).
            Dirs want = reader && c.mark.empty() ? c.before : c.recovered;
            auto entry = reader ? voz_JnlRollForward : voz_JnlRecover;
            for (int round = 0; round < 2; ++round) {  // idempotent
                GTRSTATUS st{};
                ASSERT_EQ(entry(&f, &st), 0) << what << " " << st.errcode;
                EXPECT_EQ(Look(idx), want) << what;
                EXPECT_EQ(voz_JnlMarkExists(&f), 0) << what;
            }
        }
    }
}

TEST(JournalRecovery, DamagedMarkTouchesNothing) {
    TempDir dir("journal_damaged");
    std::string idx = dir / "idx";
    Dirs before = {{"%ullmain", "old"}, {"#ullmain", "new"}};
    Lay(idx, before);
    WriteMarkFile(dir.path(), {{'R', 'M', "Full"}});
    std::string mark = readFile(idx + "/voz.JNL");
    mark[20] ^= 0x01;
    ASSERT_TRUE(writeFile(idx + "/voz.JNL", mark));
    _FCTLHEAD f = SetOf(dir.path());
    for (auto entry : {voz_JnlRecover, voz_JnlRollForward}) {
        GTRSTATUS st{};
        EXPECT_EQ(entry(&f, &st), -1);
        EXPECT_EQ(st.retcode, 16);
        EXPECT_EQ(st.errcode, 2416);
        EXPECT_NE(std::string(st.errfname1).find("voz.JNL"), std::string::npos);
        before["voz.JNL"] = "<file>";
        EXPECT_EQ(Look(idx), before);
    }
}

TEST(JournalRecovery, MarkLeftUnderItsTemporaryNameIsNoMark) {
    TempDir dir("journal_tmpmark");
    std::string idx = dir / "idx";
    Lay(idx, {{"Fullmain", "old"}, {"#ullmain", "new"}});
    ASSERT_TRUE(writeFile(idx + "/voz.JNL.tmp", "VJNL"));
    _FCTLHEAD f = SetOf(dir.path());
    GTRSTATUS st{};
    ASSERT_EQ(voz_JnlRecover(&f, &st), 0);
    EXPECT_EQ(Look(idx), (Dirs{{"Fullmain", "old"}}));
}

TEST(JournalCommit, MergeCommitLeavesOnlyTheNewParts) {
    TempDir dir("journal_commit");
    std::string idx = dir / "idx";
    Lay(idx, {{"Fullmain", "old"},
              {"#ullmain", "new"},
              {"Fullsupp", "old"},
              {"Fulldel", "old"},
              {"#ulldel", "new"},
              {"Itemmain", "item"}});
    VOZJOURNAL j =
        JournalOf(dir.path(),
                  {{'R', 'M', "Full"}, {'A', 'S', "Full"}, {'R', 'D', "Full"}});
    GTRSTATUS st{};
    ASSERT_EQ(voz_JnlCommit(&j, &st), 0) << st.errcode;
    EXPECT_EQ(
        Look(idx),
        (Dirs{{"Fullmain", "new"}, {"Fulldel", "new"}, {"Itemmain", "item"}}));
}

TEST(JournalCommit, RefusesToStartOverLeftovers) {
    struct Case {
        const char* what;
        Dirs before;
        bool mark;
        int32_t rc, ec;
    } cases[] = {
        {"pending mark",
         {{"Fullmain", "old"}, {"#ullmain", "new"}},
         true,
         17,
         2404},
        {"old part left",
         {{"Fullmain", "old"}, {"#ullmain", "new"}, {"%ullmain", "older"}},
         false,
         17,
         2405},
        {"new part missing", {{"Fullmain", "old"}}, false, 20, 2406},
    };
    for (const Case& c : cases) {
        TempDir dir("journal_refuse");
        std::string idx = dir / "idx";
        Lay(idx, c.before);
        Dirs before = c.before;
        if (c.mark) {
            WriteMarkFile(dir.path(), {{'R', 'D', "Full"}});
            before["voz.JNL"] = "<file>";
        }
        VOZJOURNAL j = JournalOf(dir.path(), {{'R', 'M', "Full"}});
        GTRSTATUS st{};
        EXPECT_EQ(voz_JnlCommit(&j, &st), -1) << c.what;
        EXPECT_EQ(st.retcode, c.rc) << c.what;
        EXPECT_EQ(st.errcode, c.ec) << c.what;
        EXPECT_EQ(Look(idx), before) << c.what;
    }
    VOZJOURNAL empty = JournalOf("/d", {});
    GTRSTATUS st{};
    EXPECT_EQ(voz_JnlCommit(&empty, &st), -1);
    EXPECT_EQ(st.errcode, 2403);
}

// Failure injection: the hook fails operations number gFailAt and
// gFailAlso (counted from 1); every operation is recorded.
int gCount = 0, gFailAt = 0, gFailAlso = 0;
std::vector<std::string> gOps;

int FailingHook(const char* op, const char* path) {
    ++gCount;
    std::string p = path;
    gOps.push_back(std::string(op) + " " + p.substr(p.rfind('/') + 1));
    return gCount == gFailAt || gCount == gFailAlso ? 1 : 0;
}

struct HookScope {
    HookScope(int failAt, int failAlso) {
        gCount = 0;
        gFailAt = failAt;
        gFailAlso = failAlso;
        gOps.clear();
        voz_JnlSetTestHook(FailingHook);
    }
    ~HookScope() { voz_JnlSetTestHook(nullptr); }
};

const Dirs kBefore = {{"Fullmain", "old"},
                      {"#ullmain", "new"},
                      {"Fullsupp", "old"},
                      {"Fulldel", "old"},
                      {"#ulldel", "new"}};
const Dirs kAfter = {{"Fullmain", "new"}, {"Fulldel", "new"}};
const std::vector<StepSpec> kMerge = {
    {'R', 'M', "Full"}, {'A', 'S', "Full"}, {'R', 'D', "Full"}};

// Commits the merge with operations failing; returns the status.
GTRSTATUS CommitFailing(const TempDir& dir, int failAt, int failAlso) {
    Lay(dir / "idx", kBefore);
    VOZJOURNAL j = JournalOf(dir.path(), kMerge);
    HookScope hook(failAt, failAlso);
    GTRSTATUS st{};
    voz_JnlCommit(&j, &st);
    return st;
}

TEST(JournalCommit, FailureAtEveryOperationLeavesOldOrNew) {
    int total = 0;
    std::vector<std::string> ops;
    {
        TempDir dir("journal_count");
        GTRSTATUS st = CommitFailing(dir, 0, 0);
        ASSERT_EQ(st.retcode, 0);
        total = gCount;
        ops = gOps;
        EXPECT_EQ(Look(dir / "idx"), kAfter);
    }
    ASSERT_GT(total, 12);
    size_t markAt = 0;
    while (markAt < ops.size() && ops[markAt] != "rename voz.JNL.tmp") ++markAt;
    ASSERT_LT(markAt, ops.size());
    for (int k = 1; k <= total; ++k) {
        TempDir dir("journal_fail");
        GTRSTATUS st = CommitFailing(dir, k, 0);
        std::string where = "failing operation " + std::to_string(k) + " " +
                            ops[static_cast<size_t>(k - 1)];
        Dirs left = Look(dir / "idx");
        if (st.retcode == 0) {
            // Only the fsync behind the removed mark may fail unnoticed.
            EXPECT_EQ(k, total) << where;
            EXPECT_EQ(left, kAfter) << where;
            continue;
        }
        _FCTLHEAD f = SetOf(dir.path());
        if (left.count("voz.JNL") != 0) {
            // Only a failure after every step keeps the mark: the new
            // index is live and recovery finishes.
            EXPECT_EQ(left.at("Fullmain"), "new") << where;
            GTRSTATUS rst{};
            ASSERT_EQ(voz_JnlRecover(&f, &rst), 0) << where;
            EXPECT_EQ(Look(dir / "idx"), kAfter) << where;
        } else {
            // Undone: the old index with the new parts under "#" names,
            // ready for a second try.
            EXPECT_EQ(left, kBefore) << where;
            VOZJOURNAL j = JournalOf(dir.path(), kMerge);
            GTRSTATUS again{};
            ASSERT_EQ(voz_JnlCommit(&j, &again), 0) << where;
            EXPECT_EQ(Look(dir / "idx"), kAfter) << where;
        }
        if (static_cast<size_t>(k) <= markAt) {
            EXPECT_EQ(left, kBefore) << where;
        }
    }
}

TEST(JournalCommit, FailedUndoKeepsTheMarkAndRecoveryFinishes) {
    // Fail the step that moves "#ulldel" in, then the first undo move.
    std::vector<std::string> ops;
    {
        TempDir dir("journal_count");
        CommitFailing(dir, 0, 0);
        ops = gOps;
    }
    int delMove = 0;
    for (size_t i = 0; i < ops.size(); ++i) {
        if (ops[i] == "rename #ulldel") delMove = static_cast<int>(i) + 1;
    }
    ASSERT_GT(delMove, 0);
    TempDir dir("journal_undo");
    GTRSTATUS st = CommitFailing(dir, delMove, delMove + 1);
    EXPECT_EQ(st.retcode, 9);
    EXPECT_EQ(st.errcode, 1807);
    EXPECT_EQ(st.system_errno, EIO);
    Dirs left = Look(dir / "idx");
    ASSERT_EQ(left.count("voz.JNL"), 1u);
    _FCTLHEAD f = SetOf(dir.path());
    GTRSTATUS rst{};
    ASSERT_EQ(voz_JnlRecover(&f, &rst), 0);
    EXPECT_EQ(Look(dir / "idx"), kAfter);
}

}  // namespace
