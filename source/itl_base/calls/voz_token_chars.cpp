// voz_token_chars.cpp -- the characters of the query-text language in each
// code page, the unit comparisons the tokenizers share, the number reader,
// the mapping of normalised units back to the caller's text, and the trace
// of a failing option (voz_token_query.hpp).
//
// Token characters by internal code page (index 0..8: precision, range,
// case, mask, weight, start option, blank, '(', ')'):
//   code 10      25 40 23 3C E0 2F 20 28 29
//   code 28      25 AE 23 3C AD 2F 20 28 29
//   code 33      25 EC 63 3C 67 2F 20 28 29
//   all others   "%@#<$/ ()"
// A group uses indexes 1, 4, 6, 7, 8; an item condition 2 to 6.
#include <cstring>
#include <mutex>

#include "calls/voz_token_query.hpp"
#include "characters/voz_cut.hpp"
#include "cos_trace.hpp"

namespace {

const uint8_t token_char[VOZ_TK_COUNT + 1] = "%@#<$/ ()";
const uint8_t token_char_EBCDIC_KANA_KANJI[VOZ_TK_COUNT] = {
    0x25, 0x40, 0x23, 0x3C, 0xE0, 0x2F, 0x20, 0x28, 0x29};
const uint8_t token_char_EBCDIC_TURKEY[VOZ_TK_COUNT] = {
    0x25, 0xAE, 0x23, 0x3C, 0xAD, 0x2F, 0x20, 0x28, 0x29};
const uint8_t token_char_EBCDIC_ESTONIA[VOZ_TK_COUNT] = {
    0x25, 0xEC, 0x63, 0x3C, 0x67, 0x2F, 0x20, 0x28, 0x29};

// The group characters of each table (range, weight, blank, '(', ')').
const uint8_t sub_char[4][5] = {
    {'@', '$', ' ', '(', ')'},
    {0x40, 0xE0, 0x20, 0x28, 0x29},
    {0xAE, 0xAD, 0x20, 0x28, 0x29},
    {0xEC, 0x67, 0x20, 0x28, 0x29},
};

int tableOf(VOZ_CPINFO cp) {
    switch (cp.code) {
    case VOZ_CP_EBCDIC_KANAKANJI: return 1;
    case VOZ_CP_EBCDIC_TURKEY: return 2;
    case VOZ_CP_EBCDIC_ESTONIA: return 3;
    default: return 0;
    }
}

const char kTraceOrigin[] = "source/itl_base/calls/voz_token_chars.cpp";

}  // namespace

const uint8_t* vozGetTokenChar(VOZ_CPINFO cp) {
    switch (tableOf(cp)) {
    case 1: return token_char_EBCDIC_KANA_KANJI;
    case 2: return token_char_EBCDIC_TURKEY;
    case 3: return token_char_EBCDIC_ESTONIA;
    default: return token_char;
    }
}

const uint8_t* vozGetTokenCharForSubQuery(VOZ_CPINFO cp) {
    return sub_char[tableOf(cp)];
}

const uint8_t* vozGetItemTokenChar(VOZ_CPINFO cp) {
    return vozGetTokenChar(cp) + VOZ_TK_CASE;
}

uint8_t vozGetDoubleQuote(VOZ_CPINFO cp) {
    return cp.code == VOZ_CP_EBCDIC_TURKEY ? 0xFC : '"';
}

uint8_t vozGetBackQuote(VOZ_CPINFO /*cp*/) { return '`'; }

uint8_t vozGetSingleNot(VOZ_CPINFO cp) {
    switch (cp.code) {
    case 15: case 26: case 27: case 28: case 29: case 33: return 0x4F;
    default: return '!';
    }
}

VozUnits vozUnits(VOZ_CPINFO cp) { return VozUnits{cp, vozCHlen(cp)}; }

namespace {

// The EBCDIC byte of an ASCII letter, 0 for anything else.
uint8_t ebcdicLetter(uint8_t ch) {
    static const uint8_t row[3] = {0xC1, 0xD1, 0xE2};
    bool lower = ch >= 'a' && ch <= 'z';
    if (!lower && !(ch >= 'A' && ch <= 'Z')) return 0;
    int i = ch - (lower ? 'a' : 'A');
    int r = i < 9 ? 0 : i < 18 ? 1 : 2;
    int first = r == 0 ? 0 : r == 1 ? 9 : 18;
    uint8_t b = static_cast<uint8_t>(row[r] + (i - first));
    return lower ? static_cast<uint8_t>(b - 0x40) : b;
}

// The answers of vozCHcmp for one unit and every character, per code page:
// the unit of each character, made once (the tokenizers compare every unit
// of a text with up to nine characters).
struct UnitTable {
    uint8_t unit[256][VOZ_UNIT_MAX];
    bool valid[256];
};

const UnitTable& unitTable(uint8_t code) {
    static UnitTable tables[VOZ_CP_TABLE_SIZE];
    static std::once_flag once[VOZ_CP_TABLE_SIZE];
    std::call_once(once[code], [code] {
        VOZ_CPINFO cp{};
        cp.code = code;
        vozCHsetCPInfo(&cp);
        UnitTable& t = tables[code];
        const int16_t w = vozCHlen(cp);
        for (int ch = 0; ch < 256; ++ch) {
            uint8_t u[8] = {0};
            vozCHcpy(cp, u, static_cast<uint8_t>(ch), nullptr);
            // Kept only where the compare agrees with the unit made.
            t.valid[ch] = vozCHcmp(cp, u, static_cast<uint8_t>(ch), nullptr) == 0;
            std::memcpy(t.unit[ch], u, static_cast<size_t>(w));
        }
    });
    return tables[code];
}

bool sameChar(VOZ_CPINFO cp, int16_t w, const uint8_t* p, uint8_t ch) {
    if (!vozCPisValid(cp.code)) return vozCHcmp(cp, p, ch, nullptr) == 0;
    const UnitTable& t = unitTable(cp.code);
    if (!t.valid[ch]) return false;
    // An ASCII symbol of the UTF-8 pages matches whatever its mark.
    int n = w;
    if (w == VOZ_UNIT_WIDTH_UTF8 && t.unit[ch][0] == '!' &&
        t.unit[ch][1] >= 0x21 && t.unit[ch][1] <= 0x7E &&
        t.unit[ch][2] == VOZ_MARK_PUNCT)
        n = 2;
    return std::memcmp(p, t.unit[ch], static_cast<size_t>(n)) == 0;
}

}  // namespace

// Letters are the code page's own: in the EBCDIC pages the letters of the
// language (options, modes, item types) are also read in EBCDIC.
bool VozUnits::is(const uint8_t* p, const uint8_t* end, uint8_t ch) const {
    if (p + w > end) return false;
    if (sameChar(cp, w, p, ch)) return true;
    uint8_t e = vozCPisEbcdic(cp.code) ? ebcdicLetter(ch) : 0;
    return e != 0 && sameChar(cp, w, p, e);
}

uint8_t VozUnits::chr(const uint8_t* p) const {
    return vozCHgetSBCSchar(cp, p);
}

// Digits read back as single-byte characters: '0'..'9', or 0xF0..0xF9 in
// the EBCDIC pages.
int VozUnits::digit(const uint8_t* p, const uint8_t* end) const {
    if (p + w > end) return -1;
    uint8_t c = chr(p);
    if (c >= '0' && c <= '9') return c - '0';
    if (vozCPisEbcdic(cp.code) && c >= 0xF0 && c <= 0xF9) return c - 0xF0;
    return -1;
}

uint8_t* vozUnitTextEnd(const VozUnits& u, uint8_t* p) {
    while (*p != 0) p += u.w;
    return p;
}

uint8_t* vozTokenStart(const VozUnits& u, uint8_t* pos, PFELEMENT* e,
                       uint8_t** end) {
    std::memset(e, 0, sizeof *e);
    *end = vozUnitTextEnd(u, pos);
    const uint8_t blank = vozGetTokenChar(u.cp)[VOZ_TK_BLANK];
    uint8_t* p = pos;
    while (p < *end && u.is(p, *end, blank)) p += u.w;
    if (p < *end) return p;
    e->kind = VOZ_PF_END;
    return nullptr;
}

const uint8_t* vozFindUnit(const VozUnits& u, const uint8_t* p,
                           const uint8_t* end, const uint8_t* chars, int n) {
    for (; p + u.w <= end; p += u.w)
        for (int i = 0; i < n; ++i)
            if (u.is(p, end, chars[i])) return p;
    return end;
}

uint16_t vozAnalyzeNumber(VOZ_CPINFO cp, const uint8_t** pos,
                          const uint8_t* end, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    const uint8_t* p = *pos;
    int64_t value = 0;
    int kept = 0;
    for (int d; (d = u.digit(p, end)) >= 0; p += u.w)
        if (kept < 15) {
            value = value * 10 + d;
            ++kept;
        }
    *pos = p;
    if (value > 65535) {
        voz_setStatus(gsp, 120, 1757);
        return 0;
    }
    return static_cast<uint16_t>(value);
}

void vozExtractOrgStr(VOZ_CPINFO cp, const uint8_t* orgText,
                      const uint8_t* orgEnd, const uint8_t* normStart,
                      const uint8_t* first, const uint8_t* last,
                      const uint8_t** outStart, int32_t* outLen) {
    *outStart = orgText;
    *outLen = 0;
    const int16_t w = vozCHlen(cp);
    uint8_t state = 0;
    const uint8_t* f = nullptr;
    const uint8_t* l = nullptr;
    vozCHstripBlank(orgText, orgEnd, cp.code, VOZ_STRIP_LEADING_ALL, &f, &l,
                    &state);
    if (f == nullptr) return;
    state = 0;
    const uint8_t* p = f;
    auto step = [&](int64_t n) {
        for (; n > 0 && p < orgEnd; --n) {
            const uint8_t* next = orgEnd;
            vozCHpointNextChar(cp.code, p, &next, orgEnd, nullptr, 1, nullptr,
                               &state);
            p = next > p ? next : orgEnd;
        }
        return n == 0;
    };
    if (!step((first - normStart) / w)) return;
    const uint8_t* s = p;
    step((last - first) / w);
    *outStart = s;
    *outLen = static_cast<int32_t>(p - s);
}

void vozTraceOptionError(const char* text, const uint8_t* start,
                         const uint8_t* end) {
    if (gs_pclCosTraceInstance == nullptr) return;
    cosTraceDump(CosEnTraceDetail::MED, 1, CosEnTraceDataType::CSTRING,
                 kTraceOrigin, text, text,
                 static_cast<uint32_t>(std::strlen(text)));
    cosTraceDump(CosEnTraceDetail::MED, 1, CosEnTraceDataType::DATA,
                 kTraceOrigin, "startp", start,
                 static_cast<uint32_t>(end > start ? end - start : 0));
    cosTraceFlush();
}
