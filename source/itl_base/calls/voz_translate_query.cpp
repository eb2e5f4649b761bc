// voz_translate_query.cpp -- the translators of query text and mixed query
// text into the postfix form, the purpose function of mixed query text and
// their releases (voz_translate.hpp).
//
// The text is normalised into units (mode 0xE0) in a query buffer that the
// words of the operands point into, then converted with the tokenizer of
// its form. Mixed query text then normalises its character-item values
// (mode 0xF0) into a word buffer, unquoting a "quoted" value. The purpose
// of mixed query text is read from its operands: character items ('E') and
// numeric ranges ('F') need the item sub-index, words ('W') and
// back-reference files ('B') the text sub-index; operators and the
// whole-document operand need neither.
#include <cstdlib>
#include <cstring>

#include "calls/voz_normline.hpp"
#include "calls/voz_stem.hpp"
#include "calls/voz_token_query.hpp"
#include "calls/voz_translate.hpp"
#include "characters/voz_cut.hpp"

namespace {

constexpr int32_t RC_NO_QUERY = 25;

// The errcodes of the normalising step of one form.
struct QueryCodes {
    int32_t noText, buffer, empty;
};
const QueryCodes kQueryCodes = {2581, 2582, 2583};
const QueryCodes kMixCodes = {2608, 2609, 2610};
const QueryCodes kPurposeCodes = {2614, 2616, 2617};

// Allocates the query buffer and normalises `text` into it, NUL-terminated
// (a whole zero unit follows the last unit). False with the status set.
bool normaliseQuery(VOZ_CPINFO cp, const char* text, const QueryCodes& codes,
                    uint8_t** queryBuf, const GTRCREATEPARM* cparm,
                    GTRSTATUS* gsp) {
    if (text == nullptr || *text == 0) {
        voz_setStatus(gsp, RC_NO_QUERY, codes.noText);
        return false;
    }
    const int16_t w = vozCHlen(cp);
    const int64_t textLen = static_cast<int64_t>(std::strlen(text));
    const int64_t size = (textLen + 1) * w;
    if (size <= 0x7FFFFFF0)
        *queryBuf = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
    if (*queryBuf == nullptr) {
        voz_setStatus(gsp, RC_NO_QUERY, codes.buffer);
        return false;
    }
    int32_t len = 0;
    vozNormalizeLine(cp, reinterpret_cast<const uint8_t*>(text),
                     static_cast<int32_t>(textLen), *queryBuf,
                     static_cast<int32_t>(size - w), &len, VOZ_NORM_TEXT, cparm,
                     gsp);
    if (voz_Failed(gsp)) return false;
    std::memset(*queryBuf + len, 0, static_cast<size_t>(w));
    if (len == 0) {
        voz_setStatus(gsp, RC_NO_QUERY, codes.empty);
        return false;
    }
    return true;
}

// The search routines of the word operands, as for a simple query.
void prepareOperands(PFELEMENT* pf, int32_t n, int16_t w) {
    for (int32_t i = 0; i < n; ++i) {
        RTRVWORDEXT& x = pf[i].winfoX;
        if (pf[i].kind != VOZ_PF_TERM) continue;
        x.unit_width = w;
        if (x.wi.type != 'W' && x.wi.type != 'B') continue;
        x.word_no = -1;
        if (x.wi.stemming == 1) x.stem_function = vozStemming;
        x.mark_check_function = vozCHmarkUnit_Chk;
        x.mark_set_function = vozCHmarkUnit_Set;
    }
}

// Counts the operands of mixed query text by the sub-index they need and
// sets the key pointers of numeric ranges to the element's own buffers.
// Returns the word buffer room the character-item values need.
int64_t countOperands(PFELEMENT* pf, int32_t n, int16_t w, bool* items,
                      bool* words) {
    int64_t room = 0;
    for (int32_t i = 0; i < n; ++i) {
        RTRVWORDEXT& x = pf[i].winfoX;
        if (pf[i].kind != VOZ_PF_TERM) continue;
        switch (x.wi.type) {
        case 'E':
            *items = true;
            room += int64_t{w} * (x.wi.wordlen > 0 ? x.wi.wordlen : 0);
            break;
        case 'F':
            *items = true;
            x.from_key = x.from_keybuf;
            x.to_key = x.to_keybuf;
            break;
        case 'W': case 'B': *words = true; break;
        default: break;
        }
    }
    return room;
}

int32_t purposeOf(bool items, bool words) {
    if (items && words) return VOZ_PURPOSE_BOTH;
    return items ? VOZ_PURPOSE_ITEM : VOZ_PURPOSE_TEXT;
}

// Drops the quotes of a "quoted" value of `len` bytes at *value; a doubled
// quote followed by a further unit stands for one. False when the closing
// quote is missing.
bool unquote(VOZ_CPINFO cp, uint8_t** value, int32_t* len) {
    VozUnits u = vozUnits(cp);
    uint8_t* end = *value + *len;
    const uint8_t dq = vozGetDoubleQuote(cp);
    if (!u.is(*value, end, dq)) return true;
    uint8_t* start = *value + u.w;
    for (uint8_t* q = start; q < end; q += u.w) {
        if (!u.is(q, end, dq)) continue;
        if (u.is(q + u.w, end, dq) && q + 2 * u.w < end) {
            std::memmove(start + u.w, start, static_cast<size_t>(q - start));
            start += u.w;
            q += u.w;
            continue;
        }
        *value = start;
        *len = static_cast<int32_t>(q - start);
        return true;
    }
    return false;
}

// Normalises the character-item values into the word buffer.
void itemValues(VOZ_CPINFO cp, PFELEMENT* pf, int32_t n, int64_t room,
                uint8_t** wordBuf, const GTRCREATEPARM* cparm, GTRSTATUS* gsp) {
    if (room > 0x7FFFFFF0 ||
        (*wordBuf = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(room) + 1))) ==
            nullptr) {
        voz_setStatus(gsp, 11, 2612);
        return;
    }
    int32_t used = 0;
    for (int32_t i = 0; i < n; ++i) {
        RTRVWORD& w = pf[i].winfoX.wi;
        if (pf[i].kind != VOZ_PF_TERM || w.type != 'E' || w.wordlen < 1) continue;
        int32_t len = 0;
        vozNormalizeLine(cp, w.wordp, w.wordlen, *wordBuf + used,
                         static_cast<int32_t>(room) - used, &len, VOZ_NORM_ITEM,
                         cparm, gsp);
        if (voz_Failed(gsp)) return;
        uint8_t* value = *wordBuf + used;
        used += len;
        if (!unquote(cp, &value, &len)) {
            voz_setStatus(gsp, 105, 2613);
            return;
        }
        w.wordp = value;
        w.wordlen = static_cast<int16_t>(len);
    }
}

}  // namespace

void vozTranslateCond_Query(VOZ_CPINFO cp, const char* text,
                            uint8_t** queryBuf, PFELEMENT** pf,
                            int32_t* pfCount, const GTRCREATEPARM* cparm,
                            const RTRVRANK* rank, QUERYWORK* work,
                            GTRSTATUS* gsp) {
    *queryBuf = nullptr;
    *pf = nullptr;
    *pfCount = 0;
    if (!normaliseQuery(cp, text, kQueryCodes, queryBuf, cparm, gsp)) return;
    vozConvertIntoPostfix(*queryBuf, pf, pfCount, cp,
                          reinterpret_cast<const uint8_t*>(text),
                          vozIdentifyToken_Query, rank, work, gsp);
    if (voz_Failed(gsp)) return;
    if (*pfCount == 0) {
        voz_setStatus(gsp, RC_NO_QUERY, 2584);
        return;
    }
    prepareOperands(*pf, *pfCount, vozCHlen(cp));
}

int32_t vozTranslateCond_MixQuery(VOZ_CPINFO cp, const char* text,
                                  uint8_t** queryBuf, uint8_t** wordBuf,
                                  PFELEMENT** pf, int32_t* pfCount,
                                  const GTRCREATEPARM* cparm,
                                  const RTRVRANK* rank, QUERYWORK* work,
                                  GTRSTATUS* gsp) {
    *queryBuf = nullptr;
    *wordBuf = nullptr;
    *pf = nullptr;
    *pfCount = 0;
    if (!normaliseQuery(cp, text, kMixCodes, queryBuf, cparm, gsp))
        return VOZ_PURPOSE_TEXT;
    vozConvertIntoPostfix(*queryBuf, pf, pfCount, cp,
                          reinterpret_cast<const uint8_t*>(text),
                          vozIdentifyToken_MixQuery, rank, work, gsp);
    if (voz_Failed(gsp)) return VOZ_PURPOSE_TEXT;
    if (*pfCount == 0) {
        voz_setStatus(gsp, RC_NO_QUERY, 2611);
        return VOZ_PURPOSE_TEXT;
    }
    const int16_t w = vozCHlen(cp);
    bool items = false, words = false;
    int64_t room = countOperands(*pf, *pfCount, w, &items, &words);
    prepareOperands(*pf, *pfCount, w);
    itemValues(cp, *pf, *pfCount, room, wordBuf, cparm, gsp);
    return purposeOf(items, words);
}

int32_t vozTranslateCond_MixQuery4Purpose(VOZ_CPINFO cp, const char* text,
                                          const RTRVRANK* rank,
                                          QUERYWORK* /*work*/,
                                          GTRSTATUS* gsp) {
    if (text == nullptr || *text == 0) {
        voz_setStatus(gsp, RC_NO_QUERY, kPurposeCodes.noText);
        return VOZ_PURPOSE_TEXT;
    }
    char* copy = strdup(text);
    if (copy == nullptr) {
        voz_setStatus(gsp, RC_NO_QUERY, 2615);
        return VOZ_PURPOSE_TEXT;
    }
    // The arrays that options make are listed in a work area of this call,
    // so that everything is freed before it returns.
    QUERYWORK own{};
    uint8_t* queryBuf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    int32_t purpose = VOZ_PURPOSE_TEXT;
    if (normaliseQuery(cp, copy, kPurposeCodes, &queryBuf, nullptr, gsp)) {
        vozConvertIntoPostfix(queryBuf, &pf, &n, cp,
                              reinterpret_cast<const uint8_t*>(copy),
                              vozIdentifyToken_MixQuery, rank, &own, gsp);
        if (!voz_Failed(gsp) && n == 0) voz_setStatus(gsp, RC_NO_QUERY, 2618);
        bool items = false, words = false;
        countOperands(pf, n, vozCHlen(cp), &items, &words);
        if (!voz_Failed(gsp)) purpose = purposeOf(items, words);
    }
    vozConvertIntoPostfixTerm(pf, n);
    vozQueryWorkTerm(&own);
    std::free(queryBuf);
    std::free(copy);
    return purpose;
}

void vozTranslateCond_Query_Term(uint8_t* queryBuf, PFELEMENT* pf,
                                 int32_t pfCount) {
    std::free(queryBuf);
    vozConvertIntoPostfixTerm(pf, pfCount);
}

void vozTranslateCond_MixQuery_Term(uint8_t* queryBuf, uint8_t* wordBuf,
                                    PFELEMENT* pf, int32_t pfCount) {
    std::free(wordBuf);
    vozTranslateCond_Query_Term(queryBuf, pf, pfCount);
}
