// Tests of the filter-library model: refused definitions, tag limits,
// duplicates at compile time, and the two tables.
#include <gtest/gtest.h>

#include <string>

#include "dl_test_util.hpp"
#include "itl_inso_tag_table.hpp"
#include "itl_insomodel.hpp"

namespace {

std::string wrap(std::string const& defs) { return inRoot("INSOModel", defs); }

Caught load(ItlClInsoModel& m, std::string const& text) { return loadModel(m, text); }

TEST(InsoModel, RefusedDefinitions) {
  struct Case {
    std::string text;
    int reason;
    std::string context;
  } const cases[] = {
      {"<INSOFieldDefinition name='a' tag='SCCCA_TITLE'/>", 209,
       "Tag unexpected: INSOFieldDefinition"},
      {wrap("<INSOModel/>"), 209, "Tag unexpected: INSOModel"},
      {wrap("<INSOFieldDefinition name='' tag='SCCCA_TITLE'/>"), 207,
       "Empty name parameter"},
      {wrap("<INSOFieldDefinition name='a' type='DATE' tag='SCCCA_TITLE'/>"),
       206, "Invalid parameter: type"},
      {wrap("<INSOAttributeDefinition name='a' type='x' tag='SCCCA_TITLE'/>"),
       207, "Invalid parameter: type\nInvalid parameter value: x"},
      {wrap("<INSOAttributeDefinition name='a' exclude='no' type='DATE' "
            "tag='SCCCA_TITLE'/>"),
       206, "Invalid parameter: exclude"},
      {wrap("<INSOFieldDefinition name='a' exclude='n' tag='SCCCA_TITLE'/>"),
       207, "Invalid parameter: exclude\nInvalid parameter value: n"},
      {wrap("<INSOFieldDefinition name='a' tag='" + std::string(30, 'X') +
            "'/>"),
       207, "Invalid parameter: tag\nInvalid parameter value: " +
                std::string(30, 'X')},
      {wrap("<INSOFieldDefinition name='a' tag='" + std::string(31, 'X') +
            "'/>"),
       216, "Invalid parameter: tag\nInvalid parameter value: " +
                std::string(31, 'X')},
      {wrap("<INSOFieldDefinition name='a' tag='sccca_title'/>"), 207,
       "Invalid parameter: tag\nInvalid parameter value: sccca_title"},
      {wrap("<INSOFieldDefinition name='a' Tag='SCCCA_TITLE'/>"), 206,
       "Invalid parameter: Tag"},
      {wrap("<INSOFieldDefinition tag='SCCCA_TITLE'/>"), 208,
       "Missing parameter: name"},
      {wrap("<INSOFieldDefinition name='a'/>"), 208, "Missing parameter: tag"},
      {wrap("<INSOAttributeDefinition name='a' tag='SCCCA_TITLE'/>"), 208,
       "Missing parameter: type"},
      {wrap("<INSOFieldDefinition name='a' tag='SCCCA_TITLE'/>"
            "<INSOFieldDefinition name='b' tag='SCCCA_TITLE'/>"),
       217, "Duplicate model definition for: SCCCA_TITLE"},
      {wrap("<INSOAttributeDefinition name='a' type='date' tag='SCCCA_TOC'/>"
            "<INSOAttributeDefinition name='b' type='string' tag='SCCCA_TOC'/>"),
       218, "Duplicate model definition for: SCCCA_TOC"},
  };
  for (Case const& c : cases) {
    ItlClErrorInfo info;
    ItlClInsoModel m(info);
    Caught got = load(m, c.text);
    EXPECT_EQ(got.reason, c.reason) << c.text;
    EXPECT_EQ(got.rc, 8);
    EXPECT_EQ(got.context, c.context) << c.text;
    EXPECT_EQ(got.origin.rfind("source/itl_dl/itl_insomodel:", 0), 0u)
        << got.origin;
  }
}

TEST(InsoModel, FieldAndAttributeShareATag) {
  ItlClErrorInfo info;
  ItlClInsoModel m(info);
  ASSERT_EQ(load(m, wrap("<INSOFieldDefinition name='t' exclude='YES' "
                         "tag='SCCCA_TITLE'/>"
                         "<INSOAttributeDefinition name='ta' type='STRING' "
                         "tag='SCCCA_TITLE'/>"
                         "<INSOFieldDefinition name='r' "
                         "tag='SCCCA_REFERENCEDTEXT'/>"))
                .reason,
            -1);
  ItlClInsoModelItem const* f = m.getMatchingItem(6, true);
  ItlClInsoModelItem const* a = m.getMatchingItem(6, false);
  ASSERT_NE(f, nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(f->getName(), "t");
  EXPECT_TRUE(f->isExcluded());
  EXPECT_STREQ(a->getName(), "ta");
  EXPECT_EQ(a->getType(), ItlEnAttributeType_String);
  EXPECT_STREQ(m.getMatchingItem(99, true)->getName(), "r");
  EXPECT_EQ(m.getMatchingItem(99, false), nullptr);
  EXPECT_EQ(m.getMatchingItem(7, true), nullptr);
  for (unsigned n : {0u, 100u, 1000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(m.getMatchingItem(n, true), nullptr) << n;
    EXPECT_EQ(m.getMatchingItem(n, false), nullptr) << n;
  }
}

}  // namespace
