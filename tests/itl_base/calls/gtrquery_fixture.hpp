// Test support for the search calls: a small index built through the
// creation calls (documents 1 "111 222", 2 "222 333", 3 "333 444"), the
// conditions of each form, and readers of the answer of each result type.
// Header-only.
#ifndef TESTS_ITL_BASE_CALLS_GTRQUERY_FIXTURE_HPP
#define TESTS_ITL_BASE_CALLS_GTRQUERY_FIXTURE_HPP

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gtrcreate_fixture.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "search/voz_search.hpp"

namespace gqfix {

using Docs = std::set<int32_t>;

// Gives document `docno` of the update cycle in `env` the character item 3
// "blue"; the outcome is left in env.st.
inline void addBlueItem(gtrfix::Env& env, int32_t docno) {
    static uint8_t value[] = "blue";
    REGISTITEM it;
    memset(&it, 0, sizeof it);
    it.item_number = 3;
    it.item_type = 'C';
    it.char_ptr = value;
    it.char_len = 4;
    GTRcreateItemIndexOneDoc(env.h, docno, 1, &it, &env.st);
}

// Index "idx" in env.out built from `docs` (document numbers from 1) with
// the creation record `p`; with an item sub-index every document also gets
// the character item 3 "blue".
inline void build(gtrfix::Env& env, const std::vector<std::string>& docs,
                  GTRHCREATEPARM p) {
    env.init(p);
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    for (size_t i = 0; i < docs.size(); ++i) {
        int32_t start = 0;
        const int32_t docno = static_cast<int32_t>(i + 1);
        env.doc(docs[i], docno, &start);
        ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
        if ((p.index_purpose & 2) == 0) continue;
        addBlueItem(env, docno);
        ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    }
    env.finish();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
}

// The three-document corpus: code page 34, both sub-indexes, word rule 0.
struct Corpus {
    gtrfix::Env env;
    explicit Corpus(uint8_t code = 34) {
        build(env, {"111 222", "222 333", "333 444"},
              gtrfix::HParm(3, code));
    }
    explicit Corpus(const std::vector<std::string>& docs, uint8_t code = 34,
                    uint8_t disable = 0) {
        GTRHCREATEPARM p = gtrfix::HParm(3, code);
        p.disable = disable;
        build(env, docs, p);
    }
    const char* dir() const { return env.out.c_str(); }
};

// A condition of code page `code` and form `type`.
inline GTRSEARCH_COND cond(uint8_t type, uint8_t code = 34) {
    GTRSEARCH_COND c;
    memset(&c, 0, sizeof c);
    c.codepage = code;
    c.cond_type = type;
    return c;
}

// Query text (form 2, or 6 for mixed query text).
struct QueryCond {
    std::string text;
    GTRSEARCH_COND c;
    explicit QueryCond(const std::string& t, uint8_t type = GTR_COND_QUERY,
                       uint8_t code = 34)
        : text(t), c(cond(type, code)) {
        c.query = &text[0];
    }
};

// Words joined by an order string: structured (3) or mixed entries (5).
struct WordCond {
    std::vector<std::string> texts;
    std::vector<RTRVWORD> words;
    std::vector<GTRSEARCHMIX> mix;
    std::string order;
    GTRSEARCH_COND c;
    WordCond(const std::vector<std::string>& t, const std::string& o,
             uint8_t type = GTR_COND_STRUCT, uint8_t code = 34)
        : texts(t), words(t.size()), mix(t.size()), order(o),
          c(cond(type, code)) {
        for (size_t i = 0; i < t.size(); ++i) {
            RTRVWORD& w = words[i];
            memset(&w, 0, sizeof w);
            w.type = 'W';
            w.casesens = 'N';
            w.precision = 100;
            w.wordp = reinterpret_cast<uint8_t*>(&texts[i][0]);
            w.wordlen = static_cast<int16_t>(texts[i].size());
            memset(&mix[i], 0, sizeof mix[i]);
            mix[i].mix_type = GTR_MIX_WORD;
            mix[i].word = w;
        }
        if (type == GTR_COND_MIX) {
            c.mix_num = static_cast<int32_t>(mix.size());
            c.mix = mix.data();
            c.mix_order = &order[0];
        } else {
            c.struct_num = static_cast<int32_t>(words.size());
            c.struct_word = words.data();
            c.struct_order = &order[0];
        }
    }
};

// The character item 3 "blue" alone (form 4).
struct ItemCond {
    std::string value = "blue";
    std::string order = "1";
    SEARCHITEM item;
    GTRSEARCH_COND c;
    explicit ItemCond(uint8_t code = 34) : c(cond(GTR_COND_ITEM, code)) {
        memset(&item, 0, sizeof item);
        item.item_number = 3;
        item.item_type = 'C';
        item.char_ptr = reinterpret_cast<uint8_t*>(&value[0]);
        item.char_len = static_cast<int16_t>(value.size());
        item.char_precision = 100;
        item.char_casesens = 'C';
        c.item_num = 1;
        c.item = &item;
        c.item_order = &order[0];
    }
};

// A simple query joined by operator `op`.
struct SimpleCond {
    std::string text;
    GTRSEARCH_COND c;
    SimpleCond(const std::string& t, char op, uint8_t code = 34)
        : text(t), c(cond(GTR_COND_SIMPLE, code)) {
        c.simple_query = &text[0];
        c.simple_option.Operator.op = op;
        c.simple_option.casesens = 'N';
        c.simple_option.precision = 100;
    }
};

inline GTRSEARCH_RES result(uint8_t type, const std::string& file = "") {
    GTRSEARCH_RES r;
    memset(&r, 0, sizeof r);
    r.res_type = type;
    r.res_dataform = 1;
    snprintf(r.res_fname, sizeof r.res_fname, "%s", file.c_str());
    return r;
}

// The documents of a memory result, read document by document until 123;
// the result handle is released.
inline Docs readHandle(GTRSEARCH_RES& r) {
    Docs docs;
    auto* h = static_cast<VOZRESULT*>(r.res_handle);
    if (h == nullptr) return docs;
    GTRSTATUS st{};
    VOZ_ResultOpen(h, &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    for (int guard = 0; st.retcode == 0 && guard < 100000; ++guard) {
        OCC* e = nullptr;
        int32_t n = 0;
        float score = 0;
        VOZ_ResultView_Doc(h, -1, &e, &n, &score, &st);
        if (st.retcode != 0) break;
        for (int32_t i = 0; i < n; ++i) docs.insert(e[i].docno);
    }
    EXPECT_EQ(st.retcode, 123) << "the loop ends with the end of the result";
    VOZ_ResultClose(h, &st);
    VOZ_ResultRelease(h, &st);
    r.res_handle = nullptr;
    return docs;
}

// The documents of a result file (with the 128-byte header of type 4).
inline Docs readFile(const GTRSEARCH_RES& r) {
    Docs docs;
    FILE* f = fopen(r.res_fname, "rb");
    EXPECT_NE(f, nullptr) << r.res_fname;
    if (f == nullptr) return docs;
    if (r.res_type == GTR_RES_FILE_HEADER) fseek(f, 128, SEEK_SET);
    OCC o;
    while (fread(&o, sizeof o, 1, f) == 1) docs.insert(o.docno);
    fclose(f);
    return docs;
}

// The documents that query text `query` (code page `code`) finds in the
// index "idx" of `dir`, through a memory result; the search must succeed.
inline Docs searchDocs(const char* dir, const std::string& query,
                       uint8_t code = 34) {
    QueryCond q(query, GTR_COND_QUERY, code);
    GTRSEARCH_RES r = result(GTR_RES_HANDLE);
    GTRSTATUS st{};
    GTRsearchIndex(nullptr, "idx", dir, nullptr, q.c, nullptr, nullptr,
                   nullptr, &r, &st);
    EXPECT_EQ(st.retcode, 0) << query << " " << st.errcode;
    return readHandle(r);
}

// Open file descriptors of this process.
inline int openFiles() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    while (readdir(d) != nullptr) ++n;
    closedir(d);
    return n;
}

}  // namespace gqfix

#endif  // TESTS_ITL_BASE_CALLS_GTRQUERY_FIXTURE_HPP
