// Tests of the move of a converted condition into the expand handle
// (cnetMoveCond, cnetMoveCond_Mix): every condition form expands to the
// engine's own conversion followed by the related terms, the new condition
// no longer points into the caller's condition (its texts, ranges and
// order string may be overwritten at once), query text keeps its
// distances, and the moved buffers hold exactly the words' texts, the
// order string and the ranges.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_convcond.hpp"
#include "cnet_expand.hpp"
#include "cnet_expand_util.hpp"

namespace {

using namespace cexpand;

// A word record with its text and ranges read out, for comparison after
// the memory it pointed to is gone.
struct WordView {
    RTRVWORD rec;  // pointers cleared
    std::string text;
    std::vector<int32_t> ranges;
    bool operator==(const WordView& o) const {
        return std::memcmp(&rec, &o.rec, sizeof rec) == 0 && text == o.text &&
               ranges == o.ranges;
    }
};

WordView view(const RTRVWORD& w) {
    WordView v;
    v.rec = w;
    v.rec.wordp = nullptr;
    v.rec.range = nullptr;
    if (v.rec.precision == 0) v.rec.precision = 100;  // the move's one change
    v.text = word(w);
    if (w.range != nullptr)
        for (int32_t i = 0; i < w.rangenum; ++i) {
            v.ranges.push_back(w.range[i].start);
            v.ranges.push_back(w.range[i].end);
        }
    return v;
}

// The word records of a converted or expanded condition, the first n.
std::vector<WordView> views(const GTRSEARCH_COND& c, int32_t n) {
    std::vector<WordView> out;
    const bool mixed = c.cond_type == GTR_COND_MIX;
    for (int32_t i = 0; i < n; ++i) {
        if (mixed) {
            if (c.mix[i].mix_type == GTR_MIX_WORD) out.push_back(view(c.mix[i].word));
        } else {
            out.push_back(view(c.struct_word[i]));
        }
    }
    return out;
}

// The dictionary of the fixture (car: auto, motorcar; boat: ship) and an
// index of these documents, numbered from 0.
const std::vector<std::string> kDocs = {
    "car", "auto", "bike", "motorcar and bike", "nothing",
    "auto one two three four five six seven eight bike", "boat ship",
};

TEST(CnetMoveCond, EveryFormExpandsTheEnginesConversion) {
    Fixture f;
    f.buildIndex(kDocs);
    // Caller-owned storage of the hand-made conditions (kinds 1, 3 and 5).
    std::string simpleWords = "car bike";
    std::string q1 = "car *5 bike", q2 = "( car + boat ) *3S bike", q3 = "car@2_1-3,7 * bike";
    std::string mq = "`T3=red#C` * car";
    std::string t1 = "car", t2 = "bike", order3 = "1 *5 2", order5 = "1 + 2";
    std::vector<RTRVRANGE> r1 = {{1, 2}, {5, 9}};
    RTRVWORD w3[2];
    std::memset(w3, 0, sizeof w3);
    for (int i = 0; i < 2; ++i) {
        w3[i].type = 'W';
        w3[i].casesens = 'N';
        w3[i].wordp = reinterpret_cast<uint8_t*>(i == 0 ? &t1[0] : &t2[0]);
        w3[i].wordlen = 3 + i;
        w3[i].precision = static_cast<int16_t>(i == 0 ? 0 : 100);  // 0 becomes 100
        w3[i].weight = 40;
    }
    std::vector<GTRSEARCHMIX> m5(2);
    std::memset(m5.data(), 0, sizeof(GTRSEARCHMIX) * 2);
    std::string item = "blue";
    m5[0].mix_type = GTR_MIX_ITEM;
    m5[0].item.item_number = 1;
    m5[0].item.item_type = 'C';
    m5[0].item.char_ptr = reinterpret_cast<uint8_t*>(&item[0]);
    m5[0].item.char_len = 4;
    m5[0].item.char_precision = 100;
    m5[0].item.char_casesens = 'C';
    m5[1].mix_type = GTR_MIX_WORD;
    m5[1].word = w3[0];
    m5[1].word.range = r1.data();
    m5[1].word.rangenum = 2;

    const char* const kOracle = "( car + auto + motorcar ) *5 bike";
    auto base = [] {
        GTRSEARCH_COND c;
        std::memset(&c, 0, sizeof c);
        c.codepage = 34;
        return c;
    };
    struct Row {
        const char* name;
        GTRSEARCH_COND cond;
        std::string want;  // the new order string
        const char* oracle;  // a query text finding the same documents, or null
    };
    std::vector<Row> rows;
    {
        GTRSEARCH_COND c = base();
        c.cond_type = GTR_COND_SIMPLE;
        c.simple_query = &simpleWords[0];
        c.simple_option.Operator.op = 'D';
        c.simple_option.Operator.op_dlmno = 5;
        c.simple_option.casesens = 'N';
        c.simple_option.precision = 100;
        rows.push_back({"simple", c, "( 1 + 3 + 4 )  *5 2 ", kOracle});
    }
    for (std::string* q : {&q1, &q2, &q3}) {
        GTRSEARCH_COND c = base();
        c.cond_type = GTR_COND_QUERY;
        c.query = &(*q)[0];
        rows.push_back({q->c_str(), c, "", nullptr});
    }
    rows[1].want = "( 1 + 3 + 4 ) *5 2 ";  // the distance stays
    rows[1].oracle = kOracle;
    rows[2].want = "( ( 1 + 4 + 5 ) + ( 2 + 6 ) ) *3S 3 ";
    rows[3].want = "( 1 + 3 + 4 ) * 2 ";
    {
        GTRSEARCH_COND c = base();
        c.cond_type = GTR_COND_STRUCT;
        c.struct_num = 2;
        c.struct_word = w3;
        c.struct_order = &order3[0];
        rows.push_back({"struct", c, "( 1 + 3 + 4 ) *5 2", kOracle});
    }
    {
        GTRSEARCH_COND c = base();
        c.cond_type = GTR_COND_MIX;
        c.mix_num = 2;
        c.mix = m5.data();
        c.mix_order = &order5[0];
        rows.push_back({"mix", c, "1 + ( 2 + 3 + 4 )", nullptr});
    }
    {
        GTRSEARCH_COND c = base();
        c.cond_type = GTR_COND_MIXQUERY;
        c.query = &mq[0];
        rows.push_back({"mixquery", c, "1 * ( 2 + 3 + 4 ) ", nullptr});
    }

    void* h = nullptr;
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool mixed = row.cond.cond_type >= GTR_COND_MIX;
        // The engine's conversion, read out at once.
        void* conv = nullptr;
        GTRSEARCH_COND ref;
        GTRSTATUS gs{};
        if (mixed)
            GTRconvertSearchCond_Mix(&conv, row.cond, &ref, &gs);
        else
            GTRconvertSearchCond(&conv, row.cond, &ref, &gs);
        ASSERT_EQ(gs.retcode, 0) << gs.errcode;
        const int32_t n = mixed ? ref.mix_num : ref.struct_num;
        const std::vector<WordView> want = views(ref, n);
        std::vector<SEARCHITEM> items;
        if (mixed)
            for (int32_t i = 0; i < n; ++i)
                if (ref.mix[i].mix_type == GTR_MIX_ITEM) items.push_back(ref.mix[i].item);
        GTRconvertSearchCond_Release(&conv);

        CNETPATH p = synonyms();
        CNETEXPAND o = options();
        GTRSEARCH_COND out;
        CNETSTATUS st;
        vozCNETexpandSearchCond(&h, f.path().c_str(), "th", &row.cond, &p, &o, nullptr, &out,
                                &st);
        ASSERT_EQ(st.retcode, 0u) << st.errcode;
        EXPECT_EQ(std::string(mixed ? out.mix_order : out.struct_order), row.want);
        EXPECT_EQ(views(out, n), want);
        if (mixed) {
            size_t k = 0;
            for (int32_t i = 0; i < n; ++i)
                if (out.mix[i].mix_type == GTR_MIX_ITEM) {
                    EXPECT_EQ(std::memcmp(&out.mix[i].item, &items[k++], sizeof(SEARCHITEM)),
                              0);
                    EXPECT_EQ(out.mix[i].item.item_number, items[k - 1].item_number);
                }
        }
        // Related terms: the given word with the term's text, its ranges
        // the moved ones.
        const std::vector<WordView> all = views(out, mixed ? out.mix_num : out.struct_num);
        for (const WordView& v : all) {
            if (v.text == cdict::display(34, cdict::norm(34, "auto")) ||
                v.text == cdict::display(34, cdict::norm(34, "motorcar"))) {
                const WordView& car = want[0];  // car is the first word
                EXPECT_EQ(v.ranges, car.ranges);
                EXPECT_EQ(v.rec.precision, 100);
            }
        }
        // Overwriting the caller's condition changes nothing in the new one.
        const std::vector<WordView> before = views(out, mixed ? out.mix_num : out.struct_num);
        const std::string orderBefore = mixed ? out.mix_order : out.struct_order;
        if (row.cond.cond_type != GTR_COND_MIXQUERY) {  // its items point into the text
            for (std::string* s : {&simpleWords, &q1, &q2, &q3, &t1, &t2, &order3, &order5})
                std::fill(s->begin(), s->end(), '9');
            r1[0] = {77, 77};
        }
        EXPECT_EQ(views(out, mixed ? out.mix_num : out.struct_num), before);
        EXPECT_EQ(std::string(mixed ? out.mix_order : out.struct_order), orderBefore);
        // The same documents as the query text that names the terms.
        if (row.oracle != nullptr) {
            GTRSEARCH_COND qc = base();
            qc.cond_type = GTR_COND_QUERY;
            qc.query = const_cast<char*>(row.oracle);
            EXPECT_EQ(f.docs(out), f.docs(qc));
            EXPECT_GT(f.docs(out), 0);
        }
        // Restore the caller's storage for the next row.
        simpleWords = "car bike";
        q1 = "car *5 bike";
        q2 = "( car + boat ) *3S bike";
        q3 = "car@2_1-3,7 * bike";
        t1 = "car";
        t2 = "bike";
        order3 = "1 *5 2";
        order5 = "1 + 2";
        r1 = {{1, 2}, {5, 9}};
    }
    CNETSTATUS st;
    vozCNETexpandSearchCond_Release(&h, &st);
}

// The moved buffers: the texts one after another, then the order string
// with its terminator; the ranges, 8 bytes each, word after word.
TEST(CnetMoveCond, BuffersHoldTextsOrderAndRanges) {
    std::string a = "alpha", b = "be", order = "1 + 2";
    std::vector<RTRVRANGE> ra = {{1, 2}, {3, 4}}, rb = {{7, 8}};
    RTRVWORD w[2];
    std::memset(w, 0, sizeof w);
    w[0].type = 'W';
    w[0].wordp = reinterpret_cast<uint8_t*>(&a[0]);
    w[0].wordlen = 5;
    w[0].range = ra.data();
    w[0].rangenum = 2;
    w[1].type = 'W';
    w[1].wordp = reinterpret_cast<uint8_t*>(&b[0]);
    w[1].wordlen = 2;
    w[1].range = rb.data();
    w[1].rangenum = 1;
    w[1].precision = 70;
    GTRSEARCH_COND c;
    std::memset(&c, 0, sizeof c);
    c.codepage = 34;
    c.cond_type = GTR_COND_STRUCT;
    c.struct_num = 2;
    c.struct_word = w;
    c.struct_order = &order[0];

    EXPANDWRK* h = cnetCreateExpandHandle();
    ASSERT_NE(h, nullptr);
    GTRSEARCH_COND moved;
    CNETSTATUS st;
    cnetClearStatus(&st);
    ASSERT_TRUE(cnetMoveCond(h, c, 6, &moved, &st));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h->texts), 5 + 2 + 6),
              std::string("alphabe1 + 2\0", 13));
    EXPECT_EQ(moved.struct_order, reinterpret_cast<char*>(h->texts) + 7);
    EXPECT_EQ(moved.struct_word, h->words);
    EXPECT_EQ(h->words[0].wordp, h->texts);
    EXPECT_EQ(h->words[1].wordp, h->texts + 5);
    EXPECT_EQ(h->words[0].range, h->ranges);
    EXPECT_EQ(h->words[1].range, h->ranges + 2);
    const int32_t want[] = {1, 2, 3, 4, 7, 8};
    EXPECT_EQ(std::memcmp(h->ranges, want, sizeof want), 0);
    EXPECT_EQ(h->words[0].precision, 100);
    EXPECT_EQ(h->words[1].precision, 70);
    EXPECT_EQ(w[0].precision, 0);  // the caller's words are untouched
    EXPECT_EQ(w[0].wordp, reinterpret_cast<uint8_t*>(&a[0]));
    cnetClearExpandHandle(h);

    // A word without ranges or text moves nothing of them.
    w[0].range = nullptr;
    w[0].rangenum = -1;
    w[1].range = nullptr;
    w[1].rangenum = 0;
    ASSERT_TRUE(cnetMoveCond(h, c, 2, &moved, &st));
    EXPECT_EQ(h->ranges, nullptr);
    EXPECT_EQ(h->words[0].rangenum, -1);
    cnetClearExpandHandle(h);

    // Missing or empty order strings and no words: 503.
    for (const char* o : {static_cast<const char*>(nullptr), ""}) {
        GTRSEARCH_COND bad = c;
        bad.struct_order = const_cast<char*>(o);
        cnetClearStatus(&st);
        EXPECT_FALSE(cnetMoveCond(h, bad, 2, &moved, &st));
        EXPECT_EQ(st.retcode, 503u);
        cnetClearExpandHandle(h);
        GTRSEARCHMIX m;
        std::memset(&m, 0, sizeof m);
        m.mix_type = GTR_MIX_WORD;
        m.word = w[0];
        bad.cond_type = GTR_COND_MIX;
        bad.mix_num = 1;
        bad.mix = &m;
        bad.mix_order = const_cast<char*>(o);
        cnetClearStatus(&st);
        EXPECT_FALSE(cnetMoveCond_Mix(h, bad, 2, &moved, &st));
        EXPECT_EQ(st.retcode, 503u);
        cnetClearExpandHandle(h);
    }
    GTRSEARCH_COND none = c;
    none.struct_num = 0;
    cnetClearStatus(&st);
    EXPECT_FALSE(cnetMoveCond(h, none, 2, &moved, &st));
    EXPECT_EQ(st.retcode, 503u);
    cnetReleaseExpandHandle(h);
}

}  // namespace
