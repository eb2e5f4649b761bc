// voz_translate_item.cpp -- item conditions into operands: numeric ranges
// ('F'), character values ('E'), numeric sets ('S') and back-reference
// files ('B'). A failure names the item by its index (errcode).
#include <cstdlib>

#include "calls/voz_itemkey.hpp"
#include "calls/voz_translate.hpp"
#include "characters/voz_cut.hpp"

namespace {

constexpr int32_t RC_ITEM_NUMBER = 114;
constexpr int32_t RC_ITEM_WRONG = 116;
constexpr int32_t RC_CASESENS = 106;
constexpr int32_t RC_PRECISION = 26;
constexpr int32_t RC_BACKREF = 107;
constexpr int32_t BACKREF_MAX = 2048;
// Limits handed to the equal-word lookup of a character item.
constexpr int32_t EQ_LIMIT1 = 130;
constexpr int32_t EQ_LIMIT2 = 254;

bool bound(char c) { return c == 'I' || c == 'X'; }

}  // namespace

void vozTranslateNumItem(const SEARCHITEM* item, int32_t index,
                         RTRVWORDEXT* x, GTRSTATUS* gsp) {
    if (item->item_number < 1 || item->item_number > 32767) {
        voz_setStatus(gsp, RC_ITEM_NUMBER, index);
        return;
    }
    if (!bound(item->num_min_equal) || !bound(item->num_max_equal)) {
        voz_setStatus(gsp, RC_ITEM_WRONG, index);
        return;
    }
    int16_t width = vozCHlenVar();
    x->wi.type = 'F';
    x->from_key = x->from_keybuf;
    x->to_key = x->to_keybuf;
    x->from_keylen = vozNormalizeDouble(&item->num_min_value, item->item_number,
                                        width, x->from_keybuf);
    x->to_keylen = vozNormalizeDouble(&item->num_max_value, item->item_number,
                                      width, x->to_keybuf);
    x->from_bound = item->num_min_equal;
    x->to_bound = item->num_max_equal;
}

void vozTranslateCharItem(VOZ_CPINFO cp, const SEARCHITEM* item,
                          int32_t index, RTRVWORDEXT* x, GTRSTATUS* gsp) {
    if (item->item_number < 1 || item->item_number > 254) {
        voz_setStatus(gsp, RC_ITEM_NUMBER, index);
        return;
    }
    if (item->char_casesens != 'C' && item->char_casesens != 'N') {
        voz_setStatus(gsp, RC_CASESENS, index);
        return;
    }
    if (item->char_precision < 1 || item->char_precision > 100) {
        voz_setStatus(gsp, RC_PRECISION, index);
        return;
    }
    int16_t width = vozCHlen(cp);
    uint8_t mark = static_cast<uint8_t>(item->item_number);
    x->wi.type = 'E';
    x->wi.wordp = item->char_ptr;
    x->wi.wordlen = item->char_len;
    x->wi.precision = item->char_precision;
    x->wi.casesens = item->char_casesens;
    x->wi.mask[0] = item->char_mask[0];
    x->wi.mask[1] = item->char_mask[1];
    x->cut_function = vozCHcutIntoPartAsis;
    x->word_rule = 0;
    vozCHsetCharItem_StartMark(width, x->start_mark, mark);
    vozCHsetCharItem_EndMark(width, x->end_mark, mark);
    x->eq_by_position = 1;
    x->eq_limit1 = EQ_LIMIT1;
    x->eq_limit2 = EQ_LIMIT2;
    x->eq_item_no = item->item_number;
}

void vozTranslateNumSetItem(const SEARCHITEM* item, int32_t index,
                            RTRVWORDEXT* x, GTRSTATUS* gsp) {
    if (item->numset_num <= 0 || item->numset_value == nullptr) {
        voz_setStatus(gsp, RC_ITEM_WRONG, index);
        return;
    }
    x->wi.type = 'S';
    x->numset = static_cast<VOZNUMSETENTRY*>(
        std::calloc(static_cast<size_t>(item->numset_num), sizeof(VOZNUMSETENTRY)));
    if (x->numset == nullptr) {
        voz_setStatus(gsp, 11, 2580);
        return;
    }
    x->numset_count = item->numset_num;
    int16_t width = vozCHlenVar();
    for (int32_t i = 0; i < item->numset_num; ++i)
        x->numset[i].keylen = vozNormalizeDouble(&item->numset_value[i],
                                                 item->item_number, width,
                                                 x->numset[i].key);
}

void vozTranslateBackRef(const SEARCHITEM* item, int32_t index,
                         RTRVWORDEXT* x, GTRSTATUS* gsp) {
    if (item->bref_fname == nullptr || item->bref_len < 1 ||
        item->bref_len > BACKREF_MAX) {
        voz_setStatus(gsp, RC_BACKREF, index);
        return;
    }
    x->wi.type = 'B';
    x->wi.wordp = item->bref_fname;
    x->wi.wordlen = item->bref_len;
}
