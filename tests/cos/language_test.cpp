// Languages and territories: parsing of language texts, the code and name
// lookups, printing and the number form.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "cos_language.hpp"

namespace {

using L = CosClLanguage;

std::string printed(L const& language) {
  std::ostringstream out;
  out << language;
  return out.str();
}

struct ParseCase {
  char const* text;
  char const* language;   // expected language code ("??" = invalid)
  char const* territory;  // expected short territory code
  char const* printed;
};

TEST(Language, ParsesTextsByTheTables) {
  ParseCase const cases[] = {
      {"en-US", "en", "us", "en-us"},
      {"en_us", "en", "us", "en-us"},
      {"EN", "en", "**", "en"},
      {"english", "??", "**", "??"},  // third character not a separator
      {"de-XX", "de", "??", "??"},    // unknown territory
      {"x-all", "**", "**", "**"},
      {"X-Unspecified", "**", "**", "**"},
      {"en-US.UTF-8", "en", "??", "??"},  // the territory is the whole rest
      {"pt_BR-x", "pt", "??", "??"},      // "-" is looked for first
      {"zu", "zu", "**", "zu"},
      {"he-IL", "he", "il", "he-il"},
      {"iw", "iw", "**", "iw"},
      {"e", "??", "**", "??"},  // too short: nothing beyond the end is read
      {"", "??", "**", "??"},
      {"qq", "??", "**", "??"},
      {"fr-fx", "fr", "fx", "fr-fx"},  // withdrawn codes are still there
  };
  for (ParseCase const& c : cases) {
    L language(c.text);
    EXPECT_STREQ(L::getLanguageCode(language.getLanguage()), c.language)
        << c.text;
    EXPECT_STREQ(L::getTerritoryCodeShort(language.getTerritory()), c.territory)
        << c.text;
    EXPECT_EQ(printed(language), c.printed) << c.text;
  }
}

TEST(Language, ExtractsShortLongAndIsoCodes) {
  char buffer[L::EXTRACT_BUFFER_SIZE];
  L us("en-US");
  EXPECT_STREQ(us.extractShortCode(buffer), "en-us");
  EXPECT_STREQ(us.extractLongCode(buffer), "en-usa");
  EXPECT_STREQ(us.extractISOShortCode(buffer), "en-us");
  EXPECT_STREQ(us.extractISOLongCode(buffer), "en-usa");

  L plain("EN");
  EXPECT_STREQ(plain.extractShortCode(buffer), "en-**");
  EXPECT_STREQ(plain.extractLongCode(buffer), "en-***");
  EXPECT_STREQ(plain.extractISOShortCode(buffer), "en");
  EXPECT_STREQ(plain.extractISOLongCode(buffer), "en");

  L unknown("de-XX");
  EXPECT_STREQ(unknown.extractISOShortCode(buffer), "de");
  EXPECT_STREQ(unknown.extractISOLongCode(buffer), "de");
  EXPECT_STREQ(unknown.extractShortCode(buffer), "de-??");

  L romania("ro-RO");
  EXPECT_STREQ(romania.extractLongCode(buffer), "ro-rom");
}

TEST(Language, NumberFormRoundTrips) {
  for (char const* text : {"en-US", "x-all", "de-XX", "english", "zh_tw"}) {
    L language(text);
    L copy(language.asNumber());
    EXPECT_EQ(copy.getLanguage(), language.getLanguage()) << text;
    EXPECT_EQ(copy.getTerritory(), language.getTerritory()) << text;
  }
  L us("en-us");
  EXPECT_EQ(us.asNumber(),
            (unsigned)(L::CosEnLanguage_en << 16 | L::CosEnTerritory_us));
}

TEST(Language, LookupsAnswerInvalidIndexes) {
  EXPECT_EQ(L::getNumberOfLanguagesSupported(), 143u);
  EXPECT_EQ(L::getNumberOfTerritoriesSupported(), 242u);
  EXPECT_STREQ(L::getLanguageCode(L::CosEnLanguageInvalid), "??");
  EXPECT_STREQ(L::getLanguageName(L::CosEnLanguageInvalid), "??");
  EXPECT_STREQ(L::getTerritoryCodeShort(L::CosEnTerritoryInvalid), "??");
  EXPECT_STREQ(L::getTerritoryCodeLong(L::CosEnTerritoryInvalid), "??");
  EXPECT_STREQ(L::getTerritoryName(L::CosEnTerritoryInvalid), "??");
  EXPECT_EQ(L::getTerritoryIdNumber(L::CosEnTerritoryInvalid), -1);
  EXPECT_EQ(L::langCode2Enum(nullptr), L::CosEnLanguageInvalid);
  EXPECT_EQ(L::territoryCodeShort2Enum("usa"), L::CosEnTerritoryInvalid);
  // A number whose halves are out of range prints as invalid.
  EXPECT_EQ(printed(L(0xFFFF0001u)), "??");
}

TEST(Language, RowsNamedInTheTablesAreThere) {
  EXPECT_STREQ(L::getLanguageName(L::langCode2Enum("he")), "Hebrew");
  EXPECT_STREQ(L::getLanguageName(L::langCode2Enum("IW")), "Hebrew");
  EXPECT_STREQ(L::getLanguageName(L::langCode2Enum("bn")), "Bengali;Bangla");
  EXPECT_STREQ(L::getLanguageName(L::langCode2Enum("nb")),
               "Norwegian (Bokmal)");
  EXPECT_STREQ(L::getLanguageName(L::CosEnLanguageUnspecified), "Unspecified");
  EXPECT_STREQ(L::getTerritoryCodeLong(L::CosEnTerritoryUnspecified), "***");
  L::CosEnTerritory aa = L::territoryCodeShort2Enum("aa");
  EXPECT_STREQ(L::getTerritoryCodeLong(aa), "ara");
  EXPECT_EQ(L::getTerritoryIdNumber(aa), 0);
  L::CosEnTerritory sp = L::territoryCodeShort2Enum("SP");
  EXPECT_STREQ(L::getTerritoryName(sp), "Serbia");
  EXPECT_STREQ(L::getTerritoryCodeLong(sp), "ser");
  L::CosEnTerritory us = L::territoryCodeShort2Enum("us");
  EXPECT_EQ(L::getTerritoryIdNumber(us), 840);
  EXPECT_STREQ(L::getTerritoryName(L::territoryCodeShort2Enum("kp")),
               "Korea North");
  EXPECT_STREQ(L::getTerritoryName(L::territoryCodeShort2Enum("zr")), "Zaire");
}

// Every code is found at its own row: the tables are sorted for the binary
// search and the enumerators agree with the rows.
TEST(Language, EveryCodeIsFoundAtItsOwnRow) {
  for (unsigned i = 0; i < L::getNumberOfLanguagesSupported(); ++i) {
    auto language = static_cast<L::CosEnLanguage>(i);
    char const* code = L::getLanguageCode(language);
    EXPECT_EQ(strlen(code), 2u) << i;
    EXPECT_EQ(L::langCode2Enum(code), language) << code;
    if (i > 0) {
      EXPECT_LT(strcmp(L::getLanguageCode(static_cast<L::CosEnLanguage>(i - 1)),
                       code),
                0)
          << code;
    }
  }
  for (unsigned i = 0; i < L::getNumberOfTerritoriesSupported(); ++i) {
    auto territory = static_cast<L::CosEnTerritory>(i);
    char const* code = L::getTerritoryCodeShort(territory);
    EXPECT_EQ(strlen(code), 2u) << i;
    EXPECT_EQ(strlen(L::getTerritoryCodeLong(territory)), 3u) << code;
    EXPECT_EQ(L::territoryCodeShort2Enum(code), territory) << code;
  }
  EXPECT_STREQ(L::getLanguageCode(L::CosEnLanguage_zu), "zu");
  EXPECT_STREQ(L::getTerritoryCodeShort(L::CosEnTerritory_zw), "zw");
}

}  // namespace
