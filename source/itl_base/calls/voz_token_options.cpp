// voz_token_options.cpp -- the option handlers of a query-text term and of
// a parenthesised group (voz_token_query.hpp).
//
//   %STEM  %80  %_80         precision (and stemming, search_flag bit 0)
//   #C  #N                   case sensitivity
//   <*?>                     mask characters: many, one, then '>'
//   /S                       must start a word (word-boundary code pages)
//   $5  $[F1=2,F3_4=1,*=3]   weight, or field weights ("*" all fields)
//   @[F1_5,F7]  @F5          field ranges (a "_" or a list needs brackets)
//   @2  @2_1-3,7             delimiter number, then its section ranges
//
// Each handler gets the units between the option character and the next
// token character of a later index. Field-range and field-weight arrays go
// into the work area once complete; delimiter ranges belong to the element
// (range-list flag). A failing handler frees what it allocated.
#include <cstdlib>
#include <cstring>

#include "calls/voz_token_query.hpp"

namespace {

constexpr int32_t RC_MEMORY = 11;
constexpr int32_t RC_PRECISION = 26;
constexpr int32_t RC_RANGE = 27;
constexpr int32_t RC_START = 32;
constexpr int32_t RC_CASE = 106;
constexpr int32_t RC_BACKREF = 107;
constexpr int32_t RC_MASK = 111;
constexpr int32_t RC_WEIGHT = 112;
constexpr int32_t RC_FIELD = 120;
constexpr int32_t ARRAY_GROW = 16;

bool backRef(const PFELEMENT* e, int32_t errcode, GTRSTATUS* gsp) {
    if (e->winfoX.wi.type != 'B') return false;
    voz_setStatus(gsp, RC_BACKREF, errcode);
    return true;
}

bool fail(GTRSTATUS* gsp, int32_t rc, int32_t errcode) {
    voz_setStatus(gsp, rc, errcode);
    return false;
}

// Reads decimal digits at *p: their count and value (at most 15 digits
// kept; a value past INT32_MAX saturates).
int readDigits(const VozUnits& u, const uint8_t** p, const uint8_t* end,
               int64_t* value) {
    int n = 0;
    *value = 0;
    for (int d; (d = u.digit(*p, end)) >= 0; *p += u.w, ++n)
        if (n < 15) *value = *value * 10 + d;
    if (*value > INT32_MAX) *value = INT32_MAX;
    return n;
}

// A growable array of fixed-size entries, grown by ARRAY_GROW (or by one
// entry when `byOne`).
struct Grower {
    void* data = nullptr;
    int32_t used = 0, room = 0;
    size_t size;
    explicit Grower(size_t entrySize) : size(entrySize) {}
    void* add(bool byOne = false) {
        if (used == room) {
            int32_t grown = room + (byOne ? 1 : ARRAY_GROW);
            void* p = std::realloc(data, size * static_cast<size_t>(grown));
            if (p == nullptr) return nullptr;
            data = p;
            room = grown;
        }
        void* slot = static_cast<uint8_t*>(data) + size * static_cast<size_t>(used++);
        std::memset(slot, 0, size);
        return slot;
    }
    void* release() {
        void* d = data;
        data = nullptr;
        return d;
    }
    ~Grower() { std::free(data); }
};

// A number at *p read by vozAnalyzeNumber; a value above 65535 fails with
// `rc` and `bigCode` (the status of the number reader is this option's).
bool number16(VOZ_CPINFO cp, const uint8_t** p, const uint8_t* end,
              int32_t rc, int32_t bigCode, uint16_t* out, GTRSTATUS* gsp) {
    GTRSTATUS local{};
    *out = vozAnalyzeNumber(cp, p, end, &local);
    return !voz_Failed(&local) || fail(gsp, rc, bigCode);
}

// A field number 1..65535 at *p; false with the status (zeroCode for a
// value that is missing or 0, or above 65535 when zeroCode is not 0) on
// failure.
bool fieldNumber(VOZ_CPINFO cp, const uint8_t** p, const uint8_t* end,
                 int32_t rc, int32_t zeroCode, uint16_t* out, GTRSTATUS* gsp) {
    if (!number16(cp, p, end, rc, zeroCode != 0 ? zeroCode : 1757, out, gsp))
        return false;
    return *out != 0 || fail(gsp, rc, zeroCode);
}

// Field ranges "F a" or "F a _ b", separated by ","; [p, end) starts at "F".
bool fieldRanges(const VozUnits& u, const uint8_t* p, const uint8_t* end,
                 bool bracketed, PFELEMENT* e, QUERYWORK* work,
                 GTRSTATUS* gsp) {
    Grower arr(sizeof(GTRFIELDRANGE));
    for (;;) {
        p += u.w;  // the "F"
        uint16_t a = 0, b = 0;
        if (!fieldNumber(u.cp, &p, end, RC_FIELD, 0, &a, gsp)) return false;
        b = a;
        if (u.is(p, end, '_')) {
            if (!bracketed) return fail(gsp, RC_FIELD, 1766);
            p += u.w;
            if (!fieldNumber(u.cp, &p, end, RC_FIELD, 0, &b, gsp)) return false;
            if (b < a) return fail(gsp, RC_FIELD, 1767);
        }
        auto* r = static_cast<GTRFIELDRANGE*>(arr.add());
        if (r == nullptr) return fail(gsp, RC_MEMORY, 1777);
        r->fld_start_num = a;
        r->fld_end_num = b;
        if (p >= end) break;
        if (!u.is(p, end, ',')) return fail(gsp, RC_FIELD, 1770);
        if (!bracketed) return fail(gsp, RC_FIELD, 1769);
        p += u.w;
        if (!u.is(p, end, 'F') || p + u.w >= end)
            return fail(gsp, RC_FIELD, 1771);
    }
    if (work == nullptr ||
        !vozQueryWorkAdd(&work->fieldRanges, arr.data, 1778, gsp))
        return fail(gsp, RC_MEMORY, 1778);
    e->winfoX.wi.fld_number = static_cast<int16_t>(arr.used);
    e->winfoX.wi.pFieldRange = static_cast<GTRFIELDRANGE*>(arr.release());
    return true;
}

// One item of a section list: a or a-b. False with the status on failure.
bool sectionItem(const VozUnits& u, const uint8_t** p, const uint8_t* end,
                 RTRVRANGE* r, GTRSTATUS* gsp) {
    int64_t a = 0, b = 0;
    int n = readDigits(u, p, end, &a);
    if (n == 0) return fail(gsp, RC_RANGE, 1150);
    if (n > 15) return fail(gsp, RC_RANGE, 1149);
    b = a;
    if (u.is(*p, end, '-')) {
        *p += u.w;
        n = readDigits(u, p, end, &b);
        if (n == 0) return fail(gsp, RC_RANGE, 1150);
        if (n > 15) return fail(gsp, RC_RANGE, 1149);
        if (u.is(*p, end, '-')) return fail(gsp, RC_RANGE, 1152);
    }
    r->start = static_cast<int32_t>(a);
    r->end = static_cast<int32_t>(b);
    return true;
}

// The delimiter number and its optional list of section ranges.
bool delimiterRanges(const VozUnits& u, const uint8_t* p, const uint8_t* end,
                     PFELEMENT* e, GTRSTATUS* gsp) {
    RTRVWORD& w = e->winfoX.wi;
    int64_t dlm = 0;
    int n = readDigits(u, &p, end, &dlm);
    if (n == 0) return fail(gsp, RC_RANGE, 1146);
    if (n > 15 || dlm > 32) return fail(gsp, RC_RANGE, 1147);
    w.range_dlmno = static_cast<int16_t>(dlm);
    w.range = nullptr;
    if (p >= end) {
        w.rangenum = -1;
        return true;
    }
    if (!u.is(p, end, '_') || p + u.w >= end) return fail(gsp, RC_RANGE, 1148);
    p += u.w;
    Grower arr(sizeof(RTRVRANGE));
    for (;;) {
        auto* r = static_cast<RTRVRANGE*>(arr.add(true));
        if (r == nullptr) return fail(gsp, RC_MEMORY, 1151);
        if (!sectionItem(u, &p, end, r, gsp)) return false;
        if (p >= end) break;
        if (!u.is(p, end, ',')) return fail(gsp, RC_RANGE, 1153);
        p += u.w;
        if (p >= end) return fail(gsp, RC_RANGE, 1154);
    }
    w.rangenum = arr.used;
    w.range = static_cast<RTRVRANGE*>(arr.release());
    e->range_list = 1;
    return true;
}

// One entry of a weight list, "F a[_b]=n" or "*=n", ending before `stop`
// (a "," or the closing bracket).
bool weightEntry(const VozUnits& u, const uint8_t* p, const uint8_t* stop,
                 GTRFIELDWEIGHT* fw, GTRSTATUS* gsp) {
    uint16_t a = 0, b = 0;
    if (u.is(p, stop, '*')) {
        p += u.w;
    } else if (u.is(p, stop, 'F')) {
        p += u.w;
        if (!fieldNumber(u.cp, &p, stop, RC_WEIGHT, 1759, &a, gsp)) return false;
        b = a;
        if (u.is(p, stop, '_')) {
            p += u.w;
            if (!fieldNumber(u.cp, &p, stop, RC_WEIGHT, 1759, &b, gsp))
                return false;
            if (b < a) return fail(gsp, RC_WEIGHT, 1759);
        }
    } else {
        return fail(gsp, RC_WEIGHT, 1760);
    }
    if (!u.is(p, stop, '=')) return fail(gsp, RC_WEIGHT, 1761);
    p += u.w;
    if (p >= stop) return fail(gsp, RC_WEIGHT, 1775);
    uint16_t v = 0;
    if (!number16(u.cp, &p, stop, RC_WEIGHT, 1757, &v, gsp)) return false;
    if (v == 0 || v > 32767) return fail(gsp, RC_WEIGHT, 0);
    if (p < stop) return fail(gsp, RC_WEIGHT, 1763);
    fw->fld_start_num = a;
    fw->fld_end_num = b;
    fw->weight = static_cast<int16_t>(v);
    return true;
}

bool weightList(const VozUnits& u, const uint8_t* p, const uint8_t* end,
                PFELEMENT* e, QUERYWORK* work, GTRSTATUS* gsp) {
    if (end - p < 2 * u.w || !u.is(end - u.w, end, ']'))
        return fail(gsp, RC_WEIGHT, 1758);
    const uint8_t* close = end - u.w;
    p += u.w;
    Grower arr(sizeof(GTRFIELDWEIGHT));
    for (;;) {
        static const uint8_t comma[] = {','};
        const uint8_t* stop = vozFindUnit(u, p, close, comma, 1);
        auto* fw = static_cast<GTRFIELDWEIGHT*>(arr.add());
        if (fw == nullptr) return fail(gsp, RC_MEMORY, 1762);
        if (!weightEntry(u, p, stop, fw, gsp)) return false;
        if (stop >= close) break;
        p = stop + u.w;
        if (p >= close) return fail(gsp, RC_WEIGHT, 1763);
    }
    if (work == nullptr ||
        !vozQueryWorkAdd(&work->fieldWeights, arr.data, 1768, gsp))
        return fail(gsp, RC_MEMORY, 1768);
    e->winfoX.wi.weight = static_cast<int16_t>(arr.used);
    e->winfoX.wi.pFieldWeight = static_cast<GTRFIELDWEIGHT*>(arr.release());
    return true;
}

}  // namespace

void vozPrecisionToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                       VOZ_CPINFO cp, QUERYWORK* /*work*/, GTRSTATUS* gsp) {
    if (backRef(e, 1140, gsp)) return;
    VozUnits u = vozUnits(cp);
    const uint8_t* p = start;
    RTRVWORD& w = e->winfoX.wi;
    if (u.count(p, end) == 4 && u.is(p, end, 'S') && u.is(p + u.w, end, 'T') &&
        u.is(p + 2 * u.w, end, 'E') && u.is(p + 3 * u.w, end, 'M')) {
        w.stemming = 1;
        w.precision = 100;
        return;
    }
    bool flag = u.is(p, end, '_');
    if (flag) p += u.w;
    int32_t value = 0;
    if (u.count(p, end) > 6) {
        voz_setStatus(gsp, RC_PRECISION, 1141);
    } else {
        for (; p < end && !voz_Failed(gsp); p += u.w) {
            int d = u.digit(p, end);
            if (d < 0) voz_setStatus(gsp, RC_PRECISION, 1142);
            value = value * 10 + d;
        }
        if (!voz_Failed(gsp) && (value < 1 || value > 100))
            voz_setStatus(gsp, RC_PRECISION, 1143);
    }
    if (voz_Failed(gsp)) {
        vozTraceOptionError("Precision error!", start, end);
        return;
    }
    if (flag) w.search_flag |= 1;
    w.precision = static_cast<int16_t>(value);
}

void vozRangeToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                   VOZ_CPINFO cp, QUERYWORK* work, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    const uint8_t* p = start;
    bool bracketed = u.is(p, end, '[');
    if (bracketed) {
        if (end - p < 3 * u.w || !u.is(end - u.w, end, ']')) {
            voz_setStatus(gsp, RC_FIELD, 1765);
            return;
        }
        p += u.w;
        end -= u.w;
    }
    if (u.is(p, end, 'F'))
        fieldRanges(u, p, end, bracketed, e, work, gsp);
    else
        delimiterRanges(u, p, end, e, gsp);
}

void vozCaseToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                  VOZ_CPINFO cp, QUERYWORK* /*work*/, GTRSTATUS* gsp) {
    if (backRef(e, 1155, gsp)) return;
    VozUnits u = vozUnits(cp);
    if (u.count(start, end) != 1)
        voz_setStatus(gsp, RC_CASE, 1156);
    else if (u.is(start, end, 'C'))
        e->winfoX.wi.casesens = 'C';
    else if (u.is(start, end, 'N'))
        e->winfoX.wi.casesens = 'N';
    else
        voz_setStatus(gsp, RC_CASE, 1157);
    if (voz_Failed(gsp)) vozTraceOptionError("Casesens error!", start, end);
}

void vozMaskChar(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                 VOZ_CPINFO cp, QUERYWORK* /*work*/, GTRSTATUS* gsp) {
    if (backRef(e, 1158, gsp)) return;
    VozUnits u = vozUnits(cp);
    if (u.count(start, end) != 3)
        voz_setStatus(gsp, RC_MASK, 1159);
    else if (!u.is(start + 2 * u.w, end, '>'))
        voz_setStatus(gsp, RC_MASK, 1160);
    else if (std::memcmp(start, start + u.w, static_cast<size_t>(u.w)) == 0)
        voz_setStatus(gsp, RC_MASK, 1161);
    if (voz_Failed(gsp)) {
        vozTraceOptionError("Mask char error!", start, end);
        return;
    }
    RTRVWORDEXT& x = e->winfoX;
    for (int i = 0; i < 2; ++i) {
        x.wi.mask[i] = static_cast<char>(u.chr(start + i * u.w));
        std::memset(x.mask_unit[i], 0, sizeof x.mask_unit[i]);
        std::memcpy(x.mask_unit[i], start + i * u.w, static_cast<size_t>(u.w));
    }
}

void vozWeightToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                    VOZ_CPINFO cp, QUERYWORK* work, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    if (start >= end) {
        voz_setStatus(gsp, RC_WEIGHT, 1774);
    } else if (u.is(start, end, '[')) {
        weightList(u, start, end, e, work, gsp);
    } else {
        const uint8_t* p = start;
        uint16_t v = 0;
        if (number16(cp, &p, end, RC_WEIGHT, 1757, &v, gsp)) {
            if (v == 0 || v > 32767)
                voz_setStatus(gsp, RC_WEIGHT, 0);
            else if (p < end)
                voz_setStatus(gsp, RC_WEIGHT, 1764);
            else
                e->winfoX.wi.weight = static_cast<int16_t>(v);
        }
    }
    if (voz_Failed(gsp)) vozTraceOptionError("Weight error!", start, end);
}

void vozStartOption(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                    VOZ_CPINFO cp, QUERYWORK* /*work*/, GTRSTATUS* gsp) {
    if (backRef(e, 1162, gsp)) return;
    VozUnits u = vozUnits(cp);
    if (u.count(start, end) != 1)
        voz_setStatus(gsp, RC_START, 1163);
    else if (!u.is(start, end, 'S'))
        voz_setStatus(gsp, RC_START, 1164);
    if (voz_Failed(gsp)) {
        vozTraceOptionError("Start option error!", start, end);
        return;
    }
    e->winfoX.wi.start_option = vozCHwordBoundaryEnable(cp.code) ? 'S' : 0;
}

const VOZ_OPTION_FN HandleToken[6] = {vozPrecisionToken, vozRangeToken,
                                      vozCaseToken,      vozMaskChar,
                                      vozWeightToken,    vozStartOption};
const VOZ_OPTION_FN HandleTokenForSubQuery[2] = {vozRangeToken,
                                                 vozWeightToken};
