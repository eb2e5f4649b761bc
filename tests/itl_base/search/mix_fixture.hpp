// Test support for words over a mixed index: an index built from plain
// text by the update cycle with any creation record (code page 1 by
// default: letter runs are token keys looked up through the key index, the
// rest 2-grams; stop-word lists), and letter words prepared as the call
// layer prepares them (masks '*' and '?', mark routines, truncation
// counts, stemming). Builds on search2_fixture.hpp. Header-only.
#ifndef TESTS_ITL_BASE_SEARCH_MIX_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_MIX_FIXTURE_HPP

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "calls/voz_stem.hpp"
#include "characters/voz_cut.hpp"
#include "search2_fixture.hpp"

namespace mixfix {

using s2fix::Corpus;
using s2fix::Query;

// One search word and how the call layer would prepare it.
struct Word {
    std::string text;
    int32_t front = 0;       // front-truncation count
    int32_t rear = 0;        // rear-truncation count
    bool stem = false;
    int16_t precision = 100;
};

// The units of `text` in code page `code` (any width).
inline std::vector<uint8_t> units(const std::string& text, uint8_t code) {
    std::vector<uint8_t> u(text.size() * 4 + 8);
    int32_t len = 0;
    GTRSTATUS st{};
    vozNormalizeWord(code, reinterpret_cast<const uint8_t*>(text.data()),
                     static_cast<int32_t>(text.size()), u.data(),
                     static_cast<int32_t>(u.size()), &len, 1, nullptr, &st);
    EXPECT_EQ(st.retcode, 0) << text;
    u.resize(static_cast<size_t>(len));
    return u;
}

// Adds a prepared 'W' word of code page `code` (unit width `width`);
// returns its slot.
inline int32_t addWord(Query& q, const Word& w, uint8_t code = 1,
                       int16_t width = 2) {
    int32_t slot = q.add('W', units(w.text, code), w.precision);
    RTRVWORDEXT& x = q.words[static_cast<size_t>(slot)];
    x.unit_width = width;
    x.wi.search_flag = 1;
    std::vector<uint8_t> any = units("*", code), one = units("?", code);
    memcpy(x.mask_unit[0], any.data(), any.size());
    memcpy(x.mask_unit[1], one.data(), one.size());
    x.mark_check_function = vozCHmarkUnit_Chk;
    x.mark_set_function = vozCHmarkUnit_Set;
    x.front_trunc = w.front;
    x.rear_trunc = w.rear;
    if (w.stem) {
        x.wi.stemming = 1;
        x.stem_function = vozStemming;
    }
    return slot;
}

// Creation record of a text index of code page `code`.
inline GTRHCREATEPARM parm(uint8_t code = 1) {
    GTRHCREATEPARM p = s2fix::textParm();
    p.codepage = code;
    return p;
}

// One 'N' cycle of documents 0, 1, ... into corpus `c` with record `p`.
inline void build(Corpus& c, const std::vector<std::string>& docs,
                  GTRHCREATEPARM p, GTRSTATUS& st) {
    c.cycle('N', 0, docs, st, p);
}

// As build, with the stop words `stops` (one per line of a list file).
inline void buildWithStops(Corpus& c, const std::vector<std::string>& docs,
                           const std::vector<std::string>& stops,
                           GTRSTATUS& st) {
    const std::string file = c.tmp.path() + "/stop.txt";
    {
        std::ofstream f(file);
        for (const std::string& s : stops) f << s << "\n";
    }
    GTRSTOPWORDLIST list;
    memset(&list, 0, sizeof list);
    list.pszStopWordList = const_cast<char*>(file.c_str());
    GTRHCREATEPARM p = parm();
    p.stop_word_list_num = 1;
    p.paStopWordList = &list;
    build(c, docs, p, st);
}

// The five-document corpus of the mixed-index tests.
const std::vector<std::string> kF5 = {"apple pear. plum", "apple banana",
                                      "pear plum apple", "banana",
                                      "grape apple. pear"};

// A test over one mixed index of code page 1 (with stop words when any are
// given), opened into `h` and closed at the end.
struct MixTest : ::testing::Test {
    Corpus c;
    VOZSEARCH* h = nullptr;
    void build(const std::vector<std::string>& docs,
               const std::vector<std::string>& stops = {}) {
        GTRSTATUS st{};
        if (stops.empty())
            mixfix::build(c, docs, parm(), st);
        else
            buildWithStops(c, docs, stops, st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        h = c.open(st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
    void TearDown() override {
        if (h != nullptr) s2fix::closeHandle(h);
    }
};

}  // namespace mixfix

#endif  // TESTS_ITL_BASE_SEARCH_MIX_FIXTURE_HPP
