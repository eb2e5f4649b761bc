// gen_voz_uni_tables.cpp -- generates the unit tables of the engine's UTF-8,
// EUC and EBCDIC normalisers from ICU.
//
// Output (committed with the code, so a build needs neither this program nor
// ICU's converter data):
//   source/itl_base/characters/tables/voz_cptab_uni.cpp         UTF-8 row tables
//   source/itl_base/characters/tables/voz_cptab_ebcdic.cpp      EBCDIC single-byte unit tables,
//                                             _CNET tables, kana voicing
//   source/itl_base/characters/tables/voz_cptab_ebcdic_kokr.cpp Korean EBCDIC double-byte rows
//   source/itl_base/characters/tables/voz_norm_euc_tab.cpp      EUC-JP and EUC-TW tables
//
// Classes come from u_charType, case partners from u_toupper/u_tolower,
// compatibility forms from NFKC, code-page bytes from ucnv. The rows that the
// engine fixes by rule (blank units, ASCII letters and digits, row C2 of
// UTF-8, the Turkish I letters) are written by rule here, not taken from ICU.
//
// Build and run from the project root:  tools/gen_voz_uni_tables/run.sh
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

const char* g_root = ".";

FILE* openOut(const char* rel) {
    std::string path = std::string(g_root) + "/" + rel;
    FILE* f = fopen(path.c_str(), "w");
    if (!f) { perror(path.c_str()); exit(1); }
    return f;
}

void die(const char* what) { fprintf(stderr, "gen: %s\n", what); exit(1); }

// ---- ICU helpers -----------------------------------------------------------

UConverter* openConv(const char* name) {
    UErrorCode ec = U_ZERO_ERROR;
    UConverter* c = ucnv_open(name, &ec);
    if (U_FAILURE(ec)) die(name);
    return c;
}

// A converter by CCSID (ICU's platform value 0), for pages whose names in
// ICU's alias table are not plain code-page numbers.
UConverter* openCcsid(int32_t ccsid) {
    UErrorCode ec = U_ZERO_ERROR;
    UConverter* c = ucnv_openCCSID(ccsid, static_cast<UConverterPlatform>(0), &ec);
    if (U_FAILURE(ec)) die("ccsid");
    return c;
}

// Bytes -> code points (round-trip and decode-only mappings); empty when the
// bytes decode to nothing or to a substitution character.
std::vector<UChar32> decode(UConverter* cnv, const Bytes& in) {
    ucnv_reset(cnv);
    UErrorCode ec = U_ZERO_ERROR;
    ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr,
                        nullptr, &ec);
    UChar buf[16];
    ec = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(cnv, buf, 16, (const char*)in.data(),
                              (int32_t)in.size(), &ec);
    std::vector<UChar32> out;
    if (U_FAILURE(ec)) return out;
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U16_NEXT(buf, i, n, c);
        if (c == 0xFFFD || c == 0x1A) return std::vector<UChar32>();
        out.push_back(c);
    }
    return out;
}

// Code point -> bytes, round-trip mappings only (fallbacks when asked);
// empty when the page has no such character.
Bytes encode(UConverter* cnv, UChar32 c, bool fallback = false) {
    ucnv_reset(cnv);
    UErrorCode ec = U_ZERO_ERROR;
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr,
                          nullptr, &ec);
    ucnv_setFallback(cnv, fallback);
    UChar u[2];
    int32_t len = 0;
    U16_APPEND_UNSAFE(u, len, c);
    char buf[16];
    ec = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(cnv, buf, 16, u, len, &ec);
    Bytes out;
    if (U_FAILURE(ec)) return out;
    out.assign((uint8_t*)buf, (uint8_t*)buf + n);
    return out;
}

// The single code point NFKC gives for c, or -1.
UChar32 nfkcSingle(UChar32 c) {
    UErrorCode ec = U_ZERO_ERROR;
    const UNormalizer2* n = unorm2_getNFKCInstance(&ec);
    UChar in[2], out[8];
    int32_t len = 0;
    U16_APPEND_UNSAFE(in, len, c);
    int32_t m = unorm2_normalize(n, in, len, out, 8, &ec);
    if (U_FAILURE(ec)) return -1;
    UChar32 r;
    int32_t i = 0;
    U16_NEXT(out, i, m, r);
    return i == m ? r : -1;
}

// Class mark of a character by its general category.
uint8_t markOf(UChar32 c) {
    switch (u_charType(c)) {
    case U_UPPERCASE_LETTER: case U_TITLECASE_LETTER: case U_OTHER_LETTER:
    case U_MODIFIER_LETTER: case U_NON_SPACING_MARK:
    case U_COMBINING_SPACING_MARK: case U_ENCLOSING_MARK:
        return 1;
    case U_LOWERCASE_LETTER: return 2;
    case U_DECIMAL_DIGIT_NUMBER: return 6;
    case U_SPACE_SEPARATOR: case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR: case U_UNASSIGNED:
        return 5;
    default: return 4;
    }
}

Bytes utf8Of(UChar32 c) {
    uint8_t b[4];
    int32_t n = 0;
    U8_APPEND_UNSAFE(b, n, c);
    return Bytes(b, b + n);
}

// ---- UTF-8 units ---------------------------------------------------------------

struct Unit3 { uint8_t b[3]; };

Unit3 mk3(int a, int b, int c) { return Unit3{{(uint8_t)a, (uint8_t)b, (uint8_t)c}}; }

Unit3 asciiUnit(UChar32 c) {
    if (c == 0x20) return mk3(0x20, 0x20, 5);
    if (c >= 'a' && c <= 'z') return mk3('!', c - 0x20, 2);
    if (c >= 'A' && c <= 'Z') return mk3('!', c, 1);
    if (c >= '0' && c <= '9') return mk3('!', c, 6);
    return mk3('!', c, 4);
}

// Unit of a two-byte character (U+0080..U+07FF): the lead, the folded second
// byte and the mark; a lower-case letter folds to its upper-case partner when
// that is a two-byte character too (never to ASCII: the Turkish dotless i and
// the long s keep their own code).
Unit3 twoByteUnit(UChar32 c) {
    Bytes own = utf8Of(c);
    if (own[0] == 0xC2) return mk3(0xC2, own[1], 4);   // row C2: symbols
    uint8_t m = markOf(c);
    UChar32 f = c;
    if (u_charType(c) == U_LOWERCASE_LETTER || u_charType(c) == U_TITLECASE_LETTER) {
        UChar32 up = u_toupper(c);
        if (up >= 0x80 && up <= 0x7FF && up != c) f = up;
        if (u_charType(c) == U_TITLECASE_LETTER) m = 1;
    }
    Bytes fb = utf8Of(f);
    return mk3(fb[0], fb[1], m);
}

// Letters of the moved rows carry mark 3 where the engine ignores case.
uint8_t markNoCase(UChar32 c) {
    uint8_t m = markOf(c);
    return (m == 1 || m == 2) ? 3 : m;
}

// Unit of a three-byte character of an E1 row kept as (second, third, mark);
// a lower-case letter folds to its partner when that lies in the same row.
Unit3 e1RowUnit(UChar32 c) {
    Bytes own = utf8Of(c);
    uint8_t m = markOf(c);
    UChar32 f = c;
    if (m == 2 || u_charType(c) == U_TITLECASE_LETTER) {
        UChar32 up = u_toupper(c);
        if (up != c && (up >> 6) == (c >> 6)) f = up;
        if (u_charType(c) == U_TITLECASE_LETTER) m = 1;
    }
    Bytes fb = utf8Of(f);
    return mk3(fb[1], fb[2], m);
}

Unit3 utf8UnitOf(UChar32 c);

// Unit of a character of the rows EF B8..EF BF: compatibility forms of
// ASCII, kana, Hangul letters, punctuation and symbols take the unit of the
// character they stand for; everything else keeps its code, moved down by
// 0x80 in the first byte, with its class.
Unit3 efRowUnit(UChar32 c) {
    Bytes own = utf8Of(c);
    if (c == 0xFEFF) return mk3(own[1] - 0x80, own[2], 5);  // byte-order mark
    if (c == 0xFF9E) return utf8UnitOf(0x309B);   // half-width voiced marks:
    if (c == 0xFF9F) return utf8UnitOf(0x309C);   // the spacing full forms
    bool compat = (c >= 0xFE10 && c <= 0xFE19) || (c >= 0xFE30 && c <= 0xFE6B) ||
                  (c >= 0xFF00 && c <= 0xFFEF);
    if (compat) {
        UChar32 t = nfkcSingle(c);
        if (t >= 0 && t != c && !(t >= 0xFE00 && t <= 0xFFFF)) return utf8UnitOf(t);
    }
    if (c >= 0xFE70 && c <= 0xFEFC) return mk3(own[1] - 0x80, own[2], 3);
    return mk3(own[1] - 0x80, own[2], markNoCase(c));
}

// The unit the converter gives for one character (no joining, no special
// letters, no kana voicing).
Unit3 utf8UnitOf(UChar32 c) {
    if (c < 0x80) return asciiUnit(c);
    if (c < 0x800) return twoByteUnit(c);
    if (c >= 0x10000) {
        Bytes b = utf8Of(c);
        if (b[1] >= 0xA0 && b[1] <= 0xAF) return mk3(b[1], b[2], b[3]);
        return mk3(0xFF, 0xFF, 0xFF);
    }
    Bytes b = utf8Of(c);
    if (c == 0x3000) return mk3(0x20, 0x20, 5);
    if (b[0] == 0xE0) {
        if (b[1] >= 0xBC) return mk3(b[1] - 0x40, b[2], markNoCase(c));
        if (c == 0x0964 || c == 0x0965) return mk3('!', '.', 4);
        return mk3(b[1] - 0x40, b[2], 3);
    }
    if (b[0] == 0xE1) {
        if (b[1] >= 0xA0 && b[1] <= 0xA2) return mk3(b[1], b[2], markNoCase(c));
        if (b[1] <= 0x87 || b[1] >= 0xB8) return e1RowUnit(c);
        return mk3(b[1], b[2], 3);
    }
    if (b[0] == 0xEF) {
        if (b[1] >= 0xAC && b[1] <= 0xB7) return mk3(b[1] + 0x80, b[2], 3);
        if (b[1] >= 0xB8) return efRowUnit(c);
    }
    return mk3(b[0], b[1], b[2]);
}

void writeTable3(FILE* f, const char* name, const std::vector<Unit3>& u) {
    fprintf(f, "const uint8_t %s[%zu][3] = {\n", name, u.size());
    for (size_t i = 0; i < u.size(); i += 4) {
        fprintf(f, "   ");
        for (size_t j = i; j < i + 4 && j < u.size(); ++j)
            fprintf(f, " {0x%02X, 0x%02X, 0x%02X},", u[j].b[0], u[j].b[1], u[j].b[2]);
        fprintf(f, "\n");
    }
    fprintf(f, "};\n\n");
}

// 64 units of the characters whose UTF-8 form is prefix + 0x80..0xBF.
std::vector<Unit3> rowUnits(const Bytes& prefix) {
    std::vector<Unit3> row;
    for (int t = 0x80; t <= 0xBF; ++t) {
        Bytes b = prefix;
        b.push_back((uint8_t)t);
        int32_t i = 0;
        UChar32 c;
        U8_NEXT(b.data(), i, (int32_t)b.size(), c);
        if (c < 0) die("bad row");
        row.push_back(utf8UnitOf(c));
    }
    return row;
}

std::string rowName(const Bytes& p) {
    char buf[64];
    if (p.size() == 1)
        snprintf(buf, sizeof buf, "tblUTF8_%02X80_%02XBF", p[0], p[0]);
    else
        snprintf(buf, sizeof buf, "tblUTF8_%02X%02X80_%02X%02XBF", p[0], p[1], p[0], p[1]);
    return buf;
}

void genUtf8() {
    FILE* f = openOut("source/itl_base/characters/tables/voz_cptab_uni.cpp");
    fprintf(f,
        "// GENERATED by tools/gen_voz_uni_tables from ICU %s (rerun: sh tools/gen_voz_uni_tables/run.sh); do not edit.\n"
        "// voz_cptab_uni.cpp -- row tables of the UTF-8 normaliser.\n"
        "//\n"
        "// Each table holds the 64 units (3 bytes: identifying bytes, class mark)\n"
        "// of the characters of one UTF-8 row, indexed by the last byte - 0x80.\n"
        "// Letters fold to their upper-case partner where the unit can hold it.\n"
        "// The row descriptors that point here are in voz_norm_utf8_rows.cpp.\n"
        "#include \"characters/voz_norm_utf8.hpp\"\n\n", U_ICU_VERSION);
    for (int lead = 0xC3; lead <= 0xDF; ++lead) {
        Bytes p{(uint8_t)lead};
        writeTable3(f, rowName(p).c_str(), rowUnits(p));
    }
    struct { int a, b, from, to; } groups[] = {
        {0xE0, 0, 0xBC, 0xBF}, {0xE1, 0, 0x80, 0x87}, {0xE1, 0, 0xA0, 0xA2},
        {0xE1, 0, 0xB8, 0xBF}, {0xEF, 0, 0xB8, 0xBF},
    };
    for (auto& g : groups)
        for (int s = g.from; s <= g.to; ++s) {
            if (g.a == 0xEF && s == 0xBA) continue;   // by subtraction
            Bytes p{(uint8_t)g.a, (uint8_t)s};
            writeTable3(f, rowName(p).c_str(), rowUnits(p));
        }
    fclose(f);
}

// ---- EBCDIC ------------------------------------------------------------------

struct Unit2 { uint8_t b[2]; };

void writeTable2(FILE* f, const char* name, const std::vector<Unit2>& u,
                 int first) {
    fprintf(f, "const uint8_t %s[%zu][2] = {\n", name, u.size());
    for (size_t i = 0; i < u.size(); i += 8) {
        fprintf(f, "    /* %02X */", (unsigned)(first + i) & 0xFF);
        for (size_t j = i; j < i + 8 && j < u.size(); ++j)
            fprintf(f, " {0x%02X, 0x%02X},", u[j].b[0], u[j].b[1]);
        fprintf(f, "\n");
    }
    fprintf(f, "};\n\n");
}

UChar32 decodeSingle(UConverter* cnv, int b) {
    std::vector<UChar32> u = decode(cnv, Bytes{(uint8_t)b});
    return u.size() == 1 ? u[0] : -1;
}

// The unit that the ASCII rule gives, or false.
bool asciiRule(UChar32 u, Unit2* out) {
    if (u >= 'A' && u <= 'Z') { *out = Unit2{{(uint8_t)u, 1}}; return true; }
    if (u >= 'a' && u <= 'z') { *out = Unit2{{(uint8_t)(u - 0x20), 2}}; return true; }
    if (u >= '0' && u <= '9') { *out = Unit2{{(uint8_t)u, 6}}; return true; }
    return false;
}

// Unit table of a single-byte page: national letters fold to the byte of
// their lower-case form.
std::vector<Unit2> sbcsPage(UConverter* cnv, std::vector<bool>* national) {
    std::vector<Unit2> t;
    national->assign(192, false);
    for (int b = 0x40; b <= 0xFF; ++b) {
        Unit2 u{{(uint8_t)b, 5}};
        UChar32 c = b == 0xFF ? -1 : decodeSingle(cnv, b);
        if (b == 0x40) u = Unit2{{0x20, 5}};
        else if (c < 0 || u_charType(c) == U_CONTROL_CHAR) u = Unit2{{(uint8_t)b, 5}};
        else if (asciiRule(c, &u)) {}
        else {
            uint8_t m = markOf(c);
            if (m == 1 && u_charType(c) == U_UPPERCASE_LETTER) {
                UChar32 lo = u_tolower(c);
                Bytes lb = lo >= 0x80 && lo != c ? encode(cnv, lo) : Bytes();
                u = Unit2{{lb.size() == 1 ? lb[0] : (uint8_t)b, 1}};
            } else {
                u = Unit2{{(uint8_t)b, m}};
            }
            (*national)[b - 0x40] = (m == 1 || m == 2);
        }
        t.push_back(u);
    }
    return t;
}

// The compatibility Hangul letter of a half-width one (by name).
UChar32 hangulCompat(UChar32 c) {
    char name[128];
    UErrorCode ec = U_ZERO_ERROR;
    u_charName(c, U_UNICODE_CHAR_NAME, name, sizeof name, &ec);
    const char* pre = "HALFWIDTH ";
    if (strncmp(name, pre, strlen(pre)) != 0) return c;
    UChar32 full = u_charFromName(U_UNICODE_CHAR_NAME, name + strlen(pre), &ec);
    return U_SUCCESS(ec) ? full : c;
}

// The double-byte code of the full-width form of c in a mixed page, or empty.
Bytes fullWidthDbcs(UConverter* cnv, UChar32 c) {
    UChar32 w = c;
    if (c >= 0x21 && c <= 0x7E) w = c + 0xFEE0;
    else if (c >= 0xFFA0 && c <= 0xFFDC) w = hangulCompat(c);
    else if (c >= 0xFF61 && c <= 0xFF9F) { UChar32 t = nfkcSingle(c); if (t > 0) w = t; }
    if (c == 0xFF9E) w = 0x309B;
    if (c == 0xFF9F) w = 0x309C;
    static const UChar32 wide[][2] = {{0xA2, 0xFFE0}, {0xA3, 0xFFE1}, {0xAC, 0xFFE2},
                                      {0xAF, 0xFFE3}, {0xA6, 0xFFE4}, {0xA5, 0xFFE5}};
    for (auto& p : wide) if (c == p[0]) w = p[1];
    Bytes e = encode(cnv, w, true);
    if (e.size() == 4 && e[0] == 0x0E && e[3] == 0x0F) return Bytes{e[1], e[2]};
    return Bytes();
}

std::vector<Unit2> mixedPage(UConverter* cnv) {
    std::vector<Unit2> t;
    for (int b = 0x40; b <= 0xFF; ++b) {
        Unit2 u{{(uint8_t)b, 5}};
        UChar32 c = b == 0xFF ? -1 : decodeSingle(cnv, b);
        if (b == 0x40) u = Unit2{{0x20, 5}};
        else if (c < 0 || u_charType(c) == U_CONTROL_CHAR) {}
        else if (asciiRule(c, &u)) {}
        else {
            Bytes d = fullWidthDbcs(cnv, c);
            if (d.size() == 2) u = Unit2{{d[0], d[1]}};
            else u = Unit2{{0x42, (uint8_t)b}};
        }
        t.push_back(u);
    }
    return t;
}

// Voiced (column 0) and semi-voiced (column 1) combined second bytes (lead
// 0x43) of the single-byte katakana of a Japanese mixed page; 0 = none.
std::vector<Unit2> kanaVoicing(UConverter* cnv) {
    std::vector<Unit2> t;
    for (int b = 0x40; b <= 0xFF; ++b) {
        Unit2 v{{0, 0}};
        UChar32 c = b == 0xFF ? -1 : decodeSingle(cnv, b);
        UChar32 full = (c >= 0xFF66 && c <= 0xFF9D) ? nfkcSingle(c) : -1;
        for (int k = 0; k < 2 && full > 0; ++k) {
            UErrorCode ec = U_ZERO_ERROR;
            const UNormalizer2* nfc = unorm2_getNFCInstance(&ec);
            UChar32 comp = unorm2_composePair(nfc, full, k == 0 ? 0x3099 : 0x309A);
            if (comp < 0) continue;
            Bytes e = encode(cnv, comp);
            if (e.size() == 4 && e[1] == 0x43) v.b[k] = e[2];
        }
        t.push_back(v);
    }
    return t;
}

struct Page { const char* name; const char* conv; bool mixed; };

void genEbcdic() {
    FILE* f = openOut("source/itl_base/characters/tables/voz_cptab_ebcdic.cpp");
    fprintf(f,
        "// GENERATED by tools/gen_voz_uni_tables from ICU %s (rerun: sh tools/gen_voz_uni_tables/run.sh); do not edit.\n"
        "// voz_cptab_ebcdic.cpp -- unit tables of the EBCDIC pages.\n"
        "//\n"
        "// <PAGE>_40FF: the unit of each byte 0x40..0xFF (entry b - 0x40):\n"
        "//   0x40 -> the blank unit (0x20, 5); Latin letters and digits -> the\n"
        "//   ASCII units ('A', 1), ('A', 2), ('0', 6);\n"
        "//   single-byte pages: national letters -> (byte of the lower-case\n"
        "//   form, 1 or 2), other characters (byte, 4), separators and\n"
        "//   unassigned bytes (byte, 5);\n"
        "//   mixed pages: other characters -> the double-byte unit of their\n"
        "//   full-width form, unassigned bytes (byte, 5).\n"
        "// <PAGE>_40FF_CNET: the single-byte page's table with the national\n"
        "//   letters of 0x41..0x80 and those whose unit is a Latin letter's\n"
        "//   marked 5, for the byte lookup of units.\n"
        "// <PAGE>_VOICED: per byte, the second bytes (lead 0x43) of the voiced\n"
        "//   and semi-voiced forms of a single-byte katakana, 0 when none.\n"
        "#include \"characters/voz_norm_ebcdic.hpp\"\n\n", U_ICU_VERSION);
    Page pages[] = {
        {"EBCDIC_KANA_KANJI", "cp930", true}, {"EBCDIC_LATIN_KANJI", "cp939", true},
        {"EBCDIC_TCHN", "cp937", true}, {"EBCDIC_KOKR", "cp933", true},
        {"EBCDIC_SCHN", "cp935", true}, {"EBCDIC_500", "CP500", false},
        {"EBCDIC_THAI", "cp838", false}, {"EBCDIC_LATIN2", "CP870", false},
        {"EBCDIC_CYRILLIC", "cp1025", false}, {"EBCDIC_TURKEY", "CP1026", false},
        {"EBCDIC_GREEK", "cp875", false}, {"EBCDIC_HEBREW", "cp424", false},
        {"EBCDIC_ARABIC", "cp420", false}, {"EBCDIC_BALTIC", "cp1112", false},
        {"EBCDIC_ESTONIA", "cp1122", false},
    };
    for (auto& p : pages) {
        UConverter* cnv = openConv(p.conv);
        std::string n = std::string(p.name) + "_40FF";
        fprintf(f, "// %s\n", p.conv);
        if (p.mixed) {
            writeTable2(f, n.c_str(), mixedPage(cnv), 0x40);
            if (strstr(p.name, "KANJI"))
                writeTable2(f, (std::string(p.name) + "_VOICED").c_str(), kanaVoicing(cnv), 0x40);
        } else {
            std::vector<bool> national;
            std::vector<Unit2> t = sbcsPage(cnv, &national);
            writeTable2(f, n.c_str(), t, 0x40);
            // National letters of 0x41..0x80, and those whose unit is that
            // of a Latin letter, map back to no byte.
            for (int b = 0x41; b <= 0xFE; ++b) {
                Unit2& e = t[b - 0x40];
                bool latin = e.b[0] >= 'A' && e.b[0] <= 'Z';
                if (national[b - 0x40] && (b <= 0x80 || latin)) e.b[1] = 5;
            }
            writeTable2(f, (n + "_CNET").c_str(), t, 0x40);
        }
        ucnv_close(cnv);
    }
    fclose(f);
}

// Korean letters of the double-byte rows 43, 4C, 4D and 4E: each code is
// replaced by the preferred code of the same letter (by Unicode name): a
// code in the Hangul lead range 0x84..0xD3 first, then rows 4C, 4D, 4E, 43.
std::string hangulLetter(UChar32 c) {
    char name[128];
    UErrorCode ec = U_ZERO_ERROR;
    u_charName(c, U_UNICODE_CHAR_NAME, name, sizeof name, &ec);
    std::string s = name;
    if (s.compare(0, 7, "HANGUL ") != 0) return "";
    s = s.substr(7);
    for (const char* pre : {"CHOSEONG ", "JUNGSEONG ", "JONGSEONG ", "LETTER "})
        if (s.compare(0, strlen(pre), pre) == 0) return s.substr(strlen(pre));
    return s;
}

int leadRank(int lead) {
    if (lead >= 0x84 && lead <= 0xD3) return 0;
    switch (lead) { case 0x4C: return 1; case 0x4D: return 2; case 0x4E: return 3; }
    return 4;
}

void genKorean() {
    UConverter* cnv = openCcsid(1364);
    std::map<std::string, int> best;   // letter -> preferred code
    std::map<int, std::string> letterOf;
    auto consider = [&](int code) {
        std::vector<UChar32> u = decode(cnv, Bytes{0x0E, (uint8_t)(code >> 8), (uint8_t)code, 0x0F});
        if (u.size() != 1) return;
        std::string l = hangulLetter(u[0]);
        if (l.empty()) return;
        letterOf[code] = l;
        auto it = best.find(l);
        if (it == best.end() || leadRank(code >> 8) < leadRank(it->second >> 8))
            best[l] = code;
    };
    for (int lead : {0x43, 0x4C, 0x4D, 0x4E})
        for (int t = 0x40; t <= 0xFE; ++t) consider(lead << 8 | t);
    for (int lead = 0x84; lead <= 0xD3; ++lead)
        for (int t = 0x41; t <= 0xFE; ++t) consider(lead << 8 | t);
    FILE* f = openOut("source/itl_base/characters/tables/voz_cptab_ebcdic_kokr.cpp");
    fprintf(f,
        "// GENERATED by tools/gen_voz_uni_tables from ICU %s (CCSID 1364) (rerun: sh tools/gen_voz_uni_tables/run.sh); do not edit.\n"
        "// voz_cptab_ebcdic_kokr.cpp -- Korean letter rows of the EBCDIC Korean page.\n"
        "//\n"
        "// Entry i of EBCDIC_KOKR_<row>40_<row><last> is the unit of the code\n"
        "// row, 0x40 + i: the preferred double-byte code of the same Hangul letter\n"
        "// (a code of the Hangul lead range first), or the code itself.\n"
        "#include \"characters/voz_norm_ebcdic.hpp\"\n\n", U_ICU_VERSION);
    struct { int row, last; } rows[] = {{0x43, 0x6B}, {0x4C, 0x9B}, {0x4D, 0x57}, {0x4E, 0x5B}};
    for (auto& r : rows) {
        std::vector<Unit2> t;
        for (int c = 0x40; c <= r.last; ++c) {
            int code = r.row << 8 | c;
            auto it = letterOf.find(code);
            int to = it == letterOf.end() || c == 0x40 || c == r.last ? code : best[it->second];
            t.push_back(Unit2{{(uint8_t)(to >> 8), (uint8_t)to}});
        }
        char name[64];
        snprintf(name, sizeof name, "EBCDIC_KOKR_%02X40_%02X%02X", r.row, r.row, r.last);
        writeTable2(f, name, t, 0x40);
    }
    fclose(f);
    ucnv_close(cnv);
}

// ---- EUC -------------------------------------------------------------------------

// The unit of an EUC byte sequence, by the converter's rules.
Unit2 eucUnit(const Bytes& e, bool tw) {
    if (e.size() == 2 && e[0] == 0xA1 && e[1] == 0xA1) return Unit2{{0x20, 5}};
    if (e.size() == 2) return Unit2{{e[0], e[1]}};
    if (!tw && e.size() == 3 && e[0] == 0x8F)
        return Unit2{{(uint8_t)(e[1] + 0xA0), e[2]}};
    if (tw && e.size() == 4 && e[0] == 0x8E && e[1] == 0xA2)
        return Unit2{{(uint8_t)(e[2] + 0xA0), e[3]}};
    return Unit2{{0xFF, 0xFF}};
}

std::vector<Unit2> euc2080(UConverter* cnv, bool tw) {
    std::vector<Unit2> t;
    for (int c = 0x20; c <= 0x7F; ++c) {
        Unit2 u;
        if (c == 0x20) u = Unit2{{0x20, 5}};
        else if (c == 0x7F) u = Unit2{{0x7F, 0xFF}};
        else if (!asciiRule(c, &u)) {
            // Punctuation without a full-width form stays a single-byte
            // symbol unit.
            u = eucUnit(encode(cnv, c + 0xFEE0), tw);
            if (u.b[0] == 0xFF) u = Unit2{{(uint8_t)c, 4}};
        }
        t.push_back(u);
    }
    return t;
}

void genEuc() {
    UConverter* jp = openConv("euc-jp-2007");
    UConverter* tw = openConv("euc-tw-2014");
    FILE* f = openOut("source/itl_base/characters/tables/voz_norm_euc_tab.cpp");
    fprintf(f,
        "// GENERATED by tools/gen_voz_uni_tables from ICU %s (rerun: sh tools/gen_voz_uni_tables/run.sh); do not edit.\n"
        "// voz_norm_euc_tab.cpp -- unit tables of the EUC-JP and EUC-TW pages.\n"
        "//\n"
        "// EUC_JP_2080, EUC_TW_2080: units of 0x20..0x7F (blank unit, ASCII\n"
        "//   letters and digits, punctuation as its full-width double-byte form).\n"
        "// tblEUC_JP_A0E5: after the single shift 0x8E, the full-width units of\n"
        "//   the half-width bytes 0xA0..0xE4 (0xA0 the blank unit, 0xFF 0xFF for\n"
        "//   bytes that are no katakana).\n"
        "#include \"characters/voz_norm_euc.hpp\"\n\n", U_ICU_VERSION);
    writeTable2(f, "EUC_JP_2080", euc2080(jp, false), 0x20);
    writeTable2(f, "EUC_TW_2080", euc2080(tw, true), 0x20);
    std::vector<Unit2> k;
    for (int b = 0xA0; b <= 0xE4; ++b) {
        Unit2 u{{0xFF, 0xFF}};
        if (b == 0xA0) u = Unit2{{0x20, 5}};
        else if (b <= 0xDF) {
            UChar32 c = 0xFF61 + (b - 0xA1);
            UChar32 full = c == 0xFF9E ? 0x309B : c == 0xFF9F ? 0x309C : nfkcSingle(c);
            u = eucUnit(encode(jp, full), false);
        }
        k.push_back(u);
    }
    writeTable2(f, "tblEUC_JP_A0E5", k, 0xA0);
    fclose(f);
    ucnv_close(jp);
    ucnv_close(tw);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_root = argv[1];
    genUtf8();
    genEbcdic();
    genKorean();
    genEuc();
    return 0;
}
