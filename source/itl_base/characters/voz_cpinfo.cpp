// voz_cpinfo.cpp -- code groups, wide blanks, the vozCH* dispatchers and the
// helpers shared by the normaliser families.
//
// The dispatchers are the only door from the rest of the engine to a code
// page. Every one of them checks the code and the table entry first: a code
// of 0, above 37 or without a routine in the table calls nothing and gives
// the error result documented in voz_cpinfo.hpp, so that a bad code from a
// damaged index or a caller's mistake never jumps through a null pointer.
#include "characters/voz_cpinfo.hpp"

#include <cstdlib>
#include <cstring>

#include "characters/voz_cut.hpp"

bool vozCPisValid(uint8_t code) { return code >= 1 && code <= VOZ_CP_MAX; }

bool vozCPisEbcdic(uint8_t code) {
    return (code >= 10 && code <= 15) || (code >= 25 && code <= 33);
}

bool vozCPisDbcsAscii(uint8_t code) {
    return (code >= 1 && code <= 4) || code == 9 || code == 35 || code == 36;
}

bool vozCPisUTF8(uint8_t code) { return code == 34 || code == 37; }

const uint8_t dbl_blank[2] = {0x20, VOZ_MARK_BLANK};

const uint8_t raw_dbl_blank[VOZ_CP_TABLE_SIZE][3] = {
    {0, 0, 0},                                      // 0
    {0x81, 0x40, 0}, {0xA1, 0x40, 0}, {0xA1, 0xA1, 0},  // 1-3
    {0xA1, 0xA1, 0},                                // 4
    {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},     // 5-8
    {0xA1, 0xA1, 0},                                // 9
    {0x40, 0x40, 0}, {0x40, 0x40, 0}, {0x40, 0x40, 0},  // 10-12
    {0x40, 0x40, 0}, {0x40, 0x40, 0}, {0x40, 0x40, 0},  // 13-15
    {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},     // 16-19
    {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},     // 20-23
    {0, 0, 0},                                      // 24
    {0x40, 0x40, 0}, {0x40, 0x40, 0}, {0x40, 0x40, 0},  // 25-27
    {0x40, 0x40, 0}, {0x40, 0x40, 0}, {0x40, 0x40, 0},  // 28-30
    {0x40, 0x40, 0}, {0x40, 0x40, 0}, {0x40, 0x40, 0},  // 31-33
    {0xE3, 0x80, 0x80},                             // 34
    {0xA1, 0xA1, 0}, {0xA1, 0xA1, 0},               // 35-36
    {0xE3, 0x80, 0x80},                             // 37
};

int vozCPwideBlankLength(uint8_t code) {
    if (vozCPisUTF8(code)) return 3;
    if (vozCPisDbcsAscii(code) || vozCPisEbcdic(code)) return 2;
    return 0;
}

// ---- position map --------------------------------------------------------------

void vozDocNormServe(PTRDOCNORM* map, const uint8_t* src, uint8_t* out) {
    if (map == nullptr) return;
    for (VOZ_DOCNORMLIST& l : map->list) {
        while (l.cursor < l.count && l.srcAddr[l.cursor] <= src) {
            l.outAddr[l.cursor] = out;
            ++l.cursor;
        }
    }
}

const uint8_t* vozDocNormNext(const PTRDOCNORM* map) {
    if (map == nullptr) return nullptr;
    const uint8_t* next = nullptr;
    for (const VOZ_DOCNORMLIST& l : map->list) {
        if (l.cursor >= l.count) continue;
        const uint8_t* at = l.srcAddr[l.cursor];
        if (next == nullptr || at < next) next = at;
    }
    return next;
}

void vozDocNormPullBack(PTRDOCNORM* map, uint8_t* to) {
    if (map == nullptr) return;
    for (VOZ_DOCNORMLIST& l : map->list) {
        for (int32_t i = l.cursor - 1; i >= 0 && l.outAddr[i] >= to; --i)
            l.outAddr[i] = to;
    }
}

// ---- dispatchers ---------------------------------------------------------------

// The table entry of `code`, or null for a code outside 1..37.
template <typename Fn>
static Fn entryOf(const Fn (&table)[VOZ_CP_TABLE_SIZE], uint8_t code) {
    return vozCPisValid(code) ? table[code] : nullptr;
}

int32_t vozCHconvert(VOZ_CPINFO cp, const uint8_t* src, const uint8_t* srcEnd,
                     VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,
                     int32_t* outLen, PTRDOCNORM* map,
                     const GTRCREATEPARM* cparm, uint8_t* state) {
    VOZ_CONVERT_FN fn = entryOf(ConvertInto2, cp.code);
    if (fn == nullptr) {
        *outLen = 0;
        return VOZ_CH_BADCODE;
    }
    return fn(src, srcEnd, cont, ctlAsBlank, out, outLen, map, cparm, state);
}

int32_t vozCHconvertFlat(VOZ_CPINFO cp, const uint8_t* src,
                         const uint8_t* srcEnd, VOZ_CONTTEXT* cont,
                         uint8_t ctlAsBlank, uint8_t* out, int32_t* outLen,
                         PTRDOCNORM* map, uint8_t* state) {
    VOZ_CONVERT_FN fn = entryOf(ConvertInto2Flat, cp.code);
    if (fn == nullptr) {
        *outLen = 0;
        return VOZ_CH_BADCODE;
    }
    return fn(src, srcEnd, cont, ctlAsBlank, out, outLen, map, nullptr, state);
}

uint8_t vozCHgetSBCSchar(VOZ_CPINFO cp, const uint8_t* unit) {
    VOZ_GETSBCS_FN fn = entryOf(GetSBCSchar, cp.code);
    return fn == nullptr ? 0 : fn(unit);
}

char vozCHpointNextChar(uint8_t code, const uint8_t* text,
                        const uint8_t** next, const uint8_t* end,
                        VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                        const GTRCREATEPARM* cparm, uint8_t* state) {
    VOZ_NEXTCHAR_FN fn = entryOf(PointNextChar, code);
    if (fn == nullptr) {
        *next = end;
        return 0;
    }
    return fn(text, next, end, cont, ctlAsBlank, cparm, state);
}

int32_t vozCHsentenceEnd(VOZ_CPINFO cp, const uint8_t* unit) {
    VOZ_SENTENCEEND_FN fn = entryOf(SentenceEnd, cp.code);
    return fn == nullptr ? 0 : fn(unit);
}

char vozCHwordStart(VOZ_CPINFO cp, const uint8_t* start, const uint8_t* unit) {
    VOZ_WORDSTART_FN fn = entryOf(WordStart, cp.code);
    return fn == nullptr ? VOZ_WORD_NONE : fn(start, unit);
}

VOZ_SENTENCEEND_FN vozCHsentenceEndFunction(VOZ_CPINFO cp) {
    return entryOf(SentenceEnd, cp.code);
}

VOZ_WORDSTART_FN vozCHwordStartFunction(VOZ_CPINFO cp) {
    return entryOf(WordStart, cp.code);
}

int32_t vozCHunnormalize(VOZ_CPINFO cp, const uint8_t* units,
                         const uint8_t* unitsEnd, uint8_t flag, uint8_t* out,
                         int32_t capacity, int32_t* written, uint8_t* state) {
    VOZ_UNNORM_FN fn = entryOf(Unnormalize, cp.code);
    if (fn == nullptr) {
        *written = 0;
        return VOZ_CH_BADCODE;
    }
    return fn(units, unitsEnd, flag, out, capacity, written, state);
}

int32_t vozCHsetAlterChar(VOZ_CPINFO cp, RTRVWORDEXT* word,
                          GTRSTATUS* status) {
    word->alter_chars = nullptr;
    if (!vozCHwordBoundaryEnable(cp.code) || word->wi.type != 'W') return 0;
    VOZ_SETALTER_FN fn = SetAlterChar[cp.code];
    if (fn == nullptr) return VOZ_CH_BADCODE;
    return fn(word, status);
}

void vozCHsetAlterCharTerm(RTRVWORDEXT* word) {
    if (word->alter_chars != nullptr) free(word->alter_chars);
    word->alter_chars = nullptr;
}

int16_t vozCHlen(VOZ_CPINFO cp) {
    return vozCPisUTF8(cp.code) ? VOZ_UNIT_WIDTH_UTF8 : VOZ_UNIT_WIDTH;
}

int16_t vozCHlenVar() { return VOZ_UNIT_WIDTH; }

void vozCHsetCPInfo(VOZ_CPINFO* cp) {
    cp->sentenceEnd[0] = '?';
    cp->sentenceEnd[1] = '!';
    cp->sentenceEnd[2] = '.';
    cp->blank = ' ';
    cp->newline = 0x0A;
}

bool vozCHwordBoundaryEnable(uint8_t code) {
    return code == 3 || code == 13 || code == 34 || code == 37;
}

VOZ_SEEMSAME_FN vozCHgetFuncSeemAsSameUnit(uint8_t code) {
    return vozCPisUTF8(code) ? vozSeemAsSameUnitVarUTF8 : vozCHcaseInsensAlpha;
}

// ---- shared helpers ---------------------------------------------------------------

uint8_t vozGetSBCSchar_DBCS(const uint8_t* unit, const DBCS_TABLE_INFO* info) {
    for (; info->table != nullptr; ++info) {
        for (int32_t i = 0; i < info->entries; ++i) {
            if (info->table[i][0] == unit[0] && info->table[i][1] == unit[1])
                return static_cast<uint8_t>(info->first + i);
        }
    }
    return 0;
}

int32_t vozSetAlterCharUnits(RTRVWORDEXT* word, GTRSTATUS* status, int width,
                             VOZ_ALTUNIT_FN alternative, int32_t errcode) {
    const int32_t length = word->wi.wordlen;
    if (word->wi.wordp == nullptr || length < width) return 0;
    auto* entries = static_cast<VOZALTERENTRY*>(
        calloc(static_cast<size_t>(length), sizeof(VOZALTERENTRY)));
    if (entries == nullptr) {
        voz_setStatus(status, VOZ_RC_MEMORY, errcode);
        return VOZ_RC_MEMORY;
    }
    const int32_t units = word->wi.precision == 100 ? 1 : length / width;
    bool any = false;
    for (int32_t i = 0; i < units; ++i) {
        VOZALTERENTRY& e = entries[i];
        if (!alternative(word->wi.wordp + i * width, e.alter[0].unit)) continue;
        e.count = 1;
        e.alter[0].weight = i == 0 ? 100 : 80;
        any = true;
    }
    if (any) {
        word->alter_chars = entries;
    } else {
        free(entries);
        word->alter_chars = nullptr;
    }
    return 0;
}

char vozWordStartUnits(const uint8_t* start, const uint8_t* unit, int width,
                       VOZ_UNITTEST_FN isPlain, VOZ_UNITTEST_FN isJoined) {
    return vozWordStartOf(start, unit, width, isPlain, isJoined);
}
