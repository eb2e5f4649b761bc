// voz_norm_ebcdic_mixed.cpp -- mixed single/double-byte EBCDIC pages.
//
// Japanese Kana-Kanji (10) and Latin-Kanji (11), traditional (12) and
// simplified (14) Chinese; Korean (13) adds joining in
// voz_norm_ebcdic_kokr.cpp on top of the same character step.
// Shift-out 0x0E enters and shift-in 0x0F leaves a double-byte stretch; the
// caller's state byte says which side the text starts on and receives the
// side it ends on. Inside a stretch the double-byte blank 40 40 is the blank
// unit and full-width Latin letters and digits (lead 0x42) carry their EBCDIC
// letter code: 42 C1 gives (0xC1, 1), while the single-byte 0xC1 gives
// ('A', 1).
#include <cstring>

#include "characters/voz_norm_ebcdic.hpp"
#include "characters/voz_norm_ebcdic_int.hpp"

namespace {

inline void set2(uint8_t* u, uint8_t a, uint8_t b) {
    u[0] = a;
    u[1] = b;
}

bool inLetterRows(uint8_t t, uint8_t a, uint8_t j, uint8_t s) {
    return (t >= a && t <= a + 8) || (t >= j && t <= j + 8) ||
           (t >= s && t <= s + 7);
}

// Full-width Latin letters and digits (lead 0x42); false for others.
bool fullWidthLatin(uint8_t trail, uint8_t* u) {
    if (inLetterRows(trail, 0xC1, 0xD1, 0xE2)) set2(u, trail, VOZ_MARK_UPPER);
    else if (inLetterRows(trail, 0x81, 0x91, 0xA2))
        set2(u, (uint8_t)(trail + 0x40), VOZ_MARK_LOWER);
    else if (trail >= 0xF0 && trail <= 0xF9) set2(u, trail, VOZ_MARK_DIGIT);
    else return false;
    return true;
}

// Korean letters of the rows 43, 4C, 4D, 4E: their canonical code.
bool koreanLetter(uint8_t lead, uint8_t trail, uint8_t* u) {
    const uint8_t (*tab)[2] = nullptr;
    int size = 0;
    switch (lead) {
    case 0x43: tab = EBCDIC_KOKR_4340_436B; size = 44; break;
    case 0x4C: tab = EBCDIC_KOKR_4C40_4C9B; size = 92; break;
    case 0x4D: tab = EBCDIC_KOKR_4D40_4D57; size = 24; break;
    case 0x4E: tab = EBCDIC_KOKR_4E40_4E5B; size = 28; break;
    default: return false;
    }
    if (trail - 0x40 >= size) return false;
    set2(u, tab[trail - 0x40][0], tab[trail - 0x40][1]);
    return true;
}

void doubleStep(const VOZ_EBCDIC_MIXED* page, const uint8_t* p,
                const uint8_t* end, VOZ_EBCDIC_STEP* s) {
    if (end - p < 2 || p[1] < 0x40 || p[1] == 0xFF) {
        set2(s->unit, 0xFF, 0xFF);
        return;
    }
    uint8_t lead = p[0], trail = p[1];
    s->len = 2;
    set2(s->unit, lead, trail);
    if (lead == VOZ_EBCDIC_BLANK && trail == VOZ_EBCDIC_BLANK)
        set2(s->unit, 0x20, VOZ_MARK_BLANK);
    else if (lead == 0x42) fullWidthLatin(trail, s->unit);
    else if (page->korean) {
        if (!koreanLetter(lead, trail, s->unit))
            s->hangul = lead >= 0x84 && lead <= 0xD3;
    }
}

// A single-byte katakana with a following voiced (0xBE) or semi-voiced
// (0xBF) mark, from the text or, when the kana ends it, from the
// continuation text.
void voicedStep(const VOZ_EBCDIC_MIXED* page, const uint8_t* p,
                const uint8_t* end, VOZ_CONTTEXT* cont, VOZ_EBCDIC_STEP* s) {
    const uint8_t* v = page->voiced[p[0] - 0x40];
    if (!v[0] && !v[1]) return;
    const uint8_t* m = p + 1;
    bool fromCont = false;
    if (m == end) {
        if (!cont || !cont->text || cont->text >= cont->end) return;
        m = cont->text;
        fromCont = true;
    }
    uint8_t second = *m == 0xBE ? v[0] : *m == 0xBF ? v[1] : 0;
    if (!second) return;
    set2(s->unit, 0x43, second);
    if (fromCont) ++cont->text;
    else s->len = 2;
}

}  // namespace

void vozEbcdicMixedStep(const VOZ_EBCDIC_MIXED* page, const uint8_t* p,
                        const uint8_t* end, VOZ_CONTTEXT* cont,
                        uint8_t ctlAsBlank, uint8_t* state,
                        VOZ_EBCDIC_STEP* s) {
    uint8_t b = p[0];
    s->len = 1;
    s->hasUnit = true;
    s->hangul = false;
    if (b == VOZ_EBCDIC_SO || b == VOZ_EBCDIC_SI) {
        *state = b == VOZ_EBCDIC_SO;
        s->hasUnit = false;
    } else if (b < 0x40 || b == 0xFF) {
        if (ctlAsBlank) set2(s->unit, 0x20, VOZ_MARK_BLANK);
        else set2(s->unit, b, VOZ_MARK_OTHER);
    } else if (*state) {
        doubleStep(page, p, end, s);
    } else {
        set2(s->unit, page->table[b - 0x40][0], page->table[b - 0x40][1]);
        if (page->voiced) voicedStep(page, p, end, cont, s);
    }
}

namespace {

int32_t convertMixed(const VOZ_EBCDIC_MIXED* page, const uint8_t* src,
                     const uint8_t* srcEnd, VOZ_CONTTEXT* cont,
                     uint8_t ctlAsBlank, uint8_t* out, int32_t* outLen,
                     PTRDOCNORM* map, uint8_t* state) {
    uint8_t* o = out;
    uint8_t* const oEnd = out + (*outLen > 0 ? *outLen : 0);
    for (const uint8_t* p = src; p < srcEnd;) {
        if (oEnd - o < VOZ_UNIT_WIDTH) {
            *outLen = (int32_t)(o - out);
            return VOZ_CH_FULL;
        }
        vozDocNormServe(map, p, o);
        VOZ_EBCDIC_STEP s;
        vozEbcdicMixedStep(page, p, srcEnd, cont, ctlAsBlank, state, &s);
        p += s.len;
        if (!s.hasUnit) continue;
        memcpy(o, s.unit, 2);
        o += VOZ_UNIT_WIDTH;
    }
    *outLen = (int32_t)(o - out);
    return VOZ_CH_DONE;
}

char nextCharMixed(const VOZ_EBCDIC_MIXED* page, const uint8_t* text,
                   const uint8_t** next, const uint8_t* end,
                   VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* state) {
    if (text >= end) {            // nothing left: never read at end
        *next = end;
        return VOZ_CLASS_OTHER;
    }
    VOZ_EBCDIC_STEP s;
    vozEbcdicMixedStep(page, text, end, cont, ctlAsBlank, state, &s);
    *next = text + s.len;
    return s.hasUnit ? vozEbcdicUnitClass(s.unit) : VOZ_CLASS_SHIFT;
}

const VOZ_EBCDIC_MIXED kanaKanji = {EBCDIC_KANA_KANJI_40FF,
                                    EBCDIC_KANA_KANJI_VOICED, false};
const VOZ_EBCDIC_MIXED latinKanji = {EBCDIC_LATIN_KANJI_40FF,
                                     EBCDIC_LATIN_KANJI_VOICED, false};
const VOZ_EBCDIC_MIXED tchn = {EBCDIC_TCHN_40FF, nullptr, false};
const VOZ_EBCDIC_MIXED schn = {EBCDIC_SCHN_40FF, nullptr, false};

const DBCS_TABLE_INFO kanaKanjiInfo[] = {{EBCDIC_KANA_KANJI_40FF, 192, 0x40},
                                         {nullptr, 0, 0}};
const DBCS_TABLE_INFO latinKanjiInfo[] = {{EBCDIC_LATIN_KANJI_40FF, 192, 0x40},
                                          {nullptr, 0, 0}};
const DBCS_TABLE_INFO tchnInfo[] = {{EBCDIC_TCHN_40FF, 192, 0x40},
                                    {nullptr, 0, 0}};
const DBCS_TABLE_INFO schnInfo[] = {{EBCDIC_SCHN_40FF, 192, 0x40},
                                    {nullptr, 0, 0}};

}  // namespace

#define VOZ_EBCDIC_MIXED_CONVERT(name, page)                                  \
    int32_t name(const uint8_t* src, const uint8_t* srcEnd,                   \
                 VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,        \
                 int32_t* outLen, PTRDOCNORM* map, const GTRCREATEPARM*,      \
                 uint8_t* state) {                                            \
        return convertMixed(&page, src, srcEnd, cont, ctlAsBlank, out,        \
                            outLen, map, state);                              \
    }
#define VOZ_EBCDIC_MIXED_NEXT(name, page)                                     \
    char name(const uint8_t* text, const uint8_t** next, const uint8_t* end,  \
              VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, const GTRCREATEPARM*,   \
              uint8_t* state) {                                               \
        return nextCharMixed(&page, text, next, end, cont, ctlAsBlank,        \
                             state);                                          \
    }
#define VOZ_EBCDIC_MIXED_GETSBCS(name, info)                                  \
    uint8_t name(const uint8_t* unit) {                                       \
        uint8_t b;                                                            \
        return vozGetEbcdicChar(unit, &b, info);                              \
    }

VOZ_EBCDIC_MIXED_CONVERT(vozConvertEbcdicKanaKanji, kanaKanji)
VOZ_EBCDIC_MIXED_CONVERT(vozConvertEbcdicLatinKanji, latinKanji)
VOZ_EBCDIC_MIXED_CONVERT(vozConvertEbcdicTChn, tchn)
VOZ_EBCDIC_MIXED_CONVERT(vozConvertEbcdicSChn, schn)
VOZ_EBCDIC_MIXED_NEXT(vozPointNextCharEbcdicKanaKanji, kanaKanji)
VOZ_EBCDIC_MIXED_NEXT(vozPointNextCharEbcdicLatinKanji, latinKanji)
VOZ_EBCDIC_MIXED_GETSBCS(vozGetSBCScharEbcdicKanaKanji, kanaKanjiInfo)
VOZ_EBCDIC_MIXED_GETSBCS(vozGetSBCScharEbcdicLatinKanji, latinKanjiInfo)
VOZ_EBCDIC_MIXED_GETSBCS(vozGetSBCScharEbcdicTChn, tchnInfo)
VOZ_EBCDIC_MIXED_GETSBCS(vozGetSBCScharEbcdicSChn, schnInfo)
#undef VOZ_EBCDIC_MIXED_CONVERT
#undef VOZ_EBCDIC_MIXED_NEXT
#undef VOZ_EBCDIC_MIXED_GETSBCS

// Pages 12 and 14 share their next-character routine; the state byte alone
// says whether a double-byte character follows, and single-byte units of
// both pages classify alike (Latin letters and digits), so the traditional
// Chinese table serves both.
char vozPointNextCharEbcdicChn(const uint8_t* text, const uint8_t** next,
                               const uint8_t* end, VOZ_CONTTEXT* cont,
                               uint8_t ctlAsBlank, const GTRCREATEPARM*,
                               uint8_t* state) {
    return nextCharMixed(&tchn, text, next, end, cont, ctlAsBlank, state);
}

int32_t vozSentenceEndEbcdicKanji(const uint8_t* unit) {
    return unit[0] == 0x43 && unit[1] == 0x41;
}
int32_t vozSentenceEndEbcdicTChn(const uint8_t* unit) {
    return vozSentenceEndEbcdicKanji(unit);
}
int32_t vozSentenceEndEbcdicSChn(const uint8_t* unit) {
    return vozSentenceEndEbcdicKanji(unit);
}

// Pages 10, 11, 12 and 14 reach one routine through the dispatch table, so
// the unit alone must say which page's byte a single-byte unit stands for.
// Their single-byte units are the Latin letters and digits (the same bytes
// on every page), the control bytes and the unassigned bytes (their own
// byte): the Latin-Kanji table serves all four. Units of full-width Latin
// letters and digits come back as their double-byte characters, so that the
// text gives the same units again.
int32_t vozUnnormalizeEbcdic(const uint8_t* units, const uint8_t* unitsEnd,
                             uint8_t flag, uint8_t* out, int32_t capacity,
                             int32_t* written, uint8_t* state) {
    return vozEbcdicUnnormalize(units, unitsEnd, flag, out, capacity, written,
                                state, latinKanjiInfo,
                                nullptr, VOZ_EBCDIC_KIND_MIXED);
}
