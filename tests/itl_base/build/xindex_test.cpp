// The X-index: its build from the X-part keys of a regular file set
// (windows against an oracle), the change tables, the derived basic
// information, and the merge of two X-indexes by mapped document number.
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "build/voz_poswrite.hpp"
#include "build/voz_xindex.hpp"
#include "creat_fixture.hpp"
#include "engine_test_util.hpp"
#include "files/voz_file.hpp"
#include "files/voz_keywrite.hpp"
#include "postings/voz_bufferpos.hpp"

using namespace creatfix;

namespace {

// ---- change tables -------------------------------------------------------------

TEST(XindexChanges, SetChgRecNoKeepsRunsAsATable) {
    struct Step {
        int32_t old, shift;
        std::vector<std::pair<int32_t, int32_t>> runs;  // after the call
    };
    const Step steps[] = {
        {5, 0, {{5, 0}}},                    // empty table: appended
        {5, 2, {{5, 2}}},                    // equal old number: replaced
        {8, 2, {{8, 2}}},                    // same shift: the run extends
        {10, 3, {{8, 2}, {10, 3}}},          // new shift: appended
        {12, 3, {{8, 2}, {12, 3}}},
        {13, 2, {{8, 2}, {12, 3}, {13, 2}}}, // an earlier shift again: a new run
    };
    CHGRECNO t{};
    GTRSTATUS st{};
    for (const Step& s : steps) {
        ASSERT_EQ(voz_SetChgRecNo(&t, s.old, s.shift, &st), 0);
        std::vector<std::pair<int32_t, int32_t>> got;
        for (int32_t i = 0; i < t.count; ++i) got.emplace_back(t.runs[i].oldHigh, t.runs[i].shift);
        EXPECT_EQ(got, s.runs) << "after (" << s.old << ", " << s.shift << ")";
    }
    const std::pair<int32_t, int64_t> maps[] = {{0, 2}, {8, 10}, {9, 12}, {12, 15}, {13, 15}, {14, -1}};
    for (const auto& [n, want] : maps) {
        EXPECT_EQ(voz_MapChgRecNo(&t, n), want) << n;
    }
    EXPECT_EQ(voz_MapChgRecNo(nullptr, 7), 7);
    // Growth past the first 1,024 runs keeps every run.
    for (int32_t i = 0; i < 3000; ++i) ASSERT_EQ(voz_SetChgRecNo(&t, 20 + i, i % 2, &st), 0);
    EXPECT_EQ(t.count, 3 + 3000);
    EXPECT_EQ(voz_MapChgRecNo(&t, 21), 22);
    voz_FreeChgRecNo(&t);
    EXPECT_EQ(t.runs, nullptr);
}

TEST(XindexBasic, DerivedFromTheRegularHeader) {
    KEYINFO_0 src;
    memset(&src, 0x5A, sizeof src);
    memcpy(src.version, "V4_0", 4);
    src.xIndexUnitWidth = 2;
    KEYINFO_0 dst;
    voz_SetXindexBasic(&src, &dst);
    EXPECT_EQ(memcmp(dst.version, "V4_0", 4), 0);
    EXPECT_EQ(dst.fixedKeyUnits, src.fixedKeyUnits);
    EXPECT_EQ(dst.headKeyUnits, src.headKeyUnits);
    EXPECT_EQ(dst.unitWidth, 2);
    EXPECT_EQ(memcmp(dst.codeInfo, src.codeInfo, 8), 0);
    EXPECT_EQ(memcmp(dst.options, src.options, 4), 0);
    EXPECT_EQ(memcmp(dst.slots, src.slots, sizeof dst.slots), 0);
    EXPECT_EQ(dst.highestDoc + dst.fixedKeys + dst.varKeys + dst.varRecords, 0u);
    EXPECT_EQ(dst.docGroupLength, 0);
}

// ---- hand-written X-indexes ------------------------------------------------------

// Key text (6 bytes) -> its documents.
using XLists = std::map<std::string, Docs>;

std::string K6(const std::string& s) { return std::string(s).append(6 - s.size(), '\0'); }

_FCTLHEAD XSet(const std::string& dir, int half) {
    _FCTLHEAD fs;
    GTRSTATUS st{};
    voz_SetFctlForRead(&fs, "idx", dir.c_str(), half, 1, "KPLQ", "Full", &st);
    return fs;
}

// Writes one key's documents to the position file; fills rec's list fields.
void WriteList(_FCTLHEAD* fs, const Docs& docs, KEY_REC* rec, GTRSTATUS* st) {
    int64_t start = fs->posOffset;
    int32_t last = -1;
    for (const auto& [doc, positions] : docs) {
        std::vector<uint8_t> data(8 * positions.size() + 16);
        uint32_t n = 0, prev = 0;
        for (int32_t p : positions) {
            n += voz_PosCodeEncode(data.data() + n, static_cast<uint32_t>(p) - prev);
            prev = static_cast<uint32_t>(p);
        }
        uint8_t head[16];
        uint32_t h = voz_PosHeaderEncode(head, static_cast<uint32_t>(doc - last), n);
        voz_fwrite_POSFILE(head, static_cast<int32_t>(h), fs, st);
        voz_fwrite_POSFILE(data.data(), static_cast<int32_t>(n), fs, st);
        last = doc;
    }
    rec->location = static_cast<uint32_t>(start);
    rec->dataLength = static_cast<uint32_t>(fs->posOffset - start);
    rec->docCount = static_cast<uint32_t>(docs.size());
    rec->lastDoc = docs.empty() ? 0xFFFFFFFFu : static_cast<uint32_t>(last);
}

// An X-index of fixed keys `keys` (ascending) and sentence-end slot `slot0`.
void WriteX(_FCTLHEAD* fs, const XLists& keys, const Docs& slot0, uint32_t varKeys = 0) {
    GTRSTATUS st{};
    char dir[VOZ_FNAME_LEN];
    voz_IDXgetFname(dir, fs, VOZ_FT_KEY | VOZ_FT_DIR);
    ASSERT_EQ(mkTreeDir(dir), 0);
    ASSERT_EQ(voz_IDXopen(fs, "wb", &st), 0);
    KEYINFO_0 info{};
    memcpy(info.version, "V4_0", 4);
    info.fixedKeyUnits = 3;
    info.unitWidth = 2;
    WriteList(fs, slot0, &info.slots[0], &st);
    voz_WriteKeyInfo(fs, &info, &st);
    for (const auto& [key, docs] : keys) {
        KEY_REC rec{};
        rec.kind = 'F';
        rec.recCount = 1;
        memcpy(rec.key, key.data(), 6);
        WriteList(fs, docs, &rec, &st);
        voz_WriteKey(fs, &info, &rec, ')', nullptr, &st);
    }
    info.varKeys = varKeys;
    voz_WriteKeyInfo(fs, &info, &st);
    voz_IDXclose(fs, &st);
    ASSERT_OK(st);
}

// Reads an X-index back: its keys in file order with their lists, and the
// lists of its sentence-end slot.
struct XRead {
    KEYINFO_0 info{};
    XLists keys;
    std::vector<std::string> order;
    Docs slot0;
};

XRead ReadX(_FCTLHEAD* fs, GTRSTATUS* st) {
    XRead r;
    if (voz_IDXopen(fs, "rb", st) != 0) return r;
    voz_ReadKeyInfo(fs, &r.info, 0, nullptr, st);
    std::vector<KEY_REC> recs(255);
    for (uint32_t i = 0; i < r.info.fixedRecords && st->retcode == 0; ++i) {
        voz_ReadKey(fs, recs.data(), static_cast<int32_t>(i), st);
        std::string k(reinterpret_cast<const char*>(recs[0].key), 6);
        r.order.push_back(k);
        r.keys[k] = ReadList(fs, recs[0], st);
    }
    if (r.info.slots[0].dataLength > 0) r.slot0 = ReadList(fs, r.info.slots[0], st);
    voz_IDXclose(fs, st);
    return r;
}

class XindexMerge : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.c_str(), 0770);
        // Input 0: X set of main; input 1: X set of supp.
        WriteX(&in0, {{K6("AA"), {{2, {1}}}}, {K6("AB"), {{0, {1, 2}}, {3, {4}}}}},
               {{0, {3}}, {3, {5}}});
        WriteX(&in1, {{K6("AB"), {{0, {5}}, {1, {7}}}}, {K6("CD"), {{2, {3}}}}},
               {{0, {2}}, {2, {4}}});
        GTRSTATUS st{};
        voz_SetChgRecNo(&t0, 1, 0, &st);   // 0, 1 stay
        voz_SetChgRecNo(&t0, 5, 1, &st);   // 2 .. 5 move up by 1
        voz_SetChgRecNo(&t1, 0, 1, &st);   // 0 -> 1
        voz_SetChgRecNo(&t1, 10, 3, &st);  // 1 -> 4, 2 -> 5
    }
    void TearDown() override {
        voz_FreeChgRecNo(&t0);
        voz_FreeChgRecNo(&t1);
    }
    int merge(GTRSTATUS* st, int base = 1) {
        VOZXMERGEIN in[2] = {{&in0, &t0}, {&in1, &t1}};
        return voz_MergeXindex(base, nullptr, in, &out, 'N', nullptr, st);
    }
    TempDir tmp{"xmerge"};
    std::string dir = tmp.path() + "/out";
    _FCTLHEAD in0 = XSet(dir, 0), in1 = XSet(dir, 1), out = XSet(dir, 2);
    CHGRECNO t0{}, t1{};
};

TEST_F(XindexMerge, KeysJoinAndEntriesMergeByMappedNumber) {
    GTRSTATUS st{};
    ASSERT_EQ(merge(&st), 0);
    ASSERT_OK(st);
    _FCTLHEAD rd = XSet(dir, 2);
    XRead r = ReadX(&rd, &st);
    ASSERT_OK(st);
    EXPECT_EQ(r.order, (std::vector<std::string>{K6("AA"), K6("AB"), K6("CD")}));
    EXPECT_EQ(r.keys[K6("AA")], (Docs{{3, {1}}}));
    // "AB": input 0 gives 0 and 3 -> 4; input 1 gives 0 -> 1 and 1 -> 4,
    // where input 0's entry wins the tie.
    EXPECT_EQ(r.keys[K6("AB")], (Docs{{0, {1, 2}}, {1, {5}}, {4, {4}}}));
    EXPECT_EQ(r.keys[K6("CD")], (Docs{{5, {3}}}));
    EXPECT_EQ(r.slot0, (Docs{{0, {3}}, {1, {2}}, {4, {5}}, {5, {4}}}));
    EXPECT_EQ(r.info.fixedKeys, 3u);
    EXPECT_EQ(r.info.highestDoc, 5u);
    EXPECT_EQ(memcmp(r.info.version, "V4_0", 4), 0);
}

TEST_F(XindexMerge, AMissingInputCountsAsEmpty) {
    GTRSTATUS st{};
    _FCTLHEAD none = XSet(tmp.path() + "/nothing", 0);
    VOZXMERGEIN in[2] = {{&in0, &t0}, {&none, nullptr}};
    ASSERT_EQ(voz_MergeXindex(0, nullptr, in, &out, 'N', nullptr, &st), 0);
    _FCTLHEAD rd = XSet(dir, 2);
    XRead r = ReadX(&rd, &st);
    ASSERT_OK(st);
    EXPECT_EQ(r.order, (std::vector<std::string>{K6("AA"), K6("AB")}));
    EXPECT_EQ(r.keys[K6("AB")], (Docs{{0, {1, 2}}, {4, {4}}}));
}

TEST_F(XindexMerge, InconsistentInputsAreRefused) {
    {   // an input with X-part keys of its own is no X-index
        WriteX(&in1, {{K6("AB"), {{0, {5}}}}}, {}, 1);
        GTRSTATUS st{};
        EXPECT_EQ(merge(&st), -1);
        EXPECT_RC(st, 17, 605);
        in1 = XSet(dir, 1);
        WriteX(&in1, {{K6("AB"), {{0, {5}}, {1, {7}}}}}, {});
    }
    {   // a document no run covers
        CHGRECNO shortTable{};
        GTRSTATUS st{};
        voz_SetChgRecNo(&shortTable, 0, 0, &st);
        VOZXMERGEIN in[2] = {{&in0, &t0}, {&in1, &shortTable}};
        EXPECT_EQ(voz_MergeXindex(1, nullptr, in, &out, 'N', nullptr, &st), -1);
        EXPECT_RC(st, 17, 608);
        voz_FreeChgRecNo(&shortTable);
    }
}

// ---- the build from a regular file set ---------------------------------------------

constexpr uint8_t kStart = 17, kEnd = 18;

void SetMark(char kind, uint8_t* unit, uint8_t mark, int16_t) {
    unit[0] = static_cast<uint8_t>(kind);
    unit[1] = mark;
}

// Rewrites 'Q' to 'q' in the units' first bytes: 0 when it rewrote one.
int32_t FoldQ(uint8_t* units, int32_t length, int16_t width) {
    int32_t r = 4;
    for (int32_t i = 0; i + width <= length; i += width)
        if (units[i] == 'Q') units[i] = 'q', r = 0;
    return r;
}

// Marks every key passing: all X-part keys are filtered.
int32_t AllMarked(char, const uint8_t*, uint8_t, int16_t) { return 1; }

GTRCREATEPARM XParm() {
    GTRCREATEPARM p = Parm();
    p.options[0] = kStart;
    p.options[1] = kEnd;
    p.markSetter = SetMark;
    p.unitEquivalence = FoldQ;
    return p;
}

// Unit text of two-byte units: each character, then 01.
std::string U(const std::string& s) {
    std::string u;
    for (char c : s) u.append(1, c).append(1, '\x01');
    return u;
}

// The windows of `units` units that the build must post for `keys` (in
// key order, document k by record count), as the X-index lists and the
// sentence-end slot.
void Oracle(const std::vector<std::string>& keys, int32_t units, XLists* lists, Docs* slot0) {
    int32_t k = 0, w = 2 * units;
    for (const std::string& key : keys) {
        int32_t len = static_cast<int32_t>(key.size());
        std::string text = std::string{'S', char(kStart)} + key +
                           std::string{'E', char(kEnd)} + std::string(6, '\0');
        auto post = [&](std::string win, int32_t pos) {
            win = K6(win);
            (*lists)[win][k].push_back(pos);
            std::string v = win;
            if (FoldQ(reinterpret_cast<uint8_t*>(&v[0]), w, 2) == 0) (*lists)[v][k].push_back(pos);
        };
        int32_t windows = len / 2 + 1;
        for (int32_t i = 0; i < windows; ++i) post(text.substr(2 * i, w), i + 1);
        (*slot0)[k].push_back(windows + 1);
        if (units == 1) post(std::string{'E', char(kEnd)}, windows + 1);
        if (len < w) post(key, 2);
        int32_t records = len <= 6 ? 1 : 1 + (len - 6 + 21) / 22;
        k += records;
    }
    for (auto& [win, docs] : *lists)
        for (auto& [d, pos] : docs) std::sort(pos.begin(), pos.end());
}

// Builds a regular main half of "idx" in `out` whose X part holds `keys`
// (given in key order) and returns its descriptor.
_FCTLHEAD RegularWithKeys(const std::string& out, const std::vector<std::string>& keys,
                          GTRCREATEPARM p) {
    Cycle c;
    c.start(p);
    EXPECT_EQ(c.st.retcode, 0);
    const uint8_t fixed[2] = {'Z', 1};
    for (size_t i = 0; i < keys.size(); ++i) {
        VOZ_pattPool(c.cwp, ')', fixed, static_cast<int32_t>(i), 1, 0, &c.st);
        VOZ_pattPool(c.cwp, ')', reinterpret_cast<const uint8_t*>(keys[i].data()),
                     static_cast<int32_t>(i), 2, static_cast<int32_t>(keys[i].size() / 2), &c.st);
    }
    EXPECT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), 0);
    _FCTLHEAD fs;
    voz_SetFctlForRead(&fs, "idx", out.c_str(), 0, 0, "KPLQ", "Full", &c.st);
    char dir[VOZ_FNAME_LEN], key[VOZ_FNAME_LEN], pos[VOZ_FNAME_LEN];
    voz_IDXgetFname(dir, &fs, VOZ_FT_KEY | VOZ_FT_DIR);
    voz_IDXgetFname(key, &fs, VOZ_FT_KEY);
    voz_IDXgetFname(pos, &fs, VOZ_FT_POS);
    EXPECT_EQ(mkTreeDir(dir), 0);
    voz_FileCopy((c.work + "/idx.K00").c_str(), key, &c.st);
    voz_FileCopy((c.work + "/idx.P00").c_str(), pos, &c.st);
    EXPECT_EQ(c.st.retcode, 0) << c.st.errcode;
    return fs;
}

class XindexCreate : public ::testing::TestWithParam<int> {};

TEST_P(XindexCreate, EveryWindowOfEveryXPartKeyIsPosted) {
    const int units = GetParam();  // window length N
    TempDir tmp{"xcreate"};
    std::string out = tmp.path() + "/out";
    mkdir(out.c_str(), 0770);
    // Key order of the pool: by head bytes, then length. A short key (one
    // record, under a window of 3), one of 5 units (two records) and one of
    // 16 units (three records); 'Q' units have variants.
    std::vector<std::string> keys = {U("AQ"), U("BCDEF"), U("BQRSTUVWXYZabcde")};
    GTRCREATEPARM p = XParm();
    p.headKeyUnits = static_cast<int16_t>(units);
    _FCTLHEAD regular = RegularWithKeys(out, keys, p);
    Cycle x;
    x.start(p);
    ASSERT_OK(x.st);
    KEYINFO_0 keep = x.cwp->basicInfo;
    _FCTLHEAD* keepTarget = x.cwp->targetSet;
    _FCTLHEAD target = XSet(out, 0);
    ASSERT_EQ(voz_CreateXindex(&regular, x.cwp, &target, &x.st), 0);
    ASSERT_OK(x.st);
    // The work block is as it was.
    EXPECT_EQ(memcmp(&keep, &x.cwp->basicInfo, sizeof keep), 0);
    EXPECT_EQ(x.cwp->targetSet, keepTarget);
    XLists want;
    Docs wantEnd;
    Oracle(keys, units, &want, &wantEnd);
    _FCTLHEAD rd = XSet(out, 0);
    XRead got = ReadX(&rd, &x.st);
    ASSERT_OK(x.st);
    EXPECT_EQ(got.info.fixedKeyUnits, units);
    EXPECT_EQ(got.info.headKeyUnits, 0);
    EXPECT_EQ(got.info.varKeys, 0u);
    for (const auto& [w, docs] : got.keys) {
        EXPECT_TRUE(want.count(w)) << "unexpected window "
                                   << hexGroups(std::vector<uint8_t>(w.begin(), w.end()), 2);
    }
    ASSERT_EQ(got.keys.size(), want.size());
    for (const auto& [w, docs] : want) {
        EXPECT_EQ(got.keys[w], docs) << "window " << w;
    }
    EXPECT_EQ(got.slot0, wantEnd);
    EXPECT_EQ(got.slot0.rbegin()->first, 3);   // the third key is document 1 + 2
}

INSTANTIATE_TEST_SUITE_P(WindowUnits, XindexCreate, ::testing::Values(3, 2, 1));

TEST(XindexCreateMarked, MarkedKeysAreSkippedAndNoKeysGiveAHeaderOnly) {
    TempDir tmp{"xcreate"};
    std::string out = tmp.path() + "/out";
    mkdir(out.c_str(), 0770);
    GTRCREATEPARM p = XParm();
    p.options[3] = 1;
    p.keyCallback = AllMarked;  // words 56 and 76 of the regular set agree
    _FCTLHEAD regular = RegularWithKeys(out, {U("AB"), U("CDEF")}, p);
    Cycle x;
    x.start(p);
    _FCTLHEAD target = XSet(out, 0);
    ASSERT_EQ(voz_CreateXindex(&regular, x.cwp, &target, &x.st), 0);
    ASSERT_OK(x.st);
    _FCTLHEAD rd = XSet(out, 0);
    XRead got = ReadX(&rd, &x.st);
    ASSERT_OK(x.st);
    EXPECT_TRUE(got.keys.empty());
    EXPECT_TRUE(got.slot0.empty());
    EXPECT_EQ(memcmp(got.info.version, "V4_0", 4), 0);
    // The regular header counted every variable key as marked.
    _FCTLHEAD rr = regular;
    KEYINFO_0 info;
    ASSERT_EQ(voz_IDXopen(&rr, "rb", &x.st), 0);
    voz_ReadKeyInfo(&rr, &info, 0, nullptr, &x.st);
    voz_IDXclose(&rr, &x.st);
    EXPECT_EQ(info.varKeys, info.filteredVarKeys);
}

}  // namespace
