// Tests of the code-page converters: the method each CCSID gets, the
// conversion methods on the cases that matter, every error identifier,
// the room checks and the maximum-size rules.
#include <iconv.h>
#include <unicode/ucnv.h>

#include "converter_test_util.hpp"
#include "cos_converter_methods.hpp"
#include "cos_converter_tables.hpp"
#include "cos_memmgr.hpp"

using convtest::Outcome;
using convtest::run;
using convtest::runFull;
using convtest::ucs2;
using convtest::units;
using namespace std::string_literals;

namespace {

typedef CosClConverterABase::CosPfuConvert Method;

// ---------------------------------------------------------------------------
// Method choice

TEST(ConverterChoice, TowardsUnicode) {
    struct { uint32_t ccsid; Method method; } const cases[] = {
        {65500, cosConvertByEndianSwap},
        {65501, cosConvertByCopying},
        {13488, cosConvertByCopying},
        {1200, cosConvertByCopying},
        {1208, cosConvertByAlgorithmUTF8toUCS2},
        {37, cosConvertByTablesSBCS_EBCDICtoUCS2},
        {850, cosConvertByTablesSBCS_ASCIItoUCS2},
        {819, cosConvertByTablesSBCS_ASCIItoUCS2},
        {930, cosConvertByTablesDBCS_EBCDICtoUCS2},
        {5026, cosConvertByTablesDBCS_EBCDICtoUCS2},
        {4930, cosConvertByTablesDBCS_EBCDICtoUCS2},
        {938, cosConvertByTablesDBCS_ASCIItoUCS2},
        {1394, cosConvertByTablesDBCS_ASCIItoUCS2},
        {943, cosConvertByAlgorithmIcuToUnicode},
        {936, cosConvertByAlgorithmIcuToUnicode},
        {954, cosConvertByAlgorithmIcuToUnicode},
        {18030, cosConvertByAlgorithmIcuToUnicode},
        {904, cosConvertByUsingIconv},
        {65502, cosConvertError},
        {4711, cosConvertError},
    };
    for (auto const& c : cases) {
        CosClCodePage2UnicodeConverter conv(c.ccsid);
        EXPECT_EQ(conv.getMethod(), c.method) << c.ccsid;
        EXPECT_EQ(conv.getTargetCCSID().getCCSID(), 13488u);
    }
}

TEST(ConverterChoice, FromUnicode) {
    struct { uint32_t ccsid; Method method; } const cases[] = {
        {819, cosConvertByAlgorithmUCS2to819},
        {500, cosConvertByTablesUCS2toSBCS},
        {850, cosConvertByTablesUCS2toSBCS},
        {13488, cosConvertByCopying},
        {65501, cosConvertByCopying},
        {65500, cosConvertByEndianSwap},
        {1208, cosConvertByAlgorithmUCS2toUTF8},
        {37, cosConvertByAlgorithmIcuFromUnicode},
        {18030, cosConvertByAlgorithmIcuFromUnicode},
        {904, cosConvertByUsingIconv},
        {65502, cosConvertError},
    };
    for (auto const& c : cases) {
        CosClUnicode2CodePageConverter conv(c.ccsid);
        EXPECT_EQ(conv.getMethod(), c.method) << c.ccsid;
    }
}

TEST(ConverterChoice, AliasesOpenTheirICUConverters) {
    struct { uint32_t ccsid; char const* icuName; } const cases[] = {
        {936, "cp1386"},
        {954, "cp33722"},
        {5488, "gb18030"},
        {18030, "gb18030"},
        {932, "sjis78"},
        {943, "cp943c"},
    };
    for (auto const& c : cases) {
        CosClCodePage2UnicodeConverter conv(c.ccsid);
        ASSERT_TRUE(conv.requiresExternalICUData()) << c.ccsid;
        // Compared by ICU's canonical names, which the aliases resolve to.
        UErrorCode status = U_ZERO_ERROR;
        UConverter* expected = ucnv_open(c.icuName, &status);
        ASSERT_TRUE(U_SUCCESS(status)) << c.icuName;
        EXPECT_STREQ(ucnv_getName(static_cast<UConverter*>(conv.getTable()), &status),
                     ucnv_getName(expected, &status)) << c.ccsid;
        ucnv_close(expected);
    }
}

TEST(ConverterChoice, UnsupportedConverterReportsOnEveryConversion) {
    CosClCodePage2UnicodeConverter conv(65502u);
    EXPECT_FALSE(conv.isSupported());
    EXPECT_TRUE(conv.requiresExternalICONVRoutine());
    EXPECT_FALSE(conv.requiresExternalICUData());
    EXPECT_EQ(conv.getError().id, CosEnErrorId::ICU_FILE_ACCESS_ERROR);  // why ICU failed
    char out[8];
    EXPECT_EQ(conv.convertBytes(out, sizeof out, "abc", 3), 0u);
    EXPECT_EQ(conv.getError().id, CosEnErrorId::CPCONVERTER_UNSUPPORTED);
    EXPECT_EQ(conv.getError().errClass, CosEnErrorClass::INCONSISTENT_SITUATION);
}

// A name without letters must not reach iconv, which takes it as the
// locale's code set: an unknown CCSID stays unsupported.
TEST(ConverterChoice, UnknownRowIsNotHandedToIconv) {
    CosClCodePage2UnicodeConverter toUnicode(CosClCCSID("X99999"));
    EXPECT_FALSE(toUnicode.isSupported());
    CosClUnicode2CodePageConverter fromUnicode(99999u);
    EXPECT_FALSE(fromUnicode.isSupported());
}

// ICU knows no 904, iconv does: the ICU open failure must not linger.
TEST(ConverterChoice, IcuOpenErrorIsClearedWhenIconvServes) {
    CosClCodePage2UnicodeConverter conv(904u);
    ASSERT_EQ(conv.getMethod(), cosConvertByUsingIconv);
    EXPECT_FALSE(conv.getError().isError());
    EXPECT_TRUE(conv.requiresExternalICONVRoutine());
}

TEST(ConverterChoice, ReTargetingReplacesTheMethod) {
    CosClCodePage2UnicodeConverter conv(1208u);
    conv.initNewCodePage2Unicode(943u);
    EXPECT_EQ(conv.getMethod(), cosConvertByAlgorithmIcuToUnicode);
    conv.initNewCodePage2Unicode(37u);
    EXPECT_EQ(conv.getMethod(), cosConvertByTablesSBCS_EBCDICtoUCS2);
    EXPECT_EQ(runFull(conv, "\xC1").out, ucs2(u"A"));
    conv.initNewCodePage2Unicode(65502u);
    EXPECT_FALSE(conv.isSupported());
}

TEST(ConverterChoice, CodePageToCodePageCombinesItsParts) {
    CosClCodePage2CodePageConverter conv(37u, 943u);
    EXPECT_TRUE(conv.isSupported());
    EXPECT_TRUE(conv.requiresExternalICUData());
    EXPECT_FALSE(conv.requiresExternalICONVRoutine());
    EXPECT_EQ(conv.getTargetCCSID().getCCSID(), 943u);
    CosClCodePage2CodePageConverter bad(37u, 65502u);
    EXPECT_FALSE(bad.isSupported());
    EXPECT_TRUE(bad.requiresExternalICONVRoutine());
    CosClCodePage2UTF8Converter utf8(850u);
    EXPECT_EQ(utf8.getTargetCCSID().getCCSID(), 1208u);
}

// ---------------------------------------------------------------------------
// Conversions: a table of input, converter, expected output and error.

struct Case {
    char const* what;
    uint32_t from, to;          // 13488 on one side picks the one-way classes
    std::string in, expected;
    size_t consumed;            // expected source bytes consumed
    CosEnErrorId error;
};

std::unique_ptr<CosClConverterABase> make(uint32_t from, uint32_t to) {
    if (to == 13488) return std::make_unique<CosClCodePage2UnicodeConverter>(from);
    if (from == 13488) return std::make_unique<CosClUnicode2CodePageConverter>(to);
    return std::make_unique<CosClCodePage2CodePageConverter>(from, to);
}

const CosEnErrorId kOk = CosEnErrorId::NO_ERROR;
const CosEnErrorId kIncomplete = CosEnErrorId::CPCONVERTER_INCOMPLETE;
const CosEnErrorId kTooBig = CosEnErrorId::CPCONVERTER_TOO_BIG;
const CosEnErrorId kInvalid = CosEnErrorId::CPCONVERTER_INVALID_SEQ;

TEST(ConverterCases, GiveTheirOutputConsumptionAndError) {
    const Case cases[] = {
        {"swap of an odd size", 65500, 13488, "\x00\x41\x30\x00\x7F"s, ucs2(u"A\u3000"), 4, kIncomplete},
        {"copy", 65501, 13488, ucs2(u"x\u20AC"), ucs2(u"x\u20AC"), 4, kOk},
        {"EBCDIC new line", 37, 13488, "\x15\xC1", ucs2(u"\nA"), 2, kOk},
        {"no new-line rule in ASCII", 819, 13488, "\x85", ucs2(u"\u0085"), 1, kOk},
        {"undefined byte", 1088, 13488, "\x81", ucs2(u"\uFFFD"), 1, kOk},
        {"819 truncates", 13488, 819, ucs2(u"\u0141\u00E9"), "\x41\xE9", 4, kOk},
        {"850 reverse", 13488, 850, ucs2(u"\u00E9\u20AC\uFF21\u263A"), "\x82\x7F\x41\x01", 8, kOk},
        {"500 reverse", 13488, 500, ucs2(u"A\u20AC\uFF21\u203E"), "\xC1\x3F\xC1\xBC", 8, kOk},
        {"odd UCS-2 to 850", 13488, 850, ucs2(u"A") + "\x42", "\x41", 2, kIncomplete},
        {"930 shifts", 930, 13488, "\x0E\x40\x40\x0F\xC1", ucs2(u"\u3000A"), 5, kOk},
        {"930 ends shifted out", 930, 13488, "\x0E\x40\x40", ucs2(u"\u3000"), 3, kIncomplete},
        {"930 first byte alone", 930, 13488, "\x0E\x40\x40\x40", ucs2(u"\u3000"), 3, kIncomplete},
        {"930 new line", 930, 13488, "\x15", ucs2(u"\n"), 1, kOk},
        {"4930 pure, no shift", 4930, 13488, "\x40\x40", ucs2(u"\u3000"), 2, kOk},
        {"5039 lead byte at the end", 5039, 13488, "A\x82", ucs2(u"A"), 1, kIncomplete},
        {"5039 katakana and kanji", 5039, 13488, "\xB1\x88\x9F", ucs2(u"\uFF71\u4E9C"), 3, kOk},
        {"301 non-lead byte", 301, 13488, "A", ucs2(u"\uFFFD"), 1, kOk},
        {"1394 JIS X 0213", 1394, 13488, "\x82\xA0\x5C", ucs2(u"\u3042\u00A5"), 3, kOk},
        {"UTF-8 euro", 1208, 13488, "\xE2\x82\xAC", ucs2(u"\u20AC"), 3, kOk},
        {"UTF-8 cut off", 1208, 13488, "a\xE2\x82", ucs2(u"a"), 1, kIncomplete},
        {"UTF-8 pair", 1208, 13488, "\xF0\x9F\x98\x80", ucs2(u"\U0001F600"), 4, kOk},
        {"UTF-8 stray continuation", 1208, 13488, "\x80" "a", ucs2(u"\uFFFDa"), 2, kOk},
        {"UTF-8 overlong", 1208, 13488, "\xC0\xAF", ucs2(u"\uFFFD\uFFFD"), 2, kOk},
        {"UTF-8 overlong 3", 1208, 13488, "\xE0\x80\xAF", ucs2(u"\uFFFD\uFFFD\uFFFD"), 3, kOk},
        {"UTF-8 surrogate", 1208, 13488, "\xED\xA0\x80", ucs2(u"\uFFFD\uFFFD\uFFFD"), 3, kOk},
        {"UTF-8 past U+10FFFF", 1208, 13488, "\xF4\x90\x80\x80", ucs2(u"\uFFFD\uFFFD\uFFFD\uFFFD"), 4, kOk},
        {"UTF-8 F8 lead", 1208, 13488, "\xF8\x88\x80\x80\x80", ucs2(u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"), 5, kOk},
        {"UTF-8 broken off", 1208, 13488, "\xE2\x82" "a", ucs2(u"\uFFFDa"), 3, kOk},
        {"to UTF-8 pair", 13488, 1208, ucs2(u"\U0001F600"), "\xF0\x9F\x98\x80", 4, kOk},
        {"to UTF-8 lone high", 13488, 1208, ucs2(u"\xD83D"), "\xEF\xBF\xBF", 2, kOk},
        {"to UTF-8 lone high before A", 13488, 1208, ucs2(u"\xD83D" "A"), "\xEF\xBF\xBF" "A", 4, kOk},
        {"to UTF-8 noncharacter", 13488, 1208, ucs2(u"\uFDD0\uFFFE"), "\xEF\xBF\xBF\xEF\xBF\xBF", 4, kOk},
        {"to UTF-8 odd", 13488, 1208, ucs2(u"\u00E9") + "x", "\xC3\xA9", 2, kIncomplete},
        {"equal CCSIDs copy", 37, 37, "\xC1\xC2", "\xC1\xC2", 2, kOk},
        {"65501 equals 13488", 65501, 13488, ucs2(u"ab"), ucs2(u"ab"), 4, kOk},
        {"37 to 850", 37, 850, "\xC1\x15\x9F", "A\n\xCF", 3, kOk},
        {"UTF-8 to 930 via ICU", 1208, 930, "A\xE3\x80\x80", "\xC1\x0E\x40\x40\x0F", 4, kOk},
        {"UTF-8 to 943", 1208, 943, "\xE3\x81\x82", "\x82\xA0", 3, kOk},
        {"UTF-8 cut off to 850", 1208, 850, "A\xC3", "A", 1, kIncomplete},
        {"UCS-2 to 37 by ICU", 13488, 37, ucs2(u"A\n"), "\xC1\x25", 4, kOk},
        {"936 is 1386", 936, 13488, "\xC4\xE3", ucs2(u"\u4F60"), 2, kOk},
        {"954 is 33722", 954, 13488, "\xA4\xA2", ucs2(u"\u3042"), 2, kOk},
        {"18030 four bytes", 18030, 13488, "\x81\x30\x81\x30", ucs2(u"\u0080"), 4, kOk},
        {"to 5488 four bytes", 13488, 5488, ucs2(u"\u0080"), "\x81\x30\x81\x30", 2, kOk},
        // The first stage stops at the invalid byte: what came before it
        // still reaches the target.
        {"invalid 904 byte to UTF-8", 904, 1208, "AB\x81" "C", "AB", 2, kInvalid},
        {"invalid UTF-8 to 904", 1208, 904, "AB\xE4\xB8\x80" "C", "AB", 2, kInvalid},
    };
    for (Case const& c : cases) {
        auto conv = make(c.from, c.to);
        ASSERT_TRUE(conv->isSupported()) << c.what;
        Outcome o = runFull(*conv, c.in);
        EXPECT_EQ(o.out, c.expected) << c.what;
        EXPECT_EQ(o.consumed, c.consumed) << c.what;
        EXPECT_EQ(o.error, c.error) << c.what;
        EXPECT_TRUE(o.guardIntact) << c.what;
    }
}

// Empty input may come as null pointers: every method writes nothing and
// reports nothing (and hands no null pointer to memcpy).
TEST(ConverterCases, EmptyInputWithNullPointers) {
    const std::pair<uint32_t, uint32_t> pairs[] = {
        {65501, 13488}, {65500, 13488}, {1208, 13488}, {37, 13488}, {930, 13488}, {943, 13488},
        {904, 13488}, {13488, 1208}, {13488, 850}, {13488, 819}, {13488, 37}, {13488, 65500},
        {37, 37}, {37, 1208}, {1208, 943}};
    for (auto const& p : pairs) {
        auto conv = make(p.first, p.second);
        char const* source = nullptr;
        EXPECT_EQ(conv->convertBytes(nullptr, 0, &source, 0), 0u) << p.first << "->" << p.second;
        EXPECT_EQ(conv->getError().id, kOk) << p.first << "->" << p.second;
        EXPECT_EQ(source, nullptr);
    }
}

TEST(ConverterCases, SourceAsPlainPointerGivesTheSameBytes) {
    CosClCodePage2CodePageConverter conv(1208u, 943u);
    char out[16];
    EXPECT_EQ(conv.convertBytes(out, sizeof out, "\xE3\x81\x82", 3), 2u);
    EXPECT_EQ(std::string(out, 2), "\x82\xA0");
}

TEST(ConverterCases, ByteOrderMarks) {
    EXPECT_TRUE(CosClConverterABase::isUCS2BigEndianId(CosClConverterABase::getUCS2BigEndianId()));
    EXPECT_TRUE(CosClConverterABase::isUCS2LittleEndianId(CosClConverterABase::getUCS2HostEndianId()));
    EXPECT_EQ(std::string(CosClConverterABase::getUCS2LittleEndianId(), 2), "\xFF\xFE");
    EXPECT_FALSE(CosClConverterABase::isUCS2BigEndianId("\xFF\xFE"));
}

TEST(ConverterCases, OneUtf8Character) {
    struct { char const* in; uint32_t value; } const cases[] = {
        {"A", 0x41}, {"\xC3\xA9", 0xE9}, {"\xE2\x82\xAC", 0x20AC}, {"\xF0\x9F\x98\x80", 0x1F600},
        {"\x80", 0xFFFD}, {"\xC0\x80", 0xFFFD}, {"\xED\xA0\x80", 0xFFFD}, {"\xF4\x90\x80\x80", 0xFFFD},
        {"\xE2\x82", 0xFFFD},  // cut off by the terminating zero, read no further
    };
    for (auto const& c : cases)
        EXPECT_EQ(CosClConverterABase::convertUtf8CharToUtf32(c.in), c.value) << c.in;
    EXPECT_EQ(CosClConverterABase::getUtf8TrailingBytes(0xE2), 2u);
    EXPECT_EQ(CosClConverterABase::getUtf8TrailingBytes(0xFC), 5u);
}

// ---------------------------------------------------------------------------
// Errors that need iconv or ICU to produce them.

TEST(ConverterErrors, IconvReportsItsFailures) {
    CosClUnicode2CodePageConverter conv(904u);
    ASSERT_EQ(conv.getMethod(), cosConvertByUsingIconv);
    Outcome bad = runFull(conv, ucs2(u"A\u4E00B"));
    EXPECT_EQ(bad.error, CosEnErrorId::CPCONVERTER_INVALID_SEQ);
    EXPECT_EQ(conv.getError().errClass, CosEnErrorClass::USER_DATA_ERROR);
    EXPECT_EQ(bad.out, "A");
    EXPECT_EQ(bad.consumed, 2u);
    Outcome small = run(conv, ucs2(u"ABC"), 2);
    EXPECT_EQ(small.error, kTooBig);
    EXPECT_EQ(small.out, "AB");
    EXPECT_EQ(small.consumed, 4u);
    Outcome odd = runFull(conv, ucs2(u"A") + "B");
    EXPECT_EQ(odd.error, kIncomplete);
    EXPECT_EQ(odd.out, "A");
}

// A converter whose iconv descriptor is not open.
class ClosedIconvConverter : public CosClCodePage2UnicodeConverter {
public:
    ClosedIconvConverter() : CosClCodePage2UnicodeConverter(904u) {
        deinit();
        m_pfuMethod = cosConvertByUsingIconv;
    }
    unsigned int getMaximumSizeForSize(unsigned int) const override { return 16; }
};

TEST(ConverterErrors, IconvBadDescriptor) {
    ClosedIconvConverter conv;
    Outcome o = runFull(conv, "abc");
    EXPECT_EQ(o.error, CosEnErrorId::CPCONVERTER_BAD_DESCR);
    EXPECT_EQ(conv.getError().errClass, CosEnErrorClass::INVALID_DATA);
    EXPECT_TRUE(o.out.empty());
}

TEST(ConverterErrors, IcuStatusesAreMapped) {
    CosClCodePage2UnicodeConverter conv(943u);
    Outcome cut = runFull(conv, "A\x82");
    EXPECT_EQ(cut.error, kIncomplete);          // ICU: truncated character
    EXPECT_EQ(cut.out, ucs2(u"A"));
    Outcome small = run(conv, "ABC", 2);
    EXPECT_EQ(small.error, kTooBig);            // ICU: buffer overflow
    EXPECT_EQ(small.out, ucs2(u"A"));
    EXPECT_TRUE(small.guardIntact);
    Outcome again = runFull(conv, "\x82\xA0");  // no leftovers of the failure
    EXPECT_EQ(again.error, kOk);
    EXPECT_EQ(again.out, ucs2(u"\u3042"));
}

// ---------------------------------------------------------------------------
// Room checks: every method, every target size short of the full output.
// The output is a prefix of the full one, nothing is written past the
// target, and continuing from where the source stopped gives the rest.

struct RoomCase {
    uint32_t from, to;
    std::string in;
};

TEST(ConverterRoom, UndersizedTargetsStopCleanly) {
    const RoomCase cases[] = {
        {65501, 13488, ucs2(u"abcd")},
        {65500, 13488, ucs2(u"abcd")},
        {37, 13488, "\xC1\xC2\x15\xC3"},
        {850, 13488, "abc\x82"},
        {930, 13488, "\xC1\x0E\x40\x40\x45\x41\x0F\xC2"},
        {4930, 13488, "\x40\x40\x88\x5F"},
        {948, 13488, "a\x81\x40\x81\x40" "b"},
        {1208, 13488, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z"},
        {943, 13488, "a\x82\xA0\x82\xA2" "b"},
        {904, 13488, "abcd"},
        {13488, 1208, ucs2(u"a\u00E9\u20AC\U0001F600z")},
        {13488, 850, ucs2(u"a\u00E9\u20ACz")},
        {13488, 819, ucs2(u"abc")},
        {13488, 65500, ucs2(u"abc")},
        {13488, 943, ucs2(u"a\u3042b\u3044")},
        {13488, 930, ucs2(u"a\u3000b")},
        {37, 37, "\xC1\xC2\xC3"},
        {1208, 850, "a\xC3\xA9\xC3\xA9z"},
        {37, 943, "\xC1\xC2\xC3"},
        {930, 1208, "\xC1\x0E\x40\x40\x0F\xC2"},
        {1208, 930, "a\xE3\x80\x80" "b"},
        {943, 1208, "a\x82\xA0\x82\xA2" "b"},
    };
    for (RoomCase const& c : cases) {
        auto conv = make(c.from, c.to);
        ASSERT_TRUE(conv->isSupported()) << c.from << "->" << c.to;
        Outcome full = runFull(*conv, c.in);
        ASSERT_EQ(full.error, kOk) << c.from << "->" << c.to;
        for (unsigned int size = 0; size < full.out.size(); ++size) {
            SCOPED_TRACE(std::to_string(c.from) + "->" + std::to_string(c.to) +
                         " target " + std::to_string(size));
            Outcome part = run(*conv, c.in, size);
            EXPECT_EQ(part.error, kTooBig);
            EXPECT_TRUE(part.guardIntact);
            ASSERT_LE(part.out.size(), size);
            EXPECT_EQ(part.out, full.out.substr(0, part.out.size()));
            // Stateless single-byte/UTF sources resume exactly; shifted
            // EBCDIC resumes in single-byte state, so only check the rest
            // where the source is not shifted.
            if (c.from == 930 || c.from == 4930) continue;
            Outcome rest = runFull(*conv, c.in.substr(part.consumed));
            EXPECT_EQ(part.out + rest.out, full.out);
        }
    }
}

// ---------------------------------------------------------------------------
// Maximum sizes cover the worst case of every target.

TEST(ConverterSizes, TargetsSizedByTheRulesAlwaysSuffice) {
    struct { uint32_t from, to; std::u16string text; } const cases[] = {
        {13488, 1392, u"\u0080\u0081\u00A5"},             // four bytes per unit
        {13488, 5488, u"\u0080"},
        {13488, 954, u"\u4E02\u4E04\u4E05"},              // three-byte EUC (JIS X 0212)
        {13488, 930, u"\u3000a\u3000b\u3000"},            // shift out/in around each
        {13488, 939, u"\u3000"},
        {13488, 1208, u"\u20AC\U0001F600\u0800"},
        {13488, 943, u"\u3042a"},
        {13488, 850, u"abc"},
        {13488, 65500, u"ab"},
        {1208, 1392, u"\u0080\U0001F600\u00E9"},
        {1208, 954, u"\u4E02x\u4E04"},
        {1208, 930, u"\u3000a\u3000"},
        {37, 1208, u"abc"},
        {1392, 1208, u"\u0080\U0001F600"},
        {850, 930, u"\u00E9a\u00E9"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + "->" + std::to_string(c.to));
        // The source text in the source code page.
        std::string source = ucs2(c.text);
        if (c.from != 13488) {
            CosClUnicode2CodePageConverter enc(c.from);
            source = runFull(enc, source).out;
        }
        auto conv = make(c.from, c.to);
        for (size_t n = 1; n <= c.text.size(); ++n) {
            // Repeating the text gives longer inputs with the same mix.
            std::string in;
            for (size_t i = 0; i < n; ++i) in += source;
            Outcome o = run(*conv, in, conv->getMaximumSizeForSize(static_cast<unsigned int>(in.size())));
            EXPECT_EQ(o.error, kOk) << "size rule, " << n;
            unsigned int chars = static_cast<unsigned int>(n * c.text.size());
            Outcome byLength = run(*conv, in, conv->getMaximumSizeForLength(chars));
            EXPECT_EQ(byLength.error, kOk) << "length rule, " << n;
        }
    }
}

TEST(ConverterSizes, RulesOfTheSimpleCases) {
    EXPECT_EQ(CosClCodePage2UnicodeConverter(37u).getMaximumSizeForSize(10), 20u);
    EXPECT_EQ(CosClCodePage2UnicodeConverter(65500u).getMaximumSizeForSize(10), 10u);
    EXPECT_EQ(CosClCodePage2UnicodeConverter(37u).getMaximumSizeForLength(10), 20u);
    EXPECT_EQ(CosClCodePage2UnicodeConverter(1392u).getMaximumSizeForLength(10), 40u);
    EXPECT_EQ(CosClUnicode2CodePageConverter(1208u).getMaximumSizeForSize(10), 15u);
    EXPECT_EQ(CosClUnicode2CodePageConverter(1208u).getMaximumSizeForLength(10), 50u);
    EXPECT_EQ(CosClUnicode2CodePageConverter(850u).getMaximumSizeForSize(10), 5u);
    EXPECT_EQ(CosClUnicode2CodePageConverter(13488u).getMaximumSizeForSize(10), 10u);
    EXPECT_EQ(CosClCodePage2CodePageConverter(37u, 37u).getMaximumSizeForSize(7), 7u);
    EXPECT_EQ(CosClCodePage2UnicodeConverter(37u).getMaximumSizeForSize(0xFFFFFFFFu), 0xFFFFFFFFu);
}

// ---------------------------------------------------------------------------
// The code-page-to-code-page buffer grows through the memory manager and
// keeps working across calls of different sizes.

TEST(ConverterCodePages, TemporaryBufferServesGrowingInputs) {
    CosClCodePage2CodePageConverter conv(37u, 1208u);
    for (size_t n : {1u, 100u, 40000u, 10u, 70000u}) {
        std::string in(n, '\xC1');
        Outcome o = runFull(conv, in);
        EXPECT_EQ(o.error, kOk);
        EXPECT_EQ(o.out, std::string(n, 'A'));
    }
}

// Memory for the temporary buffer comes from the memory manager: when it
// runs out, the conversion throws its out-of-memory exception and the
// converter stays usable once memory is back.
void* failingAllocator(unsigned int) { return nullptr; }

TEST(ConverterCodePages, TemporaryBufferAllocationFailureThrows) {
    CosClCodePage2CodePageConverter conv(37u, 1208u);
    CosClMemoryManager::setNewMemoryManager(failingAllocator, nullptr,
                                            CosClMemoryManager::systemDeallocator);
    bool thrown = false;
    try {
        char out[16];
        conv.convertBytes(out, sizeof out, "\xC1", 1);
    } catch (CosClExceptionFatal const& e) {
        thrown = true;
        EXPECT_EQ(e.getErrorClass(), CosEnErrorClass::OUT_OF_MEMORY);
    }
    CosClMemoryManager::setNewMemoryManager(CosClMemoryManager::systemAllocator,
                                            CosClMemoryManager::systemReallocator,
                                            CosClMemoryManager::systemDeallocator);
    EXPECT_TRUE(thrown);
    EXPECT_EQ(runFull(conv, "\xC1").out, "A");
}

}  // namespace
