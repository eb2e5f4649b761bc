// Tests of the query-text tokenizer and the options of a term: the options
// table, the operators with modes and distances, quoted words and
// back-reference names, group options, the column characters of the EBCDIC
// code pages, the trace of a failing option and the work area.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cos_trace.hpp"
#include "characters/voz_cut.hpp"
#include "query_test_util.hpp"

using namespace qtest;

namespace {

struct OptionCase {
    const char* text;
    const char* result;  // "rc/ec", or "ok" with the check
    std::function<void(const Translation&)> check;
};

TEST(TokenQuery, OptionsOfATerm) {
    const std::vector<OptionCase> cases = {
        {"alpha%STEM", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().stemming, 1);
             EXPECT_EQ(t.word().precision, 100);
             EXPECT_NE(t.pf[0].winfoX.stem_function, nullptr);
         }},
        {"alpha%_80", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().precision, 80);
             EXPECT_EQ(t.word().search_flag & 1, 1);
             EXPECT_EQ(t.word().stemming, 0);
         }},
        {"alpha%stem", "26/1142", nullptr},
        {"alpha%101", "26/1143", nullptr},
        {"alpha%0", "26/1143", nullptr},
        {"alpha%_1234567", "26/1141", nullptr},
        {"alpha#X", "106/1157", nullptr},
        {"alpha#CC", "106/1156", nullptr},
        {"alpha#C", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().casesens, 'C');
         }},
        {"alpha<**>", "111/1161", nullptr},
        {"alpha<*?", "111/1159", nullptr},
        {"alpha<*?x", "111/1160", nullptr},
        {"alpha<%_>", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().mask[0], '%');
             EXPECT_EQ(t.word().mask[1], '_');
         }},
        {"alpha$0", "112/0", nullptr},
        {"alpha$40000", "112/0", nullptr},
        {"alpha$70000", "112/1757", nullptr},
        {"alpha$", "112/1774", nullptr},
        {"alpha$[F1=2,*=3]", "ok", [](const Translation& t) {
             ASSERT_EQ(t.word().weight, 2);
             const GTRFIELDWEIGHT* fw = t.word().pFieldWeight;
             EXPECT_EQ(fw[0].fld_start_num, 1);
             EXPECT_EQ(fw[0].fld_end_num, 1);
             EXPECT_EQ(fw[0].weight, 2);
             EXPECT_EQ(fw[1].fld_start_num, 0);
             EXPECT_EQ(fw[1].fld_end_num, 0);
             EXPECT_EQ(fw[1].weight, 3);
             EXPECT_EQ(t.work.fieldWeights.count, 1) << "listed in the work area";
         }},
        {"alpha$[F3_2=1]", "112/1759", nullptr},
        {"alpha$[X1=1]", "112/1760", nullptr},
        {"alpha$[F1]", "112/1761", nullptr},
        {"alpha$[F1=]", "112/1775", nullptr},
        {"alpha$[F1=2", "112/1758", nullptr},
        {"alpha$[F1=2,]", "112/1763", nullptr},
        {"alpha@2", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().range_dlmno, 2);
             EXPECT_EQ(t.word().rangenum, -1);
             EXPECT_EQ(t.word().range, nullptr);
         }},
        {"alpha@2_1-3,7", "ok", [](const Translation& t) {
             ASSERT_EQ(t.word().rangenum, 2);
             EXPECT_EQ(t.word().range[0].start, 1);
             EXPECT_EQ(t.word().range[0].end, 3);
             EXPECT_EQ(t.word().range[1].start, 7);
             EXPECT_EQ(t.word().range[1].end, 7);
             EXPECT_EQ(t.pf[0].range_list, 1);
         }},
        {"alpha@33", "27/1147", nullptr},
        {"alpha@x", "27/1146", nullptr},
        {"alpha@2_", "27/1148", nullptr},
        {"alpha@2_1-2-3", "27/1152", nullptr},
        {"alpha@2_1;2", "27/1153", nullptr},
        {"alpha@2_1,", "27/1154", nullptr},
        {"alpha@2_-3", "27/1150", nullptr},
        {"alpha@2_1234567890123456", "27/1149", nullptr},
        {"alpha@F5", "ok", [](const Translation& t) {
             ASSERT_EQ(t.word().fld_number, 1);
             EXPECT_EQ(t.word().pFieldRange[0].fld_start_num, 5);
             EXPECT_EQ(t.word().pFieldRange[0].fld_end_num, 5);
         }},
        {"alpha@F1_5", "120/1766", nullptr},
        {"alpha@F1,F2", "120/1769", nullptr},
        {"alpha@F0", "120/0", nullptr},
        {"alpha@F70000", "120/1757", nullptr},
        {"alpha@[F5_1]", "120/1767", nullptr},
        {"alpha@[F1;F2]", "120/1770", nullptr},
        {"alpha@[F1,]", "120/1771", nullptr},
        {"alpha@[]", "120/1765", nullptr},
        {"alpha@[F1_5,F7]", "ok", [](const Translation& t) {
             ASSERT_EQ(t.word().fld_number, 2);
             EXPECT_EQ(t.word().pFieldRange[0].fld_start_num, 1);
             EXPECT_EQ(t.word().pFieldRange[0].fld_end_num, 5);
             EXPECT_EQ(t.word().pFieldRange[1].fld_start_num, 7);
             EXPECT_EQ(t.word().pFieldRange[1].fld_end_num, 7);
         }},
        {"alpha@2$5", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().range_dlmno, 2);
             EXPECT_EQ(t.word().weight, 5);
         }},
        {"alpha$5@2", "112/1764", nullptr},
        {"alpha/S", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().start_option, 'S');
             EXPECT_EQ(wordText(t.cp, t.word()), "alpha");
         }},
        {"alpha/X", "32/1164", nullptr},
        {"alpha/SS", "32/1163", nullptr},
        {"alpha%80#C<%_>$7/S", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().precision, 80);
             EXPECT_EQ(t.word().casesens, 'C');
             EXPECT_EQ(t.word().mask[0], '%');
             EXPECT_EQ(t.word().weight, 7);
             EXPECT_EQ(t.word().start_option, 'S');
         }},
        {"alpha#C%80", "106/1156", nullptr},  // an earlier option is text
        {"'f.txt'", "ok", [](const Translation& t) {
             EXPECT_EQ(t.word().type, 'B');
             EXPECT_EQ(wordText(t.cp, t.word()), "f.txt");
         }},
        {"'f.txt'%80", "107/1140", nullptr},
        {"'f.txt'#C", "107/1155", nullptr},
        {"'f.txt'<*?>", "107/1158", nullptr},
        {"'f.txt'/S", "107/1162", nullptr},
        {"'f.txt", "107/1136", nullptr},
        {"''", "107/1136", nullptr},
        {"\"a\"\"b\"", "ok", [](const Translation& t) {
             EXPECT_EQ(t.result(), "W:a\"b OR(1)");
         }},
        {"\"\"", "105/1135", nullptr},
        {"\"open", "105/1135", nullptr},
    };
    for (const OptionCase& c : cases) {
        Translation t(c.text);
        if (std::string(c.result) != "ok") {
            EXPECT_EQ(codes(t.st), c.result) << c.text;
            continue;
        }
        ASSERT_EQ(t.st.retcode, 0) << c.text << " " << codes(t.st);
        ASSERT_EQ(t.n, 2) << c.text;
        EXPECT_EQ(t.pf[0].kind, VOZ_PF_TERM);
        if (c.check) c.check(t);
    }
}

TEST(TokenQuery, DefaultsAndTheUnnormalisedName) {
    Translation t("  'My File.txt' * Beta");
    ASSERT_EQ(t.st.retcode, 0) << codes(t.st);
    EXPECT_EQ(t.result(), "B:My File.txt W:beta AND(2)");
    const RTRVWORD& w = t.word(1);
    EXPECT_EQ(w.precision, 100);
    EXPECT_EQ(w.casesens, 'N');
    EXPECT_EQ(w.mask[0], '*');
    EXPECT_EQ(w.mask[1], '?');
    EXPECT_EQ(w.weight, 0);
    EXPECT_EQ(w.start_option, 0);
    EXPECT_EQ(w.wordlen, 12) << "four units of 3 bytes";
    EXPECT_EQ(t.pf[1].winfoX.unit_width, 3);
    std::string longName(2048, 'n');
    Translation tooLong(("'" + longName + "'").c_str());
    EXPECT_EQ(codes(tooLong.st), "107/1138");
    Translation longest(("'" + longName.substr(1) + "'").c_str());
    EXPECT_EQ(longest.st.retcode, 0);
    EXPECT_EQ(longest.word().wordlen, 2047);
}

TEST(TokenQuery, StartOptionOutsideWordBoundaryPages) {
    Translation one("alpha/S", 1);
    ASSERT_EQ(one.n, 2);
    EXPECT_EQ(one.word().wordlen, 14) << "'/' and 'S' belong to the word";
    EXPECT_EQ(one.word().start_option, 0);
    Translation after("alpha%80/S", 7);
    ASSERT_EQ(after.st.retcode, 0);
    EXPECT_EQ(after.word().precision, 80);
    EXPECT_EQ(after.word().start_option, 0);
}

TEST(TokenQuery, Operators) {
    const struct {
        const char* text;
        const char* result;
    } cases[] = {
        {"a * b", "W:a W:b AND(2)"},
        {"a *S b", "W:a W:b ANDS(2)"},
        {"a *F b", "W:a W:b ANDF(2)"},
        {"a *P b", "W:a W:b PROXAP(2)"},
        {"a +P b", "102/1166"},
        {"a -P b", "102/1166"},
        {"a #P b", "102/1166"},
        {"a *5S b", "W:a W:b DIST5S(2)"},
        {"a *0 b", "W:a W:b DIST0(2)"},
        {"a *32P b", "W:a W:b DIST32P(2)"},
        {"a *33 b", "104/1130"},  // "*33" is a word: three words in a row
        {"*33", "W:*33 OR(1)"},
        {"*1234", "W:*1234 OR(1)"},
        {"+x", "W:+x OR(1)"},
        {"a + b * c", "W:a W:b W:c AND(2) OR(2)"},
        {"a * b + c", "W:a W:b AND(2) W:c OR(2)"},
        {"a - b - c", "W:a W:b NOT(2) W:c NOT(2)"},
        {"a *P b * c", "W:a W:b PROXAP(2) W:c AND(2)"},
        {"a * b # c", "W:a W:b W:c SNOT(2) AND(2)"},
        {"( a + b ) * c", "W:a W:b OR(2) W:c AND(2)"},
        {"(a+b)", "W:a+b OR(1)"},
        {"(a+b)*c", "104/1130"},  // ")" then the word "*c"
        {"! alpha", "D W:alpha SNOT(2)"},
        {"!S alpha", "D W:alpha SNOTS(2)"},
        {"!", "104/1130"},
        {"alpha ( beta )", "104/1130"},
        {"( alpha", "103/1133"},
        {"alpha )", "103/1129"},
        {"( alpha )@2$3", "W:alpha GROUP(1)"},
        {"( alpha )@F1$[*=2]", "W:alpha GROUP(1)"},
        {"( alpha )$0", "112/0"},
    };
    for (const auto& c : cases) {
        Translation t(c.text);
        EXPECT_EQ(t.result(), c.result) << c.text;
    }
}

TEST(TokenQuery, RankingModeOfOperatorsWithoutALetter) {
    RTRVRANK rank{};
    rank.howto_operate = 'P';
    Translation p("a * b + c *4 d", 34, false, &rank);
    EXPECT_EQ(p.result(), "W:a W:b PROXAP(2) W:c W:d DIST4P(2) ORF(2)");
    rank.howto_operate = 'S';
    Translation s("a * b +F c", 34, false, &rank);
    EXPECT_EQ(s.result(), "W:a W:b ANDS(2) W:c ORF(2)");
}

// The tokenizer itself: one element per call.
struct Token {
    std::vector<uint8_t> text;
    PFELEMENT e{};
    uint8_t* next = nullptr;
    GTRSTATUS st{};
    QUERYWORK work{};
    ~Token() { vozQueryWorkTerm(&work); }
    size_t read(VOZ_CPINFO cp, size_t at) {
        next = nullptr;
        vozIdentifyToken_Query(text.data() + at, &e, &next, cp, nullptr,
                               text.data(), nullptr, &work, &st);
        return next == nullptr ? SIZE_MAX
                               : static_cast<size_t>(next - text.data());
    }
};

TEST(TokenQuery, SingleTokens) {
    VOZ_CPINFO cp = cpinfo(34);
    Token blanks;  // three blank units, then the end
    blanks.text.assign(12, 0);
    for (int i = 0; i < 3; ++i) vozCHcpy(cp, blanks.text.data() + 3 * i, ' ', nullptr);
    EXPECT_EQ(blanks.read(cp, 0), SIZE_MAX) << "end: no out-position";
    EXPECT_EQ(blanks.e.kind, VOZ_PF_END);

    Token bang;
    bang.text = units(cp, "! a");
    EXPECT_EQ(bang.read(cp, 0), 0u) << "the out-position stays on the NOT";
    EXPECT_EQ(bang.e.kind, VOZ_PF_TERM);
    EXPECT_EQ(bang.e.winfoX.wi.type, 'D');
    EXPECT_EQ(bang.read(cp, 0), 3u);
    EXPECT_EQ(bang.e.kind, VOZ_PF_SPECIAL_NOT) << "rewritten to '#'";
    EXPECT_EQ(bang.e.Operator.op, 'N');

    Token quoted;
    quoted.text = units(cp, "\"a\"\"b\" c");
    EXPECT_EQ(quoted.read(cp, 0), 18u);
    EXPECT_EQ(wordText(cp, quoted.e.winfoX.wi), "a\"b");

    // A failing option after a range option gives its ranges back (ASan).
    Token failing;
    failing.text = units(cp, "a@2_1-3#X");
    failing.read(cp, 0);
    EXPECT_EQ(codes(failing.st), "106/1157");
    EXPECT_EQ(failing.e.winfoX.wi.range, nullptr);
}

TEST(TokenQuery, ColumnCharactersOfEbcdicPages) {
    // "ALPHA" in EBCDIC, the range option with 2, the weight option with 5.
    const std::string alpha = "\xC1\xD3\xD7\xC8\xC1";
    const struct {
        uint8_t code;
        char range, weight;
    } pages[] = {{10, '\x40', '\xE0'}, {28, '\xAE', '\xAD'}, {33, '\xEC', '\x67'}};
    for (const auto& pg : pages) {
        std::string text = alpha + pg.range + "\xF2" + pg.weight + "\xF5";
        Translation t(text.c_str(), pg.code);
        ASSERT_EQ(t.st.retcode, 0) << int(pg.code) << " " << codes(t.st);
        ASSERT_EQ(t.n, 2);
        EXPECT_EQ(t.word().range_dlmno, 2) << int(pg.code);
        EXPECT_EQ(t.word().rangenum, -1);
        EXPECT_EQ(t.word().weight, 5) << int(pg.code);
        EXPECT_EQ(t.word().wordlen, 10);
    }
    EXPECT_EQ(vozGetDoubleQuote(cpinfo(28)), 0xFC);
    EXPECT_EQ(vozGetSingleNot(cpinfo(15)), 0x4F);
    EXPECT_EQ(vozGetSingleNot(cpinfo(34)), '!');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(vozGetTokenChar(cpinfo(1))), 9),
              "%@#<$/ ()");
}

TEST(TokenQuery, AnalyzeNumber) {
    VOZ_CPINFO cp = cpinfo(34);
    const struct {
        const char* text;
        uint16_t value;
        size_t advance;  // units
        const char* codes;
    } cases[] = {{"65535x", 65535, 5, "0/0"},
                 {"65536", 0, 5, "120/1757"},
                 {"x1", 0, 0, "0/0"},
                 {"0000000000000000007", 0, 19, "0/0"}};
    for (const auto& c : cases) {
        std::vector<uint8_t> u = units(cp, c.text);
        const uint8_t* p = u.data();
        GTRSTATUS st{};
        EXPECT_EQ(vozAnalyzeNumber(cp, &p, u.data() + u.size() - 3, &st), c.value)
            << c.text;
        EXPECT_EQ(static_cast<size_t>(p - u.data()), c.advance * 3) << c.text;
        EXPECT_EQ(codes(st), c.codes) << c.text;
    }
}

std::vector<std::string> gTrace;
void collect(void*, CosEnTraceDetail, uint16_t, CosEnTraceDataType, char const*,
             char const* label, void const*, uint32_t) {
    gTrace.push_back(label);
}

TEST(TokenQuery, FailingOptionIsTraced) {
    CosClTraceInstance* inst = cosTraceCreateInstance("VOZTOKENTEST", nullptr);
    ASSERT_NE(inst, nullptr);
    inst->registerUserCallback(collect, nullptr);
    inst->activate();
    inst->enable();
    gTrace.clear();
    { Translation t("alpha%101"); }
    { Translation t("alpha$0"); }
    { Translation t("alpha<ab"); }
    { Translation t("alpha/X"); }
    { Translation t("alpha#X"); }
    { Translation t("`T1=a#X`", 34, true); }
    { Translation t("`T1=a<ab`", 34, true); }
    cosTraceDeleteInstance();
    EXPECT_EQ(gTrace, (std::vector<std::string>{
                          "Precision error!", "startp", "Weight error!", "startp",
                          "Mask char error!", "startp", "Start option error!",
                          "startp", "Casesens error!", "startp",
                          "Casesens error!", "startp", "Mask char error!",
                          "startp"}));
}

TEST(TokenQuery, WorkAreaListsAndFrees) {
    QUERYWORK work{};
    PFELEMENT* pf = nullptr;
    uint8_t* buf = nullptr;
    int32_t n = 0;
    GTRSTATUS st{};
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += (i > 1 ? " + w" : "w") + std::to_string(i) + "@F" +
                std::to_string(i) + "$[F1=" + std::to_string(i) + "]";
    vozTranslateCond_Query(cpinfo(34), text.c_str(), &buf, &pf, &n, nullptr,
                           nullptr, &work, &st);
    ASSERT_EQ(st.retcode, 0) << codes(st);
    EXPECT_EQ(work.fieldRanges.count, 20);
    EXPECT_EQ(work.fieldWeights.count, 20);
    EXPECT_EQ(work.fieldRanges.capacity, 24) << "grown by 8";
    ASSERT_EQ(n, 39);
    EXPECT_EQ(pf[37].winfoX.wi.pFieldRange[0].fld_start_num, 20);
    vozTranslateCond_Query_Term(buf, pf, n);
    vozQueryWorkTerm(&work);
    EXPECT_EQ(work.fieldRanges.arrays, nullptr);
    EXPECT_EQ(work.fieldRanges.count, 20) << "counts are left";
    vozQueryWorkTerm(&work);  // a second time frees nothing
    vozQueryWorkTerm(nullptr);
}

TEST(TokenQuery, TranslationErrors) {
    EXPECT_EQ(Translation("").result(), "25/2581");
    EXPECT_EQ(Translation("    ").result(), "25/2583");
    QUERYWORK work{};
    uint8_t* buf = reinterpret_cast<uint8_t*>(1);
    PFELEMENT* pf = reinterpret_cast<PFELEMENT*>(1);
    int32_t n = 7;
    GTRSTATUS st{};
    vozTranslateCond_Query(cpinfo(34), nullptr, &buf, &pf, &n, nullptr, nullptr,
                           &work, &st);
    EXPECT_EQ(codes(st), "25/2581");
    EXPECT_EQ(buf, nullptr);
    EXPECT_EQ(pf, nullptr);
    EXPECT_EQ(n, 0);
    vozTranslateCond_Query_Term(nullptr, nullptr, 0);
}

}  // namespace
