// Text analysis: partitions of the normalised text against a model of the
// document, with a buffer of about 30 units; byte positions of boundaries;
// delimiters; the normaliser choice.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "itl_normalization.hpp"
#include "itl_tldocument.hpp"
#include "ti_test_util.hpp"
#include "ti_tl_port.hpp"

namespace {

// UTF-8 bytes of one UTF-16 unit (a surrogate pair counts 4 at its lead).
size_t utf8Bytes(char16_t u) {
  if (u < 0x80) return 1;
  if (u < 0x800) return 2;
  if (u >= 0xD800 && u <= 0xDBFF) return 4;
  if (u >= 0xDC00 && u <= 0xDFFF) return 0;
  return 3;
}

// A text document whose update pool lies over a small caller buffer: every
// document's text buffer is then the whole pool.
struct SmallDoc {
  explicit SmallDoc(unsigned int bytes, bool umlaut = false)
      : memory(bytes), pool(memory.data(), bytes) {
    port.umlaut = umlaut;
    doc.init(pool);
  }
  void start(ItlClTlDocumentIdABase const& id, char const* language = "en") {
    pool.deleteAll();
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage(language));
  }
  void text(std::u16string const& t) {
    doc.addText(reinterpret_cast<unsigned short const*>(t.data()),
                static_cast<unsigned>(t.size()));
  }
  std::u16string partitions() const {
    std::u16string all;
    for (std::u16string const& p : port.partitions) all += p;
    return all;
  }
  RecordingPort port;
  std::vector<char> memory;
  CosClMemoryPool pool;
  ItlClTlDocument doc{port};
};

TEST(TextAnalysis, PartitionsAgreeWithModel) {
  uint32_t seed = testSeed();
  for (bool umlaut : {false, true}) {
    SCOPED_TRACE(umlaut ? "umlaut folding" : "plain copy");
    std::mt19937 rng(seed);
    SmallDoc d(64, umlaut);
    TestDocumentId id("random", 0);
    d.start(id);
    unsigned int capacity = d.doc.getTextAnalysis().getBuffer().getCapacity();
    ASSERT_GE(capacity, 25u);
    ASSERT_LE(capacity, 40u);
    std::u16string const alphabet[] = {u"a", u"b", u"z", u"\u00E9", u"\u00FC",
                                       u"\u0E01", u"\u0E32", u"\U0001D400"};
    std::u16string expect;  // the normalised text
    size_t bytes = 0;       // its UTF-8 length
    std::set<size_t> flushes;
    struct Open {
      std::string name;
      uint32_t start;
      bool boundary;
    };
    std::vector<Open> open;
    std::vector<RecordedField> fields;
    std::vector<std::string> segments;
    auto append = [&](std::u16string const& s) {
      for (char16_t u : s) {
        if (umlaut && u == u'\u00FC') {
          expect += u"ue";
          bytes += 2;
        } else {
          expect += u;
          bytes += utf8Bytes(u);
        }
      }
    };
    for (int step = 0; step < 10000; ++step) {
      unsigned r = rng() % 100;
      if (r < 65) {
        std::u16string word;
        size_t length = rng() % 10 == 0 ? rng() % 60 + 1 : rng() % 8 + 1;
        while (word.size() < length) word += alphabet[rng() % 8];
        // Sometimes in two calls (never inside a surrogate pair).
        size_t cut = rng() % (word.size() + 1);
        if (cut > 0 && cut < word.size() && word[cut] >= 0xDC00 && word[cut] <= 0xDFFF) ++cut;
        d.text(word.substr(0, cut));
        d.text(word.substr(cut));
        append(word);
      } else if (r < 85) {
        d.doc.addDelimiter();
        append(u" ");
      } else if (r < 92 && open.size() < 12) {
        std::string name = "F" + std::to_string(rng() % 4);
        bool boundary = true;
        for (Open const& o : open) boundary &= o.name != name;
        d.doc.startField(name.c_str(), false);
        flushes.insert(expect.size());
        open.push_back({name, static_cast<uint32_t>(bytes), boundary});
      } else if (r < 97) {
        if (open.empty()) continue;
        d.doc.endField();
        Open o = open.back();
        open.pop_back();
        if (!o.boundary) continue;
        flushes.insert(expect.size());
        if (o.start != bytes)
          fields.push_back({d.port.fieldMap.at(o.name), o.start, static_cast<uint32_t>(bytes)});
      } else {
        unsigned short indicator = static_cast<unsigned short>(rng() % 9);
        d.doc.nextSegment(indicator);
        flushes.insert(expect.size());
        segments.push_back("segment " + std::to_string(indicator) + " " + std::to_string(bytes));
      }
    }
    while (!open.empty()) {
      Open o = open.back();
      open.pop_back();
      if (o.boundary && o.start != bytes)
        fields.push_back({d.port.fieldMap.at(o.name), o.start, static_cast<uint32_t>(bytes)});
    }
    d.doc.endDocument();
    ASSERT_EQ(d.partitions(), expect);
    EXPECT_EQ(d.port.text.size(), bytes);
    ASSERT_EQ(d.port.fields.size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
      ASSERT_TRUE(d.port.fields[i] == fields[i]) << "field " << i;
    }
    std::vector<std::string> gotSegments;
    for (std::string const& line : d.port.log)
      if (line.rfind("segment", 0) == 0) gotSegments.push_back(line);
    EXPECT_EQ(gotSegments, segments);
    // Every cut lies at a flush, next to a blank, or inside a word that
    // cannot fit into the buffer with room to grow.
    unsigned int factor = d.doc.getTextAnalysis().getBuffer().getNormalizer()
                              ->getNormalizeUnicodeFactor();
    size_t at = 0;
    for (size_t i = 0; i + 1 < d.port.partitions.size(); ++i) {
      at += d.port.partitions[i].size();
      if (flushes.count(at) || expect[at - 1] <= 0x20 || expect[at] <= 0x20) continue;
      size_t begin = at, end = at;
      while (begin > 0 && expect[begin - 1] > 0x20) --begin;
      while (end < expect.size() && expect[end] > 0x20) ++end;
      ASSERT_GE(end - begin + factor, capacity)
          << "word of " << (end - begin) << " units cut at " << at;
      // Never between the units of a surrogate pair.
      ASSERT_FALSE(expect[at] >= 0xDC00 && expect[at] <= 0xDFFF) << "pair cut at " << at;
    }
  }
}

TEST(TextAnalysis, SmallDocumentIsOnePartitionAtTheEnd) {
  SmallDoc d(4096);
  TestDocumentId id("x", 3);
  d.start(id);
  d.text(u"one two");
  d.doc.addDelimiter();
  d.text(u"three");
  EXPECT_TRUE(d.port.partitions.empty());
  d.doc.endDocument();
  ASSERT_EQ(d.port.partitions.size(), 1u);
  EXPECT_EQ(d.port.partitions[0], u"one two three");
  EXPECT_EQ(d.doc.getTextAnalysis().getAnalysedUnits(), 13u);
  EXPECT_EQ(d.doc.getTextAnalysis().getProcessingState(), 1u);  // ended
  EXPECT_EQ(d.doc.getTextAnalysis().getDocumentNumber(), 0u);
}

TEST(TextAnalysis, ForcedPartitionEndsAtTheDelimiter) {
  SmallDoc d(64);
  TestDocumentId id("x", 3);
  d.start(id);
  unsigned int capacity = d.doc.getTextAnalysis().getBuffer().getCapacity();
  std::u16string first(capacity - 6, u'a');
  d.text(first);
  d.doc.addDelimiter();
  d.text(u"bb cc dd");  // does not fit: the partition ends at the delimiter
  ASSERT_EQ(d.port.partitions.size(), 1u);
  EXPECT_EQ(d.port.partitions[0], first);
  d.doc.endDocument();
  EXPECT_EQ(d.partitions(), first + u" bb cc dd");
}

TEST(TextAnalysis, WordLongerThanBufferGoesInPieces) {
  SmallDoc d(64);
  TestDocumentId id("x", 3);
  d.start(id);
  unsigned int capacity = d.doc.getTextAnalysis().getBuffer().getCapacity();
  std::u16string word(3 * capacity + 5, u'w');
  d.text(u"a ");
  d.text(word);
  d.doc.endDocument();
  EXPECT_EQ(d.partitions(), u"a " + word);
  EXPECT_EQ(d.port.partitions[0], u"a ");  // the word starts a new partition
}

TEST(TextAnalysis, NormaliserFollowsLanguageAndSettings) {
  SmallDoc d(4096, true);
  TestDocumentId id("x", 3);
  d.start(id);
  d.text(u"gr\u00FC\u00DFe");
  d.doc.endDocument();
  EXPECT_EQ(d.partitions(), u"gruesse");
  ItlClNormalization const* table = d.doc.getTextAnalysis().getBuffer().getNormalizer();
  EXPECT_EQ(table->getKindFlags(), 4u);
  TestDocumentId thai("y", 4);
  d.port.partitions.clear();
  d.start(thai, "th");
  EXPECT_EQ(d.doc.getTextAnalysis().getBuffer().getNormalizer()->getKindFlags(), 2u);
  d.text(u"\u0E01");  // one unit: no blank
  d.doc.endDocument();
  EXPECT_EQ(d.partitions(), u"\u0E01");
  // Back to English: the table normaliser again.
  TestDocumentId english("z", 5);
  d.start(english, "en");
  EXPECT_EQ(d.doc.getTextAnalysis().getBuffer().getNormalizer()->getKindFlags(), 4u);
  d.doc.endDocument();
}

TEST(TextAnalysis, LanguageChangeIsRecordedOnlyWhenItDiffers) {
  SmallDoc d(4096);
  TestDocumentId id("x", 3);
  d.start(id, "de-CH");
  ItlClTextAnalysisUpdateABase& analysis = d.doc.getTextAnalysis();
  EXPECT_EQ(analysis.getLanguage().getLanguage(), CosClLanguage("de-CH").getLanguage());
  analysis.resetLanguage();
  EXPECT_EQ(static_cast<int>(analysis.getLanguage().getLanguage()), 0);
  d.doc.setLanguage(CosClLanguage("fr"));
  EXPECT_EQ(analysis.getLanguage().getLanguage(), CosClLanguage("fr").getLanguage());
  d.doc.endDocument();
}

}  // namespace
