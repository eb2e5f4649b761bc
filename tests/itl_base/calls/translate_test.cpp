// Tests of the condition translators: numbered words, items and mixed
// entries joined by order strings, simple queries, and their releases on
// every path (run under ASan, a leak or double free shows).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_itemkey.hpp"
#include "calls/voz_translate.hpp"

namespace {

VOZ_CPINFO cpinfo(uint8_t code) {
    VOZ_CPINFO cp{};
    cp.code = code;
    vozCHsetCPInfo(&cp);
    return cp;
}

std::string codes(const GTRSTATUS& st) {
    return std::to_string(st.retcode) + "/" + std::to_string(st.errcode);
}

RTRVWORD word(const char* text) {
    RTRVWORD w{};
    w.type = 'W';
    w.wordp = reinterpret_cast<uint8_t*>(const_cast<char*>(text));
    w.wordlen = static_cast<int16_t>(std::strlen(text));
    w.precision = 100;
    w.casesens = 'N';
    return w;
}

struct Struct {
    char* order = nullptr;
    uint8_t* buf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    GTRSTATUS st{};
    ~Struct() { vozTranslateCond_Struct_Term(order, buf, pf, n); }
};

TEST(Translate, StructuredWordsAndTheirErrors) {
    RTRVWORD words[2] = {word("red"), word("car")};
    std::string order = "! 1 * 2";
    {
        Struct t;
        vozTranslateCond_Struct(cpinfo(34), 2, words, order.c_str(), &t.order,
                                &t.buf, &t.pf, &t.n, nullptr, nullptr, &t.st);
        ASSERT_EQ(t.st.retcode, 0);
        EXPECT_EQ(order, "! 1 * 2") << "the caller's string is not written";
        ASSERT_EQ(t.n, 5);  // D T0 SNOT T1 AND
        EXPECT_EQ(t.pf[0].winfoX.wi.type, 'D');
        EXPECT_EQ(t.pf[0].winfoX.word_no, -1);
        EXPECT_EQ(t.pf[1].winfoX.word_no, 0);
        EXPECT_EQ(t.pf[1].winfoX.wi.wordlen, 9) << "3 units of 3 bytes";
        EXPECT_EQ(t.pf[1].winfoX.wi.wordp, t.buf);
        EXPECT_EQ(t.pf[3].winfoX.wi.wordp, t.buf + 9);
        EXPECT_EQ(words[0].wordlen, 3) << "the caller's word is unchanged";
    }
    const struct {
        const char* order;
        int32_t count;
        const char* codes;
    } errors[] = {
        {"1 * 3", 2, "102/2605"}, {"", 2, "25/2593"}, {"1", 0, "25/2593"},
        {"( )", 2, "102/2595"},   {"1 2", 2, "104/1130"},
    };
    for (const auto& e : errors) {
        Struct t;
        vozTranslateCond_Struct(cpinfo(34), e.count, words, e.order, &t.order,
                                &t.buf, &t.pf, &t.n, nullptr, nullptr, &t.st);
        EXPECT_EQ(codes(t.st), e.codes) << e.order;
    }
    RTRVWORD bad[1] = {word("x")};
    bad[0].wordp = nullptr;
    Struct t;
    vozTranslateCond_Struct(cpinfo(34), 1, bad, "1", &t.order, &t.buf, &t.pf,
                            &t.n, nullptr, nullptr, &t.st);
    EXPECT_EQ(codes(t.st), "2/2607");
    bad[0] = word("x");
    bad[0].reserved3[0] = 1;
    Struct r;
    vozTranslateCond_Struct(cpinfo(34), 1, bad, "1", &r.order, &r.buf, &r.pf,
                            &r.n, nullptr, nullptr, &r.st);
    EXPECT_EQ(codes(r.st), "128/1709");
}

SEARCHITEM charItem(uint16_t no, const char* text) {
    SEARCHITEM it{};
    it.item_number = no;
    it.item_type = 'C';
    it.char_ptr = reinterpret_cast<uint8_t*>(const_cast<char*>(text));
    it.char_len = static_cast<int16_t>(std::strlen(text));
    it.char_casesens = 'N';
    it.char_precision = 100;
    return it;
}

SEARCHITEM numItem(uint16_t no, double lo, double hi) {
    SEARCHITEM it{};
    it.item_number = no;
    it.item_type = 'N';
    it.num_min_value = lo;
    it.num_max_value = hi;
    it.num_min_equal = 'I';
    it.num_max_equal = 'X';
    return it;
}

std::string items(std::vector<SEARCHITEM> list, const char* order,
                  PFELEMENT* copy = nullptr) {
    char* o = nullptr;
    uint8_t* buf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    GTRSTATUS st{};
    vozTranslateCond_Item(cpinfo(7), static_cast<int32_t>(list.size()),
                          list.empty() ? nullptr : list.data(), order, &o, &buf,
                          &pf, &n, nullptr, nullptr, &st);
    if (copy != nullptr && st.retcode == 0 && n > 0) vozWordExtCopy(&copy->winfoX, &pf[0].winfoX);
    vozTranslateCond_Item_Term(o, buf, pf, n);
    return codes(st);
}

TEST(Translate, ItemConditions) {
    SEARCHITEM set{};
    set.item_number = 9;
    set.item_type = 'S';
    double values[3] = {1, 2, 3};
    set.numset_num = 3;
    set.numset_value = values;
    EXPECT_EQ(items({charItem(5, " red "), numItem(32767, 1, 2), set}, "1 * 2 + 3"),
              "0/0");
    EXPECT_EQ(items({charItem(255, "x")}, "1"), "114/0");
    EXPECT_EQ(items({numItem(0, 1, 2)}, "1"), "114/0");
    SEARCHITEM c = charItem(5, "x");
    c.char_casesens = 'X';
    EXPECT_EQ(items({c}, "1"), "106/0");
    c = charItem(5, "x");
    c.char_precision = 101;
    EXPECT_EQ(items({c}, "1"), "26/0");
    SEARCHITEM nbad = numItem(5, 1, 2);
    nbad.num_max_equal = 'Y';
    EXPECT_EQ(items({nbad}, "1"), "116/0");
    SEARCHITEM empty = set;
    empty.numset_num = 0;
    EXPECT_EQ(items({empty}, "1"), "116/0");
    SEARCHITEM bref{};
    bref.item_type = 'B';
    bref.bref_fname = reinterpret_cast<uint8_t*>(const_cast<char*>("f"));
    EXPECT_EQ(items({bref}, "1"), "107/0");
    bref.bref_len = 2049;
    EXPECT_EQ(items({bref}, "1"), "107/0");
    SEARCHITEM q = charItem(5, "x");
    q.item_type = 'Q';
    EXPECT_EQ(items({charItem(5, "x"), q}, "1 + 2"), "117/1");
    EXPECT_EQ(items({charItem(5, "x"), charItem(6, "y")}, "1 *3 2"), "102/2577");
    EXPECT_EQ(items({charItem(5, "x")}, "1 + 2"), "102/2578");
    EXPECT_EQ(items({}, "1"), "25/2574");
    // An item with a failing later set frees the sets made before it.
    EXPECT_EQ(items({set, set, q}, "1 + 2 + 3"), "117/2");
}

TEST(Translate, NumericItemKeysAndTheirCopies) {
    PFELEMENT copy{};
    ASSERT_EQ(items({numItem(200, -2.5, 1)}, "1", &copy), "0/0");
    const RTRVWORDEXT& x = copy.winfoX;
    EXPECT_EQ(x.wi.type, 'F');
    uint8_t key[VOZ_DOUBLE_KEY_MAX];
    double lo = -2.5, hi = 1;
    int32_t n = vozNormalizeDouble(&lo, 200, 2, key);
    ASSERT_EQ(x.from_keylen, n);
    EXPECT_EQ(std::memcmp(x.from_key, key, static_cast<size_t>(n)), 0);
    n = vozNormalizeDouble(&hi, 200, 2, key);
    ASSERT_EQ(x.to_keylen, n);
    EXPECT_EQ(std::memcmp(x.to_key, key, static_cast<size_t>(n)), 0);
    EXPECT_EQ(x.from_bound, 'I');
    EXPECT_EQ(x.to_bound, 'X');
    EXPECT_EQ(x.from_key, x.from_keybuf) << "the copy points into itself";
    EXPECT_EQ(x.to_key, x.to_keybuf);
}

int32_t mixed(std::vector<GTRSEARCHMIX> list, const char* order, std::string* rc) {
    char* o = nullptr;
    uint8_t* buf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    GTRSTATUS st{};
    int32_t purpose = vozTranslateCond_Mix(
        cpinfo(34), static_cast<int32_t>(list.size()),
        list.empty() ? nullptr : list.data(), order, &o, &buf, &pf, &n, nullptr,
        nullptr, &st);
    *rc = codes(st);
    vozTranslateCond_Mix_Term(o, buf, pf, n);
    return purpose;
}

TEST(Translate, MixedConditionsAndTheirPurpose) {
    GTRSEARCHMIX w{}, i{};
    w.mix_type = GTR_MIX_WORD;
    w.word = word("red");
    i.mix_type = GTR_MIX_ITEM;
    i.item = charItem(5, "blue");
    std::string rc;
    EXPECT_EQ(mixed({w, w}, "1 + 2", &rc), 1);
    EXPECT_EQ(rc, "0/0");
    EXPECT_EQ(mixed({i, i}, "1 + 2", &rc), 2);
    EXPECT_EQ(mixed({w, i}, "1 * 2", &rc), 3);
    EXPECT_EQ(rc, "0/0");
    EXPECT_EQ(mixed({}, "1", &rc), 1);
    EXPECT_EQ(rc, "25/2597");
    GTRSEARCHMIX nullWord = w;
    nullWord.word.wordp = nullptr;
    EXPECT_EQ(mixed({nullWord, i}, "1 + 2", &rc), 3);
    EXPECT_EQ(rc, "2/2604");
    EXPECT_EQ(mixed({w}, "1 + 2", &rc), 1);
    EXPECT_EQ(rc, "102/2600");
    GTRSTATUS st{};
    EXPECT_EQ(vozTranslateCond_Mix4Purpose(0, nullptr, "1", &st), 1);
    EXPECT_EQ(codes(st), "25/2596");
    GTRSEARCHMIX both[2] = {w, i};
    st = GTRSTATUS{};
    EXPECT_EQ(vozTranslateCond_Mix4Purpose(2, both, "1+2", &st), 3);
    EXPECT_EQ(st.retcode, 0);
}

struct Simple {
    uint8_t* buf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    GTRSTATUS st{};
    ~Simple() { vozTranslateCond_Simple_Term(buf, pf, n); }
};

SIMPLERTRVOPT options(char op) {
    SIMPLERTRVOPT o{};
    o.Operator.op = op;
    o.casesens = 'N';
    o.precision = 100;
    return o;
}

TEST(Translate, SimpleQueries) {
    {
        Simple s;
        vozTranslateCond_Simple(cpinfo(34), " a  b c ", options('A'), &s.buf,
                                &s.pf, &s.n, nullptr, nullptr, &s.st);
        ASSERT_EQ(s.st.retcode, 0);
        ASSERT_EQ(s.n, 4);
        EXPECT_EQ(s.pf[3].kind, VOZ_PF_AND);
        EXPECT_EQ(s.pf[3].opnum, 3);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(s.pf[k].winfoX.wi.wordlen, 3);
    }
    const struct {
        char op;
        int16_t kind;
    } ops[] = {{'D', VOZ_PF_DISTANCE}, {'N', VOZ_PF_NOT}, {'O', VOZ_PF_OR},
               {'Z', VOZ_PF_OR}};
    for (const auto& o : ops) {
        Simple s;
        vozTranslateCond_Simple(cpinfo(34), "a b", options(o.op), &s.buf, &s.pf,
                                &s.n, nullptr, nullptr, &s.st);
        ASSERT_EQ(s.n, 3);
        EXPECT_EQ(s.pf[2].kind, o.kind) << o.op;
    }
    {
        Simple s;
        vozTranslateCond_Simple(cpinfo(34), "\"a\"\"b\"", options('A'), &s.buf,
                                &s.pf, &s.n, nullptr, nullptr, &s.st);
        ASSERT_EQ(s.st.retcode, 0);
        ASSERT_EQ(s.n, 2);
        EXPECT_EQ(s.pf[0].winfoX.wi.wordlen, 9) << "a, one quote, b";
    }
    {
        RTRVRANK rank{};
        rank.howto_operate = 'P';
        Simple s;
        vozTranslateCond_Simple(cpinfo(34), "a b", options('A'), &s.buf, &s.pf,
                                &s.n, nullptr, &rank, &s.st);
        ASSERT_EQ(s.n, 3);
        EXPECT_EQ(s.pf[2].kind, VOZ_PF_PROXIMITY);
        EXPECT_EQ(s.pf[2].mode, 'P');
    }
    SIMPLERTRVOPT badCase = options('A');
    badCase.casesens = 'X';
    SIMPLERTRVOPT badMask = options('A');
    badMask.mask[0] = badMask.mask[1] = '*';
    SIMPLERTRVOPT reserved = options('A');
    reserved.Operator.reserved2[3] = 1;
    const struct {
        const char* text;
        SIMPLERTRVOPT opt;
        const char* codes;
    } errors[] = {
        {"\"\"", options('A'), "105/2591"}, {"\"ab", options('A'), "105/2590"},
        {"   ", options('A'), "25/2589"},   {"", options('A'), "25/2585"},
        {"a", badCase, "106/2586"},         {"a", badMask, "111/2587"},
        {"a", reserved, "128/1701"},
    };
    for (const auto& e : errors) {
        Simple s;
        vozTranslateCond_Simple(cpinfo(34), e.text, e.opt, &s.buf, &s.pf, &s.n,
                                nullptr, nullptr, &s.st);
        EXPECT_EQ(codes(s.st), e.codes) << e.text;
    }
}

// In the EBCDIC pages the blank scan ends a word at units that the test
// for the blank character does not take (the blank 0x40; the blank and the
// joined syllables of code 13): the words split there and the scan goes on
// past them (it used to stand still on them), and a text of such units only
// has no word.
TEST(Translate, SimpleQuerySplitsAtEveryUnitThatEndsAWord) {
    const struct {
        uint8_t code;
        const char* text;
        int words;
    } rows[] = {
        {11, "\x81\x40\x82", 2},  // "a b"
        {28, "\x81\x40\x40\x82\x40\x83", 3},
        {13, "\xa1\x10m", 2},
    };
    for (const auto& r : rows) {
        Simple s;
        vozTranslateCond_Simple(cpinfo(r.code), r.text, options('A'), &s.buf,
                                &s.pf, &s.n, nullptr, nullptr, &s.st);
        ASSERT_EQ(s.st.retcode, 0) << int(r.code);
        ASSERT_EQ(s.n, r.words + 1) << int(r.code);
        EXPECT_EQ(s.pf[r.words].opnum, r.words);
        for (int k = 0; k < r.words; ++k) EXPECT_EQ(s.pf[k].winfoX.wi.wordlen, 2);
    }
    Simple s;
    vozTranslateCond_Simple(cpinfo(13), "\x0e\xff\x7f\xf9\x7f\xf9 \xff",
                            options('X'), &s.buf, &s.pf, &s.n, nullptr, nullptr,
                            &s.st);
    EXPECT_EQ(codes(s.st), "25/2589");
    EXPECT_EQ(s.n, 0);
}

}  // namespace
