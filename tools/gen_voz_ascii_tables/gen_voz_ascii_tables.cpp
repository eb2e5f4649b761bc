// gen_voz_ascii_tables -- writes source/itl_base/voz_cptab_ascii.cpp, the
// character and class-mark tables of the engine's ASCII-based code pages.
//
// For each single-byte page the tables hold, per byte, the class mark of the
// character (1 upper-case letter or letter without case, 2 lower-case letter,
// 4 punctuation or symbol, 5 blank, separator, control or unassigned, 6
// digit) and the folded character (0, or for a lower-case letter the byte of
// its upper-case partner when the page has one). Characters come from ICU:
// the byte is decoded through ucnv, classified with u_charType and folded
// with u_toupper. Rows that the engine fixes by design override ICU (see
// applyFixedRows). The double-byte pages' ASCII tables map printable ASCII
// punctuation to the page's full-width form, found by encoding the Unicode
// full-width form through the page's converter.
//
// Build and run from the project root:  sh tools/gen_voz_ascii_tables/run.sh
// (it writes source/itl_base/characters/tables/voz_cptab_ascii.cpp).
// The output is committed; rerun only when the rules here change.
#include <unicode/ucnv.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Page {
    const char* converter;   // ICU converter name
    UConverter* cnv = nullptr;
    int32_t uni[256] = {};   // byte -> code point, -1 unassigned
};

void die(const char* what, UErrorCode e) {
    fprintf(stderr, "gen_voz_ascii_tables: %s: %s\n", what, u_errorName(e));
    exit(1);
}

void openPage(Page& p) {
    UErrorCode e = U_ZERO_ERROR;
    p.cnv = ucnv_open(p.converter, &e);
    if (U_FAILURE(e)) die(p.converter, e);
    ucnv_setToUCallBack(p.cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr,
                        nullptr, &e);
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        UChar out[4];
        e = U_ZERO_ERROR;
        ucnv_reset(p.cnv);
        int32_t n = ucnv_toUChars(p.cnv, out, 4, &in, 1, &e);
        if (U_FAILURE(e) || n < 1) { p.uni[b] = -1; continue; }
        UChar32 c;
        int32_t i = 0;
        U16_NEXT(out, i, n, c);
        p.uni[b] = (c == 0xFFFD || c == 0x1A) && b != 0x1A ? -1 : c;
    }
}

int markOf(int32_t c) {
    if (c < 0) return 5;
    switch (u_charType(c)) {
        case U_UPPERCASE_LETTER: case U_TITLECASE_LETTER:
        case U_MODIFIER_LETTER: case U_OTHER_LETTER:
        case U_NON_SPACING_MARK: case U_COMBINING_SPACING_MARK:
        case U_ENCLOSING_MARK:
            return 1;
        case U_LOWERCASE_LETTER: return 2;
        case U_DECIMAL_DIGIT_NUMBER: return 6;
        case U_SPACE_SEPARATOR: case U_LINE_SEPARATOR:
        case U_PARAGRAPH_SEPARATOR: case U_CONTROL_CHAR: case U_UNASSIGNED:
            return 5;
        default: return 4;
    }
}

// Folded character of byte b: the byte of the upper-case partner of a
// lower-case letter when the page has it, else 0.
int foldOf(const Page& p, int b) {
    int32_t c = p.uni[b];
    if (c < 0 || u_charType(c) != U_LOWERCASE_LETTER) return 0;
    int32_t up = u_toupper(c);
    if (up == c) return 0;
    for (int o = 0; o < 256; ++o)
        if (p.uni[o] == up) return o;
    return 0;
}

struct Range {
    std::string name;        // table name without _char/_mark
    Page* page;
    int low, high;
    std::vector<int> chars, marks;
};

void fillRange(Range& r) {
    for (int b = r.low; b <= r.high; ++b) {
        r.chars.push_back(foldOf(*r.page, b));
        r.marks.push_back(markOf(r.page->uni[b]));
    }
}

void setRow(Range& r, int b, int ch, int mark) {
    r.chars[b - r.low] = ch;
    r.marks[b - r.low] = mark;
}

// Rows the engine fixes regardless of the published tables.
void applyFixedRows(std::vector<Range>& ranges) {
    for (Range& r : ranges) {
        if (r.name == "tblSBCS_2080") {
            setRow(r, 0x20, 0, 5);
            setRow(r, 0x7F, 0, 4);
        } else if (r.name == "tbl88591_A0FF") {
            setRow(r, 0xDF, 0, 2);
            setRow(r, 0xFF, 0, 2);
            setRow(r, 0xD7, 0, 4);
            setRow(r, 0xF7, 0, 4);
        } else if (r.name == "tbl1252_809F") {
            for (int b : {0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x9E})
                setRow(r, b, 0, 5);
            setRow(r, 0x9A, 0x8A, 2);
            setRow(r, 0x9C, 0x8C, 2);
            setRow(r, 0x83, 0, 2);
            setRow(r, 0x9F, 0xFF, 1);
        } else if (r.name == "tbl1254_A0FF") {
            // 0x9F comes from the 1252 tables (folded onto 0xFF): keep
            // y diaeresis on its own byte, as in 8859-1.
            setRow(r, 0xFF, 0, 2);
        } else if (r.name == "tbl874_A0FF") {
            for (int b : {0xA0, 0xDB, 0xDC, 0xDD, 0xDE, 0xFC, 0xFD, 0xFE, 0xFF})
                setRow(r, b, 0, 5);
        }
        if (r.name == "tbl1255_80FF" || r.name == "tbl874_A0FF") {
            for (int& c : r.chars) c = 0;  // pages without case
        }
    }
}

void printBytes(const char* decl, const std::vector<int>& v) {
    printf("%s = {", decl);
    for (size_t i = 0; i < v.size(); ++i) {
        printf("%s0x%02X,", i % 12 == 0 ? "\n    " : " ", v[i]);
    }
    printf("\n};\n");
}

void printPairs(const char* decl, const std::vector<int>& v) {
    printf("%s = {", decl);
    for (size_t i = 0; i + 1 < v.size(); i += 2) {
        printf("%s{0x%02X, 0x%02X},", i % 12 == 0 ? "\n    " : " ", v[i],
               v[i + 1]);
    }
    printf("\n};\n");
}

// Bytes of code point c in the page, empty when it has none.
std::vector<int> encode(UConverter* cnv, UChar32 c) {
    UChar in[2];
    int32_t n = 0;
    U16_APPEND_UNSAFE(in, n, c);
    char out[8];
    UErrorCode e = U_ZERO_ERROR;
    ucnv_reset(cnv);
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr,
                          nullptr, &e);
    int32_t m = ucnv_fromUChars(cnv, out, 8, in, n, &e);
    std::vector<int> r;
    if (U_FAILURE(e)) return r;
    for (int32_t i = 0; i < m; ++i) r.push_back(static_cast<uint8_t>(out[i]));
    return r;
}

// ASCII table of a double-byte page: blank, digits, letters as units, the
// other printable characters as their full-width double-byte form.
// Shift-JIS: the engine's own list of full-width forms (lead 0x81) of the
// ASCII punctuation 0x21-0x2F, 0x3A-0x40, 0x5B-0x60, 0x7B-0x7E, which the
// special-letter test reads back; it wins over the converter.
const int kSjisPunct[32] = {
    0x49, 0x8D, 0xF3, 0x90, 0x93, 0x95, 0x66, 0x69, 0x6A, 0x96, 0x7B,
    0x43, 0x5D, 0x44, 0x5E, 0x46, 0x47, 0x83, 0x81, 0x84, 0x48, 0x97,
    0x6D, 0x5F, 0x6E, 0x4F, 0x7C, 0x41, 0x6F, 0x62, 0x70, 0x60};

int sjisPunctIndex(int c) {
    if (c >= 0x21 && c <= 0x2F) return c - 0x21;
    if (c >= 0x3A && c <= 0x40) return 15 + c - 0x3A;
    if (c >= 0x5B && c <= 0x60) return 22 + c - 0x5B;
    return 28 + c - 0x7B;
}

std::vector<int> dbcsAscii(const char* converter, bool korean) {
    UErrorCode e = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(converter, &e);
    if (U_FAILURE(e)) die(converter, e);
    ucnv_setFallback(cnv, 1);
    std::vector<int> t;
    for (int c = 0x20; c <= 0x7F; ++c) {
        if (c == 0x20) { t.insert(t.end(), {0x20, 5}); continue; }
        if (c == 0x7F) {
            t.insert(t.end(), {korean ? 0xFF : 0x7F, 0xFF});
            continue;
        }
        if (c >= '0' && c <= '9') { t.insert(t.end(), {c, 6}); continue; }
        if (c >= 'A' && c <= 'Z') { t.insert(t.end(), {c, 1}); continue; }
        if (c >= 'a' && c <= 'z') { t.insert(t.end(), {c - 0x20, 2}); continue; }
        if (std::string(converter) == "Shift_JIS") {
            t.insert(t.end(), {0x81, kSjisPunct[sjisPunctIndex(c)]});
            continue;
        }
        std::vector<int> fw = encode(cnv, 0xFF01 + (c - 0x21));
        // Pages without a full-width quote or accent take the closest
        // typographic form they have.
        if (fw.size() != 2 && c == '"') fw = encode(cnv, 0x201D);
        if (fw.size() != 2 && c == '\'') fw = encode(cnv, 0x2019);
        if (fw.size() != 2 && c == '`') fw = encode(cnv, 0x2035);
        if (fw.size() != 2) {
            fprintf(stderr, "gen_voz_ascii_tables: %s has no full-width "
                    "form of 0x%02X\n", converter, c);
            exit(1);
        }
        t.insert(t.end(), fw.begin(), fw.end());
    }
    ucnv_close(cnv);
    return t;
}

// Shift-JIS half-width bytes 0xA0..0xDF as full-width units.
std::vector<int> sjisHalfWidth() {
    UErrorCode e = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("Shift_JIS", &e);
    const UNormalizer2* nfkc = unorm2_getNFKCInstance(&e);
    if (U_FAILURE(e)) die("Shift_JIS/NFKC", e);
    std::vector<int> t = {0xA0, 0xFF};
    for (int b = 0xA1; b <= 0xDF; ++b) {
        if (b == 0xDE || b == 0xDF) {  // voiced marks: the spacing forms
            t.insert(t.end(), {0x81, b == 0xDE ? 0x4A : 0x4B});
            continue;
        }
        UChar half = static_cast<UChar>(0xFF61 + (b - 0xA1));
        UChar full[4];
        e = U_ZERO_ERROR;
        int32_t n = unorm2_normalize(nfkc, &half, 1, full, 4, &e);
        std::vector<int> fw;
        if (U_SUCCESS(e) && n == 1) fw = encode(cnv, full[0]);
        if (fw.size() != 2) {
            fprintf(stderr, "gen_voz_ascii_tables: no full-width form of "
                    "Shift-JIS 0x%02X\n", b);
            exit(1);
        }
        t.insert(t.end(), fw.begin(), fw.end());
    }
    ucnv_close(cnv);
    return t;
}

// Family 5: ASCII units (the character itself, folded for lower-case
// letters) with punctuation split into symbols and blanks.
std::vector<int> alt850Ascii() {
    std::vector<int> t;
    const std::string symbols = "#$%&*-@\\_";
    for (int c = 0x20; c <= 0x7F; ++c) {
        if (c >= '0' && c <= '9') t.insert(t.end(), {c, 6});
        else if (c >= 'A' && c <= 'Z') t.insert(t.end(), {c, 1});
        else if (c >= 'a' && c <= 'z') t.insert(t.end(), {c - 0x20, 2});
        else if (symbols.find(static_cast<char>(c)) != std::string::npos)
            t.insert(t.end(), {c, 4});
        else t.insert(t.end(), {c, 5});
    }
    return t;
}

std::vector<int> alt850Upper() {
    std::vector<int> t;
    for (int b = 0x80; b <= 0xFF; ++b) {
        bool letter = (b <= 0xA8) || (b >= 0xB5 && b <= 0xB7) || b == 0xC6 ||
                      b == 0xC7 || (b >= 0xD0 && b <= 0xD8) || b == 0xDE ||
                      (b >= 0xE0 && b <= 0xED);
        t.push_back(b == 0xFF ? 0xFF : letter ? 1 : 5);
    }
    return t;
}

}  // namespace

int main() {
    static Page p850{"cp850"}, p88591{"ISO-8859-1"}, p1252{"windows-1252"},
        p1250{"windows-1250"}, p1251{"windows-1251"}, p1253{"windows-1253"},
        p1254{"windows-1254"}, p1255{"windows-1255"}, p1256{"windows-1256"},
        p1257{"windows-1257"}, p1258{"windows-1258"}, p874{"windows-874"};
    for (Page* p : {&p850, &p88591, &p1252, &p1250, &p1251, &p1253, &p1254,
                    &p1255, &p1256, &p1257, &p1258, &p874})
        openPage(*p);

    std::vector<Range> ranges = {
        {"tblSBCS_2080", &p88591, 0x20, 0x7F, {}, {}},
        {"tbl850X_80FF", &p850, 0x80, 0xFF, {}, {}},
        {"tbl88591_A0FF", &p88591, 0xA0, 0xFF, {}, {}},
        {"tbl1252_809F", &p1252, 0x80, 0x9F, {}, {}},
        {"tbl1250_80FF", &p1250, 0x80, 0xFF, {}, {}},
        {"tbl1251_80FF", &p1251, 0x80, 0xFF, {}, {}},
        {"tbl1253_80FF", &p1253, 0x80, 0xFF, {}, {}},
        {"tbl1254_A0FF", &p1254, 0xA0, 0xFF, {}, {}},
        {"tbl1255_80FF", &p1255, 0x80, 0xFF, {}, {}},
        {"tbl1256_80FF", &p1256, 0x80, 0xFF, {}, {}},
        {"tbl1257_80FF", &p1257, 0x80, 0xFF, {}, {}},
        {"tbl1258_80FF", &p1258, 0x80, 0xFF, {}, {}},
        {"tbl874_A0FF", &p874, 0xA0, 0xFF, {}, {}},
    };
    for (Range& r : ranges) fillRange(r);
    applyFixedRows(ranges);

    printf("// GENERATED by tools/gen_voz_ascii_tables (rerun: sh "
           "tools/gen_voz_ascii_tables/run.sh); do not edit.\n"
           "// voz_cptab_ascii.cpp -- character and class-mark tables of the "
           "ASCII-based\n// code pages, made from ICU's tables of the "
           "published pages; change the\n// generator and rerun it.\n"
           "// Values reach disk through the index keys.\n"
           "#include \"characters/voz_norm_ascii.hpp\"\n#include \"characters/voz_norm_dbcs.hpp\"\n");
    for (const Range& r : ranges) {
        int n = r.high - r.low + 1;
        printf("\n// %s: bytes 0x%02X-0x%02X (%s)\n", r.name.c_str(), r.low,
               r.high, r.page->converter);
        std::string c = "const uint8_t " + r.name + "_char[" +
                        std::to_string(n) + "]";
        std::string m = "const uint8_t " + r.name + "_mark[" +
                        std::to_string(n) + "]";
        printBytes(c.c_str(), r.chars);
        printBytes(m.c_str(), r.marks);
    }
    printf("\n// Family 5 (the second 850 family).\n");
    printPairs("const uint8_t Alt850_2080[96][2]", alt850Ascii());
    printBytes("const uint8_t Alt850_80FF[128]", alt850Upper());
    printf("\n// ASCII 0x20-0x7F of the double-byte pages.\n");
    printPairs("const uint8_t SJIS_2080[96][2]", dbcsAscii("Shift_JIS", false));
    printPairs("const uint8_t big5_2080[96][2]", dbcsAscii("Big5", false));
    printPairs("const uint8_t KOKR_2080[96][2]", dbcsAscii("windows-949", true));
    printPairs("const uint8_t SCHN_2080[96][2]", dbcsAscii("windows-936", false));
    printf("\n// Shift-JIS half-width 0xA0-0xDF as full-width units.\n");
    printPairs("const uint8_t tblA0E0[64][2]", sjisHalfWidth());
    return 0;
}
