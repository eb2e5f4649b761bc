// Test support for item words: an index with a text and an item sub-index
// built through the update cycle's public calls (code page 1), opened for
// search with both halves, and item words prepared as the call layer's
// item translation prepares them. Header-only.
#ifndef TESTS_ITL_BASE_SEARCH_ITEM_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_ITEM_FIXTURE_HPP

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "calls/voz_normline.hpp"
#include "calls/voz_translate.hpp"
#include "files/voz_records.hpp"
#include "search/voz_search.hpp"
#include "search2_fixture.hpp"

namespace itemfix {

// One item of a document: character ('C') or numeric ('N').
struct Item {
    int16_t number;
    char type;
    std::string text;
    double value;
};

inline Item num(int16_t number, double v) { return {number, 'N', "", v}; }
inline Item chr(int16_t number, const std::string& t) {
    return {number, 'C', t, 0};
}

// Index "idx" with both sub-indexes: document d has the text "x" and the
// items docs[d].
struct ItemIndex : s2fix::Corpus {
    void build(const std::vector<std::vector<Item>>& docs, GTRSTATUS& st) {
        std::string old = std::filesystem::current_path().string();
        std::filesystem::current_path(work);
        GTRHCREATEPARM p = s2fix::textParm();
        p.index_purpose = 3;
        GTRSYSPARM sys;
        memset(&sys, 0, sizeof sys);
        sys.poolsize = 4 << 20;
        sys.poolsizedelta = 1 << 20;
        sys.displaylog = 'N';
        int32_t maxDoc = 0;
        void* h = nullptr;
        GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), 'N', 'B', &p,
                           &sys, &maxDoc, &st);
        for (size_t d = 0; d < docs.size() && st.retcode == 0; ++d) {
            int32_t start = 0;
            GTRcreateIndexOneDoc(h, reinterpret_cast<const uint8_t*>("x"), 1,
                                 static_cast<int32_t>(d), &start, nullptr, &st);
            if (docs[d].empty() || st.retcode != 0) continue;
            std::vector<REGISTITEM> items(docs[d].size());
            for (size_t i = 0; i < docs[d].size(); ++i) {
                REGISTITEM& it = items[i];
                memset(&it, 0, sizeof it);
                it.item_number = docs[d][i].number;
                it.item_type = docs[d][i].type;
                it.char_ptr = reinterpret_cast<uint8_t*>(
                    const_cast<char*>(docs[d][i].text.data()));
                it.char_len = static_cast<int16_t>(docs[d][i].text.size());
                it.num_value = docs[d][i].value;
            }
            GTRcreateItemIndexOneDoc(h, static_cast<int32_t>(d),
                                     static_cast<int32_t>(items.size()),
                                     items.data(), &st);
        }
        if (st.retcode == 0) {
            GTRcreateIndexLast(h, &st);
            if (st.retcode == 0) GTRcreateIndexTerm(h, 'G', &st);
        }
        std::filesystem::current_path(old);
    }
    // Opens both halves; the item half's creation parameters are kept in
    // itemParm (the search call prepares item words with them).
    VOZSEARCH* openBoth(GTRSTATUS& st) {
        VOZSEARCH* h = nullptr;
        GTRCREATEPARM p1{};
        VOZ_SearchOpen_(&h, "idx", out.c_str(), "KPLQ", "MRNS", "Full", "Item",
                        nullptr, &p1, &itemParm, VOZ_HALF_TEXT | VOZ_HALF_ITEM,
                        &st, 0);
        return h;
    }
    GTRCREATEPARM itemParm{};
};

// Adds a range word over numeric item `number`; returns its slot. The
// word's key pointers are fixed by fixRanges once the query is complete.
inline int32_t rangeWord(s2fix::Query& q, int16_t number, double lo, char loMode,
                         double hi, char hiMode) {
    int32_t slot = q.add('F', {});
    SEARCHITEM it;
    memset(&it, 0, sizeof it);
    it.item_number = static_cast<uint16_t>(number);
    it.item_type = 'N';
    it.num_min_value = lo;
    it.num_max_value = hi;
    it.num_min_equal = loMode;
    it.num_max_equal = hiMode;
    GTRSTATUS st{};
    vozTranslateNumItem(&it, slot, &q.words[static_cast<size_t>(slot)], &st);
    EXPECT_EQ(st.retcode, 0);
    return slot;
}

// Adds an equal word over character item `number` with value `text`
// ('*' any run of units, '?' one unit), normalised and translated as the
// call layer prepares item operands; returns its slot. With `prepare` (the
// item half's creation parameters) the word is then prepared as the search
// call prepares it (a word without case, casesens 'N', is case-folded).
inline int32_t equalWord(s2fix::Query& q, int16_t number,
                         const std::string& text, char casesens = 'C',
                         const GTRCREATEPARM* prepare = nullptr) {
    VOZ_CPINFO cp{};
    cp.code = s2fix::kCode;
    vozCHsetCPInfo(&cp);
    std::vector<uint8_t> units(text.size() * 4 + 8);
    int32_t len = 0;
    GTRSTATUS st{};
    vozNormalizeLine(cp, reinterpret_cast<const uint8_t*>(text.data()),
                     static_cast<int32_t>(text.size()), units.data(),
                     static_cast<int32_t>(units.size()), &len, VOZ_NORM_ITEM,
                     nullptr, &st);
    EXPECT_EQ(st.retcode, 0);
    units.resize(static_cast<size_t>(len));
    const int32_t slot = q.add('E', units);
    SEARCHITEM it;
    memset(&it, 0, sizeof it);
    it.item_number = static_cast<uint16_t>(number);
    it.item_type = 'C';
    it.char_ptr = units.data();
    it.char_len = static_cast<int16_t>(len);
    it.char_mask[0] = '*';
    it.char_mask[1] = '?';
    it.char_precision = 100;
    it.char_casesens = casesens;
    RTRVWORDEXT& w = q.words[static_cast<size_t>(slot)];
    vozTranslateCharItem(cp, &it, slot, &w, &st);
    EXPECT_EQ(st.retcode, 0);
    w.unit_width = vozCHlen(cp);
    w.mark_check_function = vozCHmarkUnit_Chk;
    w.mark_set_function = vozCHmarkUnit_Set;
    vozCHcpy(cp, w.mask_unit[0], '*', nullptr);
    vozCHcpy(cp, w.mask_unit[1], '?', nullptr);
    if (prepare != nullptr) {
        w.wi.wordp = q.texts[static_cast<size_t>(slot)].data();
        vozSetWordExt(&w, 1, cp, nullptr, prepare, nullptr, nullptr, &st);
        EXPECT_EQ(st.retcode, 0) << st.errcode;
    }
    return slot;
}

// Points every range word's keys at its own buffers (the words were copied).
inline void fixRanges(s2fix::Query& q) {
    for (RTRVWORDEXT& w : q.words) {
        if (w.wi.type != 'F') continue;
        w.from_key = w.from_keybuf;
        w.to_key = w.to_keybuf;
    }
}

}  // namespace itemfix

#endif  // TESTS_ITL_BASE_SEARCH_ITEM_FIXTURE_HPP
