// Key file: writers and readers agree, the bytes match a hand-built fixture,
// and every failure reports the right return code and reason.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "files/voz_file.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keyfile_codec.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

namespace fs = std::filesystem;

// A fresh directory under the build tree, removed afterwards.
// One file set "idx" in a temporary directory with its key file.
struct KeySet {
    TempDir dir;
    std::unique_ptr<IDXINFO> idx{new IDXINFO()};
    GTRSTATUS st{};
    explicit KeySet(int set = 0) {
        EXPECT_EQ(0, voz_SetFctlForRead(&idx->fctl, "idx", dir.path().c_str(), 0,
                                        set, "KPLQ", "Full", &st));
    }
    ~KeySet() { close(); }
    _FCTLHEAD* fctl() { return &idx->fctl; }
    std::string name() {
        char buf[VOZ_FNAME_LEN];
        voz_IDXgetFname(buf, fctl(), VOZ_FT_KEY);
        return buf;
    }
    void open(const char* mode) {
        close();
        fctl()->keyFile = voz_XXopen(name().c_str(), mode);
        ASSERT_NE(nullptr, fctl()->keyFile) << name();
    }
    void close() {
        if (fctl()->keyFile != nullptr) {
            EXPECT_EQ(0, voz_XXclose(fctl()->keyFile));
        }
        fctl()->keyFile = nullptr;
    }
    // The key file's bytes (one part: the file is small).
    std::vector<uint8_t> bytes() {
        std::ifstream in(name() + "/0000", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

KEY_REC head(char kind, uint8_t n, std::vector<uint8_t> key, uint32_t loc,
             uint32_t len, uint32_t last, uint32_t docs) {
    KEY_REC r{};
    r.kind = kind;
    r.recCount = n;
    if (!key.empty()) memcpy(r.key, key.data(), key.size());
    r.location = loc;
    r.dataLength = len;
    r.lastDoc = last;
    r.docCount = docs;
    return r;
}

KEY_REC cont(uint8_t n, uint8_t i, uint16_t total, std::vector<uint8_t> key) {
    KEY_CONT c{};
    c.kind = 'C';
    c.recCount = n;
    c.index = i;
    c.keyLength = total;
    if (!key.empty()) memcpy(c.key, key.data(), key.size());
    return voz_KeyContToRec(c);
}

// The keys of the small case, in file order, chains as one entry each.
std::vector<std::vector<KEY_REC>> smallKeys() {
    std::vector<uint8_t> c1;
    for (uint8_t c = 0x73; c < 0x7E; ++c) c1.insert(c1.end(), {c, 1});
    KEY_REC v = head('V', 3, {0x70, 1, 0x71, 1, 0x72, 1}, 0x500, 0x30, 8, 2);
    v.lengthHigh = 2;
    KEY_REC f1 = head('F', 1, {0x61, 1, 0x62, 1}, 0x200, 10, 9, 3);
    f1.locationHigh = 1;
    return {{head('D', 1, {0, 0x0E, 1, 0x0E}, 0x100, 5, 3, 2)},
            {f1},
            {head('F', 1, {0x61, 1, 0x63, 1}, 0x300, 20, 4, 1)},
            {head('F', 1, {0x62, 1}, 0x400, 7, 5, 1)},
            {v, cont(3, 1, 32, c1), cont(3, 2, 0, {0x7E, 1, 0x7F, 1})},
            {head('V', 1, {0x80, 1}, 0x600, 3, 2, 1)}};
}

KEYINFO_0 smallInfo() {
    KEYINFO_0 k{};
    k.fixedKeyUnits = 3;
    k.unitWidth = 2;
    k.codeInfo[0] = 0x11;
    k.codeInfo[2] = 1;
    k.headKeyUnits = 3;
    k.docCount = 7;
    k.sharedBlockKB = 32;
    k.branchBlockKB = 4;
    k.leafBlockKB = 4;
    k.storeParameter = 1500;
    k.indexFlags = VOZ_IDXFLAG_BTREE;
    k.specialLength = 2;
    k.specialLetters[0] = '#';
    k.specialLetters[1] = '@';
    return k;
}

// Writes a whole key file the way the builder does: placeholder header,
// slots and keys, final header, key-index table. Returns the counted header.
KEYINFO_0 writeKeyFile(KeySet& ks, KEYINFO_0 k,
                       const std::vector<std::vector<KEY_REC>>& keys,
                       const std::vector<std::pair<int, KEY_REC>>& slots) {
    ks.open("wb+");
    EXPECT_EQ(0, voz_WriteKeyInfo(ks.fctl(), &k, &ks.st));
    for (auto& [s, rec] : slots)
        EXPECT_EQ(0, voz_WriteKey(ks.fctl(), &k, &rec, static_cast<uint8_t>(s),
                                  nullptr, &ks.st));
    for (auto& chain : keys)
        EXPECT_EQ(0, voz_WriteKey(ks.fctl(), &k, chain.data(), 'K', nullptr, &ks.st));
    EXPECT_EQ(0, voz_WriteKeyInfo(ks.fctl(), &k, &ks.st));
    EXPECT_EQ(0, voz_WriteKeyInfo2(ks.fctl(), &ks.st));
    EXPECT_EQ(0, ks.st.retcode) << ks.st.errcode;
    ks.close();
    return k;
}

std::vector<std::pair<int, KEY_REC>> smallSlots() {
    KEY_REC s5 = head('D', 1, {}, 0x1234, 0, 3, 1);
    s5.level = 2;
    KEY_REC s38 = head('D', 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x10, 0x20, 6, 7);
    s38.level = 1;
    return {{5, s5}, {38, s38}};
}

std::vector<uint8_t> readHexFixture(const std::string& path) {
    std::ifstream in(path);
    std::vector<uint8_t> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream ls(line);
        unsigned v;
        while (ls >> std::hex >> v) out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

bool sameRec(const KEY_REC& a, const KEY_REC& b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

TEST(KeyFileWriter, BytesMatchHandBuiltFixture) {
    KeySet ks;
    uint32_t before = static_cast<uint32_t>(time(nullptr));
    writeKeyFile(ks, smallInfo(), smallKeys(), smallSlots());
    uint32_t after = static_cast<uint32_t>(time(nullptr));
    std::vector<uint8_t> got = ks.bytes();
    std::vector<uint8_t> want =
        readHexFixture(std::string(TI_TEST_DATA) + "/keyfile/small_key.hex");
    ASSERT_EQ(1552u, want.size());
    ASSERT_EQ(want.size(), got.size());
    uint32_t stamp = (uint32_t{got[88]} << 24) | (got[89] << 16) | (got[90] << 8) | got[91];
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    memcpy(want.data() + 88, got.data() + 88, 4);
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(want[i], got[i]) << "first difference at byte " << i;
}

TEST(KeyFileWriter, ReadBackGivesHeaderRecordsAndTable) {
    KeySet ks;
    KEYINFO_0 written = writeKeyFile(ks, smallInfo(), smallKeys(), smallSlots());
    ks.open("rb");
    KEYINFO_0 k;
    KEYIDX_ENTRY* table = nullptr;
    ASSERT_EQ(0, voz_ReadKeyInfo(ks.fctl(), &k, 1, &table, &ks.st));
    std::unique_ptr<KEYIDX_ENTRY, decltype(&free)> own(table, &free);
    // What the writer changes on its way to disk, and the load's own mark.
    written.keyIndexEntries = 2;
    written.maxDocNumber = 9;
    written.writeTime = k.writeTime;
    written.xIndexUnitWidth = 2;
    memcpy(written.version, "V4_0", 4);
    for (int s = 0; s < VOZ_KEY_SLOTS; ++s) {
        KEY_REC& slot = written.slots[s];
        slot.key[0] = static_cast<uint8_t>(s);
        memset(slot.key + 1, 0, 5);
        if (s != 5 && s != 38) slot.lastDoc = 0xFFFFFFFF;
    }
    EXPECT_EQ(0, memcmp(&written, &k, sizeof k));
    EXPECT_EQ(9u, k.highestDoc);
    EXPECT_EQ(4u, k.fixedKeys);
    EXPECT_EQ(4u, k.varRecords);
    ASSERT_NE(nullptr, table);
    EXPECT_EQ(1u, table[0].firstRecord);
    EXPECT_EQ(30u, table[0].dataSum);
    EXPECT_EQ(1u, table[0].rank);
    EXPECT_EQ(3u, table[1].firstRecord);
    EXPECT_EQ(0u, table[1].rank);

    // Records one by one, chains brought in with their head.
    auto keys = smallKeys();
    int32_t r = 0;
    for (auto& chain : keys) {
        KEY_REC got[255];
        ASSERT_EQ(0, voz_ReadKey(ks.fctl(), got, r, &ks.st)) << r;
        for (size_t i = 0; i < chain.size(); ++i)
            EXPECT_TRUE(sameRec(chain[i], got[i])) << "record " << r + i;
        r += static_cast<int32_t>(chain.size());
    }
    // The same records as one converted run; continuations stay as stored.
    KEY_REC run[8];
    ASSERT_EQ(0, voz_ReadKeyMulti(ks.fctl(), run, 0, 8, 1, &ks.st));
    EXPECT_TRUE(sameRec(keys[4][0], run[4]));
    EXPECT_EQ(0x00, run[5].key[2]);  // 00 20 stored: the u16 at bytes 4-5
    EXPECT_EQ(0x20, run[5].key[3]);
    EXPECT_TRUE(sameRec(keys[5][0], run[7]));
}

TEST(KeyFileReader, KeyLengthOfOneRecord) {
    KeySet ks;
    writeKeyFile(ks, smallInfo(), smallKeys(), {});
    ks.open("rb");
    struct { int32_t rec; int32_t len; } cases[] = {
        {1, 4},   // 61 01 62 01 00 00
        {3, 2},   // 62 01
        {4, 32},  // from the first continuation
        {7, 2},   // last record of the file, read alone
    };
    for (auto& c : cases) {
        KEY_REC two[2];
        int32_t len = -1;
        ASSERT_EQ(0, voz_ReadKeyRec_1(ks.fctl(), two, 2, &len, c.rec, &ks.st));
        EXPECT_EQ(c.len, len) << "record " << c.rec;
    }
    uint8_t key3[6] = {0x61, 0x62, 0x63, 0, 0, 0};
    EXPECT_EQ(3, voz_KeyLength1(key3, 3));
    EXPECT_EQ(6, voz_KeyLength1(key3, 6));
    uint8_t none[6] = {};
    EXPECT_EQ(0, voz_KeyLength1(none, 2));
}

TEST(KeyFileReader, ReportsReadsPastTheEndAndBadNumbers) {
    KeySet ks;
    writeKeyFile(ks, smallInfo(), smallKeys(), {});
    fs::resize_file(ks.name() + "/0000", 1296 + 8 * 28);  // drop the table
    ks.open("rb");
    KEY_REC recs[255];
    int32_t len;
    struct Case {
        const char* what;
        int rc, ec;
        std::function<int(GTRSTATUS*)> call;
    } cases[] = {
        {"ReadKey at the end", 19, 207,
         [&](GTRSTATUS* st) { return voz_ReadKey(ks.fctl(), recs, 8, st); }},
        {"ReadKeyRec_1 negative", 17, 210,
         [&](GTRSTATUS* st) { return voz_ReadKeyRec_1(ks.fctl(), recs, 2, &len, -2, st); }},
        {"ReadKeyRec_1 at the end", 19, 212,
         [&](GTRSTATUS* st) { return voz_ReadKeyRec_1(ks.fctl(), recs, 2, &len, 8, st); }},
        {"ReadKeyMulti past the end", 19, 215,
         [&](GTRSTATUS* st) { return voz_ReadKeyMulti(ks.fctl(), recs, 6, 3, 1, st); }},
    };
    for (auto& c : cases) {
        GTRSTATUS st{};
        EXPECT_EQ(-1, c.call(&st)) << c.what;
        EXPECT_EQ(c.rc, st.retcode) << c.what;
        EXPECT_EQ(c.ec, st.errcode) << c.what;
        if (c.rc != 17) {
            EXPECT_EQ(ks.name(), st.errfname1) << c.what;
        }
    }
    // With the key file closed, a read is a seek failure naming the file.
    ks.close();
    GTRSTATUS st{};
    EXPECT_EQ(-1, voz_ReadKey(ks.fctl(), recs, 0, &st));
    EXPECT_EQ(6, st.retcode);
    EXPECT_EQ(206, st.errcode);
}

TEST(KeyFileReader, TruncatedTableIsRefusedAndLeavesNone) {
    KeySet ks;
    writeKeyFile(ks, smallInfo(), smallKeys(), {});
    // Cut the last table entry off the file.
    fs::resize_file(ks.name() + "/0000", 1552 - 8);
    ks.open("rb");
    KEYINFO_0 k;
    KEYIDX_ENTRY* table = reinterpret_cast<KEYIDX_ENTRY*>(&k);  // not null
    EXPECT_EQ(-1, voz_ReadKeyInfo(ks.fctl(), &k, 1, &table, &ks.st));
    EXPECT_EQ(4, ks.st.retcode);
    EXPECT_EQ(205, ks.st.errcode);
    EXPECT_EQ(nullptr, table);
    // A header that claims a vast table is refused before allocating.
    GTRSTATUS st{};
    k.keyIndexEntries = 0xFFFFFFF0u;
    EXPECT_EQ(-1, voz_ReadKeyInfo2(ks.fctl(), &k, &table, &st));
    EXPECT_EQ(205, st.errcode);
    // A header cut short.
    ks.close();
    fs::resize_file(ks.name() + "/0000", 1000);
    ks.open("rb");
    GTRSTATUS st2{};
    EXPECT_EQ(-1, voz_ReadKeyInfo(ks.fctl(), &k, 0, nullptr, &st2));
    EXPECT_EQ(4, st2.retcode);
    EXPECT_EQ(202, st2.errcode);
}

TEST(KeyFileWriter, RefusesBadKindsChainsAndFullCounts) {
    KeySet ks;
    ks.open("wb+");
    KEYINFO_0 k = smallInfo();
    ASSERT_EQ(0, voz_WriteKeyInfo(ks.fctl(), &k, &ks.st));
    KEY_REC bad = head('X', 1, {1}, 0, 1, 0, 1);
    KEY_REC chain[2] = {head('V', 2, {1}, 0, 1, 0, 1), head('F', 1, {2}, 0, 1, 0, 1)};
    KEY_REC fixed = head('F', 1, {1}, 0, 1, 0, 1);
    KEY_REC var = head('V', 1, {1}, 0, 1, 0, 1);
    struct Case {
        const char* what;
        const KEY_REC* rec;
        uint32_t fixedRecords, varRecords;
        int rc, ec;
    } cases[] = {
        {"unknown kind", &bad, 0, 0, 17, 501},
        {"continuation not 'C'", chain, 0, 0, 17, 503},
        {"fixed records full", &fixed, 0x7FFFFFFF, 0, 157, 526},
        {"variable records full", &var, 0, 0x7FFFFFFF, 157, 527},
    };
    for (auto& c : cases) {
        KEYINFO_0 kk = k;
        kk.fixedRecords = c.fixedRecords;
        kk.varRecords = c.varRecords;
        GTRSTATUS st{};
        EXPECT_EQ(-1, voz_WriteKey(ks.fctl(), &kk, c.rec, 'K', nullptr, &st)) << c.what;
        EXPECT_EQ(c.rc, st.retcode) << c.what;
        EXPECT_EQ(c.ec, st.errcode) << c.what;
        EXPECT_EQ(0u, kk.varKeys + kk.fixedKeys) << c.what << ": counted anyway";
    }
    // The last record that fits: 0x7FFFFFFE before, 0x7FFFFFFF after.
    k.fixedRecords = 0x7FFFFFFE;
    EXPECT_EQ(0, voz_WriteKey(ks.fctl(), &k, &fixed, 'K', nullptr, &ks.st));
    EXPECT_EQ(0x7FFFFFFFu, k.fixedRecords);
    // A null record does nothing.
    EXPECT_EQ(0, voz_WriteKey(ks.fctl(), &k, nullptr, 'K', nullptr, &ks.st));
}

int32_t acceptOddKeys(char kind, const uint8_t* key, uint8_t options, int16_t width) {
    EXPECT_EQ('X', kind);
    EXPECT_EQ(0x5A, options);
    EXPECT_EQ(3, width);
    return key[0] & 1;
}

TEST(KeyFileWriter, KeyFilterCountsAcceptedVariableKeys) {
    KeySet ks;
    ks.open("wb+");
    KEYINFO_0 k = smallInfo();
    k.options[3] = 0x5A;
    k.xIndexUnitWidth = 3;
    ASSERT_EQ(0, voz_WriteKeyInfo(ks.fctl(), &k, &ks.st));
    for (uint8_t c = 1; c <= 5; ++c) {
        KEY_REC v = head('V', 1, {c}, 0, 1, 0, 1);
        ASSERT_EQ(0, voz_WriteKey(ks.fctl(), &k, &v, 'K', acceptOddKeys, &ks.st));
    }
    EXPECT_EQ(5u, k.varKeys);
    EXPECT_EQ(3u, k.filteredVarKeys);
}

TEST(KeyFileWriter, TableIsAppendedOnceAndOnlyForFKeys) {
    {   // Running the table builder twice appends the entries once.
        KeySet ks;
        writeKeyFile(ks, smallInfo(), smallKeys(), {});
        EXPECT_EQ(0, voz_WriteKeyInfo2(ks.fctl(), &ks.st));  // opens itself
        EXPECT_EQ(0, ks.st.retcode);
        EXPECT_EQ(1552u, ks.bytes().size());
        EXPECT_EQ(nullptr, ks.fctl()->keyFile);
    }
    {   // No key file to open: 3/514 with its name.
        KeySet ks;
        EXPECT_EQ(-1, voz_WriteKeyInfo2(ks.fctl(), &ks.st));
        EXPECT_EQ(3, ks.st.retcode);
        EXPECT_EQ(514, ks.st.errcode);
        EXPECT_EQ(ks.name(), ks.st.errfname1);
    }
    {   // All fixed keys of kind 'D': no table, the header is still rewritten.
        KeySet ks;
        KEY_REC d1 = head('D', 1, {0, 0x0E, 1, 0x0E}, 0, 1, 0, 1);
        KEY_REC d2 = head('D', 1, {0, 0x0E, 2, 0x0E}, 0, 1, 0, 1);
        writeKeyFile(ks, smallInfo(), {{d1}, {d2}}, {});
        std::vector<uint8_t> b = ks.bytes();
        EXPECT_EQ(1296u + 56u, b.size());
        EXPECT_EQ(0, b[64] | b[65] | b[66] | b[67]);
    }
    {   // Something behind the key records: 16/512, nothing appended.
        KeySet ks;
        KEYINFO_0 k = smallInfo();
        ks.open("wb+");
        ASSERT_EQ(0, voz_WriteKeyInfo(ks.fctl(), &k, &ks.st));
        KEY_REC f = head('F', 1, {0x61, 1}, 0, 1, 0, 1);
        ASSERT_EQ(0, voz_WriteKey(ks.fctl(), &k, &f, 'K', nullptr, &ks.st));
        ASSERT_EQ(0, voz_WriteKeyInfo(ks.fctl(), &k, &ks.st));
        uint8_t junk[5] = {};
        ASSERT_EQ(0, voz_XXseek64(ks.fctl()->keyFile, 0, 2));
        ASSERT_EQ(1u, voz_XXwrite(junk, 5, 1, ks.fctl()->keyFile));
        EXPECT_EQ(-1, voz_WriteKeyInfo2(ks.fctl(), &ks.st));
        EXPECT_EQ(16, ks.st.retcode);
        EXPECT_EQ(512, ks.st.errcode);
        ks.close();
        EXPECT_EQ(1296u + 28u + 5u, ks.bytes().size());
    }
}

TEST(KeyFileWriter, XIndexHeaderCarriesNoDocumentCount) {
    KeySet ks(1);
    writeKeyFile(ks, smallInfo(), smallKeys(), {});
    std::vector<uint8_t> b = ks.bytes();
    EXPECT_EQ(0, b[72] | b[73] | b[74] | b[75]);
    EXPECT_NE(std::string::npos, ks.name().find("voz.LEY"));
}

TEST(KeyFileHeader, SetIndexBasicRefusesOtherVersions) {
    std::unique_ptr<IDXINFO> idx(new IDXINFO());
    KEYINFO_0 k = smallInfo();
    GTRSTATUS st{};
    memcpy(k.version, "V3_9", 4);
    EXPECT_EQ(-1, voz_SetIndexBasic(idx.get(), &k, &st));
    EXPECT_EQ(23, st.retcode);
    EXPECT_EQ(232, st.errcode);
    memcpy(k.version, VOZ_getPgmVersion(), 4);
    GTRSTATUS ok{};
    EXPECT_EQ(0, voz_SetIndexBasic(idx.get(), &k, &ok));
    EXPECT_EQ(6, idx->keyCmpLen);
    EXPECT_EQ(1500, idx->info.storeParameter);
}

// Headers that no writer makes are refused before anything is sized from
// them; the geometries a writer makes are taken.
TEST(KeyFileHeader, SetIndexBasicRefusesGeometryNoWriterMakes) {
    struct Case {
        const char* what;
        std::function<void(KEYINFO_0*)> damage;
        int32_t reason;  // 0: accepted
        uint16_t cmpLen;
    };
    const Case cases[] = {
        {"units FFFF, width FF00", [](KEYINFO_0* k) { k->fixedKeyUnits = 0xFFFF; k->unitWidth = 0xFF00; }, 240, 0},
        {"units FF00, width FFFF", [](KEYINFO_0* k) { k->fixedKeyUnits = 0xFF00; k->unitWidth = 0xFFFF; }, 240, 0},
        {"units FFFF, width 1", [](KEYINFO_0* k) { k->fixedKeyUnits = 0xFFFF; k->unitWidth = 1; }, 241, 0},
        {"16-bit product wraps to 0", [](KEYINFO_0* k) { k->fixedKeyUnits = 0x8000; k->unitWidth = 2; }, 241, 0},
        {"width 0", [](KEYINFO_0* k) { k->unitWidth = 0; }, 240, 0},
        {"width 5", [](KEYINFO_0* k) { k->fixedKeyUnits = 1; k->unitWidth = 5; }, 240, 0},
        {"no units", [](KEYINFO_0* k) { k->fixedKeyUnits = 0; }, 241, 0},
        {"8 key bytes", [](KEYINFO_0* k) { k->fixedKeyUnits = 4; }, 241, 0},
        {"D records above fixed keys", [](KEYINFO_0* k) { k->dKindRecords = 1; }, 242, 0},
        {"fixed keys above records", [](KEYINFO_0* k) { k->fixedKeys = 1; }, 242, 0},
        {"V keys above records", [](KEYINFO_0* k) { k->varKeys = 3; k->varRecords = 2; }, 242, 0},
        {"table above fixed records", [](KEYINFO_0* k) { k->keyIndexEntries = 1; }, 242, 0},
        {"special length 17", [](KEYINFO_0* k) { k->specialLength = 17; }, 242, 0},
        {"6 units of 1", [](KEYINFO_0* k) { k->fixedKeyUnits = 6; k->unitWidth = 1; }, 0, 6},
        {"1 unit of 4", [](KEYINFO_0* k) { k->fixedKeyUnits = 1; k->unitWidth = 4; }, 0, 4},
        {"2 units of 3", [](KEYINFO_0* k) { k->fixedKeyUnits = 2; k->unitWidth = 3; }, 0, 6},
        {"counts that fit", [](KEYINFO_0* k) { k->dKindRecords = 2; k->fixedKeys = 5; k->fixedRecords = 5; k->keyIndexEntries = 5; k->specialLength = 16; }, 0, 6},
    };
    for (const Case& c : cases) {
        std::unique_ptr<IDXINFO> idx(new IDXINFO());
        KEYINFO_0 k = smallInfo();
        memcpy(k.version, VOZ_getPgmVersion(), 4);
        c.damage(&k);
        GTRSTATUS st{};
        int rc = voz_SetIndexBasic(idx.get(), &k, &st);
        if (c.reason == 0) {
            EXPECT_EQ(0, rc) << c.what;
            EXPECT_EQ(c.cmpLen, idx->keyCmpLen) << c.what;
        } else {
            EXPECT_EQ(-1, rc) << c.what;
            EXPECT_EQ(17, st.retcode) << c.what;
            EXPECT_EQ(c.reason, st.errcode) << c.what;
            EXPECT_EQ(0, idx->keyCmpLen) << c.what;
        }
    }
}

// The header bytes of a written key file damaged on disk: read, then
// refused with a status.
TEST(KeyFileHeader, DamagedUnitBytesOnDiskAreRefused) {
    KeySet ks;
    writeKeyFile(ks, smallInfo(), smallKeys(), {});
    std::vector<uint8_t> b = ks.bytes();
    b[4] = 0xFF, b[5] = 0xFF, b[6] = 0xFF, b[7] = 0x00;
    {
        std::ofstream out(ks.name() + "/0000", std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()),
                  static_cast<std::streamsize>(b.size()));
    }
    ks.open("rb");
    KEYINFO_0 k;
    GTRSTATUS st{};
    ASSERT_EQ(0, voz_ReadKeyInfo(ks.fctl(), &k, 0, nullptr, &st));
    EXPECT_EQ(0xFFFF, k.fixedKeyUnits);
    EXPECT_EQ(0xFF00, k.unitWidth);
    EXPECT_EQ(-1, voz_SetIndexBasic(ks.idx.get(), &k, &st));
    EXPECT_EQ(17, st.retcode);
    EXPECT_EQ(240, st.errcode);
}

TEST(KeyFileHeader, CheckIndexBasicNamesTheFirstDifference) {
    KEYINFO_0 a = smallInfo();
    memcpy(a.version, "V4_0", 4);
    a.slots[3].kind = 'D';
    struct Case {
        const char* what;
        void (*change)(KEYINFO_0*);
        int rc, ec;
    } cases[] = {
        {"same", [](KEYINFO_0*) {}, 0, 0},
        {"version", [](KEYINFO_0* b) { b->version[3] = '1'; }, 23, 233},
        {"units", [](KEYINFO_0* b) { b->fixedKeyUnits = 2; }, 18, 234},
        {"head units 0 reads as 3", [](KEYINFO_0* b) { b->headKeyUnits = 0; }, 0, 0},
        {"head units", [](KEYINFO_0* b) { b->headKeyUnits = 4; }, 18, 234},
        {"unit width", [](KEYINFO_0* b) { b->unitWidth = 3; }, 18, 234},
        {"group length", [](KEYINFO_0* b) { b->docGroupLength = 1; }, 18, 235},
        {"store parameter", [](KEYINFO_0* b) { b->storeParameter = 1; }, 18, 297},
        {"leaf size", [](KEYINFO_0* b) { b->leafBlockKB = 8; }, 18, 298},
        {"code info", [](KEYINFO_0* b) { b->codeInfo[7] = 1; }, 18, 236},
        {"options", [](KEYINFO_0* b) { b->options[1] = 1; }, 18, 237},
        {"slot kind", [](KEYINFO_0* b) { b->slots[3].kind = 0; }, 18, 226},
        {"slot data is not compared", [](KEYINFO_0* b) { b->slots[3].lastDoc = 9; }, 0, 0},
        {"first failure wins", [](KEYINFO_0* b) { b->unitWidth = 3; b->options[0] = 1; },
         18, 234},
    };
    for (auto& c : cases) {
        KEYINFO_0 b = a;
        c.change(&b);
        GTRSTATUS st{};
        EXPECT_EQ(c.rc == 0 ? 0 : -1, voz_CheckIndexBasic(&a, &b, &st)) << c.what;
        EXPECT_EQ(c.rc, st.retcode) << c.what;
        EXPECT_EQ(c.ec, st.errcode) << c.what;
    }
}

TEST(KeyRecords, VariableKeyOrder) {
    std::vector<uint8_t> same(22, 0x41);
    KEY_REC a3[3] = {head('V', 3, {1, 2, 3, 4, 5, 6}, 0, 1, 0, 1), cont(3, 1, 40, same),
                     cont(3, 2, 0, {9})};
    KEY_REC b2[2] = {head('V', 2, {1, 2, 3, 4, 5, 6}, 0, 1, 0, 1), cont(2, 1, 28, same)};
    EXPECT_EQ(1, voz_VkeyCmp(a3, b2));
    EXPECT_EQ(-1, voz_VkeyCmp(b2, a3));
    KEY_REC c2[2] = {b2[0], cont(2, 1, 28, std::vector<uint8_t>(22, 0x42))};
    EXPECT_GT(voz_VkeyCmp(c2, a3), 0);   // first continuation decides
    KEY_REC d1 = head('V', 1, {1, 2, 3, 4, 5, 7}, 0, 1, 0, 1);
    EXPECT_GT(voz_VkeyCmp(&d1, a3), 0);  // head bytes decide first
    KEY_REC e1 = head('V', 1, {1, 2, 3, 4, 5, 6}, 0, 1, 0, 1);
    EXPECT_EQ(1 - 3, voz_VkeyCmp(&e1, a3));
}

TEST(KeyRecords, FieldNumberKey) {
    uint8_t b[4];
    voz_FldNumber_Set(b, 300);
    EXPECT_EQ(0x01, b[0]);
    EXPECT_EQ(0x0E, b[1]);
    EXPECT_EQ(0x2C, b[2]);
    EXPECT_EQ(0x0E, b[3]);
    EXPECT_EQ(300, voz_FldNumber_Get(b));
    voz_FldNumber_Set(b, 0xFFFF);
    EXPECT_EQ(0xFFFF, voz_FldNumber_Get(b));
}

TEST(KeyRecords, CodecsRoundTripEveryByte) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 50; ++round) {
        uint8_t in[VOZ_KEYINFO_SIZE], out[VOZ_KEYINFO_SIZE];
        for (auto& b : in) b = static_cast<uint8_t>(rng());
        KEYINFO_0 k;
        voz_KeyInfoDecode(in, &k);
        voz_KeyInfoEncode(&k, out);
        ASSERT_EQ(0, memcmp(in, out, sizeof in)) << round;
        // Records of either form, by their kind byte.
        in[0] = round % 2 ? 'C' : 'V';
        KEY_REC r;
        voz_KeyAnyDecode(in, &r);
        voz_KeyAnyEncode(&r, out);
        ASSERT_EQ(0, memcmp(in, out, VOZ_KEYREC_SIZE)) << round;
        KEYIDX_ENTRY e;
        voz_KeyIdxDecode(in, &e);
        voz_KeyIdxEncode(&e, out);
        ASSERT_EQ(0, memcmp(in, out, VOZ_KEYIDX_ENTRY_SIZE)) << round;
    }
    uint8_t be[VOZ_KEYREC_SIZE] = {'F', 1, 'a', 1, 0, 0, 0, 0, 3, 4, 0x12, 0x34,
                                   0xA1, 0xB2, 0xC3, 0xD4};
    KEY_REC r;
    voz_KeyRecDecode(be, &r);
    EXPECT_EQ(0x1234, r.locationHigh);
    EXPECT_EQ(0xA1B2C3D4u, r.location);
    EXPECT_EQ(4, r.lengthHigh);
    EXPECT_EQ(3, r.level);
}

}  // namespace
