// Tests of CosClCCSID: the table, parsing by number and name, equality,
// flags, byte-order marks and the console CCSID.
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include "cos_ccsid.hpp"

namespace {

TEST(CCSIDTable, HasFourHundredThirtySortedRowsWithUnknownFirst) {
    unsigned int count = 0;
    _CosStCCSIDEntry const* table = CosClCCSID::getTable(&count);
    ASSERT_EQ(count, 430u);
    EXPECT_EQ(table[0].ulCCSID, 0u);
    EXPECT_STREQ(table[0].pszName, "???");
    EXPECT_EQ(table[0].ulFlags, 0u);
    const std::set<uint32_t> allowedFlags = {0, 1, 2, 5, 6, 8, 9, 10, 64};
    for (unsigned int i = 1; i < count; ++i) {
        EXPECT_LT(table[i - 1].ulCCSID, table[i].ulCCSID) << "row " << i;
        EXPECT_TRUE(allowedFlags.count(table[i].ulFlags)) << table[i].ulCCSID;
        EXPECT_GT(std::strlen(table[i].pszName), 0u);
    }
}

TEST(CCSIDTable, FlagGroupsHaveTheirSizes) {
    unsigned int count = 0;
    _CosStCCSIDEntry const* table = CosClCCSID::getTable(&count);
    std::map<uint32_t, int> perFlags;
    for (unsigned int i = 0; i < count; ++i) ++perFlags[table[i].ulFlags];
    EXPECT_EQ(perFlags[0], 3);
    EXPECT_EQ(perFlags[1], 170);
    EXPECT_EQ(perFlags[2], 80);
    EXPECT_EQ(perFlags[5], 29);
    EXPECT_EQ(perFlags[6], 15);
    EXPECT_EQ(perFlags[8], 3);
    EXPECT_EQ(perFlags[9], 84);
    EXPECT_EQ(perFlags[10], 40);
    EXPECT_EQ(perFlags[64], 6);
}

struct ParseCase {
    char const* text;
    uint32_t number;
    bool valid;
    char const* name;
};

TEST(CCSIDParse, NumbersAndNames) {
    const ParseCase cases[] = {
        {"1252", 1252, true, "1252"},
        {"037", 37, true, "37"},
        {"utf-8", 1208, true, "UTF-8"},
        {"UCS-2", 13488, true, "UCS-2"},          // first of three rows
        {"iso8859-1", 819, true, "ISO8859-1"},
        {"ucs-2l", 65501, true, "UCS-2L"},
        {"gb-18030", 1392, true, "GB-18030"},
        {"037", 37, true, "37"},
        {"cp33722", 954, true, "cp33722"},        // first row of that name
        {"???", 0, false, "???"},
        {"nonsense", 0, false, "???"},
        {"", 0, false, "???"},
        {"CP1252", 1252, false, "???"},           // number kept, row unknown
        {"65502", 65502, false, "???"},
        {"4133", 4133, true, "037"},
    };
    for (ParseCase const& c : cases) {
        CosClCCSID ccsid(c.text);
        EXPECT_EQ(ccsid.getCCSID(), c.number) << c.text;
        EXPECT_EQ(ccsid.isValid(), c.valid) << c.text;
        EXPECT_STREQ(ccsid.getName(), c.name) << c.text;
    }
}

TEST(CCSIDParse, UnknownRowFromTextHasNoFlagsEvenForAKnownNumber) {
    CosClCCSID ccsid("CCSID37");
    EXPECT_EQ(ccsid.getCCSID(), 37u);
    EXPECT_FALSE(ccsid.isEBCDIC());
    EXPECT_FALSE(ccsid.isSBCS());
    EXPECT_TRUE(CosClCCSID(37u).isEBCDIC());
}

TEST(CCSIDParse, HugeNumberDoesNotWrap) {
    CosClCCSID ccsid("99999999999999999999");
    EXPECT_FALSE(ccsid.isValid());
}

TEST(CCSIDEquality, FoldsOnly65501Onto13488) {
    EXPECT_TRUE(CosClCCSID(65501u) == 13488u);
    EXPECT_TRUE(CosClCCSID(13488u) == 65501u);
    EXPECT_TRUE(CosClCCSID(13488u) == CosClCCSID(65501u));
    EXPECT_FALSE(CosClCCSID(1200u) == 13488u);
    EXPECT_FALSE(CosClCCSID(65500u) == 13488u);
    EXPECT_TRUE(CosClCCSID(37u) != 500u);
}

// Fault mended: comparing with a CosEnCCSID value or an int was ambiguous
// (an error under clang and -pedantic-errors), and a number on the left
// compared through the built-in operator without the 65501 folding.
enum class OtherNumbering : short { ebcdic37 = 37 };

TEST(CCSIDEquality, EveryOperandTypeOnEitherSideFolds) {
    CosClCCSID const le(65501u);
    CosClCCSID const ucs2(CosClCCSID::CCSID_UCS2);
    EXPECT_TRUE(le == CosClCCSID::CCSID_UCS2);
    EXPECT_TRUE(CosClCCSID::CCSID_UCS2 == le);
    EXPECT_FALSE(le != CosClCCSID::CCSID_UCS2);
    EXPECT_FALSE(CosClCCSID::CCSID_UCS2 != le);
    EXPECT_TRUE(ucs2 == 65501);
    EXPECT_TRUE(65501 == ucs2);
    EXPECT_TRUE(13488L == le);
    EXPECT_TRUE(le == (unsigned long long)13488);
    EXPECT_TRUE(uint32_t(65501) == ucs2);
    EXPECT_TRUE(le == ucs2);
    EXPECT_TRUE(CosClCCSID(37u) == OtherNumbering::ebcdic37);
    EXPECT_TRUE(CosClCCSID(1200u) != CosClCCSID::CCSID_UCS2);
    EXPECT_TRUE(CosClCCSID::CCSID_UCS2_1200 != ucs2);
    // Numbers outside the 32-bit unsigned range equal no CCSID.
    EXPECT_FALSE(CosClCCSID(0xFFFFFFFFu) == -1);
    EXPECT_FALSE(CosClCCSID(0u) == 0x100000000LL);
    EXPECT_TRUE(-1 != CosClCCSID(0xFFFFFFFFu));
    // The conversion to the number still serves switches and sorting.
    switch (le) {
        case CosClCCSID::CCSID_UCS2_LITTLE_ENDIAN: break;
        default: ADD_FAILURE() << "switch on the number";
    }
    EXPECT_TRUE(ucs2 < le);
    // Plain numbers against named values keep the built-in comparison.
    uint32_t n = 65501;
    EXPECT_FALSE(n == CosClCCSID::CCSID_UCS2);
}

TEST(CCSIDFlags, RowsGiveTheirProperties) {
    struct { uint32_t n; bool ascii, ebcdic, sbcs, dbcs, ucs2; } const cases[] = {
        {37, false, true, true, false, false},
        {850, true, false, true, false, false},
        {930, false, true, false, true, false},
        {943, true, false, false, true, false},
        {1208, true, false, false, false, false},
        {65500, false, false, false, false, true},
        {806, false, false, true, false, false},
        {259, false, false, false, false, false},
        {12345, false, false, false, false, false},
    };
    for (auto const& c : cases) {
        CosClCCSID ccsid(c.n);
        EXPECT_EQ(ccsid.isASCII(), c.ascii) << c.n;
        EXPECT_EQ(ccsid.isEBCDIC(), c.ebcdic) << c.n;
        EXPECT_EQ(ccsid.isSBCS(), c.sbcs) << c.n;
        EXPECT_EQ(ccsid.isDBCS(), c.dbcs) << c.n;
        EXPECT_EQ(ccsid.isUCS2(), c.ucs2) << c.n;
    }
}

TEST(CCSIDFlags, ByteOrderTestsLookAtTheNumberOnly) {
    EXPECT_TRUE(CosClCCSID(65500u).isUCS2());
    EXPECT_TRUE(CosClCCSID(65500u).isUCS2BigEndian());
    EXPECT_FALSE(CosClCCSID(65500u).isUCS2HostEndian());
    for (uint32_t n : {65501u, 13488u, 17584u, 1200u, 61955u}) {
        EXPECT_TRUE(CosClCCSID(n).isUCS2HostEndian()) << n;
        EXPECT_TRUE(CosClCCSID(n).isUCS2LittleEndian()) << n;
    }
    EXPECT_FALSE(CosClCCSID(1208u).isUCS2HostEndian());
}

TEST(CCSIDFlags, NamesOfWellKnownRows) {
    EXPECT_STREQ(CosClCCSID(954u).getName(), "cp33722");
    EXPECT_STREQ(CosClCCSID(13242u).getName(), "cp33722");
    EXPECT_STREQ(CosClCCSID(61712u).getName(), "500");
    EXPECT_STREQ(CosClCCSID(18030u).getName(), "GB-18030");
    EXPECT_STREQ(CosClCCSID(65502u).getName(), "???");
    EXPECT_FALSE(CosClCCSID(0u).isValid());
}

TEST(CCSIDMarks, ByteOrderMarkGivesCCSID) {
    EXPECT_EQ(CosClCCSID::getCCSIDForUCS2EndianId("\xFE\xFF"), 65500u);
    EXPECT_EQ(CosClCCSID::getCCSIDForUCS2EndianId("\xFF\xFE"), 65501u);
    EXPECT_EQ(CosClCCSID::getCCSIDForUCS2EndianId("\xEF\xBB"), 0u);
}

// The default converter's CCSID, or 1208 when it has none. (This ICU is
// built for UTF-8 as the default code page, which cannot be changed at run
// time, so only that case is seen here.)
TEST(CCSIDConsole, IsTheDefaultConvertersAndStable) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(ucnv_getDefaultName(), &status);
    int32_t icu = cnv ? ucnv_getCCSID(cnv, &status) : -1;
    if (cnv) ucnv_close(cnv);
    uint32_t first = CosClCCSID::getConsoleCCSID();
    EXPECT_EQ(first, icu > 0 ? static_cast<uint32_t>(icu) : 1208u);
    EXPECT_EQ(CosClCCSID::getConsoleCCSID(), first);
    EXPECT_EQ(CosClCCSID::getSystemCCSID(), first);
}

}  // namespace
