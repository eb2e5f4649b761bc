// GTRsearchIndex end to end for ranked queries (the caller's rankdoc
// array filled in rank order), term-frequency files, fuzzy words and words
// restricted to fields or weighted by field, over indexes built by the
// creation calls (fields through BOUNDARYINFO).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gtrquery_fixture.hpp"

namespace {

using gqfix::Docs;

// Corpus D5, numbered from 1, code page 34; field 5 covers "123 456" in
// document 1, "789 123" in document 3 and "12" in document 2 (where 123
// runs past its end).
struct FieldCorpus {
    gtrfix::Env env;
    FieldCorpus() {
        struct Doc {
            std::string text;
            int start, end;  // field 5's bytes, or -1
        };
        const std::vector<Doc> docs = {{"123 456. 789", 0, 7}, {"123 2020", 0, 2},
                                       {"456 789 123", 4, 11}, {"2020", -1, -1},
                                       {"3131 123. 456", -1, -1}};
        env.init(gtrfix::HParm(1, 34));
        for (size_t i = 0; i < docs.size() && env.st.retcode == 0; ++i) {
            std::string t = docs[i].text;
            auto* base = reinterpret_cast<uint8_t*>(&t[0]);
            FLDBOUNDARYINFO f;
            memset(&f, 0, sizeof f);
            f.fld_number = 5;
            f.fld_start_ptr = base + docs[i].start;
            f.fld_end_ptr = base + docs[i].end;
            BOUNDARYINFO b;
            memset(&b, 0, sizeof b);
            b.fld_boundary_num = docs[i].start >= 0 ? 1 : 0;
            b.fld_boundary = docs[i].start >= 0 ? &f : nullptr;
            int32_t start = 0;
            env.doc(t, static_cast<int32_t>(i + 1), &start, &b);
        }
        EXPECT_EQ(env.st.retcode, 0) << env.st.errcode;
        env.finish();
        EXPECT_EQ(env.st.retcode, 0) << env.st.errcode;
    }
    const char* dir() const { return env.out.c_str(); }
};

struct Answer {
    GTRSTATUS st{};
    Docs docs;
    int32_t docnum = 0;
};

Answer search(const char* dir, GTRSEARCH_COND c, GTRSEARCH_RANK* rank = nullptr) {
    Answer a;
    GTRSEARCH_RES r = gqfix::result(GTR_RES_HANDLE);
    GTRsearchIndex(nullptr, "idx", dir, nullptr, c, rank, nullptr, nullptr, &r, &a.st);
    a.docnum = r.result_docnum;
    if (a.st.retcode == 0) a.docs = gqfix::readHandle(r);
    return a;
}

uint32_t docnoKey(int32_t docno, void*) { return static_cast<uint32_t>(docno); }

TEST(GtrSearchIndexRanked, RankdocReceivesTheBestDocumentsInOrder) {
    FieldCorpus k;
    GTRRANKFUNCINFO byDocno;
    memset(&byDocno, 0, sizeof byDocno);
    byDocno.rank_function = docnoKey;
    struct Row {
        const char* query;
        uint8_t flags;
        int32_t count;
        std::vector<int32_t> order;
        GTRRANKFUNCINFO* user = nullptr;
    };
    const std::vector<Row> rows = {
        // Every later document evicts the worst kept one: the count is of
        // the documents kept, not of those that ever entered.
        {"123", 0x30, 2, {5, 3}, &byDocno},
        {"123", 0x30, 10, {5, 3, 2, 1}, &byDocno},
        // Document 2 has more occurrences than document 1 left free.
        {"123 + 2020", 0x30, 1, {5}, &byDocno},
        // Term count and document frequency: 1 and 2 tie, the lower first.
        {"123", 0x30, 4, {1, 2, 5, 3}},
        {"123", 0x30, 2, {1, 2}},
        // Field weights (flag 0x01): field 5 weighs 1.0, elsewhere 0.5.
        {"123$[F5=200]", 0x01, 4, {1, 3, 2, 5}},
        {"123@F5", 0x30, 4, {1, 3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.query) + " limit " + std::to_string(row.count));
        std::vector<GTRRANKDOC> docs(static_cast<size_t>(row.count) + 1);
        for (GTRRANKDOC& d : docs) d.docno = -1;
        GTRSEARCH_RANK rank;
        memset(&rank, 0, sizeof rank);
        rank.rankcount = row.count;
        rank.rankdoc = docs.data();
        rank.weight_option = row.flags;
        rank.pRankFuncInfo = row.user;
        gqfix::QueryCond q(row.query);
        Answer a = search(k.dir(), q.c, &rank);
        ASSERT_EQ(a.st.retcode, 0) << a.st.errcode;
        ASSERT_EQ(a.docnum, static_cast<int32_t>(row.order.size()));
        for (size_t i = 0; i < row.order.size(); ++i) {
            EXPECT_EQ(docs[i].docno, row.order[i]) << i;
            EXPECT_GT(docs[i].score, 0.0f) << i;
            if (i > 0 && row.user == nullptr) {
                EXPECT_LE(docs[i].score, docs[i - 1].score) << i;
            }
        }
        EXPECT_EQ(docs[row.order.size()].docno, -1) << "nothing past the count";
    }
}

TEST(GtrSearchIndexRanked, FieldRestrictedWords) {
    FieldCorpus k;
    struct Row {
        const char* query;
        Docs expect;
    };
    const std::vector<Row> rows = {
        {"123", {1, 2, 3, 5}},        {"123@F5", {1, 3}},
        {"123@[F4_6]", {1, 3}},       {"123@F9", {}},
        {"456@F5 + 2020", {1, 2, 4}}, {"( 123 * 456 )@F5", {1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.query);
        gqfix::QueryCond q(row.query);
        Answer a = search(k.dir(), q.c);
        ASSERT_EQ(a.st.retcode, 0) << a.st.errcode;
        EXPECT_EQ(a.docs, row.expect);
    }
    // A structured word with its field number.
    gqfix::WordCond w({"123"}, "1");
    w.words[0].fld_number = 5;
    Answer a = search(k.dir(), w.c);
    ASSERT_EQ(a.st.retcode, 0) << a.st.errcode;
    EXPECT_EQ(a.docs, (Docs{1, 3}));
}

// Documents of a term-frequency file (records as voz_freq.hpp lays out).
std::vector<int32_t> freqDocs(const std::string& path) {
    std::vector<int32_t> docs;
    FILE* f = fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr) << path;
    if (f == nullptr) return docs;
    int32_t head[5];
    while (fread(head, sizeof head, 1, f) == 1) {
        docs.push_back(head[0]);
        if (head[4] < 0 || fseek(f, 8L * head[4], SEEK_CUR) != 0) break;
    }
    fclose(f);
    return docs;
}

TEST(GtrSearchIndexRanked, FrequencyFileAndDocumentFrequencies) {
    FieldCorpus k;
    const std::string freq = k.env.tmp.path() + "/freq";
    gqfix::WordCond w({"123", "456"}, "1 + 2");
    w.c.frqfn = const_cast<char*>(freq.c_str());
    w.words[0].docfreq = w.words[1].docfreq = -7;
    Answer a = search(k.dir(), w.c);
    ASSERT_EQ(a.st.retcode, 0) << a.st.errcode;
    EXPECT_EQ(a.docs, (Docs{1, 2, 3, 5}));
    EXPECT_EQ(freqDocs(freq), (std::vector<int32_t>{1, 2, 3, 5}));
    EXPECT_EQ(std::make_pair(w.words[0].docfreq, w.words[1].docfreq), std::make_pair(4, 3));
    // A frequency file with ranking is refused.
    GTRSEARCH_RANK rank;
    memset(&rank, 0, sizeof rank);
    rank.rankcount = 2;
    rank.weight_option = 0x30;
    a = search(k.dir(), w.c, &rank);
    EXPECT_EQ(std::make_pair(a.st.retcode, a.st.errcode), std::make_pair(2, 1423));
}

TEST(GtrSearchIndexRanked, FuzzyWords) {
    gqfix::Corpus k({"1234567890", "555 666"});
    struct Row {
        const char* word;
        int16_t precision;
        Docs expect;
    };
    const std::vector<Row> rows = {
        {"1234507890", 80, {1}},
        {"1234507890", 90, {}},
        {"1234567890", 80, {1}},
        {"1234567890", 100, {1}},
        {"5556", 80, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.word) + " at " + std::to_string(row.precision));
        gqfix::WordCond w({row.word}, "1");
        w.words[0].precision = row.precision;
        Answer a = search(k.dir(), w.c);
        ASSERT_EQ(a.st.retcode, 0) << a.st.errcode;
        EXPECT_EQ(a.docs, row.expect);
        gqfix::QueryCond q(std::string(row.word) + "%" + std::to_string(row.precision));
        a = search(k.dir(), q.c);
        ASSERT_EQ(a.st.retcode, 0) << a.st.errcode;
        EXPECT_EQ(a.docs, row.expect);
    }
}

}  // namespace
