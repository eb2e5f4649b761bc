// cos_converter_tables.hpp - the constant conversion tables of the
// code-page converters and their lookup functions.
//
// The tables themselves are generated (tools/gen_cptables) into
// cos/cos_cptables_*.cpp from the published mappings of the code pages;
// every value is a UCS-2 code unit as a number (host order in memory).
// Undefined bytes, and characters that UCS-2 cannot hold, are U+FFFD.
#ifndef COS_CONVERTER_TABLES_HPP
#define COS_CONVERTER_TABLES_HPP

#include <cstdint>

// One single-byte code page: UCS-2 value of every byte.
struct _CosStSBCSConversionTable {
    uint32_t ulCCSID;           // code page number
    uint16_t ausValues[256];    // by source byte; U+FFFD = undefined
};

// One double-byte code page.  A character's value is
// ppusWards[aucWardIndex[first] - 1][second]; single-byte characters of a
// mixed code page sit in the ward of first byte 0x00 (ward 2).  Ward 1 is
// the undefined ward (all U+FFFD).  Related code pages share equal wards.
struct _CosStDBCSConversionTable {
    uint32_t ulCCSID;                   // code page number
    bool bIsEBCDIC;                     // shift codes 0x0E / 0x0F, not lead bytes
    bool bIsPure;                       // no single-byte characters at all
    uint16_t usWardCount;               // number of wards at ppusWards
    unsigned char aucWardIndex[256];    // 1-based ward number by first byte
    const uint16_t* const* ppusWards;   // the wards, 256 values each
    const unsigned char* paucLeadBytes; // non-zero = lead byte; null for EBCDIC
};

enum : unsigned {
    COS_SBCS_TABLE_COUNT = 49,
    COS_DBCS_TABLE_COUNT = 11,
    COS_REVERSE_850_SIZE = 256 + 9 * 256,  // page index + pages
    COS_REVERSE_500_SIZE = 256 + 4 * 256
};

extern const _CosStSBCSConversionTable gs_castConversionTablesSBCS2UCS2[COS_SBCS_TABLE_COUNT];
extern const _CosStDBCSConversionTable gs_castDBCSConversionTableEntries[COS_DBCS_TABLE_COUNT];

// UCS-2 to 850 and 500: a page index (256 bytes, 1-based page number by
// the high byte of the character), then pages of 256 bytes by the low byte.
// Page 1 is the unmapped page (0x7F for 850, 0x3F for 500).
extern const unsigned char gs_acConversionTable_13488_to_850[COS_REVERSE_850_SIZE];
extern const unsigned char gs_acConversionTable_13488_to_500[COS_REVERSE_500_SIZE];

// The 256 values of single-byte code page `ccsid`, or null when the library
// has no such table.
const uint16_t* cosGetSBCStoUCS2Table(uint32_t ccsid);

// The reverse table for UCS-2 to 850 or 500, else null.
const unsigned char* cosGetUCS2toSBCSTable(uint32_t ccsid);

// The double-byte table of `ccsid` with its EBCDIC flag in isEBCDIC, or
// null (isEBCDIC then untouched).
const _CosStDBCSConversionTable* cosGetDBCStoUCS2Table(uint32_t ccsid, bool& isEBCDIC);

#endif
