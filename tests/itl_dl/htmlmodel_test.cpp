// Tests of the HTML model: refused definitions, case of tags and meta
// qualifiers, the four arrays, searches against a linear scan, and the
// trace records of loading and searching.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cos_trace.hpp"
#include "dl_test_util.hpp"
#include "itl_htmlmodel.hpp"
#include "ti_test_util.hpp"

namespace {

std::string wrap(std::string const& defs) { return inRoot("HTMLModel", defs); }

Caught load(ItlClHtmlModel& m, std::string const& text) { return loadModel(m, text); }

TEST(HtmlModel, RefusedDefinitions) {
  std::string longTag(1025, 'a');
  expectRefusals<ItlClHtmlModel>({
      {"<GPPModel/>", 209, "Tag unexpected: GPPModel", 212},
      {wrap("<HTMLModel/>"), 209, "Tag unexpected: HTMLModel", 234},
      {wrap("<HTMLFieldDefinition name='' tag='h1'/>"), 207,
       "Empty name parameter", 253},
      {wrap("<HTMLFieldDefinition name='a' type='DATE' tag='h1'/>"), 206,
       "Invalid parameter: type", 266},
      {wrap("<HTMLAttributeDefinition name='a' type='INT' tag='h1'/>"), 207,
       "Invalid parameter: type\nInvalid parameter value: INT", 275},
      {wrap("<HTMLAttributeDefinition name='a' exclude='no' tag='h1'/>"), 206,
       "Invalid parameter: exclude", 286},
      {wrap("<HTMLFieldDefinition name='a' exclude='1' tag='h1'/>"), 207,
       "Invalid parameter: exclude\nInvalid parameter value: 1", 296},
      {wrap("<HTMLFieldDefinition name='a' tag='" + longTag + "'/>"), 216,
       "Invalid parameter: tag\nInvalid parameter value: " + longTag, 311},
      {wrap("<HTMLFieldDefinition name='a' tag='Body'/>"), 207,
       "Invalid parameter: tag\nInvalid parameter value: Body", 324},
      {wrap("<HTMLFieldDefinition name='a' tag=''/>"), 207,
       "Invalid parameter: tag\nInvalid parameter value: ", 324},
      {wrap("<HTMLFieldDefinition name='a' tag='meta' meta-qualifier='" +
            longTag + "'/>"),
       216, "Invalid parameter: meta-qualifier\nInvalid parameter value: " +
                longTag,
       338},
      {wrap("<HTMLFieldDefinition name='a' tag='h1' Tag='h1'/>"), 206,
       "Invalid parameter: Tag", 352},
      {wrap("<HTMLFieldDefinition tag='h1'/>"), 208, "Missing parameter: name",
       362},
      {wrap("<HTMLFieldDefinition name='a'/>"), 208, "Missing parameter: tag",
       369},
      {wrap("<HTMLAttributeDefinition name='a' tag='h1'/>"), 208,
       "Missing parameter: type", 377},
      {wrap("<HTMLFieldDefinition name='a' tag='title' meta-qualifier='x'/>"),
       206, "Invalid parameter: meta-qualifier", 386},
      {wrap("<HTMLFieldDefinition tag='title' meta-qualifier='x'/>"), 208,
       "Missing parameter: name", 362},
  }, "source/itl_dl/itl_htmlmodel");
}

TEST(HtmlModel, TagsAreFoldedMetaQualifiersAreNot) {
  ItlClErrorInfo info;
  ItlClHtmlModel m(info);
  std::string text = wrap(
      "<HTMLFieldDefinition name='head' tag='H1' exclude='YES'/>"
      "<HTMLAttributeDefinition name='who' type='NUMBER' tag='Meta' "
      "meta-qualifier='Author'/>"
      "<HTMLFieldDefinition name='m' tag='meta'/>"
      "<HTMLAttributeDefinition name='t' type='string' tag='TITLE'/>"
      "<HTMLFieldDefinition name='mf' tag='meta' meta-qualifier=''/>");
  ASSERT_EQ(load(m, text).reason, -1);
  EXPECT_EQ(m.getNumFieldDefs(), 2);
  EXPECT_EQ(m.getNumAttrDefs(), 1);
  EXPECT_EQ(m.getNumMetaFieldDefs(), 1);
  EXPECT_EQ(m.getNumMetaAttrDefs(), 1);

  U16 h1 = u16(u"h1"), H1 = u16(u"H1");
  ItlClHtmlModelItem const* item = m.getMatchingItem(h1.data(), 2, true);
  ASSERT_NE(item, nullptr);
  EXPECT_STREQ(item->getName(), "head");
  EXPECT_TRUE(item->isExcluded());
  EXPECT_EQ(m.getMatchingItem(H1.data(), 2, true), nullptr);
  EXPECT_EQ(m.getMatchingItem(h1.data(), 2, false), nullptr);

  U16 author = u16(u"Author"), lower = u16(u"author");
  item = m.getMatchingMetaItem(author.data(), 6, false);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->getType(), ItlEnAttributeType_Number);
  EXPECT_EQ(m.getMatchingMetaItem(lower.data(), 6, false), nullptr);
  EXPECT_EQ(m.getMatchingMetaItem(author.data(), 6, true), nullptr);

  U16 meta = u16(u"meta"), title = u16(u"title");
  EXPECT_STREQ(m.getMatchingItem(meta.data(), 4, true)->getName(), "m");
  EXPECT_STREQ(m.getMatchingItem(title.data(), 5, false)->getName(), "t");
  // A key of length 0 matches only the empty meta qualifier.
  EXPECT_STREQ(m.getMatchingMetaItem(nullptr, 0, true)->getName(), "mf");
  EXPECT_EQ(m.getMatchingItem(nullptr, 0, true), nullptr);
}

TEST(HtmlModel, RootOnlyFindsNothing) {
  ItlClErrorInfo info;
  ItlClHtmlModel m(info);
  ASSERT_EQ(load(m, "<HTMLModel/>").reason, -1);
  U16 h1 = u16(u"h1");
  EXPECT_EQ(m.getMatchingItem(h1.data(), 2, true), nullptr);
  EXPECT_EQ(m.getMatchingMetaItem(h1.data(), 2, false), nullptr);
}

TEST(HtmlModel, SearchAgreesWithLinearScan) {
  std::mt19937 rng(testSeed());
  char const* tags[] = {"a", "address", "au", "author", "h1", "h2", "title",
                        "meta"};
  char const* quals[] = {"", "A", "Ab", "b", "B", "\xC3\xA9", "ab"};
  for (int round = 0; round < 30; ++round) {
    std::string defs;
    int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) {
      bool field = rng() % 2;
      bool meta = rng() % 2;
      std::string tag = meta ? "meta" : tags[rng() % 8];
      defs += field ? "<HTMLFieldDefinition" : "<HTMLAttributeDefinition type='STRING'";
      defs += " name='n" + std::to_string(i) + "' tag='" + tag + "'";
      if (meta) defs += std::string(" meta-qualifier='") + quals[rng() % 7] + "'";
      defs += "/>";
    }
    ItlClErrorInfo info;
    ItlClHtmlModel m(info);
    ASSERT_EQ(load(m, wrap(defs)).reason, -1) << defs;
    for (int p = 0; p < 40; ++p) {
      U16 key;
      size_t len = rng() % 4;
      static unsigned short const units[] = {'a', 'b', 'A', 'B', 'h', '1',
                                             'u', 0xE9};
      for (size_t i = 0; i < len; ++i) key += units[rng() % 8];
      if (rng() % 3 == 0) {
        char const* t = tags[rng() % 8];
        key = U16(t, t + std::strlen(t));
      }
      for (bool fields : {true, false}) {
        for (bool metaSearch : {false, true}) {
          ItlClHtmlModelItem const* got =
              metaSearch ? m.getMatchingMetaItem(key.data(), key.size(), fields)
                         : m.getMatchingItem(key.data(), key.size(), fields);
          bool exists = false;
          for (unsigned short i = 0; i < m.getItemCount(); ++i) {
            auto const* it = static_cast<ItlClHtmlModelItem const*>(m.getItem(i));
            if (it->isField() != fields) continue;
            if ((it->getMetaQualifier() != nullptr) != metaSearch) continue;
            U16 s(metaSearch ? it->getMetaQualifier() : it->getTag());
            if (s == key) exists = true;
          }
          ASSERT_EQ(got != nullptr, exists) << defs;
          if (got) {
            ASSERT_EQ(U16(metaSearch ? got->getMetaQualifier() : got->getTag()),
                      key);
            ASSERT_EQ(got->isField(), fields);
          }
        }
      }
    }
  }
}

}  // namespace

namespace {

struct TraceRecord {
  std::string message;
  std::string data;
};

void collect(void* context, CosEnTraceDetail, uint16_t, CosEnTraceDataType,
             char const*, char const* message, void const* data,
             uint32_t length) {
  auto* log = static_cast<std::vector<TraceRecord>*>(context);
  log->push_back({message ? message : "",
                  data ? std::string(static_cast<char const*>(data), length)
                       : std::string()});
}

TEST(HtmlModel, LoadingAndSearchesAreTracedWhenTheTraceIsOn) {
  std::vector<TraceRecord> log;
  CosClTraceInstance* trace = cosTraceCreateInstance("itltest", "htmlmodel");
  trace->registerUserCallback(collect, &log);
  trace->activate();
  ASSERT_TRUE(trace->enable());
  {
    ItlClErrorInfo info;
    ItlClHtmlModel m(info);
    load(m, wrap("<HTMLFieldDefinition name='head' tag='h1'/>"
                 "<HTMLFieldDefinition name='q' tag='meta' meta-qualifier=''/>"));
    U16 h1 = u16(u"h1");
    m.getMatchingItem(h1.data(), 2, true);
    U16 h2 = u16(u"h2");
    m.getMatchingItem(h2.data(), 2, true);
  }
  trace->disable();
  cosTraceDeleteInstance();
  std::vector<std::string> wanted = {"item name after setName", "add model item",
                                     "Fields (not META)", "Meta fields",
                                     "matching item", "no match"};
  for (std::string const& w : wanted) {
    bool found = false;
    for (TraceRecord const& r : log) found = found || r.message == w;
    EXPECT_TRUE(found) << w << " (" << log.size() << " records)";
  }
}

}  // namespace
