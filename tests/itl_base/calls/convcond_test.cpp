// Tests of the conversion of simple queries, query text and mixed query
// text into explicit words joined by an order string, of the order string
// of a postfix array, and of the conversion handle's life (run under ASan,
// a leak or a stale area shows).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_convcond.hpp"
#include "calls/voz_translate.hpp"
#include "query_test_util.hpp"

namespace {

using qtest::codes;

std::string text(const RTRVWORD& w) {
    return std::string(reinterpret_cast<const char*>(w.wordp),
                       static_cast<size_t>(w.wordlen));
}

GTRSEARCH_COND simpleCond(const char* words, char op, int16_t distance = 0) {
    GTRSEARCH_COND c{};
    c.codepage = 34;
    c.cond_type = GTR_COND_SIMPLE;
    c.simple_query = const_cast<char*>(words);
    c.simple_option.Operator.op = op;
    c.simple_option.Operator.op_dlmno = distance;
    c.simple_option.casesens = 'N';
    c.simple_option.precision = 100;
    return c;
}

GTRSEARCH_COND queryCond(const char* q, uint8_t type = GTR_COND_QUERY) {
    GTRSEARCH_COND c{};
    c.codepage = 34;
    c.cond_type = type;
    c.query = const_cast<char*>(q);
    return c;
}

// One conversion handle, released at the end.
struct Conv {
    void* h = nullptr;
    GTRSEARCH_COND out{};
    GTRSTATUS st{};
    ~Conv() { GTRconvertSearchCond_Release(&h); }
    void run(const GTRSEARCH_COND& c) { GTRconvertSearchCond(&h, c, &out, &st); }
    void runMix(const GTRSEARCH_COND& c) { GTRconvertSearchCond_Mix(&h, c, &out, &st); }
    VOZCONVHANDLE* handle() const { return static_cast<VOZCONVHANDLE*>(h); }
    std::string order() const {
        const char* o = out.cond_type == GTR_COND_MIX ? out.mix_order : out.struct_order;
        return o == nullptr ? "(null)" : o;
    }
};

TEST(ConvertSearchCond, SimpleQueries) {
    Conv c;
    GTRSEARCH_COND in = simpleCond("a b c", 'O');
    GTRSEARCH_RES scope{};
    in.scope = &scope;
    in.discon_count = -7;
    in.word_limit = 12;
    in.simple_option.casesens = 'C';
    in.simple_option.precision = 90;
    c.run(in);
    ASSERT_EQ(c.st.retcode, 0) << codes(c.st);
    EXPECT_EQ(c.order(), "1  + 2  + 3 ");
    ASSERT_EQ(c.out.struct_num, 3);
    for (int i = 0; i < 3; ++i) {
        const RTRVWORD& w = c.out.struct_word[i];
        EXPECT_EQ(text(w), std::string(1, static_cast<char>('a' + i)));
        EXPECT_EQ(w.type, 'W');
        EXPECT_EQ(w.casesens, 'C');
        EXPECT_EQ(w.precision, 90);
    }
    // Only the copied fields are set in the output record.
    GTRSEARCH_COND expect{};
    expect.scope = &scope;
    expect.discon_count = -7;
    expect.word_limit = 12;
    expect.codepage = 34;
    expect.cond_type = GTR_COND_STRUCT;
    expect.struct_num = 3;
    expect.struct_word = c.out.struct_word;
    expect.struct_order = c.out.struct_order;
    EXPECT_EQ(std::memcmp(&expect, &c.out, sizeof expect), 0);
    // The words, their texts and the order string lie in the handle's area.
    const uint8_t* area = c.handle()->area;
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(c.out.struct_word), area);
    EXPECT_LT(reinterpret_cast<const uint8_t*>(c.out.struct_order) - area,
              c.handle()->area_size);

    const struct {
        const char* words;
        char op;
        int16_t distance;
        const char* order;
    } joins[] = {
        {"red car", 'A', 0, "1  * 2 "},   {"red car", 'D', 5, "1  *5 2 "},
        {"red car", 'N', 0, "1  - 2 "},   {"red car", 'X', 0, "1  + 2 "},
        {"\"a b\" c", 'A', 0, "1  * 2 "}, {"alone", 'A', 0, "1 "},
    };
    for (const auto& j : joins) {
        c.run(simpleCond(j.words, j.op, j.distance));
        ASSERT_EQ(c.st.retcode, 0) << j.words << " " << codes(c.st);
        EXPECT_EQ(c.order(), j.order) << j.words << " " << j.op;
    }
    EXPECT_EQ(text(c.out.struct_word[0]), "alone");
}

TEST(ConvertSearchCond, QueryTextOrderStrings) {
    const struct {
        const char* query;
        const char* order;
        std::vector<std::string> words;
    } cases[] = {
        {"alpha * beta", "1 * 2 ", {"alpha", "beta"}},
        {"( alpha * beta ) + gamma", "( 1 * 2 ) + 3 ", {"alpha", "beta", "gamma"}},
        {"! alpha", "! 1 ", {"alpha"}},
        {"!S alpha", "!S 1 ", {"alpha"}},
        {"alpha", "1 ", {"alpha"}},
        {"a * b * c", "1 * 2 * 3 ", {"a", "b", "c"}},
        {"a * ( b * c )", "1 * 2 * 3 ", {"a", "b", "c"}},
        {"a - b - c", "( 1 - 2 ) - 3 ", {"a", "b", "c"}},
        {"a *5S b +F c", "( 1 *5S 2 ) +F 3 ", {"a", "b", "c"}},
        {"a *P b", "1 *P 2 ", {"a", "b"}},
        {"a * ! ( b + c )", "1 * ! ( 2 + 3 )  ", {"a", "b", "c"}},
        {"a # b", "1 # 2 ", {"a", "b"}},
        {"!S ( !F x )", "!S ( !F 1 )  ", {"x"}},
        {"a # ( ! b )", "1 # ( ! 2 ) ", {"a", "b"}},
        {"Mixed%80#C", "1 ", {"Mixed"}},
        // A quoted word ending in a blank keeps the caller's bytes: its
        // letters' case, and bytes that are no character of the code page
        // (their units have no text to turn back into).
        {"\"Ab \"#C", "1 ", {"Ab "}},
        {"\" Ab\"#C", "1 ", {" Ab"}},
        {"\"  aB  \"#C * \" x\"\"Y\"", "1 * 2 ", {"  aB  ", " x\"Y"}},
        {"\"\xf0\xe0" "1\xde \"", "1 ", {"\xf0\xe0" "1\xde "}},
        {"\"x\"\"y\" + 'f.txt'", "1 + 2 ", {"x\"y", "f.txt"}},
    };
    Conv c;
    for (const auto& k : cases) {
        c.run(queryCond(k.query));
        ASSERT_EQ(c.st.retcode, 0) << k.query << " " << codes(c.st);
        EXPECT_EQ(c.order(), k.order) << k.query;
        ASSERT_EQ(c.out.struct_num, static_cast<int32_t>(k.words.size())) << k.query;
        for (size_t i = 0; i < k.words.size(); ++i)
            EXPECT_EQ(text(c.out.struct_word[i]), k.words[i]) << k.query;
    }
    EXPECT_EQ(c.out.struct_word[1].type, 'B');
}

TEST(ConvertSearchCond, OptionsAndSectionsAreCopiedIntoTheArea) {
    Conv c;
    c.run(queryCond("Alpha%_80@2_1-3,7#C * beta@F5$[F1=2,*=3]"));
    ASSERT_EQ(c.st.retcode, 0) << codes(c.st);
    ASSERT_EQ(c.out.struct_num, 2);
    const RTRVWORD& a = c.out.struct_word[0];
    EXPECT_EQ(text(a), "Alpha") << "the word comes back as written";
    EXPECT_EQ(a.precision, 80);
    EXPECT_EQ(a.search_flag & 1, 1);
    EXPECT_EQ(a.casesens, 'C');
    EXPECT_EQ(a.range_dlmno, 2);
    ASSERT_EQ(a.rangenum, 2);
    const uint8_t* area = c.handle()->area;
    const uint8_t* pairs = area + 2 * sizeof(RTRVWORD);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(a.range), pairs);
    EXPECT_EQ(a.range[0].start, 1);
    EXPECT_EQ(a.range[0].end, 3);
    EXPECT_EQ(a.range[1].start, 7);
    EXPECT_EQ(a.range[1].end, 7);
    EXPECT_EQ(a.wordp, pairs + 2 * sizeof(RTRVRANGE)) << "texts follow the pairs";
    const RTRVWORD& b = c.out.struct_word[1];
    ASSERT_EQ(b.fld_number, 1);
    ASSERT_NE(b.pFieldRange, nullptr);
    EXPECT_EQ(b.pFieldRange[0].fld_start_num, 5);
    ASSERT_EQ(b.weight, 2);
    ASSERT_NE(b.pFieldWeight, nullptr);
    EXPECT_EQ(b.pFieldWeight[1].weight, 3);

    // The converted condition translates as a structured one.
    char* orderCopy = nullptr;
    uint8_t* wordBuf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    GTRSTATUS st{};
    vozTranslateCond_Struct(qtest::cpinfo(34), c.out.struct_num, c.out.struct_word,
                            c.out.struct_order, &orderCopy, &wordBuf, &pf, &n,
                            nullptr, nullptr, &st);
    EXPECT_EQ(st.retcode, 0) << codes(st);
    EXPECT_EQ(n, 3);
    vozTranslateCond_Struct_Term(orderCopy, wordBuf, pf, n);
}

TEST(ConvertSearchCond, StructuredAndMixedConditionsComeBackUnchanged) {
    RTRVWORD words[2]{};
    const char* w[2] = {"red", "car"};
    for (int i = 0; i < 2; ++i) {
        words[i].type = 'W';
        words[i].wordp = reinterpret_cast<uint8_t*>(const_cast<char*>(w[i]));
        words[i].wordlen = 3;
        words[i].casesens = 'N';
        words[i].precision = 100;
    }
    GTRSEARCH_COND in{};
    in.codepage = 34;
    in.cond_type = GTR_COND_STRUCT;
    in.struct_num = 2;
    in.struct_word = words;
    in.struct_order = const_cast<char*>("1 * 2");
    in.discon_count = 3;
    Conv c;
    c.run(in);
    ASSERT_EQ(c.st.retcode, 0) << codes(c.st);
    EXPECT_EQ(std::memcmp(&in, &c.out, sizeof in), 0);
    EXPECT_EQ(c.handle()->area, nullptr);

    GTRSEARCHMIX mix[2]{};
    mix[0].mix_type = GTR_MIX_WORD;
    mix[0].word = words[0];
    mix[1].mix_type = GTR_MIX_ITEM;
    mix[1].item.item_number = 5;
    mix[1].item.item_type = 'N';
    mix[1].item.num_min_value = 1;
    mix[1].item.num_max_value = 2;
    mix[1].item.num_min_equal = 'I';
    mix[1].item.num_max_equal = 'I';
    GTRSEARCH_COND m{};
    m.codepage = 34;
    m.cond_type = GTR_COND_MIX;
    m.mix_num = 2;
    m.mix = mix;
    m.mix_order = const_cast<char*>("1 + 2");
    c.runMix(m);
    ASSERT_EQ(c.st.retcode, 0) << codes(c.st);
    EXPECT_EQ(std::memcmp(&m, &c.out, sizeof m), 0);
    EXPECT_EQ(c.handle()->area, nullptr);
}

TEST(ConvertSearchCond, Errors) {
    GTRSEARCH_COND out{};
    GTRSTATUS st{};
    void* h = nullptr;
    GTRconvertSearchCond(nullptr, queryCond("a"), &out, &st);
    EXPECT_EQ(codes(st), "1/2619");
    GTRconvertSearchCond(&h, queryCond("a"), nullptr, &st);
    EXPECT_EQ(codes(st), "2/2620");
    GTRconvertSearchCond_Mix(nullptr, queryCond("a", 6), &out, &st);
    EXPECT_EQ(codes(st), "1/2633");
    GTRconvertSearchCond_Mix(&h, queryCond("a", 6), nullptr, &st);
    EXPECT_EQ(codes(st), "2/2634");
    EXPECT_EQ(h, nullptr) << "no handle before the output is known";

    GTRSEARCH_COND cp0 = queryCond("a"), cp38 = queryCond("a");
    cp0.codepage = 0;
    cp38.codepage = 38;
    GTRSEARCH_COND reserved = queryCond("a");
    reserved.reserved1[3] = 1;
    const struct {
        GTRSEARCH_COND cond;
        bool mixed;
        const char* codes;
    } cases[] = {
        {cp0, false, "108/2622"},           {cp38, false, "108/2622"},
        {cp38, true, "108/2636"},           {reserved, false, "128/1700"},
        {queryCond("a", 4), false, "2/2623"}, {queryCond("a", 6), false, "2/2623"},
        {queryCond("a", 5), false, "2/2623"}, {simpleCond("a", 'A'), true, "2/2637"},
        {queryCond("a", 2), true, "2/2637"},  {queryCond(""), false, "25/2581"},
        {queryCond("a * "), false, "104/1130"}, {queryCond("", 6), true, "25/2608"},
        {queryCond("! ! a"), false, "17/2625"},
        {queryCond("a # ! b"), false, "17/2625"},
    };
    for (const auto& k : cases) {
        Conv c;
        c.out.discon_count = 99;
        if (k.mixed)
            c.runMix(k.cond);
        else
            c.run(k.cond);
        EXPECT_EQ(codes(c.st), k.codes) << k.cond.cond_type;
        EXPECT_NE(c.h, nullptr) << "the handle is stored after a failure";
        EXPECT_EQ(c.out.discon_count, 0) << "the output was cleared";
    }
}

TEST(ConvertSearchCond, ReusedHandleReplacesItsArea) {
    Conv c;
    c.run(queryCond("alpha@[F1_5,F7] * beta$[F1=2]"));
    ASSERT_EQ(c.st.retcode, 0) << codes(c.st);
    VOZCONVHANDLE* first = c.handle();
    EXPECT_EQ(first->work.fieldRanges.count, 1);
    c.run(simpleCond("x y", 'A'));
    ASSERT_EQ(c.st.retcode, 0) << codes(c.st);
    EXPECT_EQ(c.handle(), first) << "the handle is kept";
    EXPECT_EQ(first->work.fieldRanges.count, 0) << "the work area was freed";
    EXPECT_EQ(c.order(), "1  * 2 ");
    EXPECT_EQ(text(c.out.struct_word[1]), "y");
    // A failing conversion leaves no area behind.
    c.run(queryCond("a +P b"));
    EXPECT_EQ(codes(c.st), "102/1166");
    EXPECT_EQ(c.handle(), first);
    EXPECT_EQ(first->area, nullptr);
    EXPECT_EQ(first->area_size, 0);

    GTRconvertSearchCond_Release(nullptr);
    void* none = nullptr;
    GTRconvertSearchCond_Release(&none);
    EXPECT_EQ(none, nullptr);
    GTRconvertSearchCond_Release(&c.h);
    EXPECT_EQ(c.h, nullptr);
}

TEST(ConvertSearchCond, MixedQueryText) {
    const char* q = "`N5=[1,10)` * alpha + `T3=red#C` + `T4=\"a\"\"b\"`";
    Conv c;
    c.runMix(queryCond(q, GTR_COND_MIXQUERY));
    ASSERT_EQ(c.st.retcode, 0) << codes(c.st);
    EXPECT_EQ(c.out.cond_type, GTR_COND_MIX);
    EXPECT_EQ(c.order(), "( 1 * 2 ) + 3 + 4 ");
    ASSERT_EQ(c.out.mix_num, 4);
    const GTRSEARCHMIX* m = c.out.mix;
    ASSERT_EQ(m[0].mix_type, GTR_MIX_ITEM);
    EXPECT_EQ(m[0].item.item_number, 5);
    EXPECT_EQ(m[0].item.item_type, 'N');
    EXPECT_EQ(m[0].item.num_min_value, 1.0);
    EXPECT_EQ(m[0].item.num_max_value, 10.0);
    EXPECT_EQ(m[0].item.num_min_equal, 'I');
    EXPECT_EQ(m[0].item.num_max_equal, 'X');
    ASSERT_EQ(m[1].mix_type, GTR_MIX_WORD);
    EXPECT_EQ(text(m[1].word), "alpha");
    ASSERT_EQ(m[2].mix_type, GTR_MIX_ITEM);
    EXPECT_EQ(m[2].item.item_type, 'C');
    EXPECT_EQ(m[2].item.char_casesens, 'C');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m[2].item.char_ptr),
                          static_cast<size_t>(m[2].item.char_len)),
              "red");
    ASSERT_EQ(m[3].mix_type, GTR_MIX_ITEM);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m[3].item.char_ptr),
                          static_cast<size_t>(m[3].item.char_len)),
              "a\"b")
        << "a quoted value is given as the value it stands for";

    // The converted condition translates as a mixed one.
    char* orderCopy = nullptr;
    uint8_t* wordBuf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    GTRSTATUS st{};
    int32_t purpose =
        vozTranslateCond_Mix(qtest::cpinfo(34), c.out.mix_num, c.out.mix,
                             c.out.mix_order, &orderCopy, &wordBuf, &pf, &n,
                             nullptr, nullptr, &st);
    EXPECT_EQ(st.retcode, 0) << codes(st);
    EXPECT_EQ(purpose, VOZ_PURPOSE_BOTH);
    vozTranslateCond_Mix_Term(orderCopy, wordBuf, pf, n);
}

// An array of terms and operators for the order-string writer.
PFELEMENT term() {
    PFELEMENT e{};
    e.kind = VOZ_PF_TERM;
    e.itemNo = -1;
    e.winfoX.wi.type = 'W';
    return e;
}

PFELEMENT oper(int16_t kind, int16_t opnum, char mode = 0) {
    PFELEMENT e{};
    e.kind = kind;
    e.opnum = opnum;
    e.mode = mode;
    e.itemNo = -1;
    return e;
}

TEST(SearchOrderQuery, OutputSizeAndMalformedArrays) {
    char out[16];
    GTRSTATUS st{};
    std::vector<PFELEMENT> notS = {term(), oper(VOZ_PF_SPECIAL_NOT, 1, 'S')};
    std::memset(out, 'x', sizeof out);
    vozSearchOrder_Query(notS.data(), 2, out, 6, &st);
    ASSERT_EQ(st.retcode, 0) << codes(st);
    EXPECT_STREQ(out, "!S 1 ");
    std::memset(out, 'x', sizeof out);
    st = GTRSTATUS{};
    vozSearchOrder_Query(notS.data(), 2, out, 5, &st);
    EXPECT_EQ(codes(st), "17/2632") << "five characters need six bytes";
    for (char ch : out) EXPECT_EQ(ch, 'x') << "nothing is written";

    // A deep chain: every operator's text is cut at the output size.
    std::vector<PFELEMENT> chain = {term()};
    for (int i = 0; i < 200; ++i) {
        chain.push_back(term());
        chain.push_back(oper(VOZ_PF_NOT, 2));
    }
    std::vector<char> big(4000, 'x');
    st = GTRSTATUS{};
    vozSearchOrder_Query(chain.data(), static_cast<int32_t>(chain.size()),
                         big.data(), 100, &st);
    EXPECT_EQ(codes(st), "17/2632");
    EXPECT_EQ(big[100], 'x');
    st = GTRSTATUS{};
    vozSearchOrder_Query(chain.data(), static_cast<int32_t>(chain.size()),
                         big.data(), static_cast<int32_t>(big.size()), &st);
    ASSERT_EQ(st.retcode, 0) << codes(st);
    EXPECT_EQ(std::string(big.data()).substr(0, 12), "( ( ( ( ( ( ");

    const struct {
        std::vector<PFELEMENT> pf;
        const char* codes;
    } bad[] = {
        {{term(), term(), term(), oper(VOZ_PF_SPECIAL_NOT, 3)}, "17/2630"},
        {{term()}, "17/2631"},
        {{term(), term(), oper(VOZ_PF_AND, 3)}, "102/1126"},
        {{term(), term(), term(), oper(VOZ_PF_AND, 2)}, "102/1127"},
    };
    for (const auto& b : bad) {
        std::vector<PFELEMENT> pf = b.pf;
        st = GTRSTATUS{};
        vozSearchOrder_Query(pf.data(), static_cast<int32_t>(pf.size()), out,
                             sizeof out, &st);
        EXPECT_EQ(codes(st), b.codes);
    }
}

}  // namespace
