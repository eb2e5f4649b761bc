// Attribute parsers: the default date and number recognisers over tables
// of values, the items and warnings that reach the port, truncation, the
// date code, string conversion, and recognisers that refuse or claim too
// much.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cos_language.hpp"
#include "itl_attribute.hpp"
#include "itl_attribute_callbacks.h"
#include "ti_tl_port.hpp"
#include "ti_test_util.hpp"

namespace {

std::u16string u16(std::string const& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// UTF-16 to UTF-8, written out by hand (well-formed input only).
std::string utf8(std::u16string const& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size())
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// One attribute value through a parser of `type`; the port keeps the rest.
struct Harness {
  RecordingPort port;
  CosClLanguage language{"en"};
  unsigned short buffer[ItlClAttributeParserABase::VALUE_UNITS + 1];
  ItlClAttributeParserDate date{port, language, false};
  ItlClAttributeParserNumber number{port, language, false};
  ItlClAttributeParserString string{port, language, false};

  ItlClAttributeParserABase& parser(ItlEnAttributeType type) {
    if (type == ItlEnAttributeType_Date) return date;
    if (type == ItlEnAttributeType_Number) return number;
    return string;
  }
  void value(ItlEnAttributeType type, std::u16string const& text,
             unsigned short attribute = 9) {
    ItlClAttributeParserABase& p = parser(type);
    p.startAttribute("n", attribute, CosClLanguage("de-CH"), false, buffer);
    p.addText(reinterpret_cast<unsigned short const*>(text.data()),
              static_cast<unsigned>(text.size()));
    p.endAttribute();
  }
  std::vector<double> values() const {
    std::vector<double> v;
    for (auto it = port.items.rbegin(); it != port.items.rend(); ++it) {
      EXPECT_EQ(it->type, 'N');
      EXPECT_EQ(it->number, 9);
      v.push_back(it->value);
    }
    return v;
  }
};

struct Case {
  ItlEnAttributeType type;
  char const* text;
  std::vector<double> items;  // in the order of the value
  int warning;                // 0, 31 or 32
};

TEST(AttributeParser, ValuesGiveItemsAndWarnings) {
  auto D = ItlEnAttributeType_Date;
  auto N = ItlEnAttributeType_Number;
  std::vector<Case> const cases = {
      {D, "2010-05-04", {20100504}, 0},
      {D, "04.05.2010", {20100504}, 0},
      {D, "05/04/2010", {20100504}, 0},
      {D, "10-05-04", {100504}, 0},
      {D, "04.05.10", {100504}, 0},
      {D, "05/04/10", {100504}, 0},
      {D, "2010 - 05 - 04", {20100504}, 0},
      {D, "04-05-2010", {20100504}, 0},
      {D, "2010-05/04", {}, 31},
      {D, "2010-05-04x", {}, 31},
      {D, "2010-13-01", {}, 0},
      {D, "2010-02-32", {}, 0},
      {D, "2010-05-04 2011-01-31", {20100504, 20110131}, 0},
      {D, "   ", {}, 0},
      {D, "2010-05-04 x", {20100504}, 31},
      {D, "10000-01-01", {}, 31},     // five digits
      {D, "2010-123-01", {}, 31},
      {D, "2010-05-", {}, 31},       // ended early
      {D, "2010-05-04-", {}, 31},
      {D, "2010-05-04 1999", {20100504}, 31},
      {D, "0-05-04", {}, 0},          // year 0
      {D, "16383-1-1", {}, 31},
      {D, "1.1.9999", {99990101}, 0},
      {D, "1.1.16383", {}, 31},        // five digits
      {D, "x2010-05-04", {}, 31},
      {N, "12", {12}, 0},
      {N, "-3.25", {-3.25}, 0},
      {N, ".5", {0.5}, 0},
      {N, "1 000", {1000}, 0},
      {N, "1.5 2.5", {1.5, 2.5}, 0},
      {N, "EUR 12", {12}, 0},
      {N, "abc", {}, 32},
      {N, "-", {}, 32},
      {N, "12 x", {12}, 32},
      {N, "   ", {}, 0},
      {N, "\t", {}, 0},
      {N, "3-4", {3, -4}, 0},         // the minus ends 3 and starts -4
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.text);
    Harness h;
    h.value(c.type, u16(c.text));
    EXPECT_EQ(h.values(), c.items);
    EXPECT_EQ(static_cast<int>(h.port.errorInfo.getReasonCode()), c.warning);
    if (c.warning == 0) {
      EXPECT_EQ(h.port.errorInfo.getReturnCode(), ItlEnReturnCode_Success);
      continue;
    }
    EXPECT_EQ(h.port.errorInfo.getReturnCode(), ItlEnReturnCode_Warning);
    EXPECT_EQ(h.port.errorInfo.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(h.port.errorInfo.getContext(), "Callback function failed");
    EXPECT_STREQ(h.port.errorInfo.getOrigin(),
                 c.type == D ? "source/itl_tl/itl_attribute_date:101"
                             : "source/itl_tl/itl_attribute_number:100");
  }
}

TEST(AttributeParser, EmptyValueCallsNoRecogniser) {
  Harness h;
  static int calls;
  calls = 0;
  h.port.context.registerNumberCallback(
      [](unsigned short const*, unsigned int, char const*, char const*, void*,
         double*, bool*, unsigned int*) { ++calls; return false; },
      false, nullptr);
  h.value(ItlEnAttributeType_Number, u"");
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(h.port.items.empty());
  EXPECT_EQ(h.port.errorInfo.getReturnCode(), ItlEnReturnCode_Success);
}

// A registered recogniser: sees the language, the territory and its user
// data; accepts one value and refuses the next.
struct Script {
  std::vector<unsigned int> consumed;  // per call; refuses after the last
  std::vector<std::string> seen;
  unsigned call = 0;
};
bool scripted(unsigned short const* text, unsigned int length,
              char const* language, char const* territory, void* user,
              double* value, bool* valid, unsigned int* consumed) {
  Script& s = *static_cast<Script*>(user);
  s.seen.push_back(std::string(language) + "-" + territory + ":" +
                   std::string(text, text + length));
  if (s.call == s.consumed.size()) return false;
  *value = 42 + s.call;
  *valid = true;
  *consumed = s.consumed[s.call++];
  return true;
}

TEST(AttributeParser, RegisteredRecogniserRefusingKeepsEarlierItems) {
  Harness h;
  Script s;
  s.consumed = {2};
  h.port.context.registerNumberCallback(scripted, false, &s);
  h.value(ItlEnAttributeType_Number, u"ab cd");
  EXPECT_EQ(h.values(), std::vector<double>{42});
  ASSERT_EQ(s.seen.size(), 2u);
  EXPECT_EQ(s.seen[0], "de-ch:ab cd");
  EXPECT_EQ(s.seen[1], "de-ch: cd");
  EXPECT_EQ(h.port.errorInfo.getReasonCode(), ItlEnReasonCode_Invalid_number_attribute);
}

TEST(AttributeParser, OversizedConsumedCountEndsTheValue) {
  Harness h;
  Script s;
  s.consumed = {1000, 1};
  h.port.context.registerNumberCallback(scripted, false, &s);
  h.value(ItlEnAttributeType_Number, u"12");
  EXPECT_EQ(h.values(), std::vector<double>{42});
  EXPECT_EQ(s.seen.size(), 1u);
  EXPECT_EQ(h.port.errorInfo.getReturnCode(), ItlEnReturnCode_Success);
}

TEST(AttributeParser, RegisteredDateRecogniserIsCoded) {
  Harness h;
  h.port.context.registerDateCallback(
      [](unsigned short const*, unsigned int length, char const*, char const*,
         void*, unsigned short* d, unsigned short* m, unsigned short* y,
         bool* valid, unsigned int* consumed) {
        *d = 31, *m = 12, *y = 1999, *valid = true, *consumed = length;
        return true;
      },
      false, nullptr);
  h.value(ItlEnAttributeType_Date, u"whatever");
  EXPECT_EQ(h.values(), std::vector<double>{19991231});
}

TEST(AttributeParser, RandomDatesInEveryForm) {
  std::mt19937 rng(testSeed());
  // The six orders: (first, middle, last) and the separators allowed.
  for (int i = 0; i < 3000; ++i) {
    int form = static_cast<int>(rng() % 6);
    bool longYear = form < 3;
    unsigned d = rng() % 31 + 1, m = rng() % 12 + 1;
    unsigned y = longYear ? rng() % 9900 + 100 : rng() % 99 + 1;
    auto digits = [&](unsigned v, size_t width) {
      std::string t = std::to_string(v);
      if (rng() % 2) t = std::string(width - std::min(width, t.size()), '0') + t;
      return t;
    };
    auto blanks = [&]() { return std::string(rng() % 3, ' '); };
    std::string ys = digits(y, longYear ? 4 : 2), ds = digits(d, 2), ms = digits(m, 2);
    char const* seps[] = {".-/", ".-", "/", "/", "-", "."};
    char const* allowed = seps[form];
    char sep = allowed[rng() % std::strlen(allowed)];
    std::string parts[6][3] = {{ys, ms, ds}, {ds, ms, ys}, {ms, ds, ys},
                               {ms, ds, ys}, {ys, ms, ds}, {ds, ms, ys}};
    std::string text = blanks() + parts[form][0] + blanks() + sep + blanks() +
                       parts[form][1] + blanks() + sep + blanks() + parts[form][2] +
                       blanks();
    SCOPED_TRACE(text);
    Harness h;
    h.value(ItlEnAttributeType_Date, u16(text));
    ASSERT_EQ(h.values(), std::vector<double>{ItlClAttributeParserDate::codeDate(
                              static_cast<unsigned short>(d), static_cast<unsigned short>(m),
                              static_cast<unsigned short>(y))});
    ASSERT_EQ(h.port.errorInfo.getReturnCode(), ItlEnReturnCode_Success);
  }
  for (int i = 0; i < 10000; ++i) {
    unsigned short d = rng() % 100, m = rng() % 100, y = static_cast<unsigned short>(rng());
    unsigned short d2, m2, y2;
    ItlClAttributeParserDate::decodeDate(ItlClAttributeParserDate::codeDate(d, m, y), d2, m2, y2);
    ASSERT_EQ(d2, d);
    ASSERT_EQ(m2, m);
    ASSERT_EQ(y2, y);
  }
  EXPECT_EQ(ItlClAttributeParserDate::codeDate(4, 5, 2010), 20100504.0);
}

TEST(AttributeParser, LongValueKeeps128UnitsAndWarnsOnce) {
  Harness h;
  std::u16string text;
  for (int i = 0; i < 200; ++i) text += static_cast<char16_t>(i % 2 ? u'\u00E9' : u'a' + i % 26);
  ItlClAttributeParserABase& p = h.parser(ItlEnAttributeType_String);
  p.startAttribute("n", 4, h.language, false, h.buffer);
  p.addText(reinterpret_cast<unsigned short const*>(text.data()), 100);
  p.addText(reinterpret_cast<unsigned short const*>(text.data()) + 100, 50);
  EXPECT_EQ(h.port.errorInfo.getWarningCount(), 1u);
  p.addText(reinterpret_cast<unsigned short const*>(text.data()) + 150, 50);
  EXPECT_EQ(h.port.errorInfo.getWarningCount(), 1u);
  EXPECT_EQ(p.getValueLength(), 128u);
  EXPECT_EQ(h.port.errorInfo.getReasonCode(), ItlEnReasonCode_Attribute_truncated);
  EXPECT_STREQ(h.port.errorInfo.getOrigin(), "source/itl_tl/itl_attribute:137");
  std::string kept;
  for (int i = 0; i < 128; ++i) kept += i % 2 ? "\xC3\xA9" : std::string(1, char('a' + i % 26));
  EXPECT_EQ(std::string(h.port.errorInfo.getContext()),
            "Attribute name: n\nValue: " + kept);
  p.endAttribute();
  // The 128 units are 192 bytes of UTF-8; the item keeps the whole
  // characters within 128 bytes (an 'a'-type character ends at byte 127)
  // without a second warning.
  ASSERT_EQ(h.port.items.size(), 1u);
  EXPECT_EQ(h.port.items[0].bytes, kept.substr(0, 127));
  EXPECT_EQ(h.port.errorInfo.getWarningCount(), 1u);

  Harness strict;
  strict.port.errorInfo.setWarningThreshold(1);
  ItlClAttributeParserABase& q = strict.parser(ItlEnAttributeType_Number);
  q.startAttribute("n", 4, strict.language, false, strict.buffer);
  try {
    q.addText(reinterpret_cast<unsigned short const*>(text.data()), 200);
    FAIL() << "no exception at the threshold";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Too_many_warnings);
  }
}

TEST(AttributeParser, StringIsConvertedToTheIndexCodePage) {
  Harness h;
  h.value(ItlEnAttributeType_String, u"\u00E9", 3);
  ASSERT_EQ(h.port.items.size(), 1u);
  EXPECT_EQ(h.port.items[0].type, 'C');
  EXPECT_EQ(h.port.items[0].number, 3);
  EXPECT_EQ(h.port.items[0].bytes, "\xC3\xA9");
  // Items go to the front of the list.
  h.value(ItlEnAttributeType_String, u"b", 4);
  EXPECT_EQ(h.port.items[0].number, 4);
}

// The engine takes at most 128 bytes in a string item and cancels its
// whole update cycle on a longer one: a value within 128 units but over
// 128 bytes keeps its whole characters within 128 bytes, with warning 36.
TEST(AttributeParser, StringItemKeepsWholeCharactersWithin128Bytes) {
  std::u16string greek(65, u'\u03B1'), cjk(50, u'\u4E2D');
  std::u16string astral;  // 40 characters of two units, four bytes each
  for (int i = 0; i < 40; ++i) astral += u"\U0001F600";
  struct Row {
    char const* name;
    std::u16string value;
    size_t keptBytes;
    bool warned;
  } rows[] = {
      {"128 ascii", u16(std::string(128, 'q')), 128, false},
      {"64 greek, 128 bytes", greek.substr(0, 64), 128, false},
      {"65 greek", greek, 128, true},
      {"x and 64 greek", u"x" + greek.substr(0, 64), 127, true},
      {"50 cjk", cjk, 126, true},
      {"40 astral", astral, 128, true},
      {"x and 40 astral", u"x" + astral, 125, true},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.name);
    Harness h;
    h.value(ItlEnAttributeType_String, r.value, 5);
    ASSERT_EQ(h.port.items.size(), 1u);
    std::string whole = utf8(r.value);
    EXPECT_EQ(h.port.items[0].bytes, whole.substr(0, r.keptBytes));
    EXPECT_EQ(h.port.errorInfo.getWarningCount(), r.warned ? 1u : 0u);
    if (!r.warned) continue;
    EXPECT_EQ(h.port.errorInfo.getReasonCode(),
              ItlEnReasonCode_Attribute_truncated);
    EXPECT_STREQ(h.port.errorInfo.getOrigin(),
                 "source/itl_tl/itl_attribute_string:62");
    EXPECT_EQ(std::string(h.port.errorInfo.getContext()),
              "Attribute name: n\nValue: " + whole.substr(0, r.keptBytes));
  }
}

TEST(AttributeParser, NumberItemAfterOddChunkIsAligned) {
  Harness h;
  unsigned int block = 0;
  ASSERT_NE(h.port.pool->allocate(3, block), nullptr);
  h.value(ItlEnAttributeType_Number, u"7");
  EXPECT_EQ(h.values(), std::vector<double>{7});
  EXPECT_FALSE(h.port.misaligned);
}

// The default recognisers directly: consumed counts and refusals.
TEST(AttributeCallbacks, ConsumedCounts) {
  struct Row {
    char const* text;
    bool ok, valid;
    unsigned consumed;
  };
  Row const dates[] = {
      {"", true, false, 0},          {"  ", true, false, 2},
      {"2010-05-04", true, true, 10}, {"2010-05-04 x", true, true, 11},
      {" 1.2.99\t", true, true, 8},   {"2010-05", false, false, 0},
  };
  for (Row const& r : dates) {
    SCOPED_TRACE(r.text);
    std::u16string t = u16(r.text);
    unsigned short d = 0, m = 0, y = 0;
    bool valid = true;
    unsigned consumed = 99;
    bool ok = itlAttributeDateDefaultCallback(reinterpret_cast<unsigned short const*>(t.data()),
                                              static_cast<unsigned>(t.size()), "en", "US",
                                              nullptr, &d, &m, &y, &valid, &consumed);
    EXPECT_EQ(ok, r.ok);
    if (!ok) continue;
    EXPECT_EQ(valid, r.valid);
    EXPECT_EQ(consumed, r.consumed);
  }
  Row const numbers[] = {
      {"", true, false, 0},   {"1 000", true, true, 5}, {"1.5 2.5", true, true, 3},
      {"12 x", true, true, 3}, {"1  2", true, true, 2},  {"--1", false, false, 1},
  };
  for (Row const& r : numbers) {
    SCOPED_TRACE(r.text);
    std::u16string t = u16(r.text);
    double v = 0;
    bool valid = true;
    unsigned consumed = 99;
    bool ok = itlAttributeNumberDefaultCallback(reinterpret_cast<unsigned short const*>(t.data()),
                                                static_cast<unsigned>(t.size()), nullptr, nullptr,
                                                nullptr, &v, &valid, &consumed);
    EXPECT_EQ(ok, r.ok);
    if (!ok) continue;
    EXPECT_EQ(valid, r.valid);
    EXPECT_EQ(consumed, r.consumed);
  }
}

}  // namespace
