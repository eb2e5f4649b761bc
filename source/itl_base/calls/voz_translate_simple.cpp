// voz_translate_simple.cpp -- a simple query (blank-separated words joined
// by one operator) into the postfix form, without the conversion: every
// word becomes an operand and one operator with all of them follows.
//
// Words are read from the query normalised into units. A word that starts
// with a double quote runs to the next double quote; two double quotes in a
// row inside it stand for one (the text before them moves one unit right,
// in the query buffer).
#include <cstdlib>
#include <cstring>

#include "calls/voz_normline.hpp"
#include "calls/voz_reserved.hpp"
#include "calls/voz_stem.hpp"
#include "calls/voz_translate.hpp"
#include "characters/voz_cut.hpp"

namespace {

constexpr int32_t GROW = 64;

// The double-quote character of a code page.
uint8_t doubleQuote(VOZ_CPINFO cp) { return cp.code == 28 ? 0xFC : '"'; }

struct Scan {
    VOZ_CPINFO cp;
    int16_t w;
    uint8_t* buf;
    int32_t end;  // bytes of units
    bool is(int32_t at, uint8_t ch) const {
        return at + w <= end && vozCHcmp(cp, buf + at, ch, nullptr) == 0;
    }
};

// Reads the word at *at (not a blank); sets its start and length and moves
// *at past it. False with the status set for a quote left open or an empty
// word.
bool readWord(const Scan& s, int32_t* at, uint8_t** word, int32_t* len,
              GTRSTATUS* gsp) {
    const uint8_t dq = doubleQuote(s.cp);
    if (!s.is(*at, dq)) {
        int32_t stop = *at;
        vozCHpointFirstBlank(s.cp, s.buf, &stop, s.end);
        if (stop > s.end) stop = s.end;
        *word = s.buf + *at;
        *len = stop - *at;
        *at = stop;
        return true;
    }
    int32_t start = *at + s.w;
    int32_t p = start;
    for (;;) {
        if (p >= s.end) {
            voz_setStatus(gsp, 105, 2590);
            return false;
        }
        if (!s.is(p, dq)) {
            p += s.w;
            continue;
        }
        if (s.is(p + s.w, dq)) {  // a doubled quote: keep one of them
            std::memmove(s.buf + start + s.w, s.buf + start,
                         static_cast<size_t>(p - start));
            start += s.w;
            p += 2 * s.w;
            continue;
        }
        break;
    }
    if (p == start) {
        voz_setStatus(gsp, 105, 2591);
        return false;
    }
    *word = s.buf + start;
    *len = p - start;
    *at = p + s.w;
    return true;
}

void fillOperand(PFELEMENT& e, uint8_t* word, int32_t len,
                 const SIMPLERTRVOPT& opt, int16_t width) {
    std::memset(&e, 0, sizeof e);
    e.kind = VOZ_PF_TERM;
    e.itemNo = -1;
    RTRVWORD& w = e.winfoX.wi;
    w.type = 'W';
    w.wordp = word;
    w.wordlen = static_cast<int16_t>(len);
    w.precision = opt.precision;
    w.rangenum = opt.rangenum;
    w.range = opt.range;
    w.range_dlmno = opt.range_dlmno;
    w.start_option = opt.start_option;
    w.casesens = opt.casesens;
    w.mask[0] = opt.mask[0];
    w.mask[1] = opt.mask[1];
    w.stemming = opt.stemming;
    w.fld_number = opt.fld_number;
    w.search_flag = opt.search_flag;
    e.winfoX.word_no = -1;
    e.winfoX.unit_width = width;
    if (opt.stemming == 1) e.winfoX.stem_function = vozStemming;
    e.winfoX.mark_check_function = vozCHmarkUnit_Chk;
    e.winfoX.mark_set_function = vozCHmarkUnit_Set;
}

void fillOperator(PFELEMENT& e, int16_t n, const SIMPLERTRVOPT& opt,
                  const RTRVRANK* rank) {
    std::memset(&e, 0, sizeof e);
    e.itemNo = -1;
    e.Operator = opt.Operator;
    e.opnum = n;
    switch (opt.Operator.op) {
    case 'A': e.kind = VOZ_PF_AND; break;
    case 'D': e.kind = VOZ_PF_DISTANCE; break;
    case 'N': e.kind = VOZ_PF_NOT; break;
    default: e.kind = VOZ_PF_OR; break;
    }
    if (rank == nullptr) return;
    if (rank->howto_operate != 'P') {
        e.mode = rank->howto_operate;
    } else if (e.kind == VOZ_PF_AND) {
        e.kind = VOZ_PF_PROXIMITY;
        e.mode = 'P';
    } else {
        e.mode = e.kind == VOZ_PF_DISTANCE ? 'P' : 'F';
    }
}

bool grow(PFELEMENT** pf, int32_t used, int32_t* room, GTRSTATUS* gsp) {
    if (used < *room) return true;
    void* p = std::realloc(*pf, sizeof(PFELEMENT) * static_cast<size_t>(*room + GROW));
    if (p == nullptr) {
        voz_setStatus(gsp, 11, 2592);
        return false;
    }
    *pf = static_cast<PFELEMENT*>(p);
    *room += GROW;
    return true;
}

// Checks of the options and the text, before anything is allocated.
bool checkSimple(const char* text, const SIMPLERTRVOPT& opt, GTRSTATUS* gsp) {
    if (vozReservedCheck_SIMPLERTRVOPT(&opt, gsp) != 0) return false;
    if (text == nullptr || *text == 0) {
        voz_setStatus(gsp, 25, 2585);
        return false;
    }
    if (opt.casesens != 'C' && opt.casesens != 'N') {
        voz_setStatus(gsp, 106, 2586);
        return false;
    }
    if (opt.mask[0] != 0 && opt.mask[0] == opt.mask[1]) {
        voz_setStatus(gsp, 111, 2587);
        return false;
    }
    return true;
}

}  // namespace

void vozTranslateCond_Simple(VOZ_CPINFO cp, const char* text,
                             SIMPLERTRVOPT opt, uint8_t** queryBuf,
                             PFELEMENT** pf, int32_t* pfCount,
                             const GTRCREATEPARM* cparm, const RTRVRANK* rank,
                             GTRSTATUS* gsp) {
    *queryBuf = nullptr;
    *pf = nullptr;
    *pfCount = 0;
    if (!checkSimple(text, opt, gsp)) return;
    int16_t w = vozCHlen(cp);
    int64_t textLen = static_cast<int64_t>(std::strlen(text));
    int64_t size = textLen * w + 1;
    if (textLen > 0x7FFF || size > 0x7FFFFFFF) size = 0;  // longer than a word
    *queryBuf = size > 0 ? static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)))
                         : nullptr;
    if (*queryBuf == nullptr) {
        voz_setStatus(gsp, 11, 2588);
        return;
    }
    int32_t len = 0;
    vozNormalizeLine(cp, reinterpret_cast<const uint8_t*>(text),
                     static_cast<int32_t>(textLen), *queryBuf,
                     static_cast<int32_t>(size) - 1, &len, VOZ_NORM_TEXT, cparm,
                     gsp);
    if (voz_Failed(gsp)) return;
    (*queryBuf)[len] = 0;
    if (len == 0) {
        voz_setStatus(gsp, 25, 2589);
        return;
    }
    Scan s{cp, w, *queryBuf, len};
    int32_t at = 0, used = 0, room = 0;
    while (at < len) {
        if (s.is(at, ' ')) {
            at += w;
            continue;
        }
        uint8_t* word = nullptr;
        int32_t wordLen = 0;
        if (!readWord(s, &at, &word, &wordLen, gsp)) return;
        if (wordLen == 0) {
            // A unit at which the page's blank scan ends a word but which
            // is not the blank itself (a joined syllable of code pages 3
            // and 13, the units the UTF-8 pages take as blanks): it
            // separates words like a blank. Without this step the scan
            // would stand still on it.
            at += w;
            continue;
        }
        if (!grow(pf, used, &room, gsp)) return;
        fillOperand((*pf)[used++], word, wordLen, opt, w);
        *pfCount = used;
    }
    if (used == 0) {  // blanks only: no word for the operator to join
        voz_setStatus(gsp, 25, 2589);
        return;
    }
    if (!grow(pf, used, &room, gsp)) return;
    fillOperator((*pf)[used], static_cast<int16_t>(used), opt, rank);
    *pfCount = used + 1;
}

void vozTranslateCond_Simple_Term(uint8_t* queryBuf, PFELEMENT* pf,
                                  int32_t /*pfCount*/) {
    std::free(queryBuf);
    std::free(pf);
}
