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
  expectRefusals<ItlClInsoModel>({
      {"<INSOFieldDefinition name='a' tag='SCCCA_TITLE'/>", 209,
       "Tag unexpected: INSOFieldDefinition", 0},
      {wrap("<INSOModel/>"), 209, "Tag unexpected: INSOModel", 0},
      {wrap("<INSOFieldDefinition name='' tag='SCCCA_TITLE'/>"), 207,
       "Empty name parameter", 0},
      {wrap("<INSOFieldDefinition name='a' type='DATE' tag='SCCCA_TITLE'/>"),
       206, "Invalid parameter: type", 0},
      {wrap("<INSOAttributeDefinition name='a' type='x' tag='SCCCA_TITLE'/>"),
       207, "Invalid parameter: type\nInvalid parameter value: x", 0},
      {wrap("<INSOAttributeDefinition name='a' exclude='no' type='DATE' "
            "tag='SCCCA_TITLE'/>"),
       206, "Invalid parameter: exclude", 0},
      {wrap("<INSOFieldDefinition name='a' exclude='n' tag='SCCCA_TITLE'/>"),
       207, "Invalid parameter: exclude\nInvalid parameter value: n", 0},
      {wrap("<INSOFieldDefinition name='a' tag='" + std::string(30, 'X') +
            "'/>"),
       207, "Invalid parameter: tag\nInvalid parameter value: " +
                std::string(30, 'X'), 0},
      {wrap("<INSOFieldDefinition name='a' tag='" + std::string(31, 'X') +
            "'/>"),
       216, "Invalid parameter: tag\nInvalid parameter value: " +
                std::string(31, 'X'), 0},
      {wrap("<INSOFieldDefinition name='a' tag='sccca_title'/>"), 207,
       "Invalid parameter: tag\nInvalid parameter value: sccca_title", 0},
      {wrap("<INSOFieldDefinition name='a' Tag='SCCCA_TITLE'/>"), 206,
       "Invalid parameter: Tag", 0},
      {wrap("<INSOFieldDefinition tag='SCCCA_TITLE'/>"), 208,
       "Missing parameter: name", 0},
      {wrap("<INSOFieldDefinition name='a'/>"), 208, "Missing parameter: tag", 0},
      {wrap("<INSOAttributeDefinition name='a' tag='SCCCA_TITLE'/>"), 208,
       "Missing parameter: type", 0},
      {wrap("<INSOFieldDefinition name='a' tag='SCCCA_TITLE'/>"
            "<INSOFieldDefinition name='b' tag='SCCCA_TITLE'/>"),
       217, "Duplicate model definition for: SCCCA_TITLE", 0},
      {wrap("<INSOAttributeDefinition name='a' type='date' tag='SCCCA_TOC'/>"
            "<INSOAttributeDefinition name='b' type='string' tag='SCCCA_TOC'/>"),
       218, "Duplicate model definition for: SCCCA_TOC", 0},
  }, "source/itl_dl/itl_insomodel");
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
