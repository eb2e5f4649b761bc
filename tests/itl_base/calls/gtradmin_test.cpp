// Tests of the whole-index calls VOZ_deleteIndex, VOZ_moveIndex and
// GTRverifyIndex over indexes with a text and an item sub-index: which
// sub-indexes are touched (processed_index), the fall-back of a move whose
// rename fails, the argument refusals, and their binary-trace records
// against a fixture.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "gtrcreate_fixture.hpp"
#include "gtrquery_fixture.hpp"
#include "calls/voz_btrace.hpp"
#include "calls/voz_gtradmin.hpp"

using namespace gtrfix;
namespace fs = std::filesystem;

namespace {

// Index "idx" in env.out: documents first..first+count-1 with text and,
// when `items`, one character item each.
void Build(Env& env, int32_t first, int32_t count, bool items, char op = 'N') {
    GTRHCREATEPARM p = HParm(items ? 3 : 1);
    env.init(&p, op);
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    for (int32_t d = first; d < first + count; ++d) {
        int32_t start = 0;
        env.doc("text of document " + std::to_string(d), d, &start);
        ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
        if (!items) continue;
        gqfix::addBlueItem(env, d);
        ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    }
    env.finish();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
}

// GTRverifyIndex with `option`: the six figures, or the failure's codes.
std::vector<int32_t> Verify(const std::string& dir, const std::string& name,
                            int8_t option, GTRSTATUS* st = nullptr) {
    GTRSTATUS mine{};
    GTRSTATUS* s = st != nullptr ? st : &mine;
    GTRVERIFYINFO info;
    memset(&info, 0x33, sizeof info);
    GTRverifyIndex(name.c_str(), dir.c_str(), nullptr, option, &info, s);
    if (s->retcode != 0) return {-1000 - s->retcode, s->errcode};
    return {info.mainLowest, info.mainHighest, info.mainCount,
            info.suppLowest, info.suppHighest, info.suppCount};
}

const int8_t kText = 0x48;  // text sub-index, quiet
const int8_t kItem = 0x08;

}  // namespace

TEST(GtrAdmin, DeleteIndexSkipsAMissingSubIndex) {
    Env env;
    Build(env, 1, 6, false);
    VOZ_deleteIndex(3, "idx", env.out.c_str(), &env.st);
    EXPECT_STATUS(env.st, 0, 0);
    EXPECT_EQ(env.st.processed_index, 0x80);
    EXPECT_FALSE(fs::exists(env.out + "/idx"));

    Build(env, 1, 6, true);
    VOZ_deleteIndex(2, "idx", env.out.c_str(), &env.st);
    EXPECT_EQ(env.st.processed_index, 0x40);
    EXPECT_EQ(Verify(env.out, "idx", kText), (std::vector<int32_t>{1, 6, 6, -1, -1, 0}));
    EXPECT_EQ(Verify(env.out, "idx", kItem), (std::vector<int32_t>{-1020, 476}));
    VOZ_deleteIndex(3, "idx", env.out.c_str(), &env.st);
    EXPECT_STATUS(env.st, 0, 0);
    EXPECT_EQ(env.st.processed_index, 0x80);
    // Nothing there at all: success, nothing processed.
    VOZ_deleteIndex(3, "idx", env.out.c_str(), &env.st);
    EXPECT_STATUS(env.st, 0, 0);
    EXPECT_EQ(env.st.processed_index, 0);

    const std::string longName(2040, 'n');
    struct Case {
        int8_t func;
        const char *name, *dir;
        int32_t rc, ec;
    } cases[] = {{8, "idx", "out", 2, 2673},  {0, "idx", "out", 2, 2673},
                 {4, "idx", "out", 2, 2673},  {5, "idx", "out", 2, 2673},
                 {1, nullptr, "out", 2, 2671}, {1, "idx", nullptr, 2, 2671},
                 {1, longName.c_str(), "out/deeper", 35, 2672}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ec);
        env.st.retcode = 99;
        VOZ_deleteIndex(c.func, c.name, c.dir, &env.st);
        EXPECT_STATUS(env.st, c.rc, c.ec);
    }
}

// A deletion cut anywhere (one entry of the index already gone, e.g. the
// first segment of a key file whose directory is still there) is
// completed by the next one: success and nothing left.
TEST(GtrAdmin, RepeatedDeleteCompletesACutOne) {
    Env golden;
    Build(golden, 1, 6, true);
    std::vector<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(golden.out + "/idx"))
        entries.push_back(fs::relative(e.path(), golden.out).string());
    ASSERT_GT(entries.size(), 8u);
    for (const std::string& entry : entries) {
        SCOPED_TRACE(entry);
        TempDir copy("gtrcut");
        fs::copy(golden.out, copy.path(), fs::copy_options::recursive);
        fs::remove_all(copy.path() + "/" + entry);
        GTRSTATUS st{};
        VOZ_deleteIndex(3, "idx", copy.path().c_str(), &st);
        EXPECT_STATUS(st, 0, 0);
        EXPECT_FALSE(fs::exists(copy.path() + "/idx"));
    }
}

TEST(GtrAdmin, MoveRenamesCopiesOrMovesBothSubIndexes) {
    Env env;
    Build(env, 1, 8, true);
    Build(env, 9, 3, true, 'A');
    const std::vector<int32_t> want{1, 8, 8, 9, 11, 3};
    // 'R': a new name in the same directory.
    VOZ_moveIndex('R', "idx", env.out.c_str(), "renamed", &env.st);
    EXPECT_STATUS(env.st, 0, 0);
    EXPECT_EQ(env.st.processed_index, 0xC0);
    EXPECT_FALSE(fs::exists(env.out + "/idx"));
    EXPECT_EQ(Verify(env.out, "renamed", kText), want);
    EXPECT_EQ(Verify(env.out, "renamed", kItem), want);
    // 'C': a copy under its name in another directory; the source stays.
    const std::string copies = env.tmp.path() + "/copies";
    VOZ_moveIndex('C', "renamed", env.out.c_str(), copies.c_str(), &env.st);
    EXPECT_STATUS(env.st, 0, 0);
    EXPECT_EQ(env.st.processed_index, 0xC0);
    EXPECT_EQ(Verify(copies, "renamed", kText), want);
    EXPECT_EQ(Verify(copies, "renamed", kItem), want);
    EXPECT_EQ(Verify(env.out, "renamed", kText), want);
    // 'C' again: the target root exists.
    VOZ_moveIndex('C', "renamed", env.out.c_str(), copies.c_str(), &env.st);
    EXPECT_STATUS(env.st, 140, 2319);
    // 'M' into a directory that does not exist yet: the rename fails with
    // retcode 9, so both sub-indexes are copied and the source deleted.
    const std::string far = env.tmp.path() + "/far/away";
    VOZ_moveIndex('M', "renamed", env.out.c_str(), far.c_str(), &env.st);
    EXPECT_STATUS(env.st, 0, 0);
    EXPECT_EQ(env.st.processed_index, 0xC0);
    EXPECT_EQ(Verify(far, "renamed", kText), want);
    EXPECT_EQ(Verify(far, "renamed", kItem), want);
    EXPECT_FALSE(fs::exists(env.out + "/renamed"));
    // Neither sub-index: 20.
    VOZ_moveIndex('R', "none", env.out.c_str(), "x", &env.st);
    EXPECT_EQ(env.st.retcode, 20);
    VOZ_moveIndex('M', "none", env.out.c_str(), far.c_str(), &env.st);
    EXPECT_EQ(env.st.retcode, 20);
    VOZ_moveIndex('C', "none", env.out.c_str(), (far + "/x").c_str(), &env.st);
    EXPECT_EQ(env.st.retcode, 20);
    EXPECT_FALSE(fs::exists(far + "/x/none"));

    const std::string longTarget(2048, 't');
    struct Case {
        char function;
        const char *name, *dir, *target;
        int32_t rc, ec;
    } cases[] = {{'X', "idx", "out", "t", 2, 2676},
                 {'R', nullptr, "out", "t", 2, 2674},
                 {'R', "idx", "out", nullptr, 2, 2674},
                 {'R', "idx", "out", longTarget.c_str(), 35, 2675}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ec);
        VOZ_moveIndex(c.function, c.name, c.dir, c.target, &env.st);
        EXPECT_STATUS(env.st, c.rc, c.ec);
    }
}

TEST(GtrAdmin, MoveWhoseCopyFailsKeepsTheSource) {
    Env env;
    Build(env, 1, 5, true);
    // The rename fails with 9 (no such directory) and the copy then fails
    // too (the target path lies under a file): the source must survive.
    const std::string blocker = env.tmp.path() + "/file";
    { std::ofstream(blocker) << "x"; }
    VOZ_moveIndex('M', "idx", env.out.c_str(), (blocker + "/sub").c_str(), &env.st);
    EXPECT_NE(env.st.retcode, 0);
    EXPECT_EQ(Verify(env.out, "idx", kText), (std::vector<int32_t>{1, 5, 5, -1, -1, 0}));
    EXPECT_EQ(Verify(env.out, "idx", kItem), (std::vector<int32_t>{1, 5, 5, -1, -1, 0}));
}

TEST(GtrAdmin, VerifyChoosesTheSubIndexAndMode) {
    Env env;
    Build(env, 2, 4, true);
    GTRSTATUS st{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(Verify(env.out, "idx", 0, &st), (std::vector<int32_t>{2, 5, 4, -1, -1, 0}));
    const std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_EQ(st.processed_index, 0x40);
    EXPECT_NE(shown.find("Verify primary index...\n"), std::string::npos);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Verify(env.out, "idx", kText, &st), (std::vector<int32_t>{2, 5, 4, -1, -1, 0}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(st.processed_index, 0x80);
    // A null docip, an output file, and a failure that still names the
    // sub-index checked.
    const std::string outfn = env.tmp.path() + "/live";
    GTRverifyIndex("idx", env.out.c_str(), outfn.c_str(), kText, nullptr, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(fs::file_size(outfn), 16u);
    EXPECT_EQ(Verify(env.out, "gone", kItem, &st), (std::vector<int32_t>{-1020, 476}));
    EXPECT_EQ(st.processed_index, 0x40);
}

namespace {

// Offset of the status pointer in a trace block of `type` that starts at
// `at` (strings as the writers lay them out: lengths first).
size_t StatusPointerAt(const std::string& b, size_t at, int strings, size_t before,
                       size_t after) {
    size_t off = at + 15 + before;
    size_t total = 0;
    for (int i = 0; i < strings; ++i)
        total += (uint8_t(b[off + 2 * i]) << 8) | uint8_t(b[off + 2 * i + 1]);
    return off + 2 * strings + total + after;
}

// The trace with the time, the process id and the status pointer of every
// block cleared: what stays is the same on every run.
std::string Stable(std::string b) {
    size_t at = 0;
    while (at + 15 <= b.size()) {
        const int type = (uint8_t(b[at + 13]) << 8) | uint8_t(b[at + 14]);
        size_t ptr = 0;
        switch (type) {
        case 11: ptr = StatusPointerAt(b, at, 3, 0, 5); break;
        case 12: ptr = StatusPointerAt(b, at, 3, 1, 0); break;
        case 13: ptr = StatusPointerAt(b, at, 2, 1, 0); break;
        case 14: ptr = at + 15 + 8; break;
        default: return "unexpected type " + std::to_string(type);
        }
        if (ptr + 4 + 1064 + 2 > b.size()) return "short block";
        memset(&b[at + 5], 0, 8);
        memset(&b[ptr], 0, 4);
        at = ptr + 4 + 1064 + 2;
    }
    return b;
}

}  // namespace

TEST(GtrAdmin, EachCallAppendsItsTraceRecordAndTheEndRecord) {
    Env env;  // the current directory is the environment's own
    { std::ofstream("GTRbtrc") << ""; }
    GTRSTATUS st{};
    st.retcode = 7;  // the records carry the status as the caller passed it
    VOZ_deleteIndex(8, "idx", "out", &st);
    VOZ_moveIndex('R', "none", "out", "x", &st);
    GTRverifyIndex("idx", "out", nullptr, kText, nullptr, &st);
    char name[64];
    vozBTraceFileName(name, sizeof name);
    const std::string got = Stable(readFile(name));
    const std::string fixture =
        readFile(std::string(TI_TEST_DATA) + "/calls/btrace_admin.bin");
    ASSERT_EQ(got.size(), fixture.size());
    EXPECT_TRUE(got == fixture);
    unlink(name);
}
