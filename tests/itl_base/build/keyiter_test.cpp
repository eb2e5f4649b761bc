// The key iterator over indexes built from text by the update calls, and
// over file sets written key by key (field-number and item keys): the
// walk and its bounds, jumps onto continuation records, the key search,
// key texts, raw patterns and item values, and the UTF-8 widening.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "calls/voz_itemkey.hpp"
#include "keyiter_fixture.hpp"
// Both fixtures name their status checks alike; the file-set writer's win.
#undef ASSERT_OK
#undef EXPECT_RC
#include "search/search_fixture.hpp"

namespace {

using iterfix::Key;

const std::map<int32_t, std::string> kDocs = {
    {0, "alpha beta gamma"},
    {1, "beta delta"},
    {2, "Gamma x1 internationalization"},
    {3, "zz beta"},
};

// Iterators over the main half of the open text sub-index.
struct Iter {
    KEYITERATOR* it = nullptr;
    KEYITERATOR* supp = nullptr;
    Iter(iterfix::Open& o, int32_t first = VOZ_KEYITER_FIRST,
         int32_t last = 0x7FFFFFFF) {
        VOZ_InitKeyIterator(&it, &supp, o.h, o.parm, 1, first, last);
    }
    ~Iter() {
        VOZSEARCH* h = nullptr;
        VOZ_TermKeyIterator(it, &h);
        VOZ_TermKeyIterator(supp, &h);
    }
};

TEST(KeyIter, AWalkFromTheFirstHeaderSlotOfAnEmptyIndexYields41Records) {
    TempDir tmp("keyiter");
    GTRSTATUS st{};
    srchfix::writeSet(tmp.path(), "idx", 0, 0, srchfix::SetSpec{}, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = srchfix::openText(tmp.path(), "idx", st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    KEYITERATOR* it = nullptr;
    KEYITERATOR* supp = nullptr;
    GTRCREATEPARM parm{};
    VOZ_InitKeyIterator(&it, &supp, h, parm, 1, VOZ_KEYITER_FIRST, 1000);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(supp, nullptr) << "no supp half";
    EXPECT_EQ(it->lastRec, -1);
    std::vector<Key> keys = iterfix::walk(it, st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    ASSERT_EQ(keys.size(), 41u);
    EXPECT_EQ(keys.front().rec, -41);
    EXPECT_EQ(keys.back().rec, -1);
    // Past the end nothing moves and nothing fails.
    EXPECT_FALSE(VOZ_HasMoreKeys(it));
    EXPECT_EQ(VOZ_GetNextKey(it, &st), -1);
    EXPECT_EQ(VOZ_GetNextKey(it, &st), -1);
    EXPECT_EQ(st.retcode, 0);
    VOZSEARCH* back = nullptr;
    VOZ_TermKeyIterator(it, &back);
    EXPECT_EQ(back, h);
    VOZ_SearchRelease(&h, &st);
}

// The index of kDocs with its main half walked once from record 0.
class KeyIterWords : public ::testing::Test {
protected:
    gtrfix::Env env;
    std::unique_ptr<iterfix::Open> open;
    std::unique_ptr<Iter> iter;
    KEYITERATOR* it = nullptr;
    GTRSTATUS st{};
    std::vector<Key> keys;
    void SetUp() override {
        iterfix::index(env, kDocs);
        open = std::make_unique<iterfix::Open>(env);
        ASSERT_EQ(open->st.retcode, 0) << open->st.errcode;
        iter = std::make_unique<Iter>(*open, 0);
        it = iter->it;
        ASSERT_NE(it, nullptr);
        keys = iterfix::walk(it, st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
};

TEST_F(KeyIterWords, TheWalkGivesEveryWordWithItsCaseAndDocumentCount) {
    std::map<std::string, int32_t> words;
    for (const Key& k : keys) {
        if (k.kind == VOZ_KIND_VAR) words[k.text] = k.docs;
        EXPECT_NE(k.kind, VOZ_KIND_CONT) << "the walk stands on heads only";
    }
    const std::map<std::string, int32_t> expected = {
        {"Gamma", 1}, {"alpha", 1}, {"beta", 3}, {"delta", 1}, {"gamma", 1},
        {"internationalization", 1}, {"x", 1}, {"zz", 1}};
    EXPECT_EQ(words, expected);
    // The walk ends at the last key record and stays there.
    int32_t last = keys.back().rec;
    EXPECT_EQ(VOZ_GetNextKey(it, &st), last);
    EXPECT_FALSE(VOZ_HasMoreKeys(it));
}

TEST_F(KeyIterWords, JumpsLandOnTheHeadOfAKeyWithinTheBounds) {
    int32_t longWord = iterfix::recordOf(keys, "internationalization");
    ASSERT_GE(longWord, 0);
    VOZ_JumpToKey(it, longWord, &st);
    const uint8_t records = it->records[0].recCount;
    ASSERT_GT(records, 2) << "a key of continuation records";
    for (int32_t r = longWord; r < longWord + records; ++r) {
        EXPECT_EQ(VOZ_JumpToKey(it, r, &st), longWord) << "record " << r;
        EXPECT_EQ(VOZ_GetKeyType(it), VOZ_KIND_VAR);
        EXPECT_EQ(iterfix::keyText(it, st), "internationalization");
        EXPECT_EQ(it->nextRec, longWord + records);
    }
    EXPECT_EQ(VOZ_JumpToKey(it, -5, &st), 0) << "below the first bound";
    EXPECT_EQ(VOZ_JumpToKey(it, 1 << 30, &st), keys.back().rec);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
}

TEST_F(KeyIterWords, TheKeySearchLandsOnTheKeyEqualToOrNextToTheWord) {
    struct Case {
        const char* word;
        const char* lands;  // the key's text; null: the iterator stays
    } cases[] = {
        {"beta", "beta"},   {"gamma", "gamma"}, {"Gamma", "Gamma"},
        {"b", "beta"},      {"delt", "delta"},  {"bz", "delta"},
        {"zz", "zz"},       {"zzz", "zz"},      {"internationalization", "internationalization"},
        {"1", "1"},  // a digit: the regular keys
        {"   ", nullptr},
    };
    for (const Case& c : cases) {
        VOZ_JumpToKey(it, 0, &st);
        int32_t before = it->curRec;
        int32_t r = VOZ_SearchKeyString(it, reinterpret_cast<const uint8_t*>(c.word),
                                        static_cast<int32_t>(strlen(c.word)), &st);
        EXPECT_EQ(st.retcode, 0) << c.word << ": " << st.errcode;
        EXPECT_EQ(r, it->curRec);
        if (c.lands == nullptr)
            EXPECT_EQ(r, before) << c.word;
        else
            EXPECT_EQ(iterfix::keyText(it, st), c.lands) << c.word;
    }
}

TEST_F(KeyIterWords, RawPatternsHoldTheWholeKey) {
    VOZ_JumpToKey(it, iterfix::recordOf(keys, "internationalization"), &st);
    uint8_t raw[6 + 22 * 254];
    int32_t len = 0;
    VOZ_GetRawPattern(it, raw, &len);
    EXPECT_EQ(len, 20 * 2) << "20 letters in 2-byte X-part units";
    VOZ_JumpToKey(it, iterfix::recordOf(keys, "zz"), &st);
    VOZ_GetRawPattern(it, raw, &len);
    EXPECT_EQ(len, 6) << "a one-record key gives its six bytes";
}

// Field-number and item keys written into a set of code page 7.
TEST(KeyIter, FieldNumberKeysPrintAsNumbersAndItemKeysAsItems) {
    TempDir tmp("keyiter");
    GTRSTATUS st{};
    VOZ_CPINFO cp{};
    cp.callerCodePage = cp.code = 7;
    vozCHsetCPInfo(&cp);
    uint8_t charKey[16];
    int32_t charLen = 0;
    vozNormalizeCharItem(3, reinterpret_cast<const uint8_t*>("A"), 1, cp,
                         charKey, sizeof charKey, &charLen, nullptr, &st);
    ASSERT_EQ(charLen, 6);
    double v = 1.0;
    uint8_t numKey[VOZ_DOUBLE_KEY_MAX];
    int32_t numLen = vozNormalizeDouble(&v, 5, 2, numKey);
    ASSERT_LE(numLen, 6);
    srchfix::SetSpec spec;
    srchfix::Key field{std::string("\x01\x0E\x02\x0E", 4), {{1, {1}}}};
    field.kind = VOZ_KIND_DFIXED;
    spec.keys = {field,
                 {std::string(reinterpret_cast<char*>(charKey), 6), {{1, {2}}}},
                 {std::string(reinterpret_cast<char*>(numKey), numLen), {{2, {2}}}}};
    srchfix::writeSet(tmp.path(), "idx", 0, 0, spec, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = srchfix::openText(tmp.path(), "idx", st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    KEYITERATOR* it = nullptr;
    GTRCREATEPARM parm{};
    VOZ_InitKeyIterator(&it, nullptr, h, parm, 1, 0, 100);
    ASSERT_NE(it, nullptr);
    ASSERT_EQ(it->lastRec, 2);
    VOZ_GetNextKey(it, &st);
    EXPECT_EQ(VOZ_GetKeyType(it), VOZ_KIND_DFIXED);
    EXPECT_EQ(iterfix::keyText(it, st), "258");

    char kind = 0;
    int16_t item = -1;
    uint8_t out[32];
    int32_t len = -1;
    double value = 0;
    // The two item keys, told apart by their kind.
    std::map<char, std::pair<int16_t, std::string>> items;
    for (int k = 0; k < 2; ++k) {
        VOZ_GetNextKey(it, &st);
        VOZ_GetItem(it, &kind, &item, out, sizeof out, &len, &value, &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        items[kind] = {item, std::string(reinterpret_cast<char*>(out), len)};
        if (kind == 'N') {
            EXPECT_EQ(value, 1.0);
        }
    }
    EXPECT_EQ(items['C'], std::make_pair(int16_t(3), std::string("A")));
    EXPECT_EQ(items['N'], std::make_pair(int16_t(5), std::string()));
    VOZSEARCH* back = nullptr;
    VOZ_TermKeyIterator(it, &back);
    EXPECT_EQ(back, h);
    VOZ_SearchRelease(&h, &st);
}

TEST(KeyIter, UnpackWidensTwoByteUnitsByTheirMarks) {
    struct Case {
        std::vector<uint8_t> in;
        std::vector<uint8_t> out;
    } cases[] = {
        {{0x41, 0x47}, {0x41, 0x87, 0x01}},  // top bits give the mark
        {{0x21, 0x20}, {0x21, 0x20, 0x05}},  // marker unit: blank
        {{0x21, 0x31}, {0x21, 0x31, 0x06}},  // marker unit: digit
        {{0x21, 0x47}, {0x21, 0x47, 0x01}},  // marker unit, low < 0x21
        {{0x21, 0x3F}, {0x21, 0x3F, 0x04}},  // marker unit without top bits
        {{0xBA, 0x05}, {0xBA, 0x85, 0x00}},
        {{0xC3, 0x29}, {0xC3, 0xA9, 0x04}},
        {{0x21, 0x87, 0x00, 0x55, 0x21, 0x87}, {0x21, 0x47, 0x02}},  // 0 ends
    };
    for (const Case& c : cases) {
        uint8_t out[64];
        int32_t len = -1;
        voz_unpack_utf8(c.in.data(), static_cast<int32_t>(c.in.size()), out,
                        sizeof out, &len);
        EXPECT_EQ(std::vector<uint8_t>(out, out + len), c.out);
    }
    // Fewer than 4 bytes of room left end the widening.
    const uint8_t two[] = {0x21, 0x81, 0x21, 0x82};
    uint8_t out[8];
    int32_t len = -1;
    voz_unpack_utf8(two, 4, out, 6, &len);
    EXPECT_EQ(len, 3);
}

TEST(KeyIter, DifferentWidthsOutsideUtf8AreRefused) {
    const uint8_t bytes[] = {0x41, 0x01, 0x42, 0x01};
    uint8_t out[16];
    int32_t len = -1;
    GTRSTATUS st{};
    voz_externalize(bytes, 4, 7, 2, 3, out, sizeof out, &len, &st);
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(108, 1690));
    EXPECT_EQ(len, 0);
}

}  // namespace
