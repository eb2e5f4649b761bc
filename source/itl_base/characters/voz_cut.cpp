// voz_cut.cpp -- cutting unit strings into parts, case-insensitive marking
// and the special mark units.
//
// A part is a run of at most VOZ_PART_MAX_UNITS units that pass the part test
// of the word rule (letters, or letters and digits). Between parts lie
// stretches of units that fail it; the cut hands those out trimmed of blanks.
// UTF-8 units (width 3) carry Turkish I letters: the cut rewrites them in
// place so that the keys of a word with dotted/dotless I are the same
// whichever I forms the text used (see turkishFix).
#include "characters/voz_cut.hpp"

const uint8_t turkeytable[4][3] = {
    {'!', 'I', VOZ_MARK_UPPER},   // capital I
    {'!', 'I', VOZ_MARK_LOWER},   // small i
    {0xC4, 0xB1, VOZ_MARK_UPPER}, // dotless i
    {0xC4, 0xB0, VOZ_MARK_LOWER}, // capital I with dot
};

const VOZ_CUT_FN Func_CutIntoPart[2] = {vozCHcutIntoPartAlpha,
                                        vozCHcutIntoPartAlphaNum};

// ---- unit tests --------------------------------------------------------------------

static uint8_t markOf(const uint8_t* unit, int16_t width) {
    return unit[width - 1];
}

bool vozIsAlpha(const uint8_t* unit, int16_t width) {
    const uint8_t m = markOf(unit, width);
    return m == VOZ_MARK_UPPER || m == VOZ_MARK_LOWER ||
           m == VOZ_MARK_NOCASE || m == VOZ_MARK_TURKISH_I;
}

bool vozIsAlphaNum(const uint8_t* unit, int16_t width) {
    return vozIsAlpha(unit, width) || markOf(unit, width) == VOZ_MARK_DIGIT;
}

bool vozIsTokenChar_Item(const uint8_t* unit, int16_t width) {
    const uint8_t m = markOf(unit, width);
    return m == VOZ_MARK_UPPER || m == VOZ_MARK_LOWER || m == VOZ_MARK_NOCASE;
}

bool vozIsBlank(const uint8_t* unit, int16_t width) {
    return markOf(unit, width) == VOZ_MARK_BLANK && unit[0] == 0x20;
}

bool vozAlwaysFalse(const uint8_t*, int16_t) { return false; }

bool vozIsAlphaVarUTF8(const uint8_t* unit, int16_t width) {
    return markOf(unit, width) >= 0x40;
}

bool vozCHalphaNum(VOZ_CPINFO cp, const uint8_t* unit) {
    return vozIsAlphaNum(unit, vozCHlen(cp));
}

// ---- cutting -------------------------------------------------------------------------

static bool isAsciiI(const uint8_t* u) { return u[0] == '!' && u[1] == 'I'; }

static bool isTurkishI(const uint8_t* u) {
    return u[0] == 0xC4 && (u[1] == 0xB1 || u[1] == 0xB0) &&
           u[2] == VOZ_MARK_TURKISH_I;
}

// Turkish rewrite of a UTF-8 part [start, end): when the part has Latin
// Extended-A units (first byte C4/C5), ASCII I units take the Turkish forms
// (I -> dotless i C4 B1, i -> dotted I C4 B0, mark kept); the Turkish I
// units marked 7 become case-insensitive, and become the ASCII I when they
// were the only Latin Extended-A units of the part.
static void turkishFix(uint8_t* start, uint8_t* end) {
    uint8_t* turkish[VOZ_PART_MAX_UNITS];
    uint8_t* ascii[VOZ_PART_MAX_UNITS];
    int nTurkish = 0, nAscii = 0, nExtA = 0;
    for (uint8_t* u = start; u + 3 <= end; u += 3) {
        if (u[0] == 0xC4 || u[0] == 0xC5) ++nExtA;
        if (isTurkishI(u)) turkish[nTurkish++] = u;
        else if (isAsciiI(u)) ascii[nAscii++] = u;
    }
    if (nExtA == 0) return;
    for (int i = 0; i < nAscii; ++i) {
        uint8_t* u = ascii[i];
        u[0] = 0xC4;
        if (u[2] == VOZ_MARK_UPPER) u[1] = 0xB1;
        else if (u[2] == VOZ_MARK_LOWER) u[1] = 0xB0;
    }
    const bool onlyTurkish = nExtA == nTurkish;
    for (int i = 0; i < nTurkish; ++i) {
        uint8_t* u = turkish[i];
        if (onlyTurkish) {
            u[0] = '!';
            u[1] = 'I';
        }
        u[2] = VOZ_MARK_NOCASE;
    }
}

int32_t vozCutIntoPart(uint8_t* start, uint8_t* end, int16_t width,
                       uint8_t** partStart, uint8_t** partEnd, uint8_t** next,
                       VOZ_UNITPRED_FN partTest, VOZ_UNITPRED_FN skipTest) {
    if (end <= start) {
        *partEnd = start;
        return 0;
    }
    if (width < 2) {
        *partStart = start;
        *partEnd = end;
        *next = end;
        return 0;
    }
    const int64_t w = width;
    if (end - start < w) {
        // Only a partial unit is left: nothing to test without reading past
        // the end. An empty stretch, and the walk is over.
        *partStart = start;
        *partEnd = start;
        *next = end;
        return 0;
    }
    // p + w <= end is tested as end - p >= w: a trailing partial unit is
    // never looked at.
    uint8_t* p = start;
    if (!partTest(start, width)) {
        while (end - p >= w && skipTest(p, width)) p += w;
        *partStart = p;
        while (end - p >= w && !partTest(p, width)) p += w;
        *next = p;
        uint8_t* q = p;
        while (q - *partStart >= w && skipTest(q - w, width)) q -= w;
        *partEnd = q;
        return 0;
    }
    uint8_t* limit = end - start > VOZ_PART_MAX_UNITS * w
                         ? start + VOZ_PART_MAX_UNITS * w
                         : end;
    while (limit - p >= w && partTest(p, width)) p += w;
    *partStart = start;
    *partEnd = p;
    if (width == VOZ_UNIT_WIDTH_UTF8) turkishFix(start, p);
    while (end - p >= w && skipTest(p, width)) p += w;
    *next = p;
    return 1;
}

int32_t vozCHcutIntoPartAlpha(uint8_t* start, uint8_t* end, int16_t width,
                              uint8_t** partStart, uint8_t** partEnd,
                              uint8_t** next) {
    return vozCutIntoPart(start, end, width, partStart, partEnd, next,
                          vozIsAlpha, vozIsBlank);
}

int32_t vozCHcutIntoPartAlphaNum(uint8_t* start, uint8_t* end, int16_t width,
                                 uint8_t** partStart, uint8_t** partEnd,
                                 uint8_t** next) {
    return vozCutIntoPart(start, end, width, partStart, partEnd, next,
                          vozIsAlphaNum, vozIsBlank);
}

int32_t vozCHcutIntoPartAsis(uint8_t* start, uint8_t* end, int16_t width,
                             uint8_t** partStart, uint8_t** partEnd,
                             uint8_t** next) {
    return vozCutIntoPart(start, end, width, partStart, partEnd, next,
                          vozIsTokenChar_Item, vozAlwaysFalse);
}

// ---- case ----------------------------------------------------------------------------

void vozSetCaseInsensMark(uint8_t* unit, int16_t width) {
    unit[width - 1] = VOZ_MARK_NOCASE;
}

void vozSetCaseInsensMarkVarUTF8(uint8_t* unit, int16_t width) {
    unit[width - 1] = static_cast<uint8_t>(0xC0 | (unit[width - 1] & 0x3F));
}

// Marks the letters of units; Turkish rules only when `turkishAllowed`.
static int32_t caseInsens(uint8_t* units, int32_t length, int16_t width,
                          VOZ_UNITPRED_FN letterTest, VOZ_MARKSET_FN setMark,
                          bool turkishAllowed) {
    if (units == nullptr || width < 1 || length < width) return 4;
    uint8_t* const end = units + (length / width) * width;
    bool turkish = false;
    if (turkishAllowed && width == VOZ_UNIT_WIDTH_UTF8) {
        for (uint8_t* u = units; u < end && !turkish; u += width)
            turkish = u[0] == 0xC4 || u[0] == 0xC5;
    }
    bool marked = false;
    for (uint8_t* u = units; u < end; u += width) {
        if (!letterTest(u, width)) continue;
        if (turkish && isAsciiI(u)) {
            if (u[2] == VOZ_MARK_UPPER || u[2] == VOZ_MARK_LOWER) {
                u[1] = u[2] == VOZ_MARK_UPPER ? 0xB1 : 0xB0;
                u[0] = 0xC4;
                u[2] = VOZ_MARK_TURKISH_I;
            }
            continue;
        }
        setMark(u, width);
        marked = true;
    }
    return marked ? 0 : 4;
}

int32_t vozCaseInsensAlpha(uint8_t* units, int32_t length, int16_t width,
                           VOZ_UNITPRED_FN letterTest, VOZ_MARKSET_FN setMark) {
    return caseInsens(units, length, width, letterTest, setMark, true);
}

int32_t vozCHcaseInsensAlpha(uint8_t* units, int32_t length, int16_t width) {
    return caseInsens(units, length, width, vozIsAlpha, vozSetCaseInsensMark,
                      true);
}

int32_t vozSeemAsSameUnitVarUTF8(uint8_t* units, int32_t length,
                                 int16_t width) {
    return caseInsens(units, length, width, vozIsAlphaVarUTF8,
                      vozSetCaseInsensMarkVarUTF8, false);
}

// ---- special units ---------------------------------------------------------------------

static bool marksByteZero(char kind) {
    return kind == 'B' || kind == 'S' || kind == 'E';
}

void vozCHmarkUnit_Set(char kind, uint8_t* unit, uint8_t mark, int16_t width) {
    unit[marksByteZero(kind) ? 0 : width - 1] = mark;
}

int32_t vozCHmarkUnit_Chk(char kind, const uint8_t* unit, uint8_t mark,
                          int16_t width) {
    return unit[marksByteZero(kind) ? 0 : width - 1] == mark ? 1 : 0;
}

static void setItemMark(int16_t width, uint8_t* unit, uint8_t ch,
                        uint8_t mark) {
    unit[0] = ch;
    unit[1] = 0;
    unit[width - 1] = mark;
}

void vozCHsetCharItem_StartMark(int16_t width, uint8_t* unit, uint8_t ch) {
    setItemMark(width, unit, ch, VOZ_MARK_ITEM_START);
}

void vozCHsetCharItem_EndMark(int16_t width, uint8_t* unit, uint8_t ch) {
    setItemMark(width, unit, ch, VOZ_MARK_ITEM_END);
}

int32_t vozCHdoubleHead_Set(uint8_t* unit, uint16_t value, int16_t width) {
    if (width != VOZ_UNIT_WIDTH) return -1;
    unit[1] = VOZ_MARK_DOUBLE_HEAD;
    if (value < 128) {
        unit[0] = static_cast<uint8_t>(value);
        return 2;
    }
    unit[0] = static_cast<uint8_t>((value / 256) | 0x80);
    unit[2] = static_cast<uint8_t>(value % 256);
    return 3;
}
