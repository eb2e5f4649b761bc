// Code-page-to-code-page conversion of real multilingual UTF-8 text (the
// help texts of a Debian package, in data/conv/) to 943, 1386 and 37 and
// back: every character that the target code page holds comes back
// unchanged, and a text that the target holds whole comes back byte for
// byte.
#include <fstream>
#include <sstream>

#include <unicode/ucnv.h>
#include <unicode/uset.h>
#include <unicode/utf8.h>

#include "converter_test_util.hpp"

using convtest::Outcome;
using convtest::run;
using convtest::runFull;

namespace {

std::string readFixture(char const* name) {
    std::ifstream in(std::string(TI_TEST_DATA) + "/conv/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<UChar32> codePoints(std::string const& utf8) {
    std::vector<UChar32> out;
    int32_t i = 0, n = static_cast<int32_t>(utf8.size());
    auto const* s = reinterpret_cast<uint8_t const*>(utf8.data());
    while (i < n) {
        UChar32 c;
        U8_NEXT(s, i, n, c);
        out.push_back(c);
    }
    return out;
}

// The characters that the target converts both ways (by ICU's converter
// for that code page).
USet* holdable(char const* icuName) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(icuName, &status);
    USet* set = uset_openEmpty();
    ucnv_getUnicodeSet(cnv, set, UCNV_ROUNDTRIP_SET, &status);
    EXPECT_TRUE(U_SUCCESS(status)) << icuName;
    ucnv_close(cnv);
    return set;
}

struct Target {
    uint32_t ccsid;
    char const* icuName;
};

const Target kTargets[] = {
    {943, "cp943c"},
    {1386, "cp1386"},
    {37, "cp37"},
};

const char* const kFiles[] = {"help.ja.txt", "help.zh_CN.txt", "help.de.txt", "help.ru.txt",
                              "help.el.txt"};

TEST(ConverterText, MultilingualTextRoundTripsWhereTheTargetHoldsIt) {
    for (Target const& t : kTargets) {
        USet* set = holdable(t.icuName);
        CosClCodePage2CodePageConverter there(1208u, t.ccsid);
        CosClCodePage2CodePageConverter back(t.ccsid, 1208u);
        for (char const* file : kFiles) {
            SCOPED_TRACE(std::to_string(t.ccsid) + " " + file);
            std::string text = readFixture(file);
            ASSERT_GT(text.size(), 1000u);
            Outcome encoded = runFull(there, text);
            ASSERT_EQ(encoded.error, CosEnErrorId::NO_ERROR);
            Outcome decoded = runFull(back, encoded.out);
            ASSERT_EQ(decoded.error, CosEnErrorId::NO_ERROR);
            std::vector<UChar32> before = codePoints(text), after = codePoints(decoded.out);
            ASSERT_EQ(before.size(), after.size());
            size_t held = 0, lost = 0;
            for (size_t i = 0; i < before.size(); ++i) {
                if (uset_contains(set, before[i])) {
                    ++held;
                    ASSERT_EQ(after[i], before[i]) << "character " << i;
                } else {
                    ++lost;
                }
            }
            if (lost == 0) {
                EXPECT_EQ(decoded.out, text);
            }
            std::printf("%-15s -> %5u: %zu characters held, %zu outside the code page\n", file,
                        t.ccsid, held, lost);
        }
        uset_close(set);
    }
}

// The Japanese text converts between two double-byte code pages without
// UCS-2 on either side (through the converter's temporary buffer), also in
// pieces cut by a small target.
TEST(ConverterText, DoubleByteToDoubleByteInPieces) {
    std::string text = readFixture("help.ja.txt");
    CosClCodePage2CodePageConverter toSjis(1208u, 943u);
    std::string sjis = runFull(toSjis, text).out;
    CosClCodePage2CodePageConverter toEuc(943u, 954u);
    CosClCodePage2CodePageConverter fromEuc(954u, 943u);
    Outcome whole = runFull(toEuc, sjis);
    ASSERT_EQ(whole.error, CosEnErrorId::NO_ERROR);
    std::string pieces;
    for (size_t at = 0; at < sjis.size();) {
        Outcome part = run(toEuc, sjis.substr(at), 101);
        ASSERT_TRUE(part.error == CosEnErrorId::NO_ERROR ||
                    part.error == CosEnErrorId::CPCONVERTER_TOO_BIG);
        ASSERT_GT(part.consumed, 0u);
        pieces += part.out;
        at += part.consumed;
    }
    EXPECT_EQ(pieces, whole.out);
    EXPECT_EQ(runFull(fromEuc, whole.out).out, sjis);
}

}  // namespace
