// GTRsearchIndex end to end over an index built by the creation calls: the
// forms of a condition, the result types, the argument checks, the kept
// search handle; and the steps between translation and evaluation (ranking
// parameters, operator modes, word preparation).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "gtrquery_fixture.hpp"
#include "calls/voz_gtradmin.hpp"
#include "calls/voz_gtrmaint.hpp"
#include "calls/voz_normline.hpp"
#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"

namespace {

using gqfix::Docs;

// Runs `c` on the corpus into a fresh result of `type` and returns the
// documents found (file results in the corpus's directory).
Docs search(const gtrfix::Env& env, GTRSEARCH_COND c, uint8_t type,
            GTRSTATUS& st, void** hv = nullptr) {
    const std::string file = env.tmp.path() + "/res";
    GTRSEARCH_RES r = gqfix::result(type, file);
    GTRsearchIndex(hv, "idx", env.out.c_str(), nullptr, c, nullptr, nullptr,
                   nullptr, &r, &st);
    if (st.retcode != 0) return {};
    Docs docs;
    if (type == GTR_RES_HANDLE) docs = gqfix::readHandle(r);
    else if (type != GTR_RES_NONE) docs = gqfix::readFile(r);
    EXPECT_EQ(static_cast<size_t>(r.result_docnum),
              type == GTR_RES_NONE ? r.result_docnum : docs.size());
    return docs;
}

Docs search(const gqfix::Corpus& k, GTRSEARCH_COND c, uint8_t type,
            GTRSTATUS& st, void** hv = nullptr) {
    return search(k.env, c, type, st, hv);
}

struct Row {
    const char* query;                  // query text
    std::vector<std::string> words;     // the same as numbered words
    const char* order;                  // ... joined by this order string
    const char* simple;                 // the same as a simple query, or null
    char simpleOp;
    Docs expect;
};

const std::vector<Row> kRows = {
    {"222", {"222"}, "1", "222", 'O', {1, 2}},
    {"222 * 333", {"222", "333"}, "1 * 2", "222 333", 'A', {2}},
    {"222 - 333", {"222", "333"}, "1 - 2", "222 333", 'N', {1}},
    {"222 + 444", {"222", "444"}, "1 + 2", "222 444", 'O', {1, 2, 3}},
    {"( 111 + 444 ) * 333", {"111", "444", "333"}, "(1 + 2) * 3", nullptr, 0, {3}},
    {"! 333", {"333"}, "!1", nullptr, 0, {1}},
};

TEST(GtrSearchIndex, EveryFormAndResultTypeAnswersTheTable) {
    gqfix::Corpus k;
    for (const Row& row : kRows) {
        std::vector<GTRSEARCH_COND> forms;
        gqfix::QueryCond q(row.query);
        gqfix::QueryCond mq(row.query, GTR_COND_MIXQUERY);
        gqfix::WordCond s(row.words, row.order);
        gqfix::WordCond m(row.words, row.order, GTR_COND_MIX);
        gqfix::SimpleCond sq(row.simple != nullptr ? row.simple : "",
                             row.simpleOp);
        forms = {q.c, mq.c, s.c, m.c};
        if (row.simple != nullptr) forms.push_back(sq.c);
        for (const GTRSEARCH_COND& c : forms) {
            for (uint8_t type : {GTR_RES_HANDLE, GTR_RES_FILE,
                                 GTR_RES_FILE_HEADER, GTR_RES_NONE}) {
                SCOPED_TRACE(std::string(row.query) + " form " +
                             std::to_string(c.cond_type) + " type " +
                             std::to_string(type));
                GTRSTATUS st{};
                Docs d = search(k, c, type, st);
                ASSERT_EQ(st.retcode, 0) << st.errcode;
                EXPECT_EQ(st.processed_index, 0x80);
                EXPECT_EQ(st.retrieve_status, 0);
                if (type != GTR_RES_NONE) {
                    EXPECT_EQ(d, row.expect);
                }
            }
        }
    }
}

TEST(GtrSearchIndex, CountsOnlyResultKeepsTheCounts) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222 + 444");
    GTRSEARCH_RES r = gqfix::result(GTR_RES_NONE);
    GTRSTATUS st{};
    GTRsearchIndex(nullptr, "idx", k.dir(), nullptr, q.c, nullptr, nullptr,
                   nullptr, &r, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(r.result_docnum, 3);
    EXPECT_EQ(r.result_occnum, 3);
    EXPECT_EQ(r.res_handle, nullptr);
}

// A random condition tree over the words "111" .. "555", rendered as query
// text and as numbered words with an order string, against set algebra on
// the documents' words.
struct RandomQuery {
    std::string text, order;
    std::vector<std::string> words;
    std::mt19937& rng;
    const std::vector<std::set<std::string>>& docs;

    Docs all() const {
        Docs d;
        for (size_t i = 0; i < docs.size(); ++i) d.insert(int32_t(i + 1));
        return d;
    }
    Docs make(int depth) {
        if (depth == 0 || rng() % 3 == 0) {
            std::string w(3, char('1' + rng() % 5));
            words.push_back(w);
            text += w;
            order += std::to_string(words.size());
            Docs d;
            for (size_t i = 0; i < docs.size(); ++i)
                if (docs[i].count(w) != 0) d.insert(int32_t(i + 1));
            return d;
        }
        const char op = "*+-"[rng() % 3];
        text += "( ";
        order += "(";
        Docs a = make(depth - 1);
        text += std::string(" ") + op + " ";
        order += std::string(" ") + op + " ";
        Docs b = make(depth - 1);
        text += " )";
        order += ")";
        Docs r;
        for (int32_t d : all()) {
            const bool x = a.count(d) != 0, y = b.count(d) != 0;
            if (op == '*' ? (x && y) : op == '+' ? (x || y) : (x && !y))
                r.insert(d);
        }
        return r;
    }
};

TEST(GtrSearchIndex, RandomConditionsMatchSetAlgebra) {
    std::mt19937 rng(testSeed());
    std::vector<std::set<std::string>> docs(12);
    std::vector<std::string> texts;
    for (auto& d : docs) {
        std::string t;
        for (int n = 1 + int(rng() % 4); n > 0; --n) {
            std::string w(3, char('1' + rng() % 4));  // "555" never occurs
            d.insert(w);
            t += w + (rng() % 2 ? " " : ". ");
        }
        texts.push_back(t);
    }
    gqfix::Corpus k({texts});
    for (int q = 0; q < 60; ++q) {
        RandomQuery r{"", "", {}, rng, docs};
        Docs expect = r.make(2);
        SCOPED_TRACE(r.text);
        gqfix::QueryCond qc(r.text);
        gqfix::WordCond wc(r.words, r.order);
        for (const GTRSEARCH_COND& c : {qc.c, wc.c}) {
            GTRSTATUS st{};
            Docs got = search(k, c, GTR_RES_HANDLE, st);
            ASSERT_EQ(st.retcode, 0) << st.errcode;
            EXPECT_EQ(got, expect);
        }
    }
}

// Letter words (token keys of the mixed index) through the query text:
// plain, masked (masks apply only when preferred: "%_" before the
// precision; otherwise a mask is an ordinary character of the word),
// stemmed and fuzzy.
TEST(GtrSearchIndex, LetterWordsWildcardStemmedFuzzy) {
    // An index that folds letter words (disable bit 0), as the words are.
    gqfix::Corpus k({"apple pear. plum", "apple banana", "pear plum apple",
                     "banana", "grape apple. pear"}, 34, 1);
    struct LetterRow {
        const char* query;
        Docs expect;
    };
    const LetterRow rows[] = {
        {"apple", {1, 2, 3, 5}},
        {"APPLE", {1, 2, 3, 5}},
        {"apple * pear", {1, 3, 5}},
        {"apple - pear", {2}},
        {"appl", {}},
        {"appl*", {}},                    // masks not preferred: literal
        {"*pple", {}},
        {"appl*%_100", {1, 2, 3, 5}},     // a wildcard: keys "appl..."
        {"*pple%_100", {1, 2, 3, 5}},     // a leading mask
        {"*lu*%_100", {1, 3}},
        {"*ppl%_100", {}},                // "appl" ends no word
        {"p*%_100", {1, 3, 5}},           // wildcard: pear and plum
        {"pl?m%_100", {1, 3}},
        {"p?m%_100", {}},
        {"p*%_90", {1, 3, 5}},            // a mask beside a cut: wildcard
        {"apples%STEM", {1, 2, 3, 5}},
        {"appple%80", {1, 2, 3, 5}},      // fuzzy
        {"banan%80", {2, 4}},
        {"appple", {}},
    };
    for (const LetterRow& row : rows) {
        SCOPED_TRACE(row.query);
        for (uint8_t form : {GTR_COND_QUERY, GTR_COND_MIXQUERY}) {
            gqfix::QueryCond q(row.query, form);
            GTRSTATUS st{};
            Docs d = search(k, q.c, GTR_RES_HANDLE, st);
            ASSERT_EQ(st.retcode, 0) << st.errcode;
            EXPECT_EQ(d, row.expect);
        }
    }
    // Structured words are prepared alike: masks apply with search_flag 1.
    gqfix::WordCond w({"*pple", "pl*"}, "1 * 2");
    for (RTRVWORD& x : w.words) memcpy(x.mask, "*?", 2);
    GTRSTATUS st{};
    EXPECT_EQ(search(k, w.c, GTR_RES_HANDLE, st), (Docs{}));
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    for (RTRVWORD& x : w.words) x.search_flag = 1;
    EXPECT_EQ(search(k, w.c, GTR_RES_HANDLE, st), (Docs{1, 3}));
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    // The word-level limit stops a wildcard's expansion.
    gqfix::QueryCond wild("p*%_100");
    wild.c.word_limit = 1;
    Docs d = search(k, wild.c, GTR_RES_HANDLE, st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(st.retrieve_status & 0x01, 0x01);
    EXPECT_EQ(d, (Docs{1, 3, 5})) << "one key: pear";
}

// ---- errors ------------------------------------------------------------------

struct ErrCase {
    const char* what;
    int32_t rc, ec;
};

void expectStatus(const GTRSTATUS& st, int32_t rc, int32_t ec,
                  const char* what) {
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(rc, ec))
        << what;
}

TEST(GtrSearchIndex, ArgumentChecksInTheirOrder) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222");
    GTRSTATUS st{};
    st.detail = 99;

    GTRsearchIndex(nullptr, "idx", k.dir(), nullptr, q.c, nullptr, nullptr,
                   nullptr, nullptr, &st);
    expectStatus(st, 2, 2552, "no result record");
    EXPECT_EQ(st.processed_index, 0);
    EXPECT_EQ(st.detail, 0) << "the status was cleared first";

    auto run = [&](GTRSEARCH_COND c, const char* name, const char* dir,
                   GTRSEARCH_RANK* rank, void* rsv1, const char* outdir) {
        GTRSEARCH_RES r = gqfix::result(GTR_RES_HANDLE);
        r.result_docnum = 7;
        GTRsearchIndex(nullptr, name, dir, outdir, c, rank, rsv1, nullptr, &r,
                       &st);
        if (st.retcode != 0) {
            EXPECT_EQ(r.result_docnum, 0) << "counts cleared";
            EXPECT_EQ(r.res_handle, nullptr);
        }
        gqfix::readHandle(r);
        return st;
    };
    GTRSEARCH_RANK rank;
    memset(&rank, 0, sizeof rank);
    gqfix::WordCond item({"x"}, "1", GTR_COND_ITEM);
    run(item.c, "idx", k.dir(), &rank, nullptr, nullptr);
    expectStatus(st, 2, 2553, "ranking with items");
    EXPECT_EQ(st.processed_index, 0x40);

    int dummy = 0;
    run(q.c, "idx", k.dir(), nullptr, &dummy, nullptr);
    expectStatus(st, 115, 2554, "reserved pointer");
    EXPECT_EQ(st.processed_index, 0x80);
    run(q.c, nullptr, k.dir(), nullptr, nullptr, nullptr);
    expectStatus(st, 2, 2555, "no index name");
    run(q.c, "idx", nullptr, nullptr, nullptr, nullptr);
    expectStatus(st, 2, 2555, "no index directory");

    const std::string dir2000(2000, 'd');
    run(q.c, std::string(46, 'n').c_str(), dir2000.c_str(), nullptr, nullptr,
        nullptr);
    EXPECT_NE(st.errcode, 2556) << "2000 + 46 fits";
    run(q.c, std::string(47, 'n').c_str(), dir2000.c_str(), nullptr, nullptr,
        nullptr);
    expectStatus(st, 35, 2556, "2000 + 47 does not fit");
    run(q.c, "idx", k.dir(), nullptr, nullptr, std::string(2048, 'o').c_str());
    expectStatus(st, 35, 2556, "temporary directory too long");

    GTRSEARCH_COND c = q.c;
    c.word_limit = -1;
    run(c, "idx", k.dir(), nullptr, nullptr, nullptr);
    expectStatus(st, 0, 0, "word limit -1");
    c.word_limit = -2;
    run(c, "idx", k.dir(), nullptr, nullptr, nullptr);
    expectStatus(st, 2, 2557, "word limit -2");
    c = q.c;
    for (uint8_t code : {0, 38}) {
        c.codepage = code;
        run(c, "idx", k.dir(), nullptr, nullptr, nullptr);
        expectStatus(st, 108, 2558, "code page outside 1..37");
    }
    c = q.c;
    c.codepage = 1;
    run(c, "idx", k.dir(), nullptr, nullptr, nullptr);
    expectStatus(st, 108, 2560, "code page 1 on a code-page-34 index");
    c = q.c;
    c.cond_type = 7;
    run(c, "idx", k.dir(), nullptr, nullptr, nullptr);
    expectStatus(st, 2, 2559, "condition type 7");
    c.reserved1[3] = 1;
    run(c, "idx", k.dir(), nullptr, nullptr, nullptr);
    expectStatus(st, 128, 1700, "reserved bytes of the condition");
}

// Item conditions: character items ('E' words with masks), numeric ranges
// ('F' words), and both mixed with text words. Documents 1-4 of code page
// 34 with texts and items:
//   1 "111 222"  item 3 "blue",   item 4 10
//   2 "222 333"  item 3 "black",  item 4 20
//   3 "333 444"  item 3 "red",    item 4 30, item 3 "12345"
//   4 "444 555"  item 5 "blue",   item 4 -5
struct ItemSpec {
    int16_t number;
    const char* text;       // character item, or null for a numeric one
    double lo, hi;          // numeric: the range (inclusive)
};

SEARCHITEM searchItem(const ItemSpec& s) {
    SEARCHITEM it;
    memset(&it, 0, sizeof it);
    it.item_number = static_cast<uint16_t>(s.number);
    if (s.text != nullptr) {
        it.item_type = 'C';
        it.char_ptr = reinterpret_cast<uint8_t*>(const_cast<char*>(s.text));
        it.char_len = static_cast<int16_t>(strlen(s.text));
        it.char_mask[0] = '*';
        it.char_mask[1] = '?';
        it.char_precision = 100;
        it.char_casesens = 'C';
    } else {
        it.item_type = 'N';
        it.num_min_value = s.lo;
        it.num_max_value = s.hi;
        it.num_min_equal = 'I';
        it.num_max_equal = 'I';
    }
    return it;
}

const std::vector<std::vector<ItemSpec>> kItems = {
    {{3, "blue", 0, 0}, {4, nullptr, 10, 0}},
    {{3, "black", 0, 0}, {4, nullptr, 20, 0}},
    {{3, "red", 0, 0}, {4, nullptr, 30, 0}, {3, "12345", 0, 0}},
    {{5, "blue", 0, 0}, {4, nullptr, -5, 0}},
};

// Document d (from 1) gets the text "doc" (the first four their own) and
// the items items[d - 1].
struct ItemCorpus {
    gtrfix::Env env;
    GTRHCREATEPARM parm;
    explicit ItemCorpus(const std::vector<std::vector<ItemSpec>>& items = kItems,
                        uint8_t code = 34, uint8_t disable = 0)
        : parm(gtrfix::HParm(3, code)) {
        parm.disable = disable;
        update(items, 1, 'N');
    }
    // One update cycle ('N' new, 'A' appended) of documents from `first`.
    void update(const std::vector<std::vector<ItemSpec>>& items, int32_t first,
                char op) {
        env.init(parm, op);
        const char* texts[] = {"111 222", "222 333", "333 444", "444 555"};
        const int32_t last = first + static_cast<int32_t>(items.size()) - 1;
        for (int32_t d = first; d <= last && env.st.retcode == 0; ++d) {
            int32_t start = 0;
            env.doc(d <= 4 ? texts[d - 1] : "doc", d, &start);
            std::vector<REGISTITEM> regs;
            for (const ItemSpec& s : items[static_cast<size_t>(d - first)]) {
                REGISTITEM r;
                memset(&r, 0, sizeof r);
                r.item_number = s.number;
                r.item_type = s.text != nullptr ? 'C' : 'N';
                r.char_ptr = reinterpret_cast<uint8_t*>(const_cast<char*>(s.text));
                r.char_len = s.text != nullptr ? static_cast<int16_t>(strlen(s.text)) : 0;
                r.num_value = s.lo;
                regs.push_back(r);
            }
            if (env.st.retcode == 0)
                GTRcreateItemIndexOneDoc(env.h, d, static_cast<int32_t>(regs.size()),
                                         regs.data(), &env.st);
        }
        if (env.st.retcode == 0) env.finish();
    }
};

TEST(GtrSearchIndex, ItemConditionsAnswerTheTable) {
    ItemCorpus k;
    ASSERT_EQ(k.env.st.retcode, 0) << k.env.st.errcode;
    struct ItemRow {
        std::vector<ItemSpec> items;
        const char* order;
        Docs expect;
    };
    const std::vector<ItemRow> rows = {
        {{{3, "blue", 0, 0}}, "1", {1}},
        {{{3, "bl*", 0, 0}}, "1", {1, 2}},
        {{{3, "*e", 0, 0}}, "1", {1}},
        {{{3, "bl?ck", 0, 0}}, "1", {2}},
        {{{3, "*", 0, 0}}, "1", {1, 2, 3}},
        {{{3, "123*", 0, 0}}, "1", {3}},
        {{{3, "1?345", 0, 0}}, "1", {3}},
        {{{5, "blue", 0, 0}}, "1", {4}},
        {{{3, "green", 0, 0}}, "1", {}},
        {{{4, nullptr, 10, 20}}, "1", {1, 2}},
        {{{4, nullptr, -10, 0}}, "1", {4}},
        {{{3, "bl*", 0, 0}, {4, nullptr, 15, 35}}, "1 * 2", {2}},
        {{{3, "bl*", 0, 0}, {4, nullptr, 25, 35}}, "1 + 2", {1, 2, 3}},
        {{{3, "*", 0, 0}, {4, nullptr, 15, 25}}, "1 - 2", {1, 3}},
        {{{3, "b*", 0, 0}, {5, "b*", 0, 0}}, "1 + 2", {1, 2, 4}},
    };
    for (const ItemRow& row : rows) {
        std::vector<SEARCHITEM> items;
        for (const ItemSpec& s : row.items) items.push_back(searchItem(s));
        std::string order = row.order;
        GTRSEARCH_COND c = gqfix::cond(GTR_COND_ITEM);
        c.item_num = static_cast<int32_t>(items.size());
        c.item = items.data();
        c.item_order = &order[0];
        const std::string what = std::string(row.items[0].text != nullptr
                                                 ? row.items[0].text : "range") +
                                 " " + row.order;
        for (uint8_t type : {GTR_RES_HANDLE, GTR_RES_FILE}) {
            GTRSTATUS st{};
            EXPECT_EQ(search(k.env, c, type, st), row.expect) << what;
            EXPECT_EQ(st.retcode, 0) << what << " " << st.errcode;
        }
    }
}

// The documents one character-item word finds on `k` (item condition).
Docs itemDocs(const ItemCorpus& k, int16_t number, const char* text,
              char casesens, uint8_t code) {
    SEARCHITEM it = searchItem({number, text, 0, 0});
    it.char_casesens = casesens;
    std::string order = "1";
    GTRSEARCH_COND c = gqfix::cond(GTR_COND_ITEM, code);
    c.item_num = 1;
    c.item = &it;
    c.item_order = &order[0];
    GTRSTATUS st{};
    const Docs docs = search(k.env, c, GTR_RES_HANDLE, st);
    EXPECT_EQ(st.retcode, 0) << text << " " << st.errcode;
    return docs;
}

// Character items in several cases. On a case-keeping index a word
// without case ('N') finds the item whatever its case and a case-sensitive
// word ('C') its own case only; on a case-folding index (disable bit 0)
// every word finds every case. Letters are variable keys found through the
// key index, digits n-gram keys, so items mix both.
TEST(GtrSearchIndex, ItemWordsWithoutCaseFindEveryCase) {
    const std::vector<std::vector<ItemSpec>> items = {
        {{3, "Blue", 0, 0}}, {{3, "BLUE", 0, 0}},   {{3, "blue", 0, 0}},
        {{3, "Ab12Cd", 0, 0}}, {{3, "black", 0, 0}},
    };
    struct CaseRow {
        const char* text;
        Docs exact;     // 'C' on a case-keeping index
        Docs anyCase;   // 'N', or any word on a case-folding index
    };
    const std::vector<CaseRow> rows = {
        {"blue", {3}, {1, 2, 3}},     {"Blue", {1}, {1, 2, 3}},
        {"BLUE", {2}, {1, 2, 3}},     {"bLuE", {}, {1, 2, 3}},
        {"bl*", {3, 5}, {1, 2, 3, 5}}, {"BL*", {2}, {1, 2, 3, 5}},
        {"b*", {3, 5}, {1, 2, 3, 5}}, {"*UE", {2}, {1, 2, 3}},
        {"*e", {1, 3}, {1, 2, 3}},    {"b?ue", {3}, {1, 2, 3}},
        {"B?UE", {2}, {1, 2, 3}},     {"ab12cd", {}, {4}},
        {"Ab12Cd", {4}, {4}},         {"AB1*", {}, {4}},
        {"*2cd", {}, {4}},            {"*12*", {4}, {4}},
        {"a?12c?", {}, {4}},          {"bluer", {}, {}},
    };
    const struct {
        uint8_t code, disable;
    } indexes[] = {{1, 0}, {7, 0}, {34, 0}, {34, 1}};
    for (const auto& x : indexes) {
        ItemCorpus k(items, x.code, x.disable);
        ASSERT_EQ(k.env.st.retcode, 0) << k.env.st.errcode;
        for (const CaseRow& row : rows)
            for (char cs : {'C', 'N'}) {
                const Docs& want =
                    cs == 'C' && x.disable == 0 ? row.exact : row.anyCase;
                EXPECT_EQ(itemDocs(k, 3, row.text, cs, x.code), want)
                    << row.text << " " << cs << " code page " << int(x.code)
                    << " disable " << int(x.disable);
            }
    }
    // Keys of an appended half, and of the halves merged into one.
    ItemCorpus m(items, 34);
    m.update({{{3, "bLUE", 0, 0}}, {{3, "Black", 0, 0}}}, 6, 'A');
    ASSERT_EQ(m.env.st.retcode, 0) << m.env.st.errcode;
    for (int merged = 0; merged < 2; ++merged) {
        EXPECT_EQ(itemDocs(m, 3, "BLUE", 'N', 34), (Docs{1, 2, 3, 6})) << merged;
        EXPECT_EQ(itemDocs(m, 3, "bl*", 'N', 34), (Docs{1, 2, 3, 5, 6, 7}))
            << merged;
        EXPECT_EQ(itemDocs(m, 3, "bL*", 'C', 34), (Docs{6})) << merged;
        void* h = nullptr;
        GTRSTATUS st{};
        VOZ_mergeIndex(&h, "idx", m.env.out.c_str(), m.env.work.c_str(),
                       nullptr, &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        VOZ_mergeIndexFinish(h, 'G', &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
    // Letters beyond ASCII (UTF-8): accented Latin and Greek.
    ItemCorpus u({{{3, "Émile", 0, 0}}, {{3, "ÉMILE", 0, 0}},
                  {{3, "émile", 0, 0}}, {{3, "Σοφία", 0, 0}},
                  {{3, "ΣΟΦΊΑ", 0, 0}}},
                 34);
    ASSERT_EQ(u.env.st.retcode, 0) << u.env.st.errcode;
    EXPECT_EQ(itemDocs(u, 3, "émile", 'N', 34), (Docs{1, 2, 3}));
    EXPECT_EQ(itemDocs(u, 3, "ÉMILE", 'C', 34), (Docs{2}));
    EXPECT_EQ(itemDocs(u, 3, "*MILE", 'N', 34), (Docs{1, 2, 3}));
    EXPECT_EQ(itemDocs(u, 3, "σοφία", 'N', 34), (Docs{4, 5}));
    EXPECT_EQ(itemDocs(u, 3, "σοφία", 'C', 34), (Docs{}));
    EXPECT_EQ(itemDocs(u, 3, "Σ?φ*", 'C', 34), (Docs{4}));
}

TEST(GtrSearchIndex, MixedConditionsJoinTextAndItems) {
    ItemCorpus k;
    ASSERT_EQ(k.env.st.retcode, 0) << k.env.st.errcode;
    struct MixRow {
        const char* word;       // the text word (entry 1)
        ItemSpec item;          // the item (entry 2)
        const char* order;
        Docs expect;
    };
    const std::vector<MixRow> rows = {
        {"222", {3, "bl*", 0, 0}, "1 * 2", {1, 2}},
        {"333", {3, "bl*", 0, 0}, "1 * 2", {2}},
        {"333", {3, "bl*", 0, 0}, "1 - 2", {3}},
        {"444", {4, nullptr, 25, 35}, "1 * 2", {3}},
        {"111", {5, "blue", 0, 0}, "1 + 2", {1, 4}},
    };
    for (const MixRow& row : rows) {
        std::string word = row.word, order = row.order;
        std::vector<GTRSEARCHMIX> mix(2);
        memset(mix.data(), 0, mix.size() * sizeof(GTRSEARCHMIX));
        mix[0].mix_type = GTR_MIX_WORD;
        mix[0].word.type = 'W';
        mix[0].word.casesens = 'N';
        mix[0].word.precision = 100;
        mix[0].word.wordp = reinterpret_cast<uint8_t*>(&word[0]);
        mix[0].word.wordlen = static_cast<int16_t>(word.size());
        mix[1].mix_type = GTR_MIX_ITEM;
        mix[1].item = searchItem(row.item);
        GTRSEARCH_COND c = gqfix::cond(GTR_COND_MIX);
        c.mix_num = 2;
        c.mix = mix.data();
        c.mix_order = &order[0];
        GTRSTATUS st{};
        EXPECT_EQ(search(k.env, c, GTR_RES_HANDLE, st), row.expect)
            << row.word << " " << row.order;
        EXPECT_EQ(st.retcode, 0) << row.word << " " << st.errcode;
    }
}

TEST(GtrSearchIndex, HalvesAreCheckedAgainstTheCondition) {
    gqfix::Corpus k;
    gqfix::ItemCond item(1);
    GTRSTATUS st{};
    search(k, item.c, GTR_RES_HANDLE, st);
    expectStatus(st, 108, 2562, "code page of the item half");
    EXPECT_EQ(st.processed_index, 0x40);

    // Without a frequency file the caller's document counts stay.
    gqfix::WordCond w({"222"}, "1");
    w.words[0].docfreq = 77;
    EXPECT_EQ(search(k, w.c, GTR_RES_HANDLE, st), (Docs{1, 2}));
    EXPECT_EQ(w.words[0].docfreq, 77);
}

TEST(GtrSearchIndex, MissingIndexGivesAnEmptyResult) {
    gqfix::Corpus k;
    for (uint8_t type : {uint8_t{2}, uint8_t{7}}) {
        gqfix::QueryCond q("222");
        q.c.cond_type = type;
        GTRSEARCH_RES r = gqfix::result(GTR_RES_FILE,
                                        k.env.tmp.path() + "/empty");
        GTRSTATUS st{};
        GTRsearchIndex(nullptr, "nosuch", k.dir(), nullptr, q.c, nullptr,
                       nullptr, nullptr, &r, &st);
        EXPECT_EQ(st.retcode, 20) << "condition type " << int(type);
        EXPECT_EQ(r.result_docnum, 0);
        EXPECT_TRUE(gqfix::readFile(r).empty());
    }
}

TEST(GtrSearchIndex, Utf8QueryOnTurkishUtf8Index) {
    gqfix::Corpus k(37);
    GTRSTATUS st{};
    gqfix::QueryCond q("222 * 333");
    EXPECT_EQ(search(k, q.c, GTR_RES_HANDLE, st), (Docs{2}));
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    q.c.codepage = 1;
    search(k, q.c, GTR_RES_HANDLE, st);
    expectStatus(st, 108, 2560, "code page 1 on a code-page-37 index");
}

TEST(GtrSearchIndex, LimitsStopTheSearchSuccessfully) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222");
    q.c.discon_count = 1;
    GTRSTATUS st{};
    Docs d = search(k, q.c, GTR_RES_HANDLE, st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(st.retrieve_status, 1);
    EXPECT_EQ(st.limit_mark, 2) << "the answer limit stopped it";
    EXPECT_EQ(d.size(), 1u);
}

// ---- the kept handle -----------------------------------------------------------

TEST(GtrSearchIndex, OneHandleServesManySearches) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222 * 333");
    void* hv = nullptr;
    GTRSTATUS st{};
    const int before = gqfix::openFiles();
    search(k, q.c, GTR_RES_HANDLE, st, &hv);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    ASSERT_NE(hv, nullptr);
    void* first = hv;
    // From its second search on, the handle may hold the index's files: as
    // many after every later search, never more.
    search(k, q.c, GTR_RES_HANDLE, st, &hv);
    const int files = gqfix::openFiles();
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(search(k, q.c, GTR_RES_HANDLE, st, &hv), (Docs{2}));
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        ASSERT_EQ(hv, first);
    }
    EXPECT_EQ(gqfix::openFiles(), files) << "no search leaves files behind";

    // A syntax error keeps the handle, which the next search uses.
    gqfix::QueryCond bad("111 *");
    search(k, bad.c, GTR_RES_HANDLE, st, &hv);
    expectStatus(st, 104, 1130, "operator without operand");
    EXPECT_EQ(st.processed_index, 0x80);
    EXPECT_EQ(hv, first);
    EXPECT_EQ(search(k, q.c, GTR_RES_HANDLE, st, &hv), (Docs{2}));
    EXPECT_EQ(st.retcode, 0);

    GTRsearchIndex_Release(&hv, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(hv, nullptr);
    EXPECT_EQ(gqfix::openFiles(), before) << "the release closes them all";
    GTRsearchIndex_Release(&hv, &st);
    GTRsearchIndex_Release(nullptr, &st);
    EXPECT_EQ(st.retcode, 0) << "releasing nothing is no error";
}

// One committed update of the corpus's index: documents appended (each
// with the blue item) and documents deleted, in one update cycle.
void update(gqfix::Corpus& k,
            const std::vector<std::pair<int32_t, std::string>>& docs,
            std::vector<int32_t> deleted) {
    gtrfix::Env& e = k.env;
    e.init(gtrfix::HParm(3, 34), 'A');
    ASSERT_EQ(e.st.retcode, 0) << e.st.errcode;
    for (const auto& [docno, text] : docs) {
        int32_t start = 0;
        e.doc(text, docno, &start);
        gqfix::addBlueItem(e, docno);
        ASSERT_EQ(e.st.retcode, 0) << e.st.errcode;
    }
    if (!deleted.empty())
        GTRdeleteDocs(e.h, static_cast<int32_t>(deleted.size()),
                      deleted.data(), nullptr, &e.st);
    ASSERT_EQ(e.st.retcode, 0) << e.st.errcode;
    e.finish();
    ASSERT_EQ(e.st.retcode, 0) << e.st.errcode;
}

// Searches `text` through the kept handle *hv; retcode 0 expected.
Docs findKept(gqfix::Corpus& k, void** hv, const char* text) {
    gqfix::QueryCond q(text);
    GTRSTATUS st{};
    Docs d = search(k, q.c, GTR_RES_HANDLE, st, hv);
    EXPECT_EQ(st.retcode, 0) << text << " " << st.errcode;
    return d;
}

// A kept handle sees every committed update: the supp half an append
// makes, a second append into it, deletions, and a cycle that only
// deletes after a merge left no supp half (the deletions go into main's
// list alone).
TEST(GtrSearchIndex, KeptHandleSeesCommittedUpdates) {
    gqfix::Corpus k;
    void* hv = nullptr;
    GTRSTATUS st{};
    auto find = [&](const char* text) { return findKept(k, &hv, text); };
    EXPECT_EQ(find("222"), (Docs{1, 2}));
    EXPECT_EQ(find("555"), (Docs{}));
    update(k, {{4, "222 555"}}, {});
    EXPECT_EQ(find("222"), (Docs{1, 2, 4}));
    EXPECT_EQ(find("555"), (Docs{4}));
    update(k, {{5, "555 666"}}, {});
    EXPECT_EQ(find("555"), (Docs{4, 5}));
    EXPECT_EQ(find("666"), (Docs{5}));
    update(k, {}, {2, 4});
    EXPECT_EQ(find("222"), (Docs{1}));
    EXPECT_EQ(find("555"), (Docs{5}));
    void* m = nullptr;
    VOZ_mergeIndex(&m, "idx", k.dir(), k.env.work.c_str(), nullptr, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZ_mergeIndexFinish(m, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    update(k, {}, {5});
    EXPECT_EQ(find("555"), (Docs{}));
    EXPECT_EQ(find("666"), (Docs{}));
    EXPECT_EQ(find("222"), (Docs{1}));
    GTRsearchIndex_Release(&hv, &st);
    EXPECT_EQ(hv, nullptr);
}

// The files a kept handle holds between searches are never taken for the
// index's after a merge, a rename of the index away, or its deletion and a
// rebuild under the same name (the same shape of index, other words); a
// failed search in between changes nothing; the release closes them all.
TEST(GtrSearchIndex, KeptHandleSeesMergeRenameAndRebuild) {
    gqfix::Corpus k;
    const int files = gqfix::openFiles();
    void* hv = nullptr;
    GTRSTATUS st{};
    auto find = [&](const char* text) { return findKept(k, &hv, text); };
    auto merge = [&] {
        void* m = nullptr;
        GTRSTATUS ms{};
        VOZ_mergeIndex(&m, "idx", k.dir(), k.env.work.c_str(), nullptr, &ms);
        ASSERT_EQ(ms.retcode, 0) << ms.errcode;
        VOZ_mergeIndexFinish(m, 'G', &ms);
        ASSERT_EQ(ms.retcode, 0) << ms.errcode;
    };
    auto rebuild = [&](const std::vector<std::string>& docs) {
        gqfix::build(k.env, docs, gtrfix::HParm(3, 34));
    };
    EXPECT_EQ(find("222"), (Docs{1, 2}));
    update(k, {{4, "222 555"}}, {});
    EXPECT_EQ(find("555"), (Docs{4}));
    merge();
    EXPECT_EQ(find("222"), (Docs{1, 2, 4}));
    EXPECT_EQ(find("555"), (Docs{4}));
    void* d = nullptr;
    int32_t two = 2;
    GTRdeleteDoc(&d, "idx", k.dir(), k.env.work.c_str(), &two, 1, nullptr,
                 &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    GTRdeleteDocFinish(d, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(find("222"), (Docs{1, 4}));
    merge();
    EXPECT_EQ(find("222"), (Docs{1, 4}));
    EXPECT_EQ(find("333"), (Docs{3}));

    // Renamed away: the name is missing, and then a new index takes it.
    VOZ_moveIndex('R', "idx", k.dir(), "gone", &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    gqfix::QueryCond q("222");
    search(k, q.c, GTR_RES_HANDLE, st, &hv);
    EXPECT_EQ(st.retcode, 20) << "the kept handle still read the old files";
    rebuild({"777 888", "222 777", "888 999"});
    EXPECT_EQ(find("222"), (Docs{2}));
    EXPECT_EQ(find("777"), (Docs{1, 2}));

    // Deleted and rebuilt at once: the same shape, other words.
    VOZ_deleteIndex(3, "idx", k.dir(), &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    rebuild({"777 666", "222 666", "666 999"});
    EXPECT_EQ(find("888"), (Docs{}));
    EXPECT_EQ(find("666"), (Docs{1, 2, 3}));
    gqfix::QueryCond bad("666 *");
    search(k, bad.c, GTR_RES_HANDLE, st, &hv);
    EXPECT_EQ(st.retcode, 104);
    EXPECT_EQ(find("666"), (Docs{1, 2, 3}));

    GTRsearchIndex_Release(&hv, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(gqfix::openFiles(), files) << "the release closes every file";
}

TEST(GtrSearchIndex, WithoutAHandleVariableNothingStays) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222");
    GTRSTATUS st{};
    search(k, q.c, GTR_RES_HANDLE, st);  // warms whatever is cached globally
    const int files = gqfix::openFiles();
    for (int i = 0; i < 20; ++i) search(k, q.c, GTR_RES_HANDLE, st);
    EXPECT_EQ(gqfix::openFiles(), files);  // leaks: the sanitizer build
}

// ---- ranking parameters, operator modes, word preparation ------------------

TEST(GtrSearchSteps, RankParametersChecksAndDefaults) {
    GTRRANKDOC docs[2];
    GTRRANKFUNCINFO fn;
    memset(&fn, 0, sizeof fn);
    struct Case {
        int32_t count;
        bool withDocs;
        uint8_t option;
        bool withFn;
        char how;
        int32_t rc, ec;
    };
    const Case cases[] = {
        {-1, false, 0, false, 'S', 2, 1104},
        {0, false, 0x02, false, 'S', 2, 1105},
        {0, false, 0x80, false, 'S', 2, 1105},
        {0, false, 0x01, false, 'S', 0, 0},    // 0x01 needs no callback
        {0, false, 0x02, true, 'S', 0, 0},
        {0, false, 0, false, 'X', 2, 1106},
        {0, true, 0, false, 'F', 2, 1713},
        {2, true, 0, false, 0, 0, 0},
    };
    for (const Case& t : cases) {
        GTRSEARCH_RANK r;
        memset(&r, 0, sizeof r);
        r.rankcount = t.count;
        r.rankdoc = t.withDocs ? docs : nullptr;
        r.weight_option = t.option;
        r.pRankFuncInfo = t.withFn ? &fn : nullptr;
        r.howto_operate = t.how;
        RANKPARM p;
        GTRSTATUS st{};
        vozSetRankParm(&r, &p, &st);
        expectStatus(st, t.rc, t.ec, "rank case");
        if (st.retcode == 0) {
            EXPECT_EQ(p.rank_kind, t.how == 0 ? 'S' : t.how);
            EXPECT_EQ(p.rank_limit, t.count == 0 ? 0x7FFFFFFF : t.count);
            EXPECT_EQ(p.rank_flags, t.option);
            ASSERT_NE(p.rank_weights, nullptr);
            EXPECT_FLOAT_EQ(p.rank_weights[0], 0.2f);
            EXPECT_FLOAT_EQ(p.rank_weights[1], 0.5f);
        }
        vozSetRankParmTerm(&r, &p);
    }
    // The caller's constants are used as they are, and not freed.
    float mine[8] = {0.7f, 0.1f};
    GTRSEARCH_RANK r;
    memset(&r, 0, sizeof r);
    r.pRankTuning = mine;
    RANKPARM p;
    GTRSTATUS st{};
    vozSetRankParm(&r, &p, &st);
    EXPECT_EQ(p.rank_weights, mine);
    vozSetRankParmTerm(&r, &p);
    EXPECT_FLOAT_EQ(mine[0], 0.7f);
}

TEST(GtrSearchSteps, RankingErrorsReachTheSearch) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222");
    GTRSEARCH_RANK rank;
    memset(&rank, 0, sizeof rank);
    rank.rankcount = -1;
    GTRSEARCH_RES r = gqfix::result(GTR_RES_HANDLE);
    GTRSTATUS st{};
    GTRsearchIndex(nullptr, "idx", k.dir(), nullptr, q.c, &rank, nullptr,
                   nullptr, &r, &st);
    expectStatus(st, 2, 1104, "negative rankcount");
    EXPECT_EQ(st.processed_index, 0x80);
}

TEST(GtrSearchSteps, OperatorModes) {
    PFELEMENT e[4];
    memset(e, 0, sizeof e);
    e[0].kind = VOZ_PF_TERM;
    e[0].mode = 'S';
    e[1].kind = VOZ_PF_AND;
    e[1].mode = 'F';
    e[1].Operator.op = 'A';
    e[2].kind = VOZ_PF_SPECIAL_NOT;
    e[2].mode = 'P';
    e[3].kind = VOZ_PF_OR;
    e[3].mode = 'S';
    PFELEMENT w[4];
    memcpy(w, e, sizeof e);
    vozHowtoOperate_(w, 4, 0, 0, 0);
    EXPECT_EQ(w[0].mode, 'S') << "terms keep their mode";
    EXPECT_EQ(w[1].mode, 0);
    EXPECT_EQ(w[1].kind, VOZ_PF_AND);
    EXPECT_EQ(w[2].mode, 0);
    EXPECT_EQ(w[3].mode, 0);
    memcpy(w, e, sizeof e);
    vozHowtoOperate_(w, 4, 0, 0, 1);
    EXPECT_EQ(w[1].kind, VOZ_PF_OR) << "'F' becomes an OR under proximity";
    EXPECT_EQ(w[1].Operator.op, 'O');
    EXPECT_EQ(w[3].kind, VOZ_PF_OR);
    memcpy(w, e, sizeof e);
    vozHowtoOperate_(w, 4, 1, 0, 0);
    EXPECT_EQ(w[1].mode, 'F') << "ranking keeps the modes";
    EXPECT_EQ(w[2].mode, 'S') << "a special NOT ranks as 'S'";
}

// A prepared 'W' word of code page 1 from its units.
struct PrepWord {
    std::vector<uint8_t> units;
    RTRVWORDEXT w;
    PrepWord(const std::string& text, char m0, char m1) : units(64) {
        memset(&w, 0, sizeof w);
        int32_t len = 0;
        GTRSTATUS st{};
        vozNormalizeWord(1, reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int32_t>(text.size()), units.data(),
                         static_cast<int32_t>(units.size()), &len, 1, nullptr,
                         &st);
        w.wi.type = 'W';
        w.wi.wordp = units.data();
        w.wi.wordlen = static_cast<int16_t>(len);
        w.wi.mask[0] = m0;
        w.wi.mask[1] = m1;
        w.wi.casesens = 'C';
    }
};

GTRCREATEPARM textParm(uint8_t code, uint8_t disable = 0, uint8_t rule = 1) {
    GTRCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.inputUnitWidth = 2;
    p.codeInfo[0] = code;
    p.codeInfo[1] = 1;
    p.codeInfo[2] = disable;
    p.codeInfo[3] = rule;
    return p;
}

VOZ_CPINFO codePage1() {
    VOZ_CPINFO cp{};
    cp.callerCodePage = cp.code = 1;
    vozCHsetCPInfo(&cp);
    return cp;
}

TEST(GtrSearchSteps, WordPreparation) {
    const VOZ_CPINFO cp = codePage1();
    GTRCREATEPARM tp = textParm(1);
    struct Case {
        char m0, m1;
        int32_t rc, ec;
    };
    const Case cases[] = {
        {'*', '*', 111, 1109}, {'*', '?', 0, 0}, {'a', 0, 111, 1110},
        {0, '7', 111, 1110},   {0, 0, 0, 0},     {'%', 0, 0, 0},
    };
    for (const Case& t : cases) {
        PrepWord pw("abc", t.m0, t.m1);
        GTRSTATUS st{};
        vozSetWordExt(&pw.w, 1, cp, &tp, nullptr, nullptr, &tp, &st);
        expectStatus(st, t.rc, t.ec, "masks");
        vozSetWordExtTerm(&pw.w, 1);
    }
    PrepWord pw("abc", '*', '?');
    pw.w.wi.precision = 0;
    pw.w.wi.stemming = 1;
    pw.w.wi.start_option = 'S';
    GTRSTATUS st{};
    vozSetWordExt(&pw.w, 1, cp, &tp, nullptr, nullptr, &tp, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(pw.w.wi.precision, 100);
    EXPECT_EQ(pw.w.word_rule, 1);
    EXPECT_EQ(pw.w.cut_function, Func_CutIntoPart[1]);
    EXPECT_NE(pw.w.stem_function, nullptr);
    EXPECT_EQ(pw.w.mark_check_function, vozCHmarkUnit_Chk);
    EXPECT_EQ(pw.w.unit_width, 2);
    EXPECT_EQ(pw.w.wi.start_option, 0) << "code page 1 has no word starts";
    EXPECT_EQ(vozCHcmp(cp, pw.w.mask_unit[0], '*', nullptr), 0);
    EXPECT_EQ(pw.units[1], VOZ_MARK_LOWER) << "case-sensitive word kept";
    vozSetWordExtTerm(&pw.w, 1);

    // Case folding: by the index's disable bit 0 or the word's 'N'.
    for (int k = 0; k < 2; ++k) {
        PrepWord f("abc", 0, 0);
        GTRCREATEPARM fp = textParm(1, k == 0 ? 1 : 0);
        if (k == 1) f.w.wi.casesens = 'N';
        vozSetWordExt(&f.w, 1, cp, &fp, nullptr, nullptr, &fp, &st);
        EXPECT_EQ(f.units[1], VOZ_MARK_NOCASE) << k;
        vozSetWordExtTerm(&f.w, 1);
    }

    vozSetWordExt(&pw.w, 1, cp, nullptr, nullptr, nullptr, &tp, &st);
    expectStatus(st, 17, 1714, "no creation parameters");
}

TEST(GtrSearchSteps, WordPreparationIntoAnOutBuffer) {
    const VOZ_CPINFO cp = codePage1();
    GTRCREATEPARM tp = textParm(1);
    std::string raw = " 123 ";
    RTRVWORDEXT w;
    memset(&w, 0, sizeof w);
    w.wi.type = 'W';
    w.wi.casesens = 'C';
    w.wi.wordp = reinterpret_cast<uint8_t*>(&raw[0]);
    w.wi.wordlen = static_cast<int16_t>(raw.size());
    uint8_t* out = nullptr;
    GTRSTATUS st{};
    vozSetWordExt(&w, 1, cp, &tp, nullptr, &out, &tp, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(w.wi.wordp, out);
    ASSERT_EQ(w.wi.wordlen, 6) << "three units, blanks stripped";
    EXPECT_EQ(out[0], '1');
    EXPECT_EQ(out[5], VOZ_MARK_DIGIT);
    vozSetWordExtTerm(&w, 1);
    free(out);
}

}  // namespace
