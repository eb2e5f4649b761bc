// Helpers of the query expansion tests: a fixture dictionary with a small
// engine index beside it, structured conditions, and expansion requests.
#ifndef TESTS_ITL_CNET_CNET_EXPAND_UTIL_HPP
#define TESTS_ITL_CNET_CNET_EXPAND_UTIL_HPP

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "cnet_dict_util.hpp"
#include "files/voz_records.hpp"

namespace cexpand {

// Dictionary "th" (UTF-8): car has two related terms (auto 50, motorcar);
// bike is not in it.
struct Fixture {
    TempDir dir{"cnet_expand", fastTempParent()};
    std::string path() const { return dir.path(); }
    Fixture() {
        EXPECT_EQ(cdict::compile(path(), "th",
                                 ":WORDS:SYNONYM\ncar\nauto :50\nmotorcar\n"
                                 ":WORDS:RELATED\nboat\nship\n",
                                 34)
                      .retcode,
                  0u);
    }
    // A text index "ix" of the documents, code page 34.
    void buildIndex(const std::vector<std::string>& docs) {
        GTRHCREATEPARM hp;
        std::memset(&hp, 0, sizeof hp);
        hp.index_type = 2;
        hp.codepage = 34;
        hp.index_purpose = 1;
        hp.index_subtype = 3;
        GTRSYSPARM sys;
        std::memset(&sys, 0, sizeof sys);
        sys.poolsize = 1 << 21;
        sys.poolsizedelta = 1 << 20;
        sys.displaylog = 'N';
        GTRSTATUS gs{};
        void* h = nullptr;
        int32_t maxDoc = 0;
        GTRcreateIndexInit(&h, "ix", path().c_str(), path().c_str(), 'N', 'B', &hp, &sys,
                           &maxDoc, &gs);
        ASSERT_EQ(gs.retcode, 0);
        for (size_t d = 0; d < docs.size(); ++d) {
            int32_t start = 0;
            GTRcreateIndexOneDoc(h, reinterpret_cast<const uint8_t*>(docs[d].data()),
                                 static_cast<int32_t>(docs[d].size()), static_cast<int32_t>(d),
                                 &start, nullptr, &gs);
            ASSERT_EQ(gs.retcode, 0);
        }
        GTRcreateIndexLast(h, &gs);
        ASSERT_EQ(gs.retcode, 0);
        GTRcreateIndexTerm(h, 'G', &gs);
        ASSERT_EQ(gs.retcode, 0);
    }
    int32_t docs(const GTRSEARCH_COND& c) {
        GTRSEARCH_RES res;
        std::memset(&res, 0, sizeof res);
        res.res_type = GTR_RES_NONE;
        GTRSTATUS gs{};
        GTRsearchIndex(nullptr, "ix", path().c_str(), nullptr, c, nullptr, nullptr, nullptr,
                       &res, &gs);
        EXPECT_EQ(gs.retcode, 0) << gs.errcode;
        return res.result_docnum;
    }
};

struct Cond {
    std::vector<std::string> texts;
    std::vector<RTRVWORD> words;
    std::string order;
    GTRSEARCH_COND c;
    Cond(const std::vector<std::string>& t, const std::string& o, int16_t weight = 30)
        : texts(t), words(t.size()), order(o) {
        for (size_t i = 0; i < t.size(); ++i) {
            RTRVWORD& w = words[i];
            std::memset(&w, 0, sizeof w);
            w.type = 'W';
            w.casesens = 'N';
            w.wordp = reinterpret_cast<uint8_t*>(&texts[i][0]);
            w.wordlen = static_cast<int16_t>(texts[i].size());
            w.precision = 100;
            w.weight = weight;
        }
        std::memset(&c, 0, sizeof c);
        c.codepage = 34;
        c.cond_type = GTR_COND_STRUCT;
        c.struct_num = static_cast<int32_t>(t.size());
        c.struct_word = words.data();
        c.struct_order = &order[0];
    }
};

inline CNETPATH synonyms(uint32_t limit = 10) {
    CNETPATH p;
    std::memset(&p, 0, sizeof p);
    p.types = CNET_TYPE_SYNONYM | CNET_TYPE_RELATED;
    p.termLimit = limit;
    p.depthLimit = 1;
    return p;
}

inline CNETEXPAND options() {
    CNETEXPAND o;
    std::memset(&o, 0, sizeof o);
    o.version = 1;
    return o;
}

inline std::string word(const RTRVWORD& w) {
    return std::string(reinterpret_cast<const char*>(w.wordp), static_cast<size_t>(w.wordlen));
}

}  // namespace cexpand

#endif  // TESTS_ITL_CNET_CNET_EXPAND_UTIL_HPP
