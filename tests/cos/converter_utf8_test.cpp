// Randomized tests of the UCS-2 to UTF-8 conversion, whose ASCII runs take
// a path of their own: texts that mix long and short ASCII runs with other
// characters, surrogates (paired and alone) and noncharacters, converted
// whole and into targets of every size around the text's, against a
// one-character-at-a-time model; where the text is well formed, ICU is the
// oracle of the full conversion.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <random>
#include <string>

#include "converter_test_util.hpp"
#include "cos_converter.hpp"
#include "ti_test_util.hpp"

using namespace convtest;

namespace {

// What the conversion must give: characters one at a time; a lone
// surrogate or a noncharacter is U+FFFF; a character that does not fit
// stops the conversion (too big) before it; an odd last byte is incomplete.
Outcome model(std::u16string const& text, bool oddByte, size_t room) {
    Outcome o;
    size_t i = 0;
    bool stopped = false;
    while (i < text.size()) {
        uint32_t v = text[i];
        size_t units = 1;
        if (v >= 0xD800 && v <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            v = 0x10000 + ((v - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            units = 2;
        }
        if ((units == 1 && v >= 0xD800 && v <= 0xDFFF) || (v >= 0xFDD0 && v <= 0xFDEF) ||
            (v & 0xFFFE) == 0xFFFE)
            v = 0xFFFF;
        std::string bytes;
        if (v < 0x80) {
            bytes += static_cast<char>(v);
        } else if (v < 0x800) {
            bytes += static_cast<char>(0xC0 | (v >> 6));
            bytes += static_cast<char>(0x80 | (v & 0x3F));
        } else if (v < 0x10000) {
            bytes += static_cast<char>(0xE0 | (v >> 12));
            bytes += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (v & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (v >> 18));
            bytes += static_cast<char>(0x80 | ((v >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (v & 0x3F));
        }
        if (o.out.size() + bytes.size() > room) {
            o.error = CosEnErrorId::CPCONVERTER_TOO_BIG;
            stopped = true;
            break;
        }
        o.out += bytes;
        i += units;
    }
    o.consumed = 2 * i;
    if (!stopped && oddByte) o.error = CosEnErrorId::CPCONVERTER_INCOMPLETE;
    return o;
}

// A text of runs: ASCII runs of 0 to 40 units between single characters
// drawn from the other classes.
std::u16string randomText(std::mt19937& rng, bool& wellFormed) {
    std::u16string s;
    wellFormed = true;
    size_t runs = rng() % 12;
    for (size_t r = 0; r < runs; ++r) {
        size_t n = rng() % 41;
        for (size_t k = 0; k < n; ++k) s += static_cast<char16_t>(rng() % 0x80);
        switch (rng() % 8) {
            case 0: s += static_cast<char16_t>(0x80 + rng() % 0x780); break;    // two bytes
            case 1: s += static_cast<char16_t>(0x800 + rng() % 0xC800); break;  // three bytes
            case 2:                                                             // a pair
                s += static_cast<char16_t>(0xD800 + rng() % 0x400);
                s += static_cast<char16_t>(0xDC00 + rng() % 0x400);
                break;
            case 3:  // a lone high or low surrogate
                s += static_cast<char16_t>(0xD800 + rng() % 0x800);
                wellFormed = false;
                break;
            case 4:  // a noncharacter
                s += static_cast<char16_t>(rng() % 2 ? 0xFDD0 + rng() % 0x20 : 0xFFFE + rng() % 2);
                wellFormed = false;
                break;
            case 5: s += u'\u007F'; break;  // the last one-byte unit
            case 6: s += u'\u0080'; break;  // the first two-byte unit
            default: break;
        }
    }
    return s;
}

}  // namespace

TEST(ConverterUtf8, FromUcs2AgreesWithTheModelAtEveryTargetSize) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    CosClUnicode2CodePageConverter conv{CosClCCSID(1208)};
    ASSERT_TRUE(conv.isSupported());
    UErrorCode status = U_ZERO_ERROR;
    UConverter* icu = ucnv_open("UTF-8", &status);
    ASSERT_TRUE(U_SUCCESS(status));
    for (int round = 0; round < 400; ++round) {
        bool wellFormed = true;
        std::u16string text = randomText(rng, wellFormed);
        bool odd = rng() % 5 == 0;
        std::string in = ucs2(text);
        if (odd) in += static_cast<char>(rng() % 0x80);
        Outcome whole = model(text, odd, SIZE_MAX);
        Outcome full = runFull(conv, in);
        ASSERT_EQ(full.out, whole.out) << "seed " << seed << " round " << round;
        ASSERT_EQ(full.consumed, whole.consumed) << "seed " << seed << " round " << round;
        ASSERT_EQ(full.error, whole.error) << "seed " << seed << " round " << round;
        if (wellFormed && !odd) {
            std::string want(text.size() * 3 + 1, '\0');
            status = U_ZERO_ERROR;
            int32_t n = ucnv_fromUChars(icu, &want[0], static_cast<int32_t>(want.size()),
                                        reinterpret_cast<UChar const*>(text.data()),
                                        static_cast<int32_t>(text.size()), &status);
            ASSERT_TRUE(U_SUCCESS(status));
            want.resize(static_cast<size_t>(n));
            ASSERT_EQ(full.out, want) << "seed " << seed << " round " << round;
        }
        // Targets short of the whole output stop exactly where the model
        // stops, and write nothing past their end.
        for (int k = 0; k < 6 && !whole.out.empty(); ++k) {
            size_t room = rng() % whole.out.size();
            Outcome part = run(conv, in, static_cast<unsigned int>(room));
            Outcome want = model(text, odd, room);
            ASSERT_EQ(part.out, want.out) << "seed " << seed << " room " << room;
            ASSERT_EQ(part.consumed, want.consumed) << "seed " << seed << " room " << room;
            ASSERT_EQ(part.error, want.error) << "seed " << seed << " room " << room;
            ASSERT_TRUE(part.guardIntact) << "seed " << seed << " room " << room;
        }
    }
    ucnv_close(icu);
}
