// Offset mappers: character counting against ICU, the TEXT mapper, and the
// XML mapper fed by a simulated parser over random documents (text,
// entity and character references, markup, comments, delimiters, excluded
// fields) against a model that knows where every extracted character came
// from; then field selection, comments and markup, and the prolog.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "dl_test_util.hpp"
#include "itl_error.hpp"
#include "itl_field_num_set.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"
#include "itl_normalization.hpp"
#include "itl_offset_mapper.hpp"
#include "ti_test_util.hpp"

namespace {

void appendCp(U16& s, uint32_t cp) {
  if (cp >= 0x10000) {
    s.push_back(static_cast<unsigned short>(0xD7C0 + (cp >> 10)));
    s.push_back(static_cast<unsigned short>(0xDC00 | (cp & 0x3FF)));
  } else {
    s.push_back(static_cast<unsigned short>(cp));
  }
}

uint32_t randomCp(std::mt19937& rng) {
  static uint32_t const pool[] = {'a', 'b', 'z', ' ', 0xE9, 0xFC, 0x4E2D,
                                  0x1F600, 0x10348, 0xFFFD};
  return pool[rng() % (sizeof pool / sizeof pool[0])];
}

TEST(OffsetMapperCount, AgreesWithIcuOverRandomText) {
  std::mt19937 rng(testSeed());
  for (int round = 0; round < 300; ++round) {
    U16 text;
    int n = static_cast<int>(rng() % 20);
    for (int i = 0; i < n; ++i) {
      uint32_t r = rng() % 10;
      if (r == 0)
        text.push_back(static_cast<unsigned short>(0xD800 + rng() % 0x800));
      else
        appendCp(text, randomCp(rng));
    }
    for (unsigned units = 0; units <= text.size(); ++units) {
      int32_t icu = u_countChar32(reinterpret_cast<UChar const*>(text.data()),
                                  static_cast<int32_t>(units));
      ASSERT_EQ(ItlClDocumentOffsetMapper::getCharCount(text.data(), units * 2),
                static_cast<unsigned>(icu))
          << "units " << units;
      // Stepping whole characters until `units` units are reached: ICU
      // counts the characters that start before that point.
      if (units > 0) {
        int32_t before = 0;
        int32_t i = 0;
        while (i < static_cast<int32_t>(units)) {
          U16_FWD_1(text.data(), i, static_cast<int32_t>(text.size()));
          ++before;
        }
        EXPECT_EQ(ItlClDocumentOffsetMapper::findCharOffset(
                      text.data(), static_cast<unsigned>(text.size() * 2),
                      units * 2),
                  static_cast<unsigned>(before));
      }
    }
  }
  unsigned short one = 'a';
  EXPECT_EQ(ItlClDocumentOffsetMapper::findCharOffset(&one, 0, 2), 0u);
  EXPECT_EQ(ItlClDocumentOffsetMapper::findCharOffset(&one, 2, 0), 0u);
}

// The TEXT parser hands the text as one piece: hits keep their offsets.
TEST(OffsetMapperText, PlacesHitsAsText) {
  ItlClHitlist hits(2);
  hits.add(ItlEnDocPartType_None, 6, 5);
  hits.add(ItlEnDocPartType_None, 20, 1);
  ItlClDocumentOffsetMapperText mapper(hits);
  EXPECT_EQ(mapper.getDocumentFormat(), ItlEnDocumentFormat_Text);
  U16 text = u16(u"hello world, hello again");
  mapper.processText(0, static_cast<unsigned>(text.size() * 2), text.data(),
                     static_cast<unsigned>(text.size() * 2));
  mapper.finishPass();
  ItlClHitlist const& mapped = mapper.getMappedHits();
  ASSERT_EQ(mapped.getCount(), 2u);
  EXPECT_EQ(mapped.get(0).getPartType(), ItlEnDocPartType_Text);
  EXPECT_EQ(mapped.get(0).getOffset(), 6u);
  EXPECT_EQ(mapped.get(0).getLength(), 5u);
  EXPECT_EQ(mapped.get(1).getOffset(), 20u);
}

// Offsets counted in normalised characters come back to the document's
// characters: a folded umlaut or ligature counts two there, one here, and a
// hit that starts or ends inside it covers it whole.
TEST(OffsetMapperText, CarriesOffsetsBackThroughFolding) {
  ItlClNormalization* folding = new (CosClMemoryManager::allocate(
      sizeof(ItlClNormalizationTableBased))) ItlClNormalizationTableBased(false, true);
  U16 text = u16(u"Herr M\u00fcller sagt \u00fc");
  // Folded: "Herr Mueller sagt ue"; overlapping hits too.
  struct { uint32_t offset, length, wantOffset, wantLength; } const cases[] = {
      {5, 7, 5, 6},    // "Mueller" -> "Müller"
      {6, 1, 6, 1},    // "u" of "ue" -> the whole "ü"
      {7, 5, 6, 5},    // "eller" starts inside "ü"
      {13, 4, 12, 4},  // "sagt"
      {18, 2, 17, 1},  // "ue" at the end
  };
  ItlClHitlist hits(5);
  for (auto const& c : cases)
    hits.add(ItlEnDocPartType_None, c.offset, c.length);
  ItlClDocumentOffsetMapperText mapper(hits);
  mapper.setNormalizer(folding);
  mapper.processText(0, static_cast<unsigned>(text.size() * 2), text.data(),
                     static_cast<unsigned>(text.size() * 2));
  mapper.finishPass();
  ItlClHitlist const& mapped = mapper.getMappedHits();
  ASSERT_EQ(mapped.getCount(), 5u);
  for (uint32_t k = 0; k < 5; ++k) {
    EXPECT_EQ(mapped.get(k).getOffset(), cases[k].wantOffset) << k;
    EXPECT_EQ(mapped.get(k).getLength(), cases[k].wantLength) << k;
  }
  ItlClNormalization::destroyNormalizer(folding);
}

// A field-name map with a few names in a temporary index.
struct MapperFixture : ::testing::Test {
  TempDir dir{"itl_offset_mapper"};
  std::string work = dir / "work";
  ItlClIndexLocation location{"ix", dir.path().c_str(),
                              (mkdir(work.c_str(), 0700), work.c_str())};
  ItlClErrorInfo info;
  std::unique_ptr<ItlClFieldNameMap> names;
  ItlClFieldNumSet selection{10};

  void SetUp() override {
    names = std::make_unique<ItlClFieldNameMap>(location, info);
    names->init();
    names->onIndexFileInit();
    for (char const* n : {"doc", "title", "body", "inner", "ex"}) {
      unsigned short number = 0;
      bool isNew = false;
      names->assignFieldNameToNumber(n, number, isNew);
    }
  }
  unsigned short numberOf(char const* name) {
    unsigned short number = 0;
    names->mapFieldNameToNumber(name, number);
    return number;
  }
};

// One simulated document: the source text, the extracted text and, per
// extracted character, the source characters it stands for (start, end;
// start -1 for a delimiter), and the mapper events that replay it.
struct SimDoc {
  U16 source;
  uint32_t sourceChars = 0;
  uint32_t extractedChars = 0;
  std::vector<std::pair<int64_t, int64_t>> from;
  struct Event {
    enum Kind { Text, Entity, Markup, Comment, Delimiter, Field, EndField } kind;
    uint32_t byteIndex;
    uint32_t byteCount;
    U16 produced;
    bool exclude;
  };
  std::vector<Event> events;

  uint32_t byteIndex() const { return static_cast<uint32_t>(source.size() * 2); }
  void addSource(U16 const& s) {
    source += s;
    sourceChars += u_countChar32(reinterpret_cast<UChar const*>(s.data()),
                                 static_cast<int32_t>(s.size()));
  }
  void text(U16 const& s, bool excluded) {
    events.push_back({Event::Text, byteIndex(),
                      static_cast<uint32_t>(s.size() * 2), s, false});
    uint32_t start = sourceChars;
    addSource(s);
    if (excluded) return;
    for (uint32_t c = start; c < sourceChars; ++c) from.push_back({c, c + 1});
    extractedChars += sourceChars - start;
  }
  void entity(U16 const& ref, U16 const& produced, bool excluded) {
    events.push_back({Event::Entity, byteIndex(),
                      static_cast<uint32_t>(ref.size() * 2), produced, false});
    uint32_t start = sourceChars;
    addSource(ref);
    if (excluded) return;
    from.push_back({start, sourceChars});
    extractedChars += 1;
  }
  void markup(U16 const& s) {
    events.push_back({Event::Markup, byteIndex(),
                      static_cast<uint32_t>(s.size() * 2), U16(), false});
    addSource(s);
  }
  void delimiter() {
    events.push_back({Event::Delimiter, 0, 0, U16(), false});
    from.push_back({-1, -1});
    extractedChars += 1;
  }
};

void replay(SimDoc const& doc, ItlClDocumentOffsetMapperXml& mapper) {
  mapper.setSourceBuffer(reinterpret_cast<char const*>(doc.source.data()),
                         static_cast<unsigned>(doc.source.size() * 2));
  for (SimDoc::Event const& e : doc.events) {
    switch (e.kind) {
      case SimDoc::Event::Text:
      case SimDoc::Event::Entity:
        mapper.characterData(e.byteIndex, e.byteCount, "", 0);
        mapper.processText(e.byteIndex, e.byteCount, e.produced.data(),
                           static_cast<unsigned>(e.produced.size() * 2));
        break;
      case SimDoc::Event::Markup:
        mapper.startElement(e.byteIndex, e.byteCount, "a", nullptr);
        break;
      case SimDoc::Event::Comment:
        mapper.comment(e.byteIndex, e.byteCount, "");
        break;
      case SimDoc::Event::Delimiter:
        mapper.addDelimiter();
        break;
      case SimDoc::Event::Field:
        mapper.startField("ex", e.exclude);
        break;
      case SimDoc::Event::EndField:
        mapper.endField();
        break;
    }
  }
  mapper.finishPass();
}

TEST_F(MapperFixture, XmlAgreesWithModelOverRandomDocuments) {
  std::mt19937 rng(testSeed());
  for (int round = 0; round < 300; ++round) {
    SimDoc doc;
    bool excluded = false;
    int pieces = 1 + static_cast<int>(rng() % 12);
    for (int p = 0; p < pieces; ++p) {
      switch (rng() % 7) {
        case 0:
        case 1: {
          U16 s;
          int n = 1 + static_cast<int>(rng() % 6);
          for (int i = 0; i < n; ++i) appendCp(s, randomCp(rng));
          doc.text(s, excluded);
          break;
        }
        case 2:
          if (rng() % 2)
            doc.entity(u16(u"&amp;"), u16(u"&"), excluded);
          else
            doc.entity(u16(u"&#x1F600;"), u16(u"\U0001F600"), excluded);
          break;
        case 3:
          doc.markup(u16(u"<b x='1'>"));
          break;
        case 4: {
          SimDoc::Event e{SimDoc::Event::Comment, doc.byteIndex(), 18, U16(),
                          false};
          doc.events.push_back(e);
          doc.addSource(u16(u"<!-- note &amp; -->").substr(0, 9));
          break;
        }
        case 5:
          if (!excluded) doc.delimiter();
          break;
        default:
          if (!excluded) {
            excluded = rng() % 2 == 0;
            doc.events.push_back(
                {SimDoc::Event::Field, 0, 0, U16(), excluded});
          } else {
            doc.events.push_back({SimDoc::Event::EndField, 0, 0, U16(), false});
            excluded = false;
          }
          break;
      }
    }
    // Hits start and end on characters that came from the document;
    // starts ascend, extents may overlap and nest.
    std::vector<uint32_t> real;
    for (uint32_t i = 0; i < doc.from.size(); ++i)
      if (doc.from[i].first >= 0) real.push_back(i);
    std::vector<std::pair<uint32_t, uint32_t>> wanted;
    for (size_t k = 0; k < real.size(); ++k) {
      if (rng() % 3 != 0) continue;
      size_t last = std::min(real.size() - 1, k + rng() % 5);
      wanted.push_back({real[k], real[last] - real[k] + 1});
    }
    ItlClHitlist hits(static_cast<unsigned>(wanted.size()));
    for (auto const& w : wanted) hits.add(ItlEnDocPartType_None, w.first, w.second);
    ItlClDocumentOffsetMapperXml mapper(hits, *names, selection);
    replay(doc, mapper);
    ItlClHitlist const& mapped = mapper.getMappedHits();
    ASSERT_EQ(mapped.getCount(), wanted.size()) << "round " << round;
    for (size_t k = 0; k < wanted.size(); ++k) {
      int64_t start = doc.from[wanted[k].first].first;
      int64_t end = doc.from[wanted[k].first + wanted[k].second - 1].second;
      EXPECT_EQ(mapped.get(k).getPartType(), ItlEnDocPartType_Text);
      EXPECT_EQ(mapped.get(k).getOffset(), start) << "round " << round;
      EXPECT_EQ(mapped.get(k).getLength(), end - start) << "round " << round;
    }
  }
}

TEST_F(MapperFixture, EmptySourceListRecordsNothing) {
  ItlClHitlist hits(0);
  ItlClDocumentOffsetMapperXml mapper(hits, *names, selection);
  SimDoc doc;
  doc.text(u16(u"abc"), false);
  doc.delimiter();
  doc.entity(u16(u"&amp;"), u16(u"&"), false);
  replay(doc, mapper);
  EXPECT_EQ(mapper.getMappedHits().getCount(), 0u);
  EXPECT_EQ(mapper.getDocumentFormat(), ItlEnDocumentFormat_Xml);
}

TEST_F(MapperFixture, HitStartingInDelimiterIsDropped) {
  ItlClHitlist hits(2);
  hits.add(ItlEnDocPartType_None, 3, 2);  // the delimiter and "d"
  hits.add(ItlEnDocPartType_None, 4, 1);  // "d"
  SimDoc doc;
  doc.text(u16(u"abc"), false);
  doc.delimiter();
  doc.text(u16(u"de"), false);
  ItlClDocumentOffsetMapperXml mapper(hits, *names, selection);
  replay(doc, mapper);
  ASSERT_EQ(mapper.getMappedHits().getCount(), 1u);
  EXPECT_EQ(mapper.getMappedHits().get(0).getOffset(), 3u);
}

// <doc><body>aaa</body><title>bbb<inner>ccc</inner></title></doc> with
// "title" selected: the hit in body goes, those in title and in inner stay.
TEST_F(MapperFixture, FieldSelectionKeepsNestedDropsOthers) {
  selection.add(numberOf("title"));
  ItlClHitlist hits(3);
  hits.add(ItlEnDocPartType_None, 0, 3);
  hits.add(ItlEnDocPartType_None, 4, 3);
  hits.add(ItlEnDocPartType_None, 8, 3);
  ItlClDocumentOffsetMapperXml mapper(hits, *names, selection);
  U16 src = u16(u"<doc><body>aaa</body><title>bbb<inner>ccc</inner></title></doc>");
  mapper.setSourceBuffer(reinterpret_cast<char const*>(src.data()),
                         static_cast<unsigned>(src.size() * 2));
  U16 a = u16(u"aaa"), b = u16(u"bbb"), c = u16(u"ccc");
  mapper.startField("doc", false);
  mapper.startField("body", false);
  mapper.processText(11 * 2, 6, a.data(), 6);
  mapper.endField();
  mapper.addDelimiter();
  mapper.startField("title", false);
  mapper.processText(28 * 2, 6, b.data(), 6);
  mapper.addDelimiter();
  mapper.startField("inner", false);
  mapper.processText(38 * 2, 6, c.data(), 6);
  mapper.endField();
  mapper.endField();
  mapper.endField();
  mapper.finishPass();
  ItlClHitlist const& mapped = mapper.getMappedHits();
  ASSERT_EQ(mapped.getCount(), 2u);
  EXPECT_EQ(mapped.get(0).getOffset(), 28u);
  EXPECT_EQ(mapped.get(1).getOffset(), 38u);
  EXPECT_EQ(mapped.get(1).getLength(), 3u);
}

TEST_F(MapperFixture, UnknownElementRaises403EmptyNameDoesNot) {
  ItlClHitlist hits(0);
  ItlClDocumentOffsetMapperXml mapper(hits, *names, selection);
  Caught c = catchItl([&] { mapper.startField("nosuchfield", false); });
  EXPECT_EQ(c.reason, 403);
  EXPECT_EQ(c.rc, 8);
  EXPECT_EQ(catchItl([&] { mapper.startField("", false); }).reason, -1);
  mapper.endField();
  mapper.endField();  // none open: nothing happens
  EXPECT_FALSE(mapper.isExcluding());
  mapper.startField("ex", true);
  EXPECT_TRUE(mapper.isExcluding());
  mapper.startField("inner", false);
  EXPECT_FALSE(mapper.isExcluding());
  mapper.endField();
  EXPECT_TRUE(mapper.isExcluding());
}

// Comment text steps over "<!--"; markup and processing instructions are
// highlighted whole; the part type follows the last event.
TEST_F(MapperFixture, CommentsMarkupAndProlog) {
  U16 src = u16(u"<a t='xy'>q<!--abc--><?p zz?></a>");
  ItlClHitlist hits(4);
  hits.add(ItlEnDocPartType_None, 1, 1);  // "y" of the attribute value
  hits.add(ItlEnDocPartType_None, 3, 1);  // "q"
  hits.add(ItlEnDocPartType_None, 6, 2);  // "bc"
  hits.add(ItlEnDocPartType_None, 9, 1);  // "z"
  // A prolog fed ahead of the buffer moves every byte index, not the
  // mapped offsets.
  for (unsigned prolog : {0u, 22u}) {
    ItlClDocumentOffsetMapperXml mapper(hits, *names, selection);
    mapper.setPrologLength(prolog);
    unsigned const p = prolog * 2;
    mapper.setSourceBuffer(reinterpret_cast<char const*>(src.data()),
                           static_cast<unsigned>(src.size() * 2));
    U16 xy = u16(u"xy"), q = u16(u"q"), abc = u16(u"abc"), zz = u16(u"zz");
    mapper.startElement(p + 0, 20, "a", nullptr);
    mapper.processOther(p + 0, 20, xy.data(), 4);
    mapper.addDelimiter();
    mapper.characterData(p + 20, 2, "q", 1);
    mapper.processText(p + 20, 2, q.data(), 2);
    mapper.addDelimiter();
    mapper.comment(p + 22, 20, "abc");
    mapper.processOther(p + 22, 20, abc.data(), 6);
    mapper.addDelimiter();
    mapper.processingInstruction(p + 42, 16, "p", "zz");
    mapper.processOther(p + 42, 16, zz.data(), 4);
    mapper.endElement(p + 58, 8, "a");
    EXPECT_EQ(mapper.getPartType(), ItlEnDocPartType_None);
    mapper.finishPass();
    ItlClHitlist const& m = mapper.getMappedHits();
    ASSERT_EQ(m.getCount(), 4u);
    struct { ItlEnDocPartType type; uint32_t offset, length; } const want[] = {
        {ItlEnDocPartType_ElementMarkup, 0, 10},
        {ItlEnDocPartType_Text, 10, 1},
        {ItlEnDocPartType_Comment, 16, 2},
        {ItlEnDocPartType_ProcessingInstruction, 21, 8}};
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(m.get(k).getPartType(), want[k].type) << k;
      EXPECT_EQ(m.get(k).getOffset(), want[k].offset) << k << " prolog " << prolog;
      EXPECT_EQ(m.get(k).getLength(), want[k].length) << k;
    }
  }
}

}  // namespace
