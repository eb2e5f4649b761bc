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

// The tests are written once as internal functions: the cut and the case
// marking below inline them (the exported names may be interposed in a
// shared library, so calls to them are never inlined).
static inline uint8_t markOf(const uint8_t* unit, int16_t width) {
    return unit[width - 1];
}

static inline bool alphaUnit(const uint8_t* unit, int16_t width) {
    const uint8_t m = markOf(unit, width);
    return m == VOZ_MARK_UPPER || m == VOZ_MARK_LOWER ||
           m == VOZ_MARK_NOCASE || m == VOZ_MARK_TURKISH_I;
}

static inline bool alphaNumUnit(const uint8_t* unit, int16_t width) {
    return alphaUnit(unit, width) || markOf(unit, width) == VOZ_MARK_DIGIT;
}

static inline bool blankUnit(const uint8_t* unit, int16_t width) {
    return markOf(unit, width) == VOZ_MARK_BLANK && unit[0] == 0x20;
}

static inline bool tokenCharUnit(const uint8_t* unit, int16_t width) {
    const uint8_t m = markOf(unit, width);
    return m == VOZ_MARK_UPPER || m == VOZ_MARK_LOWER || m == VOZ_MARK_NOCASE;
}

bool vozIsAlpha(const uint8_t* unit, int16_t width) {
    return alphaUnit(unit, width);
}

bool vozIsAlphaNum(const uint8_t* unit, int16_t width) {
    return alphaNumUnit(unit, width);
}

bool vozIsTokenChar_Item(const uint8_t* unit, int16_t width) {
    return tokenCharUnit(unit, width);
}

bool vozIsBlank(const uint8_t* unit, int16_t width) {
    return blankUnit(unit, width);
}

bool vozAlwaysFalse(const uint8_t*, int16_t) { return false; }

bool vozIsAlphaVarUTF8(const uint8_t* unit, int16_t width) {
    return markOf(unit, width) >= 0x40;
}

bool vozCHalphaNum(VOZ_CPINFO cp, const uint8_t* unit) {
    return vozIsAlphaNum(unit, vozCHlen(cp));
}

// ---- cutting -------------------------------------------------------------------------

// The unit tests as function objects for the templates below.
static const auto isAlpha = [](const uint8_t* u, int16_t w) {
    return alphaUnit(u, w);
};
static const auto isAlphaNum = [](const uint8_t* u, int16_t w) {
    return alphaNumUnit(u, w);
};
static const auto isBlank = [](const uint8_t* u, int16_t w) {
    return blankUnit(u, w);
};

static bool isAsciiI(const uint8_t* u) { return u[0] == '!' && u[1] == 'I'; }

static bool isTurkishI(const uint8_t* u) {
    return u[0] == 0xC4 && (u[1] == 0xB1 || u[1] == 0xB0) &&
           u[2] == VOZ_MARK_TURKISH_I;
}

// Turkish rewrite of a UTF-8 part [start, end), called for the parts that
// hold a Latin Extended-A unit (first byte C4/C5): ASCII I units take the
// Turkish forms (I -> dotless i C4 B1, i -> dotted I C4 B0, mark kept); the
// Turkish I units marked 7 become case-insensitive, and become the ASCII I
// when they were the only Latin Extended-A units of the part.
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

// The cut with its unit tests as template arguments: the word rules' cuts
// pass the tests themselves, so that they are inlined (the cut calls them
// for every unit); vozCutIntoPart passes the caller's pointers.
template <typename PartTest, typename SkipTest>
static int32_t cutIntoPart(uint8_t* start, uint8_t* end, int16_t width,
                           uint8_t** partStart, uint8_t** partEnd,
                           uint8_t** next, PartTest partTest,
                           SkipTest skipTest) {
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
    bool extA = false;  // a Latin Extended-A unit (UTF-8 only)
    while (limit - p >= w && partTest(p, width)) {
        extA = extA || p[0] == 0xC4 || p[0] == 0xC5;
        p += w;
    }
    *partStart = start;
    *partEnd = p;
    if (width == VOZ_UNIT_WIDTH_UTF8 && extA) turkishFix(start, p);
    while (end - p >= w && skipTest(p, width)) p += w;
    *next = p;
    return 1;
}

int32_t vozCutIntoPart(uint8_t* start, uint8_t* end, int16_t width,
                       uint8_t** partStart, uint8_t** partEnd, uint8_t** next,
                       VOZ_UNITPRED_FN partTest, VOZ_UNITPRED_FN skipTest) {
    return cutIntoPart(start, end, width, partStart, partEnd, next, partTest,
                       skipTest);
}

int32_t vozCHcutIntoPartAlpha(uint8_t* start, uint8_t* end, int16_t width,
                              uint8_t** partStart, uint8_t** partEnd,
                              uint8_t** next) {
    return cutIntoPart(start, end, width, partStart, partEnd, next, isAlpha,
                       isBlank);
}

int32_t vozCHcutIntoPartAlphaNum(uint8_t* start, uint8_t* end, int16_t width,
                                 uint8_t** partStart, uint8_t** partEnd,
                                 uint8_t** next) {
    return cutIntoPart(start, end, width, partStart, partEnd, next,
                       isAlphaNum, isBlank);
}

int32_t vozCHcutIntoPartAsis(uint8_t* start, uint8_t* end, int16_t width,
                             uint8_t** partStart, uint8_t** partEnd,
                             uint8_t** next) {
    return cutIntoPart(start, end, width, partStart, partEnd, next,
                       [](const uint8_t* u, int16_t w) { return tokenCharUnit(u, w); },
                       [](const uint8_t*, int16_t) { return false; });
}

// ---- case ----------------------------------------------------------------------------

void vozSetCaseInsensMark(uint8_t* unit, int16_t width) {
    unit[width - 1] = VOZ_MARK_NOCASE;
}

void vozSetCaseInsensMarkVarUTF8(uint8_t* unit, int16_t width) {
    unit[width - 1] = static_cast<uint8_t>(0xC0 | (unit[width - 1] & 0x3F));
}

// Marks the letters of units; Turkish rules only when `turkishAllowed`. The
// test and the setter are template arguments, inlined where the caller
// names its own.
template <typename LetterTest, typename SetMark>
static int32_t caseInsens(uint8_t* units, int32_t length, int16_t width,
                          LetterTest letterTest, SetMark setMark,
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
    return caseInsens(units, length, width, isAlpha,
                      [](uint8_t* u, int16_t w) { u[w - 1] = VOZ_MARK_NOCASE; },
                      true);
}

int32_t vozSeemAsSameUnitVarUTF8(uint8_t* units, int32_t length,
                                 int16_t width) {
    return caseInsens(units, length, width, vozIsAlphaVarUTF8,
                      vozSetCaseInsensMarkVarUTF8, false);
}

// ---- special units ---------------------------------------------------------------------

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
