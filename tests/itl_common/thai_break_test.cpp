// Thai word breaking (itlThai*) against ICU's own th_TH word break
// iterator over the Thai message catalogues of dpkg and apt, and the rules
// that keep a caller's loop moving: what a small capacity copies and
// leaves.
#include <gtest/gtest.h>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <memory>
#include <string>
#include <vector>

#include "itl_normalization.hpp"
#include "ti_thai_text.hpp"

namespace {

struct Iterator {
  void* p = itlThaiCreateBreakIterator();
  ~Iterator() { itlThaiDestroyBreakIterator(p); }
};

// ICU's segment ends of `text`, from a fresh iterator of the test's own.
std::vector<unsigned> icuBoundaries(std::u16string const& text) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> it(
      icu::BreakIterator::createWordInstance(icu::Locale("th", "TH"), status));
  EXPECT_TRUE(U_SUCCESS(status));
  // The iterator keeps a reference to the string: it must outlive the walk.
  icu::UnicodeString string(text.data(), static_cast<int32_t>(text.size()));
  it->setText(string);
  std::vector<unsigned> ends;
  it->first();
  for (int32_t b = it->next(); b != icu::BreakIterator::DONE; b = it->next())
    ends.push_back(static_cast<unsigned>(b));
  return ends;
}

struct Result {
  std::u16string out;
  unsigned remaining;
};

Result process(void* iterator, std::u16string const& in, unsigned capacity) {
  std::vector<unsigned short> out(capacity + 1, 0xFFFF);
  unsigned length = static_cast<unsigned>(in.size());
  unsigned n = itlThaiProcessing(out.data(), capacity,
                                 reinterpret_cast<unsigned short const*>(in.data()),
                                 length, iterator);
  EXPECT_LE(n, capacity);
  EXPECT_EQ(out[capacity], 0xFFFF) << "wrote past the capacity";
  return {std::u16string(out.begin(), out.begin() + n), length};
}

// What a call with `capacity` must give: the whole segments that fit with
// their blanks, or, when not even the first does, as much of it as fits.
Result expected(std::u16string const& in, std::vector<unsigned> const& ends,
                unsigned capacity) {
  if (capacity == 0 || in.empty()) return {u"", static_cast<unsigned>(in.size())};
  if (in.size() == 1) return {in, 0};
  Result r{u"", static_cast<unsigned>(in.size())};
  unsigned start = 0;
  for (unsigned end : ends) {
    if (r.out.size() + (end - start) + 1 > capacity) break;
    r.out += in.substr(start, end - start) + u" ";
    r.remaining = static_cast<unsigned>(in.size()) - end;
    start = end;
  }
  if (r.out.empty()) {
    unsigned take = std::min(capacity, ends[0]);
    if (take < ends[0] && U16_IS_LEAD(in[take - 1]) && U16_IS_TRAIL(in[take])) --take;
    r.out = in.substr(0, take);
    r.remaining = static_cast<unsigned>(in.size()) - take;
  }
  return r;
}

TEST(ThaiBreak, SmallInputs) {
  Iterator it;
  EXPECT_EQ(process(it.p, u"", 10).out, u"");
  Result one = process(it.p, u"\u0E01", 10);
  EXPECT_EQ(one.out, u"\u0E01");  // no blank after one unit
  EXPECT_EQ(one.remaining, 0u);
  Result none = process(it.p, u"\u0E01", 0);  // no room: nothing written
  EXPECT_EQ(none.out, u"");
  EXPECT_EQ(none.remaining, 1u);
  // A surrogate pair is not cut: one unit of room takes nothing of it.
  Result pair = process(it.p, u"\U0001D400\U0001D401", 1);
  EXPECT_EQ(pair.out, u"");
  EXPECT_EQ(pair.remaining, 4u);
  Result three = process(it.p, u"\U0001D400\U0001D401", 3);
  EXPECT_EQ(three.out, u"\U0001D400");
  EXPECT_EQ(three.remaining, 2u);
  itlThaiDestroyBreakIterator(nullptr);
}

TEST(ThaiBreak, LongLatinRunThroughSmallBufferEndsIntact) {
  Iterator it;
  std::u16string run(200, u'x');
  std::u16string all;
  std::u16string rest = run;
  int calls = 0;
  while (!rest.empty()) {
    ASSERT_LT(++calls, 20) << "no progress";
    Result r = process(it.p, rest, 30);
    all += r.out;
    rest = rest.substr(rest.size() - r.remaining);
  }
  EXPECT_EQ(all, run + u" ");
}

TEST(ThaiBreak, AgreesWithIcuOverThaiCatalogues) {
  std::vector<std::u16string> texts = thaiCatalogueTexts();
  if (texts.empty()) GTEST_SKIP() << "no Thai catalogue of dpkg or apt";
  Iterator it;
  size_t segments = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    std::u16string const& text = texts[i];
    std::vector<unsigned> ends = icuBoundaries(text);
    segments += ends.size();
    unsigned room = static_cast<unsigned>(2 * text.size());
    Result whole = process(it.p, text, room);
    Result want = expected(text, ends, room);
    ASSERT_EQ(whole.out, want.out) << "text " << i;
    if (text.size() > 1) {
      ASSERT_EQ(whole.out.size(), text.size() + ends.size()) << "text " << i;
    }
    ASSERT_EQ(whole.remaining, 0u);
    // Every capacity, for the first texts.
    if (i >= 40) continue;
    for (unsigned capacity = 0; capacity <= room; ++capacity) {
      Result got = process(it.p, text, capacity);
      Result cut = expected(text, ends, capacity);
      ASSERT_EQ(got.out, cut.out) << "text " << i << " capacity " << capacity;
      ASSERT_EQ(got.remaining, cut.remaining) << "text " << i << " capacity " << capacity;
    }
  }
  std::printf("%zu texts, %zu segments\n", texts.size(), segments);
}

TEST(ThaiBreak, NormaliserSeparatesWords) {
  ItlClNormalizationThai thai;
  EXPECT_EQ(thai.getKindFlags(), 2u);
  EXPECT_EQ(thai.getNormalizeUnicodeFactor(), 2u);
  std::u16string text = u"\u0E20\u0E32\u0E29\u0E32\u0E44\u0E17\u0E22";  // "Thai language"
  std::vector<unsigned> ends = icuBoundaries(text);
  ASSERT_GE(ends.size(), 2u);
  std::vector<unsigned short> out(2 * text.size());
  unsigned length = static_cast<unsigned>(text.size());
  unsigned n = thai.normalize(out.data(), static_cast<unsigned>(out.size()),
                              reinterpret_cast<unsigned short const*>(text.data()),
                              length);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(std::u16string(out.begin(), out.begin() + n),
            expected(text, ends, static_cast<unsigned>(out.size())).out);
}

}  // namespace
