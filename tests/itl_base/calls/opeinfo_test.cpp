// Tests of the operator table built from a postfix form: numbering of word
// records and operator results, operand order, group options, failures.
#include "calls/voz_opeinfo.hpp"

#include <gtest/gtest.h>

#include "calls/voz_translate.hpp"
#include "query_test_util.hpp"

#include <string>
#include <vector>

namespace {

PFELEMENT term(int32_t item, char type = 'W') {
    PFELEMENT e{};
    e.kind = VOZ_PF_TERM;
    e.itemNo = item;
    e.winfoX.wi.type = type;
    return e;
}

PFELEMENT op(int16_t kind, int16_t n, char letter, char mode = 0) {
    PFELEMENT e{};
    e.kind = kind;
    e.opnum = n;
    e.Operator.op = letter;
    e.mode = mode;
    e.itemNo = -1;
    return e;
}

// The table in one canonical text: word records as "W<index>:<item>#<ordinal>"
// (with "[r<ranges>]" when a field range reached them), then operators as
// "<letter><number>(<operands>)" with "[r<ranges>]", "[w<weight>]" (a
// group's weight; "[w<count>f]" with a field-weight array) and "v<value>".
std::string describe(const OPEINFO* ops, int32_t nOps, const RTRVWORDEXT* words,
                     int32_t nWords, const std::vector<PFELEMENT>& elems) {
    std::string s;
    for (int32_t i = 0; i < nWords; ++i) {
        // Find the element the word was copied from by its word pointer.
        int32_t item = -1;
        for (const PFELEMENT& e : elems)
            if (e.kind == VOZ_PF_TERM && e.winfoX.wi.wordp == words[i].wi.wordp)
                item = e.itemNo;
        s += "W" + std::to_string(i) + ":" + std::to_string(item) + "#" +
             std::to_string(words[i].word_no);
        if (words[i].wi.pFieldRange != nullptr)
            s += "[r" + std::to_string(words[i].wi.fld_number) + "]";
        s += " ";
    }
    for (int32_t i = 0; i < nOps; ++i) {
        s += std::string(1, ops[i].op_kind) + std::to_string(ops[i].op_number) + "(";
        for (int32_t k = 0; k < ops[i].op_count; ++k)
            s += (k ? "," : "") + std::to_string(ops[i].op_operands[k]);
        s += ")";
        if (ops[i].fld_range_count) s += "[r" + std::to_string(ops[i].fld_range_count) + "]";
        if (ops[i].fld_weight_count)
            s += "[w" + std::to_string(ops[i].fld_weight_count) +
                 (ops[i].fld_weight != nullptr ? "f]" : "]");
        s += "v" + std::to_string(ops[i].op_value) + " ";
    }
    if (!s.empty()) s.pop_back();
    return s;
}

// Builds the table of `elems`; "rc/ec" on failure.
std::string table(std::vector<PFELEMENT> elems, int32_t value = 7) {
    // Distinct word pointers let describe() name each word's element.
    static uint8_t text[64];
    for (size_t i = 0; i < elems.size(); ++i)
        if (elems[i].kind == VOZ_PF_TERM) elems[i].winfoX.wi.wordp = &text[i];
    int32_t nWords = -1, nOps = -1;
    RTRVWORDEXT* words = nullptr;
    OPEINFO* block = nullptr;
    GTRSTATUS st{};
    vozOpeInfo(elems.data(), static_cast<int32_t>(elems.size()), value, &nWords,
               &words, &nOps, &block, nullptr, &st);
    std::string out = st.retcode != 0
                          ? std::to_string(st.retcode) + "/" + std::to_string(st.errcode)
                          : describe(block, nOps, words, nWords, elems);
    vozOpeInfoTerm(block);
    return out;
}

TEST(OpeInfo, NumbersWordsAndOperatorResults) {
    struct Case {
        const char* what;
        std::vector<PFELEMENT> elems;
        const char* expected;
    } cases[] = {
        {"two terms and an OR", {term(0), term(1), op(VOZ_PF_OR, 2, 'O')},
         "W0:0#0 W1:1#1 O0(0,1)v7"},
        {"a NOT keeps its first operand first",
         {term(0), term(1), op(VOZ_PF_OR, 2, 'O'), term(2), op(VOZ_PF_NOT, 2, 'N')},
         "W0:0#0 W1:1#1 W2:2#2 O0(0,1)v7 N1(3,2)v7"},
        {"other operators sort their operands",
         {term(0), term(1), op(VOZ_PF_OR, 2, 'O'), term(2), op(VOZ_PF_AND, 2, 'A')},
         "W0:0#0 W1:1#1 W2:2#2 O0(0,1)v7 A1(2,3)v7"},
        {"a whole-document operand has no ordinal",
         {term(0, 'D'), term(1), op(VOZ_PF_SPECIAL_NOT, 2, 'N')},
         "W0:0#-1 W1:1#0 N0(0,1)v7"},
        {"removed operators are passed over",
         {term(0), term(1), term(2), op(VOZ_PF_REMOVED, 2, 'A'),
          op(VOZ_PF_AND, 3, 'A')},
         "W0:0#0 W1:1#1 W2:2#2 A0(0,1,2)v7"},
        {"a lone term with its OR of one operand", {term(0), op(VOZ_PF_OR, 1, 'O')},
         "W0:0#0 O0(0)v7"},
        {"one term without an operator", {term(0)}, "17/1070"},
        {"operands left over", {term(0), term(1), term(2), op(VOZ_PF_OR, 2, 'O')},
         "17/1070"},
        {"an operator without enough operands", {term(0), op(VOZ_PF_AND, 2, 'A')},
         "17/1070"},
    };
    for (const Case& c : cases) EXPECT_EQ(table(c.elems), c.expected) << c.what;
}

TEST(OpeInfo, GroupFieldRangesFlowDownToOperandsWithoutTheirOwn) {
    GTRFIELDRANGE groupRange[2] = {}, ownRange[1] = {};
    GTRFIELDWEIGHT groupWeight[3] = {};
    PFELEMENT group = op(VOZ_PF_GROUP, 1, 'O');
    group.winfoX.wi.pFieldRange = groupRange;
    group.winfoX.wi.fld_number = 2;
    group.winfoX.wi.pFieldWeight = groupWeight;
    group.winfoX.wi.weight = 3;
    PFELEMENT own = term(1);
    own.winfoX.wi.pFieldRange = ownRange;
    own.winfoX.wi.fld_number = 1;
    // (t0 | t1) with options, AND t2: the OR gets the group's range and
    // hands it to t0; t1 keeps its own; the AND and t2 get nothing.
    EXPECT_EQ(table({term(0), own, op(VOZ_PF_OR, 2, 'O'), group, term(2),
                     op(VOZ_PF_AND, 2, 'A')}),
              "W0:0#0[r2] W1:1#1[r1] W2:2#2 O0(0,1)[r2][w3f]v7 A1(2,3)v7");
    // A group right after a term becomes an OR of one operand of its own;
    // its range reaches the term, and through the outer AND nothing else.
    EXPECT_EQ(table({term(0), group, term(1), op(VOZ_PF_AND, 2, 'A')}),
              "W0:0#0[r2] W1:1#1 O0(0)[r2][w3f]v7 A1(1,2)v7");
    // Nested: an outer group's range flows through an inner operator
    // without one down to its words.
    EXPECT_EQ(table({term(0), term(1), op(VOZ_PF_OR, 2, 'O'), term(2),
                     op(VOZ_PF_AND, 2, 'A'), group}),
              "W0:0#0[r2] W1:1#1[r2] W2:2#2[r2] O0(0,1)[r2]v7 A1(2,3)[r2][w3f]v7");
}

TEST(OpeInfo, GroupWeightsStayWithTheirOperator) {
    // (t0 * t1)$3 + t2: a plain weight has no field-weight array; the AND
    // carries the weight all the same, and weights do not flow down.
    PFELEMENT plain = op(VOZ_PF_GROUP, 1, 'O');
    plain.winfoX.wi.weight = 3;
    EXPECT_EQ(table({term(0), term(1), op(VOZ_PF_AND, 2, 'A'), plain, term(2),
                     op(VOZ_PF_OR, 2, 'O')}),
              "W0:0#0 W1:1#1 W2:2#2 A0(0,1)[w3]v7 O1(2,3)v7");
    // (t0)$3 * t1: the group of one term is an operator of its own.
    EXPECT_EQ(table({term(0), plain, term(1), op(VOZ_PF_AND, 2, 'A')}),
              "W0:0#0 W1:1#1 O0(0)[w3]v7 A1(1,2)v7");
    // A field-weight list: its count and array.
    GTRFIELDWEIGHT list[2] = {};
    PFELEMENT fields = op(VOZ_PF_GROUP, 1, 'O');
    fields.winfoX.wi.pFieldWeight = list;
    fields.winfoX.wi.weight = 2;
    EXPECT_EQ(table({term(0), term(1), op(VOZ_PF_AND, 2, 'A'), fields}),
              "W0:0#0 W1:1#1 A0(0,1)[w2f]v7");

    // The same from query text, through the translation.
    qtest::Translation t("(a * b)$3 + c");
    ASSERT_EQ(t.st.retcode, 0) << qtest::codes(t.st);
    GTRSTATUS st{};
    vozOptimizePostfix(t.pf, t.n, nullptr, &st);
    ASSERT_EQ(st.retcode, 0);
    std::vector<PFELEMENT> elems(t.pf, t.pf + t.n);
    int32_t nWords = 0, nOps = 0;
    RTRVWORDEXT* words = nullptr;
    OPEINFO* block = nullptr;
    vozOpeInfo(elems.data(), t.n, 0, &nWords, &words, &nOps, &block, nullptr, &st);
    ASSERT_EQ(st.retcode, 0);
    ASSERT_EQ(nOps, 2);
    EXPECT_EQ(block[0].op_kind, 'A');
    EXPECT_EQ(block[0].fld_weight_count, 3);
    EXPECT_EQ(block[0].fld_weight, nullptr);
    EXPECT_EQ(block[1].fld_weight_count, 0);
    vozOpeInfoTerm(block);
}

TEST(OpeInfo, CarriesModeDistanceAndTheCallersValue) {
    PFELEMENT d = op(VOZ_PF_DISTANCE, 2, 'D', 'P');
    d.Operator.op_dlmno = 5;
    std::vector<PFELEMENT> elems = {term(0), term(1), d};
    int32_t nWords = 0, nOps = 0;
    RTRVWORDEXT* words = nullptr;
    OPEINFO* block = nullptr;
    GTRSTATUS st{};
    vozOpeInfo(elems.data(), 3, 250, &nWords, &words, &nOps, &block, nullptr, &st);
    ASSERT_EQ(st.retcode, 0);
    ASSERT_EQ(nOps, 1);
    EXPECT_EQ(block[0].op_kind, 'D');
    EXPECT_EQ(block[0].op_mode, 'P');
    EXPECT_EQ(block[0].op_distance, 5);
    EXPECT_EQ(block[0].op_value, 250);
    EXPECT_EQ(block[0].op_slot, 2);
    vozOpeInfoTerm(block);
    vozOpeInfoTerm(nullptr);
}

TEST(OpeInfo, CompareOrdersSigned32BitValues) {
    int32_t a = -5, b = 3, c = 0x7FFFFFFF, d = -0x7FFFFFFF - 1;
    EXPECT_LT(vozCompareINT4(&a, &b), 0);
    EXPECT_GT(vozCompareINT4(&c, &d), 0);  // no overflow of the difference
    EXPECT_EQ(vozCompareINT4(&b, &b), 0);
}

}  // namespace
