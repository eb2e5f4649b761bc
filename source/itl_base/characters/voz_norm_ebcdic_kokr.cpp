// voz_norm_ebcdic_kokr.cpp -- the mixed EBCDIC Korean page (code 13).
//
// On top of the mixed-page step (voz_norm_ebcdic_mixed.cpp): blanks between
// two Hangul syllables are dropped and the second syllable is written in its
// joined form, its lead moved out of the syllable range 0x84..0xD3:
//   0x84..0xA2 -> 0x21..0x3F (minus 0x63)
//   0xA3..0xB3 -> 0x73..0x83 (minus 0x30)
//   0xB4..0xD3 -> 0xDE..0xFD (plus 0x2A)
// Single-byte 0x40, control bytes turned into blanks, the double-byte blank
// and shift bytes keep the memory of the last syllable; anything else
// clears it. Search words get the other form of each syllable as their
// alternative.
#include <cstring>

#include "characters/voz_norm_ebcdic.hpp"
#include "characters/voz_norm_ebcdic_int.hpp"

namespace {

const VOZ_EBCDIC_MIXED korean = {EBCDIC_KOKR_40FF, nullptr, true};
const DBCS_TABLE_INFO koreanInfo[] = {{EBCDIC_KOKR_40FF, 192, 0x40},
                                      {nullptr, 0, 0}};

bool isPlainSyllable(const uint8_t* u) {
    return u[0] >= 0x84 && u[0] <= 0xD3 && u[1] >= 0x41 && u[1] <= 0xFE;
}

}  // namespace

uint8_t vozEbcdicKOKRjoinedLead(uint8_t lead) {
    if (lead <= 0xA2) return (uint8_t)(lead - 0x63);
    if (lead <= 0xB3) return (uint8_t)(lead - 0x30);
    return (uint8_t)(lead + 0x2A);
}

uint8_t vozEbcdicKOKRplainLead(uint8_t lead) {
    if (lead <= 0x3F) return (uint8_t)(lead + 0x63);
    if (lead <= 0x83) return (uint8_t)(lead + 0x30);
    return (uint8_t)(lead - 0x2A);
}

bool vozEbcdicKOKRisJoined(const uint8_t* u) {
    uint8_t l = u[0];
    bool lead = (l >= 0x21 && l <= 0x3F) || (l >= 0x73 && l <= 0x83) ||
                (l >= 0xDE && l <= 0xFD);
    return lead && u[1] >= 0x41 && u[1] <= 0xFE;
}

namespace {

int32_t convertKorean(const uint8_t* src, const uint8_t* srcEnd,
                      VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,
                      int32_t* outLen, PTRDOCNORM* map, uint8_t* state,
                      bool join) {
    uint8_t* o = out;
    uint8_t* const oEnd = out + (*outLen > 0 ? *outLen : 0);
    uint8_t* joinMem = nullptr;   // output just after the last syllable
    for (const uint8_t* p = src; p < srcEnd;) {
        if (oEnd - o < VOZ_UNIT_WIDTH) {
            *outLen = (int32_t)(o - out);
            return VOZ_CH_FULL;
        }
        vozDocNormServe(map, p, o);
        VOZ_EBCDIC_STEP s;
        vozEbcdicMixedStep(&korean, p, srcEnd, cont, ctlAsBlank, state, &s);
        p += s.len;
        if (!s.hasUnit) continue;
        if (join && s.hangul) {
            if (joinMem && o > joinMem) {
                vozDocNormPullBack(map, joinMem);
                o = joinMem;
                s.unit[0] = vozEbcdicKOKRjoinedLead(s.unit[0]);
            }
            joinMem = o + VOZ_UNIT_WIDTH;
        } else if (!vozEbcdicIsBlankUnit(s.unit)) {
            joinMem = nullptr;
        }
        memcpy(o, s.unit, 2);
        o += VOZ_UNIT_WIDTH;
    }
    *outLen = (int32_t)(o - out);
    return VOZ_CH_DONE;
}

bool joinAlternative(const uint8_t* u, uint8_t* alt) {
    if (isPlainSyllable(u)) alt[0] = vozEbcdicKOKRjoinedLead(u[0]);
    else if (vozEbcdicKOKRisJoined(u)) alt[0] = vozEbcdicKOKRplainLead(u[0]);
    else return false;
    alt[1] = u[1];
    return true;
}

}  // namespace

int32_t vozConvertEbcdicKOKR(const uint8_t* src, const uint8_t* srcEnd,
                             VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                             uint8_t* out, int32_t* outLen, PTRDOCNORM* map,
                             const GTRCREATEPARM*, uint8_t* state) {
    return convertKorean(src, srcEnd, cont, ctlAsBlank, out, outLen, map,
                         state, true);
}

int32_t vozConvertFlatEbcdicKOKR(const uint8_t* src, const uint8_t* srcEnd,
                                 VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                                 uint8_t* out, int32_t* outLen,
                                 PTRDOCNORM* map, const GTRCREATEPARM*,
                                 uint8_t* state) {
    return convertKorean(src, srcEnd, cont, ctlAsBlank, out, outLen, map,
                         state, false);
}

// After a syllable, blanks and shift bytes up to a following syllable are
// stepped over too, as the converter joins the two.
char vozPointNextCharEbcdicKOKR(const uint8_t* text, const uint8_t** next,
                                const uint8_t* end, VOZ_CONTTEXT* cont,
                                uint8_t ctlAsBlank, const GTRCREATEPARM*,
                                uint8_t* state) {
    if (text >= end) {            // nothing left: never read at end
        *next = end;
        return VOZ_CLASS_OTHER;
    }
    VOZ_EBCDIC_STEP s;
    vozEbcdicMixedStep(&korean, text, end, cont, ctlAsBlank, state, &s);
    *next = text + s.len;
    if (!s.hasUnit) return VOZ_CLASS_SHIFT;
    if (!s.hangul) return vozEbcdicUnitClass(s.unit);
    uint8_t st = *state;
    for (const uint8_t* p = *next; p < end;) {
        VOZ_EBCDIC_STEP a;
        vozEbcdicMixedStep(&korean, p, end, nullptr, ctlAsBlank, &st, &a);
        if (a.hangul) {
            if (p > *next) {
                *next = p;
                *state = st;
            }
            break;
        }
        if (a.hasUnit && !vozEbcdicIsBlankUnit(a.unit)) break;
        p += a.len;
    }
    return VOZ_CLASS_OTHER;
}

uint8_t vozGetSBCScharEbcdicKOKR(const uint8_t* unit) {
    uint8_t b;
    return vozGetEbcdicChar(unit, &b, koreanInfo);
}

int32_t vozSentenceEndEbcdicKOKR(const uint8_t*) { return 0; }

int32_t vozUnnormalizeEbcdicKOKR(const uint8_t* units, const uint8_t* unitsEnd,
                                 uint8_t flag, uint8_t* out, int32_t capacity,
                                 int32_t* written, uint8_t* state) {
    return vozEbcdicUnnormalize(units, unitsEnd, flag, out, capacity, written,
                                state, koreanInfo, nullptr, VOZ_EBCDIC_KIND_KOREAN);
}

int32_t vozSetAlterCharEbcdicKOKR(RTRVWORDEXT* word, GTRSTATUS* status) {
    return vozSetAlterCharUnits(word, status, VOZ_UNIT_WIDTH, joinAlternative,
                                1998);
}

char vozWordStartEbcdicKOKR(const uint8_t* start, const uint8_t* unit) {
    return vozWordStartUnits(start, unit, VOZ_UNIT_WIDTH, isPlainSyllable,
                             vozEbcdicKOKRisJoined);
}
