// Tests of the attribute-value mapping functions: the table of date and
// number texts, the coded date, the language and argument checks, a
// caller's callback and a randomized round trip of dates written in every
// accepted order and separator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "api_index_env.hpp"
#include "itl_api.h"

namespace {

std::u16string u16(std::string const& s) {
  return std::u16string(s.begin(), s.end());
}
ItlTyUTF16Unit const* units(std::u16string const& s) {
  return reinterpret_cast<ItlTyUTF16Unit const*>(s.data());
}

class AttributeMap : public ::testing::Test {
 protected:
  ItlEnReturnCode date(std::string const& text, uint16_t& d, uint16_t& m,
                       uint16_t& y, char const* language = "en_US") {
    std::u16string v = u16(text);
    return itlAttributeMapDate(search, units(v),
                               static_cast<uint32_t>(v.size()), language, &d,
                               &m, &y);
  }
  ItlEnReturnCode number(std::string const& text, double& value,
                         char const* language = "en_US") {
    std::u16string v = u16(text);
    return itlAttributeMapNumber(search, units(v),
                                 static_cast<uint32_t>(v.size()), language,
                                 &value);
  }
  double code(uint16_t d, uint16_t m, uint16_t y) {
    double coded = -1;
    EXPECT_EQ(itlAttributeCodeDate(search, d, m, y, &coded), 0);
    return coded;
  }

  apifix::Env env{"api_attribute_map"};
  ItlTyIndexSearchHandle search = env.openSearch();
};

TEST_F(AttributeMap, DateTexts) {
  struct Case {
    char const* text;
    uint16_t day, month, year;
  } const valid[] = {{"2010-05-04", 4, 5, 2010},
                     {"04.05.2010", 4, 5, 2010},
                     {"05/04/2010", 4, 5, 2010},
                     {" 2010 - 05 - 04 ", 4, 5, 2010},
                     {"10-05-04", 4, 5, 10},
                     {"4.5.10", 4, 5, 10},
                     {"5/4/10", 4, 5, 10},
                     {"04-05-2010", 4, 5, 2010}};
  for (Case const& c : valid) {
    uint16_t d = 0, m = 0, y = 0;
    EXPECT_EQ(date(c.text, d, m, y), 0) << c.text << " " << env.reason();
    EXPECT_EQ(std::make_tuple(d, m, y), std::make_tuple(c.day, c.month, c.year))
        << c.text;
  }
  for (char const* text : {"2010-13-01", "2010-05/04", "2010-05-04x", "abc",
                           "", "2010-05-00", "2010-05-32", "0000-05-04",
                           "2010-05"}) {
    uint16_t d = 0, m = 0, y = 0;
    EXPECT_EQ(date(text, d, m, y), 8) << text;
    EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_date_attribute) << text;
    EXPECT_EQ(itlErrorInfoGetAction(env.ei), ItlEnErrorAction_Inform);
  }
}

TEST_F(AttributeMap, NumberTexts) {
  struct Case {
    char const* text;
    double value;
  } const valid[] = {{"12", 12},       {"-3.25", -3.25}, {".5", 0.5},
                     {"1 000", 1000},  {"EUR 12", 12},   {"12  ", 12},
                     {"0", 0}};
  for (Case const& c : valid) {
    double v = -99;
    EXPECT_EQ(number(c.text, v), 0) << c.text << " " << env.reason();
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
  for (char const* text : {"abc", "-", ""}) {
    double v = 0;
    EXPECT_EQ(number(text, v), 8) << text;
    EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_number_attribute) << text;
  }
}

TEST_F(AttributeMap, CodedDates) {
  EXPECT_EQ(code(31, 12, 9999), 99991231.0);
  EXPECT_EQ(code(0, 0, 0), 0.0);
  EXPECT_EQ(code(4, 5, 2010), 20100504.0);
  // The largest parts still fit the unsigned 32-bit arithmetic.
  EXPECT_EQ(code(65535, 65535, 65535), 65535.0 * 10000 + 65535.0 * 100 + 65535);
  EXPECT_EQ(itlAttributeCodeDate(search, 1, 1, 1, nullptr), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_argument);
  double coded = 0;
  EXPECT_EQ(itlAttributeCodeDate(nullptr, 1, 1, 1, &coded), 16);
}

TEST_F(AttributeMap, LanguageAndArgumentChecks) {
  uint16_t d = 0, m = 0, y = 0;
  // An unknown language is refused even for a valid date.
  EXPECT_EQ(date("2010-05-04", d, m, y, "zz"), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_language);
  EXPECT_EQ(env.context(), "Document language: zz");
  double v = 0;
  EXPECT_EQ(number("12", v, "de_XX"), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_language);
  EXPECT_EQ(env.context(), "Document language: de_XX");
  // The next success shows no trace of it.
  EXPECT_EQ(number("12", v, "de_DE"), 0);
  EXPECT_EQ(itlErrorInfoGetReturnCode(env.ei), 0);

  std::u16string text = u"2010-05-04";
  ItlTyUTF16Unit const* t = units(text);
  uint32_t n = static_cast<uint32_t>(text.size());
  struct Call {
    char const* what;
    ItlEnReturnCode rc;
  } const calls[] = {
      {"value", itlAttributeMapDate(search, nullptr, n, "en_US", &d, &m, &y)},
      {"language", itlAttributeMapDate(search, t, n, nullptr, &d, &m, &y)},
      {"day", itlAttributeMapDate(search, t, n, "en_US", nullptr, &m, &y)},
      {"month", itlAttributeMapDate(search, t, n, "en_US", &d, nullptr, &y)},
      {"year", itlAttributeMapDate(search, t, n, "en_US", &d, &m, nullptr)},
      {"number value", itlAttributeMapNumber(search, nullptr, n, "en_US", &v)},
      {"number language", itlAttributeMapNumber(search, t, n, nullptr, &v)},
      {"number out", itlAttributeMapNumber(search, t, n, "en_US", nullptr)},
  };
  for (Call const& c : calls) EXPECT_EQ(c.rc, 8) << c.what;
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(itlAttributeMapDate(nullptr, t, n, "en_US", &d, &m, &y), 16);
  EXPECT_EQ(itlAttributeMapNumber(nullptr, t, n, "en_US", &v), 16);
}

struct Seen {
  std::string language, territory;
  void* user = nullptr;
  unsigned length = 99;
};

bool dateCallback(unsigned short const*, unsigned int length,
                  char const* language, char const* territory, void* user,
                  unsigned short* day, unsigned short* month,
                  unsigned short* year, bool* valid, unsigned int* count) {
  Seen& seen = *static_cast<Seen*>(user);
  seen.language = language;
  seen.territory = territory;
  seen.user = user;
  seen.length = length;
  *day = 1;
  *month = 2;
  *year = 3;
  *count = length;
  *valid = length != 0;  // an empty text: true without the valid flag
  return true;
}

bool numberCallback(unsigned short const*, unsigned int length, char const*,
                    char const*, void* user, double* value, bool* valid,
                    unsigned int* count) {
  static_cast<Seen*>(user)->length = length;
  *value = 42;
  *count = length;
  *valid = true;
  return length != 0;
}

TEST_F(AttributeMap, RegisteredCallbacksServeInstead) {
  Seen seen;
  ASSERT_EQ(itlContextRegisterDateCallback(env.ctx, dateCallback, &seen), 0);
  ASSERT_EQ(itlContextRegisterNumberCallback(env.ctx, numberCallback, &seen),
            0);
  uint16_t d = 0, m = 0, y = 0;
  EXPECT_EQ(date("anything", d, m, y, "de_CH"), 0) << env.reason();
  EXPECT_EQ(seen.language, "de");
  EXPECT_EQ(seen.territory, "ch");  // the short territory code
  EXPECT_EQ(seen.user, &seen);
  EXPECT_EQ(std::make_tuple(d, m, y), std::make_tuple(1, 2, 3));
  // The length reaches the callback as it is, 0 included.
  EXPECT_EQ(date("", d, m, y, "de_CH"), 8);
  EXPECT_EQ(seen.length, 0u);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_date_attribute);

  double v = 0;
  EXPECT_EQ(number("x", v), 0);
  EXPECT_EQ(v, 42);
  EXPECT_EQ(number("", v), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_number_attribute);
}

// Dates written in each order and separator the recogniser accepts map
// back to their parts, and coded dates order as the dates do.
TEST_F(AttributeMap, RandomDatesRoundTripAndOrder) {
  std::mt19937 rng(testSeed());
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  };
  auto digits = [&](int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return std::string(buffer);
  };
  auto blanks = [&] { return std::string(static_cast<size_t>(pick(0, 2)), ' '); };
  struct Date {
    int day, month, year;
  };
  std::vector<Date> dates;
  for (int i = 0; i < 600; ++i) {
    Date t{pick(1, 31), pick(1, 12), 0};
    int form = pick(0, 5);
    bool shortYear = form >= 3;
    t.year = shortYear ? pick(1, 99) : pick(1, 9999);
    std::string dd = digits(t.day, pick(1, 2) == 1 && t.day < 10 ? 1 : 2);
    std::string mm = digits(t.month, pick(1, 2) == 1 && t.month < 10 ? 1 : 2);
    std::string yy = shortYear ? digits(t.year, 2)
                               : digits(t.year, t.year >= 1000 ? 4 : pick(3, 4) == 3 && t.year >= 100 ? 3 : 4);
    char const seps[] = ".-/";
    std::string s;
    std::string a = blanks(), b = blanks();
    switch (form) {
      case 0: {  // year month day, any separator
        char c = seps[pick(0, 2)];
        s = yy + a + c + b + mm + blanks() + c + blanks() + dd;
        break;
      }
      case 1: {  // day month year with '.' or '-'
        char c = seps[pick(0, 1)];
        s = dd + a + c + b + mm + blanks() + c + blanks() + yy;
        break;
      }
      case 2:  // month day year with '/'
        s = mm + a + '/' + b + dd + blanks() + '/' + blanks() + yy;
        break;
      case 3:  // two-digit year: month/day/year
        s = mm + a + '/' + b + dd + '/' + yy;
        break;
      case 4:  // two-digit year: year-month-day
        s = yy + a + '-' + b + mm + '-' + dd;
        break;
      default:  // two-digit year: day.month.year
        s = dd + a + '.' + b + mm + '.' + yy;
        break;
    }
    s = blanks() + s + blanks();
    uint16_t d = 0, m = 0, y = 0;
    ASSERT_EQ(date(s, d, m, y), 0) << "'" << s << "' " << env.reason();
    ASSERT_EQ(std::make_tuple(int{d}, int{m}, int{y}),
              std::make_tuple(t.day, t.month, t.year))
        << "'" << s << "'";
    dates.push_back(t);
  }
  for (size_t i = 0; i + 1 < dates.size(); ++i) {
    Date const& p = dates[i];
    Date const& q = dates[i + 1];
    bool before = std::make_tuple(p.year, p.month, p.day) <
                  std::make_tuple(q.year, q.month, q.day);
    double cp = code(static_cast<uint16_t>(p.day), static_cast<uint16_t>(p.month),
                     static_cast<uint16_t>(p.year));
    double cq = code(static_cast<uint16_t>(q.day), static_cast<uint16_t>(q.month),
                     static_cast<uint16_t>(q.year));
    EXPECT_EQ(before, cp < cq);
  }
}

}  // namespace
