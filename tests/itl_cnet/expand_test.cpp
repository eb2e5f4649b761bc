// Tests of query expansion (vozCNETexpandSearchCond): the order-string
// rewrite, the related words and their weights, mixed conditions, the
// argument checks, the expand handle's life, and searches of the expanded
// conditions on a small engine index.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cnet_expand_util.hpp"

namespace {

using namespace cexpand;

TEST(CnetExpand, OrderRewriteTableAndSearches) {
    Fixture f;
    f.buildIndex({"car", "auto", "bike", "motorcar and bike", "nothing"});
    struct Row {
        std::vector<std::string> words;
        std::string order, want;
        uint32_t rc;
    } rows[] = {
        {{"car"}, "1", "( 1 + 2 + 3 )", 0},
        {{"car", "bike"}, "1 * 2", "( 1 + 3 + 4 ) * 2", 0},
        {{"car", "bike"}, "1 *5F 2", "( 1 + 3 + 4 ) *5F 2", 0},
        {{"car", "bike"}, "2 *9 1", "2 *9 ( 1 + 3 + 4 )", 0},
        {{"car", "bike"}, "1 * 3", "", 503},
        {{"car", "bike"}, "0", "", 503},
    };
    void* h = nullptr;
    for (const Row& row : rows) {
        Cond c(row.words, row.order);
        CNETPATH p = synonyms();
        CNETEXPAND o = options();
        GTRSEARCH_COND out;
        CNETSTATUS st;
        vozCNETexpandSearchCond(&h, f.path().c_str(), "th", &c.c, &p, &o, nullptr, &out, &st);
        if (row.rc != 0) {
            // The engine may refuse the order string before the rewrite.
            EXPECT_TRUE(st.retcode == row.rc || st.retcode > 10000) << row.order << " " << st.retcode;
            ASSERT_NE(h, nullptr);  // cleared, still allocated
            continue;
        }
        ASSERT_EQ(st.retcode, 0u) << row.order << " " << st.errcode;
        EXPECT_EQ(std::string(out.struct_order), row.want);
        ASSERT_EQ(out.struct_num, static_cast<int32_t>(row.words.size()) + 2);
        const RTRVWORD& a = out.struct_word[row.words.size()];
        const RTRVWORD& m = out.struct_word[row.words.size() + 1];
        EXPECT_EQ(word(a), cdict::display(34, cdict::norm(34, "auto")));
        EXPECT_EQ(a.weight, 15);
        EXPECT_EQ(word(m), cdict::display(34, cdict::norm(34, "motorcar")));
        EXPECT_EQ(m.weight, 30);
        EXPECT_EQ(a.casesens, 'N');
        EXPECT_EQ(a.precision, 100);
        f.docs(out);
    }
    // A document holding only a related term is found.
    {
        Cond c({"car"}, "1");
        EXPECT_EQ(f.docs(c.c), 1);
        CNETPATH p = synonyms();
        CNETEXPAND o = options();
        GTRSEARCH_COND out;
        CNETSTATUS st;
        vozCNETexpandSearchCond(&h, f.path().c_str(), "th", &c.c, &p, &o, nullptr, &out, &st);
        ASSERT_EQ(st.retcode, 0u);
        EXPECT_EQ(f.docs(out), 3);
    }
    CNETSTATUS st;
    vozCNETexpandSearchCond_Release(&h, &st);
    EXPECT_EQ(h, nullptr);
}

TEST(CnetExpand, WeightsLimitsAndWordsLeftAlone) {
    Fixture f;
    ASSERT_EQ(cdict::compile(f.path(), "w",
                             ":WORDS:SYNONYM\nalpha\nbeta :33\ngamma :50\n"
                             ":WORDS:SYNONYM\ndelta\nepsilon\nzeta\n",
                             34)
                  .retcode,
              0u);
    void* h = nullptr;
    Cond c({"alpha", "delta", "alpha*"}, "1 + 2 + 3", 7);
    c.words[2].type = 'B';
    CNETPATH p = synonyms(1);
    CNETEXPAND o = options();
    GTRSEARCH_COND out;
    CNETSTATUS st;
    vozCNETexpandSearchCond(&h, f.path().c_str(), "w", &c.c, &p, &o, nullptr, &out, &st);
    ASSERT_EQ(st.retcode, 0u) << st.errcode;
    // One term per word at limit 1: one left out of each of the two words.
    EXPECT_EQ(st.resultsCut, 2u);
    ASSERT_EQ(out.struct_num, 5);
    EXPECT_EQ(std::string(out.struct_order), "( 1 + 4 ) + ( 2 + 5 ) + 3");
    EXPECT_EQ(out.struct_word[3].weight, 2);  // 7 * 33 / 100
    // The handle serves a second and a third call.
    Cond c2({std::string(65, 'a'), "gamma"}, "1 * 2", 30);
    p = synonyms(5);
    vozCNETexpandSearchCond(&h, f.path().c_str(), "w", &c2.c, &p, &o, nullptr, &out, &st);
    ASSERT_EQ(st.retcode, 0u);
    EXPECT_EQ(std::string(out.struct_order), "1 * ( 2 + 3 + 4 )");
    EXPECT_EQ(out.struct_word[2].weight, 15);  // alpha, 100 seen from gamma (50): 50
    vozCNETexpandSearchCond(&h, f.path().c_str(), "missing", &c2.c, &p, &o, nullptr, &out, &st);
    EXPECT_EQ(st.retcode, 543u);
    vozCNETexpandSearchCond_Release(&h, &st);
}

TEST(CnetExpand, ArgumentChecks) {
    Fixture f;
    Cond c({"car"}, "1");
    void* h = nullptr;
    GTRSEARCH_COND out;
    CNETSTATUS st;
    auto run = [&](const char* name, const GTRSEARCH_COND* cond, CNETPATH p, CNETEXPAND o,
                   void* rsv = nullptr, GTRSEARCH_COND* outp = nullptr, bool noPath = false,
                   bool noOpts = false) {
        vozCNETexpandSearchCond(&h, f.path().c_str(), name, cond, noPath ? nullptr : &p,
                                noOpts ? nullptr : &o, rsv, outp != nullptr ? outp : &out, &st);
        return st.retcode;
    };
    EXPECT_EQ(run("th", &c.c, synonyms(0), options()), 503u);
    EXPECT_EQ(run("th", &c.c, synonyms(65), options()), 503u);
    EXPECT_EQ(run("missing", &c.c, synonyms(0), options()), 503u);
    EXPECT_EQ(run("missing", &c.c, synonyms(64), options()), 543u);
    CNETEXPAND o2 = options();
    o2.version = 2;
    EXPECT_EQ(run("th", &c.c, synonyms(), o2), 503u);
    o2 = options();
    o2.reserved[5] = 1;
    EXPECT_EQ(run("th", &c.c, synonyms(), o2), 504u);
    CNETPATH p2 = synonyms();
    p2.reserved2[0] = 1;
    EXPECT_EQ(run("th", &c.c, p2, options()), 504u);
    int dummy;
    EXPECT_EQ(run("th", &c.c, synonyms(), options(), &dummy), 504u);
    EXPECT_EQ(run("th", nullptr, synonyms(), options()), 503u);
    EXPECT_EQ(run("th", &c.c, synonyms(), options(), nullptr, nullptr, true), 503u);
    EXPECT_EQ(run("th", &c.c, synonyms(), options(), nullptr, nullptr, false, true), 503u);
    EXPECT_EQ(run("", &c.c, synonyms(), options()), 502u);
    EXPECT_EQ(run("th", &c.c, synonyms(), options()), 0u);
    vozCNETexpandSearchCond_Release(&h, &st);
}

TEST(CnetExpand, ManyWordsWithManyTermsSizeTheOrderString) {
    Fixture f;
    std::string def = ":WORDS:SYNONYM\n";
    for (int i = 0; i < 65; ++i) def += "t" + std::to_string(i) + "\n";
    ASSERT_EQ(cdict::compile(f.path(), "big", def, 34).retcode, 0u);
    std::vector<std::string> words;
    std::string order;
    for (int i = 0; i < 100; ++i) {
        words.push_back("t" + std::to_string(i % 65));
        order += (i ? " + " : "") + std::to_string(i + 1);
    }
    Cond c(words, order);
    void* h = nullptr;
    CNETPATH p = synonyms(64);
    CNETEXPAND o = options();
    GTRSEARCH_COND out;
    CNETSTATUS st;
    vozCNETexpandSearchCond(&h, f.path().c_str(), "big", &c.c, &p, &o, nullptr, &out, &st);
    ASSERT_EQ(st.retcode, 0u) << st.errcode;
    EXPECT_EQ(out.struct_num, 100 + 100 * 64);
    EXPECT_GT(std::strlen(out.struct_order), 100u * 64u * 4u);
    vozCNETexpandSearchCond_Release(&h, &st);
}

}  // namespace

namespace {

using namespace cexpand;

TEST(CnetExpand, MixedConditionKeepsItsElements) {
    Fixture f;
    std::string itemText = "blue", wordText = "car", order = "1 * 2";
    std::vector<GTRSEARCHMIX> mix(2);
    std::memset(mix.data(), 0, sizeof(GTRSEARCHMIX) * 2);
    mix[0].mix_type = GTR_MIX_ITEM;
    mix[0].item.item_number = 1;
    mix[0].item.item_type = 'C';
    mix[0].item.char_ptr = reinterpret_cast<uint8_t*>(&itemText[0]);
    mix[0].item.char_len = 4;
    mix[0].item.char_precision = 100;
    mix[0].item.char_casesens = 'C';
    mix[1].mix_type = GTR_MIX_WORD;
    mix[1].word.type = 'W';
    mix[1].word.casesens = 'N';
    mix[1].word.wordp = reinterpret_cast<uint8_t*>(&wordText[0]);
    mix[1].word.wordlen = 3;
    mix[1].word.precision = 100;
    mix[1].word.weight = 30;
    GTRSEARCH_COND c;
    std::memset(&c, 0, sizeof c);
    c.codepage = 34;
    c.cond_type = GTR_COND_MIX;
    c.mix_num = 2;
    c.mix = mix.data();
    c.mix_order = &order[0];
    void* h = nullptr;
    CNETPATH p = synonyms();
    CNETEXPAND o = options();
    GTRSEARCH_COND out;
    CNETSTATUS st;
    vozCNETexpandSearchCond(&h, f.path().c_str(), "th", &c, &p, &o, nullptr, &out, &st);
    ASSERT_EQ(st.retcode, 0u) << st.errcode;
    EXPECT_EQ(std::string(out.mix_order), "1 * ( 2 + 3 + 4 )");
    ASSERT_EQ(out.mix_num, 4);
    EXPECT_EQ(out.mix[0].mix_type, GTR_MIX_ITEM);
    EXPECT_EQ(out.mix[0].item.item_number, 1);
    EXPECT_EQ(out.mix[2].mix_type, GTR_MIX_WORD);
    EXPECT_EQ(out.mix[2].word.weight, 15);
    vozCNETexpandSearchCond_Release(&h, &st);
}

}  // namespace
