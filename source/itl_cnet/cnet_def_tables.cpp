// cnet_def_tables.cpp -- the syntax tables of definition files: the
// character classes and marks of each code page's class, the head keyword
// and the relation keywords in their ASCII and EBCDIC spellings.
#include "cnet_def.hpp"

namespace {

#define CNET_ASCII_ROW {':', ':', '.', '*', '#', '(', ')'}
#define CNET_EBCDIC_ROW(c2) {0x7A, 0x7A, 0x4B, 0x5C, c2, 0x4D, 0x5D}

}  // namespace

const uint8_t CHARMARK_TBL[38][7] = {
    CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW,       // 0-3
    CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW,       // 4-7
    CNET_ASCII_ROW, CNET_ASCII_ROW,                                       // 8-9
    CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x7B),  // 10-12
    CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x7B),  // 13-15
    CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW,       // 16-19
    CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW,       // 20-23
    CNET_ASCII_ROW,                                                       // 24
    CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x7B),  // 25-27
    CNET_EBCDIC_ROW(0xEC), CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x7B),  // 28-30
    CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x7B), CNET_EBCDIC_ROW(0x63),  // 31-33
    CNET_ASCII_ROW, CNET_ASCII_ROW, CNET_ASCII_ROW,                       // 34-36
    {0, 0, 0, 0, 0, 0, 0},                                                // 37
};

namespace {

#define U8(s) reinterpret_cast<const uint8_t*>(s)

const uint8_t kWordsAscii[] = ":WORDS";
const uint8_t kWordsEbcdic[] = {0x7A, 0xE6, 0xD6, 0xD9, 0xC4, 0xE2, 0};

const RELSTRTBL w_g_tbl_ascii[] = {
    {U8(":SYNONYM"), 3, 1, 0},
    {U8(":RELATED"), 3, 2, 1},
    {nullptr, 0, 0, 0},
};
const RELSTRTBL inter_tbl_ascii[] = {
    {U8(".SYNONYM_OF"), 3, 1, 1},
    {U8(".RELATED_TO"), 3, 2, 1},
    {U8(".LOWER_THAN"), 2, 1, 1},
    {U8(".HIGHER_THAN"), 1, 1, 1},
    {nullptr, 0, 0, 0},
};

// The EBCDIC spelling of a keyword of ':', '.', '_' and capital letters.
struct EbcdicKeyword {
    uint8_t bytes[16];
    explicit EbcdicKeyword(const char* ascii) : bytes() {
        size_t i = 0;
        for (; ascii[i] != '\0'; ++i) {
            char c = ascii[i];
            uint8_t e = 0;
            if (c == ':') e = 0x7A;
            else if (c == '.') e = 0x4B;
            else if (c == '_') e = 0x6D;
            else if (c >= 'A' && c <= 'I') e = static_cast<uint8_t>(0xC1 + (c - 'A'));
            else if (c >= 'J' && c <= 'R') e = static_cast<uint8_t>(0xD1 + (c - 'J'));
            else if (c >= 'S' && c <= 'Z') e = static_cast<uint8_t>(0xE2 + (c - 'S'));
            bytes[i] = e;
        }
        bytes[i] = 0;
    }
};

const EbcdicKeyword kSynonym(":SYNONYM"), kRelated(":RELATED"),
    kSynonymOf(".SYNONYM_OF"), kRelatedTo(".RELATED_TO"),
    kLowerThan(".LOWER_THAN"), kHigherThan(".HIGHER_THAN");

const RELSTRTBL w_g_tbl_ebcdic[] = {
    {kSynonym.bytes, 3, 1, 0},
    {kRelated.bytes, 3, 2, 1},
    {nullptr, 0, 0, 0},
};
const RELSTRTBL inter_tbl_ebcdic[] = {
    {kSynonymOf.bytes, 3, 1, 1},
    {kRelatedTo.bytes, 3, 2, 1},
    {kLowerThan.bytes, 2, 1, 1},
    {kHigherThan.bytes, 1, 1, 1},
    {nullptr, 0, 0, 0},
};

}  // namespace

bool cnetDefIsEbcdic(uint8_t codepage) {
    return (codepage >= 10 && codepage <= 15) || (codepage >= 25 && codepage <= 33);
}

const uint8_t* cnetDefWordsKeyword(uint8_t codepage) {
    return cnetDefIsEbcdic(codepage) ? kWordsEbcdic : kWordsAscii;
}

const RELSTRTBL* cnetDefBlockTable(uint8_t codepage) {
    return cnetDefIsEbcdic(codepage) ? w_g_tbl_ebcdic : w_g_tbl_ascii;
}

const RELSTRTBL* cnetDefLineTable(uint8_t codepage) {
    return cnetDefIsEbcdic(codepage) ? inter_tbl_ebcdic : inter_tbl_ascii;
}

bool cnetDefIsEol(uint8_t codepage, uint8_t c) {
    if (cnetDefIsEbcdic(codepage)) return c == 0x0D || c == 0x25 || c == 0x15;
    return c == 0x0A || c == 0x0D;
}

bool cnetDefIsLf(uint8_t codepage, uint8_t c) {
    if (cnetDefIsEbcdic(codepage)) return c == 0x15 || c == 0x25;
    return c == 0x0A;
}

// xisspace_ascii / xisspace_ebcdic
bool cnetDefIsSpace(uint8_t codepage, uint8_t c) {
    if (cnetDefIsEbcdic(codepage))
        return c == 0x40 || c == 0x15 || c == 0x25 || c == 0x05 || c == 0x0D ||
               c == 0x0C || c == 0x0B;
    return c == 0x20 || c == 0x0A || c == 0x09 || c == 0x0D || c == 0x0C || c == 0x0B;
}

bool cnetDefIsSep(uint8_t codepage, uint8_t c) {
    if (cnetDefIsSpace(codepage, c)) return true;
    if (cnetDefIsEbcdic(codepage)) return c <= 0x0D || (c >= 0x10 && c <= 0x3F);
    return c <= 0x1F || c == 0x7F;
}
