// Tests of the structured-document model: every refused definition with
// its reason, context and origin; the limits of start strings; items.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dl_test_util.hpp"
#include "itl_gpp_tag_finder.hpp"
#include "itl_gppmodel.hpp"

namespace {

std::string wrap(std::string const& defs) { return inRoot("GPPModel", defs); }

Caught load(ItlClGppModel& m, std::string const& text) { return loadModel(m, text); }

TEST(GppModel, RefusedDefinitions) {
  std::string longStart(1025, 'x');
  expectRefusals<ItlClGppModel>({
      {"<Model/>", 209, "Tag unexpected: Model", 79},
      {wrap("<GPPModel/>"), 209, "Tag unexpected: GPPModel", 96},
      {wrap("<Field name='a' start='x'/>"), 209, "Tag unexpected: Field", 96},
      {wrap("<GPPFieldDefinition name='' start='x'/>"), 207,
       "Empty name parameter", 115},
      {wrap("<GPPFieldDefinition name='a' type='STRING' start='x'/>"), 206,
       "Invalid parameter: type", 128},
      {wrap("<GPPAttributeDefinition name='a' type='INT' start='x'/>"), 207,
       "Invalid parameter: type\nInvalid parameter value: INT", 137},
      {wrap("<GPPAttributeDefinition name='a' type='DATE' exclude='yes' "
            "start='x'/>"),
       206, "Invalid parameter: exclude", 148},
      {wrap("<GPPFieldDefinition name='a' exclude='Y' start='x'/>"), 207,
       "Invalid parameter: exclude\nInvalid parameter value: Y", 158},
      {wrap("<GPPFieldDefinition name='a' start=''/>"), 207,
       "Invalid parameter: start\nInvalid parameter value: ", 172},
      {wrap("<GPPFieldDefinition name='a' start='" + longStart + "'/>"), 216,
       "Invalid parameter: start\nInvalid parameter value: " + longStart,
       182},
      {wrap("<GPPFieldDefinition name='a' start='x' end=''/>"), 207,
       "Invalid parameter: end\nInvalid parameter value: ", 196},
      {wrap("<GPPFieldDefinition name='a' start='x' end='" + longStart +
            "'/>"),
       216, "Invalid parameter: end\nInvalid parameter value: " + longStart,
       206},
      {wrap("<GPPFieldDefinition name='a' Start='x'/>"), 206,
       "Invalid parameter: Start", 215},
      {wrap("<GPPFieldDefinition start='x'/>"), 208, "Missing parameter: name",
       225},
      {wrap("<GPPFieldDefinition name='a' end='y'/>"), 208,
       "Missing parameter: start", 232},
      {wrap("<GPPAttributeDefinition name='a' start='x'/>"), 208,
       "Missing parameter: type", 240},
      // The attribute checks come before the missing-parameter checks.
      {wrap("<GPPFieldDefinition start=''/>"), 207,
       "Invalid parameter: start\nInvalid parameter value: ", 172},
  }, "source/itl_dl/itl_gppmodel");
}

TEST(GppModel, StartLimitCountsBytes) {
  // 512 two-byte characters are 1024 bytes: accepted; one byte more is not.
  std::string two;
  for (int i = 0; i < 512; ++i) two += "\xC3\xA9";
  {
    ItlClErrorInfo info;
    ItlClGppModel m(info);
    EXPECT_EQ(load(m, wrap("<GPPFieldDefinition name='a' start='" + two +
                           "'/>")).reason,
              -1);
    ASSERT_EQ(m.getItemCount(), 1);
    U16 start(m.getGppItem(0)->getStartString());
    EXPECT_EQ(start, U16(512, 0xE9));
  }
  {
    ItlClErrorInfo info;
    ItlClGppModel m(info);
    Caught c = load(m, wrap("<GPPFieldDefinition name='a' start='" + two +
                            "x'/>"));
    EXPECT_EQ(c.reason, 216);
  }
}

TEST(GppModel, LoadsItemsInOrder) {
  ItlClErrorInfo info;
  ItlClGppModel m(info);
  std::string text = wrap(
      "<GPPFieldDefinition name='title' exclude='yes' start='[t'>"
      "  <GPPAttributeDefinition name='d' type='date' start='[d' end=']'/>"
      "</GPPFieldDefinition>"
      "<GPPFieldDefinition name='x' start='#D'/>"
      "<GPPAttributeDefinition name='y' type='NUMBER' start='#D'/>");
  ASSERT_EQ(load(m, text).reason, -1);
  ASSERT_TRUE(m.isLoaded());
  ASSERT_EQ(m.getItemCount(), 4);
  ItlClGppModelItem const* a = m.getGppItem(0);
  EXPECT_STREQ(a->getName(), "title");
  EXPECT_TRUE(a->isField());
  EXPECT_TRUE(a->isExcluded());
  EXPECT_EQ(U16(a->getStartString()), u16(u"[t"));
  EXPECT_EQ(a->getEndString(), nullptr);
  ItlClGppModelItem const* b = m.getGppItem(1);  // nested: loaded as any
  EXPECT_EQ(b->getType(), ItlEnAttributeType_Date);
  EXPECT_FALSE(b->isExcluded());
  EXPECT_EQ(U16(b->getEndString()), u16(u"]"));
  EXPECT_EQ(m.getGppItem(3)->getType(), ItlEnAttributeType_Number);
}

TEST(GppModel, CompileRefusesAmbiguousStarts) {
  struct Case {
    std::string defs;
    int reason;
  } const cases[] = {
      {"<GPPFieldDefinition name='a' start='x'/>"
       "<GPPFieldDefinition name='b' start='x'/>",
       650},
      {"<GPPFieldDefinition name='a' start='[a'/>"
       "<GPPFieldDefinition name='b' start='[ab'/>",
       651},
      {"<GPPFieldDefinition name='a' start='#D' end='/'/>"
       "<GPPAttributeDefinition name='b' type='string' start='#D' end=';'/>",
       652},
      {"<GPPFieldDefinition name='a' start='#D' end='/'/>"
       "<GPPAttributeDefinition name='b' type='string' start='#D' end='/'/>",
       -1},
  };
  for (Case const& c : cases) {
    ItlClErrorInfo info;
    ItlClGppModel m(info);
    Caught got = load(m, wrap(c.defs));
    EXPECT_EQ(got.reason, c.reason) << c.defs;
    // Compilation runs after the parse: loaded, no parser kept.
    EXPECT_TRUE(m.isLoaded());
    EXPECT_FALSE(m.hasXmlParser());
  }
}

}  // namespace
