// Tests of the normalisers: folding over the two settings, the factory's
// choice and reuse, Unicode normalisation in chunks against ICU's
// normalisation of the whole text, and the UTF-8 length answers.
#include <gtest/gtest.h>

#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <random>
#include <string>
#include <vector>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "itl_error.hpp"
#include "itl_normalization.hpp"
#include "ti_test_util.hpp"

namespace {

typedef std::u16string Text;

Text normalizeAll(ItlClNormalization const& n, Text const& in,
                  unsigned int capacity) {
  std::vector<unsigned short> out(capacity);
  unsigned int left = static_cast<unsigned int>(in.size());
  unsigned short const* src = reinterpret_cast<unsigned short const*>(in.data());
  unsigned int written = n.normalize(out.data(), capacity, src, left);
  return Text(reinterpret_cast<char16_t const*>(out.data()), written) +
         (left ? u"|" + in.substr(in.size() - left) : u"");
}

struct Owned {
  ItlClNormalization* p;
  explicit Owned(ItlClNormalization* n) : p(n) {}
  ~Owned() { ItlClNormalization::destroyNormalizer(p); }
  ItlClNormalization* operator->() const { return p; }
};

CosClLanguage const english("en");

TEST(ItlNormalization, FoldingOverTheTwoSettings) {
  struct Case {
    int32_t mode;
    bool umlaut, accent;
    Text in, out;
  } const cases[] = {
      {0, true, true, u"M\u00FC\u00DFe", u"Muesse"},
      {0, false, true, u"\u00E9", u"e"},
      {0, false, true, u"\u00FC\u00DF", u"\u00FC\u00DF"},
      {0, true, false, u"\u00FC", u"ue"},
      {0, true, false, u"\u00E9", u"\u00E9"},
      {0, true, true, u"\u0131\u0200\u0132\u01C4\u00E5", u"lAeIJDZaa"},
      {0, true, true, u"\u0234\u00BF", u"\u0234\u00BF"},  // outside the table
      {1, true, false, u"u\u0308", u"ue"},
      {1, true, true, u"M\u00FC\u00DFe", u"Muesse"},
      {1, false, true, u"e\u0301\u00FC", u"e\u00FC"},
      {2, false, true, u"\uFB01\u00E9", u"fie"},
  };
  for (Case const& c : cases) {
    Owned n(ItlClNormalization::createNormalizer(
        c.mode, c.umlaut, c.accent, CosClCCSID(1208), english));
    EXPECT_EQ(normalizeAll(*n.p, c.in, 32), c.out)
        << "mode " << c.mode << " umlaut " << c.umlaut << " accent " << c.accent;
  }
}

TEST(ItlNormalization, ExpansionThatDoesNotFitStaysUnconsumed) {
  for (int32_t mode : {0, 1}) {
    Owned n(ItlClNormalization::createNormalizer(mode, true, true,
                                                 CosClCCSID(13488), english));
    EXPECT_EQ(normalizeAll(*n.p, u"ab\u00C4c", 3), u"ab|\u00C4c") << mode;
    EXPECT_EQ(normalizeAll(*n.p, u"ab\u00C4c", 4), u"abAe|c") << mode;
  }
  Owned copy(ItlClNormalization::createDefaultNormalizer());
  EXPECT_EQ(normalizeAll(*copy.p, u"abcdef", 4), u"abcd|ef");
  EXPECT_EQ(copy->getNormalizeUnicodeFactor(), 1u);
}

TEST(ItlNormalization, FactoryChoosesByCcsidModeAndSettings) {
  struct Case {
    uint32_t ccsid;
    int32_t mode;
    bool umlaut, accent;
    bool made;
    uint32_t flags;
    int32_t unicodeMode;
  } const cases[] = {
      {819, 1, false, false, true, 0, 0},  // not Unicode text: mode ignored
      {819, 2, true, false, true, 4, 0},
      {1208, 3, false, false, false, 0, 0},
      {1208, 1, true, false, true, 5, 1},
      {1208, 2, false, false, true, 1, 2},
      {13488, 0, false, false, true, 0, 0},
      {1200, 1, false, true, true, 5, 1},
      {1208, 0, false, true, true, 4, 0},
  };
  for (Case const& c : cases) {
    ItlClNormalization* n = ItlClNormalization::createNormalizer(
        c.mode, c.umlaut, c.accent, CosClCCSID(c.ccsid), english);
    EXPECT_EQ(n != nullptr, c.made) << c.ccsid << "/" << c.mode;
    if (n != nullptr) {
      EXPECT_EQ(n->getKindFlags(), c.flags) << c.ccsid << "/" << c.mode;
      EXPECT_EQ(n->getUnicodeMode(), c.unicodeMode);
    }
    ItlClNormalization::destroyNormalizer(n);
  }
  ItlClNormalization::destroyNormalizer(nullptr);
}

TEST(ItlNormalization, ReuseOnlyWhenAFreshChoiceWouldBeTheSame) {
  CosClCCSID utf8(1208);
  ItlClNormalization* current =
      ItlClNormalization::createNormalizer(1, false, false, utf8, english);
  EXPECT_EQ(ItlClNormalization::createNormalizer(1, false, false, utf8, english,
                                                 current),
            current);
  // NFKC instead of NFC, or a table wanted: a new normaliser.
  current = ItlClNormalization::createNormalizer(2, false, false, utf8, english,
                                                 current);
  EXPECT_EQ(current->getUnicodeMode(), 2);
  current = ItlClNormalization::createNormalizer(2, true, false, utf8, english,
                                                 current);
  EXPECT_EQ(current->getKindFlags(), 5u);
  current = ItlClNormalization::createNormalizer(2, false, true, utf8, english,
                                                 current);
  ASSERT_NE(current->getTable(), nullptr);
  EXPECT_TRUE(current->getTable()->getAccentRemoval());
  EXPECT_FALSE(current->getTable()->getUmlautNormalization());
  // Another mode: null, and the current one is left alone.
  EXPECT_EQ(ItlClNormalization::createNormalizer(7, false, false, utf8, english,
                                                 current),
            nullptr);
  EXPECT_EQ(current->getKindFlags(), 5u);
  ItlClNormalization::destroyNormalizer(current);
}

TEST(ItlNormalization, ThaiGetsTheThaiNormaliserWhateverTheSettings) {
  CosClLanguage thai("th");
  ASSERT_EQ(static_cast<int>(thai.getLanguage()), 120);
  Owned current(ItlClNormalization::createDefaultNormalizer());
  current.p = ItlClNormalization::createNormalizer(7, true, true, CosClCCSID(1208),
                                                   thai, current.p);
  ASSERT_NE(current.p, nullptr);
  EXPECT_EQ(current.p->getKindFlags(), 2u);
  EXPECT_EQ(current.p->getNormalizeUnicodeFactor(), 2u);
  // Reused for Thai, whatever the settings.
  ItlClNormalization* before = current.p;
  current.p = ItlClNormalization::createNormalizer(1, false, false, CosClCCSID(1208),
                                                   thai, current.p);
  EXPECT_EQ(current.p, before);
  unsigned int bytes = 0;
  try {
    current.p->getNormalizedLength("a", bytes);
    FAIL() << "length of a Thai character given";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Function_not_supported);
    EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
    EXPECT_EQ(e.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(e.getSourceFile(), "source/itl_common/itl_normalization:1030");
  }
  // Another language replaces it.
  current.p = ItlClNormalization::createNormalizer(0, false, false, CosClCCSID(1208),
                                                   CosClLanguage("en"), current.p);
  EXPECT_EQ(current.p->getKindFlags(), 0u);
  EXPECT_EQ(normalizeAll(*current.p, u"ok", 4), u"ok");
}

// The expected output of a normaliser: ICU's normalisation of the whole
// text; with folding, the text cut at ICU's boundaries, each piece
// normalised alone and a piece of one unit folded by the table.
Text expectedOutput(UNormalizer2 const* icu, Text const& text,
                    ItlClNormalizationTable const* table) {
  UErrorCode status = U_ZERO_ERROR;
  auto normalizeIcu = [&](Text const& piece) {
    std::vector<UChar> out(piece.size() * 18 + 1);
    int32_t n = unorm2_normalize(icu, reinterpret_cast<UChar const*>(piece.data()),
                                 static_cast<int32_t>(piece.size()), out.data(),
                                 static_cast<int32_t>(out.size()), &status);
    return Text(reinterpret_cast<char16_t const*>(out.data()),
                static_cast<size_t>(n));
  };
  if (table == nullptr) return normalizeIcu(text);
  Text result;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start + (U16_IS_LEAD(text[start]) && start + 1 < text.size() ? 2 : 1);
    while (end < text.size()) {
      UChar32 c = text[end];
      if (U16_IS_LEAD(text[end]) && end + 1 < text.size())
        c = U16_GET_SUPPLEMENTARY(text[end], text[end + 1]);
      if (unorm2_hasBoundaryBefore(icu, c)) break;
      end += U16_LENGTH(c);
    }
    Text piece = normalizeIcu(text.substr(start, end - start));
    if (piece.size() == 1 && ItlClNormalizationTable::covers(piece[0])) {
      result += static_cast<char16_t>(table->first(piece[0]));
      if (table->second(piece[0]) != 0)
        result += static_cast<char16_t>(table->second(piece[0]));
    } else {
      result += piece;
    }
    start = end;
  }
  return result;
}

// Random texts of marks, Hangul, compatibility characters and surrogates,
// normalised in chunks of random capacity, concatenate to the expected
// output of the whole text; units past the capacity are never touched.
TEST(ItlNormalization, ChunksConcatenateToTheWholeText) {
  std::mt19937 rng(testSeed());
  char16_t const pool[] = {u'a', u'e', u'u', u'A', u' ', 0x0301, 0x0308, 0x0323,
                           0x0327, 0x1100, 0x1161, 0x11A8, 0xAC00, 0xFDFA,
                           0xFB01, 0x00C5, 0x212B, 0x1E0A, 0x0F73, 0x00FC,
                           0x00C4, 0x00DF, 0x0132, 0x01C4, 0x0200, 0x0233};
  UErrorCode status = U_ZERO_ERROR;
  UNormalizer2 const* icu[] = {unorm2_getNFCInstance(&status),
                               unorm2_getNFKCInstance(&status)};
  ASSERT_TRUE(U_SUCCESS(status));
  for (int round = 0; round < 600; ++round) {
    int32_t mode = 1 + round % 2;
    bool folding = round % 3 == 0;
    Text text;
    size_t size = rng() % 60;
    for (size_t i = 0; i < size; ++i) {
      if (rng() % 12 == 0) {
        text += u"\U0001D15E";  // a supplementary character with a decomposition
      } else {
        text += pool[rng() % (sizeof pool / sizeof *pool)];
      }
    }
    Owned n(ItlClNormalization::createNormalizer(mode, folding, folding,
                                                 CosClCCSID(13488), english));
    Text expected = expectedOutput(icu[mode - 1], text, n->getTable());
    Text out;
    unsigned int left = static_cast<unsigned int>(text.size());
    unsigned int capacity = 1 + rng() % 8;
    while (left > 0) {
      std::vector<unsigned short> buffer(capacity + 4, 0xBEEF);
      unsigned int before = left;
      unsigned short const* src = reinterpret_cast<unsigned short const*>(
          text.data() + (text.size() - left));
      unsigned int written = n->normalize(buffer.data(), capacity, src, left);
      for (unsigned int g = capacity; g < capacity + 4; ++g)
        ASSERT_EQ(buffer[g], 0xBEEF) << "guard overwritten, round " << round;
      ASSERT_LE(written, capacity);
      out.append(reinterpret_cast<char16_t const*>(buffer.data()), written);
      if (left == before) capacity += 4;  // the next piece needs more room
      else capacity = 1 + rng() % 8;
    }
    ASSERT_EQ(out, expected) << "round " << round << " mode " << mode
                             << " folding " << folding;
  }
}

TEST(ItlNormalization, NormalizedLengthOfUtf8Characters) {
  Owned nfc(ItlClNormalization::createNormalizer(1, false, false,
                                                 CosClCCSID(1208), english));
  Owned nfcTable(ItlClNormalization::createNormalizer(
      1, true, false, CosClCCSID(1208), english));
  Owned table(ItlClNormalization::createNormalizer(0, true, false,
                                                   CosClCCSID(1208), english));
  Owned accents(ItlClNormalization::createNormalizer(
      0, false, true, CosClCCSID(1208), english));
  Owned plain(ItlClNormalization::createNormalizer(0, false, false,
                                                   CosClCCSID(1208), english));
  struct Case {
    ItlClNormalization const* n;
    char const* text;
    unsigned offset;  // of the character within text
    unsigned bytes, units;
  } const cases[] = {
      {nfc.p, "a", 0, 1, 1},
      {nfc.p, "\xC3\xBC", 0, 2, 1},             // U+00FC
      {nfc.p, "u\xCC\x88", 1, 2, 0},            // U+0308 joins the u
      {nfc.p, "\xCC\x88", 0, 2, 1},             // a mark at the start: alone
      {nfc.p, "\xEF\xB7\xBA\xCC\x81", 3, 2, 1},  // U+FDFA then a mark
      {nfc.p, "\xF0\x9D\x85\x9E", 0, 4, 1},      // above U+FFFF
      {nfcTable.p, "u\xCC\x88", 1, 2, 1},        // u + mark = ue: one more
      {nfcTable.p, "\xC3\xBC", 0, 2, 2},
      {table.p, "\xC3\x84", 0, 2, 2},             // U+00C4 -> Ae
      {accents.p, "\xC3\x84", 0, 2, 1},
      {table.p, "\xFF", 0, 1, 1},                 // bad lead byte
      {table.p, "\xF8\x88\x80\x80\x80", 0, 5, 1},
      // Sequences cut short by the NUL or by a byte that continues
      // nothing: their bytes up to there, never past the terminator.
      {plain.p, "\x07\xE0", 1, 1, 1},
      {nfc.p, "\x07\xE0", 1, 1, 1},
      {nfcTable.p, "\xE6\x9D", 0, 2, 1},
      {table.p, "\xC3", 0, 1, 1},
      {accents.p, "\xF0\x9D\x85", 0, 3, 1},
      {nfc.p, "\xE6\x9D\x41", 0, 2, 1},
      {plain.p, "\xF8\x88\x80", 0, 3, 1},
  };
  for (Case const& c : cases) {
    unsigned int bytes = 0;
    EXPECT_EQ(c.n->getNormalizedLength(c.text, c.text + c.offset, bytes),
              c.units)
        << c.text;
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
  unsigned int bytes = 0;
  EXPECT_EQ(nfc->getNormalizedLength("\xCC\x88", bytes), 1u);
}

TEST(ItlNormalization, TableRowsAreKeptExactly) {
  ItlClNormalizationTable both(true, true);
  struct Row {
    uint16_t c, first, second;
  } const rows[] = {{0x00C4, 'A', 'e'}, {0x00DF, 's', 's'}, {0x00E5, 'a', 'a'},
                    {0x0131, 'l', 0},   {0x0200, 'A', 'e'}, {0x00D7, 0x00D7, 0},
                    {0x0233, 'y', 0},   {0x01C4, 'D', 'Z'}, {0x0192, 'f', 0}};
  for (Row const& r : rows) {
    EXPECT_EQ(both.first(r.c), r.first) << std::hex << r.c;
    EXPECT_EQ(both.second(r.c), r.second) << std::hex << r.c;
  }
  int one = 0, two = 0, same = 0;
  for (unsigned i = 0; i < ItlClNormalizationTable::ROWS; ++i) {
    uint16_t const* row = gs_castNormalisationTuples[i];
    ASSERT_EQ(row[0], ItlClNormalizationTable::FIRST + i);
    if (row[2] != 0) ++two;
    else if (row[1] == row[0]) ++same;
    else ++one;
  }
  EXPECT_EQ(one, 285);
  EXPECT_EQ(two, 46);
  EXPECT_EQ(same, 41);
  EXPECT_TRUE(both.utf8CharResultsInTwoCodePointsImp("\xC3\x9F"));
  EXPECT_FALSE(ItlClNormalizationTable(true, false).utf16CharResultsInTwoCodePoints(0xDF));
}

}  // namespace
