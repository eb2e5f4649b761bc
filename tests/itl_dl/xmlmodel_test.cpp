// Tests of the XML document model: every refused definition with reason,
// context and origin; priorities and split locators; the choice of the
// item for a node; the expansion of the name variables.
#include <gtest/gtest.h>

#include <string>

#include "dl_test_util.hpp"
#include "itl_xml_doc_path.hpp"
#include "itl_xmlmodel.hpp"
#include "xml_doc_path_fixture.hpp"

namespace {

std::string wrap(std::string const& defs) { return inRoot("XMLModel", defs); }

std::string field(std::string const& params) {
  return "<XMLFieldDefinition " + params + "/>";
}
std::string attr(std::string const& params) {
  return "<XMLAttributeDefinition " + params + "/>";
}

TEST(XmlModel, RefusedDefinitions) {
  expectRefusals<ItlClXmlModel>({
      {"<Model/>", 209, "Tag unexpected: Model", 92},
      {wrap("<XMLModel/>"), 209, "Tag unexpected: XMLModel", 118},
      {wrap("<Field name='a' locator='a'/>"), 209, "Tag unexpected: Field",
       118},
      {wrap(field("name='' locator='a'")), 207, "Empty name parameter", 137},
      {wrap(field("name='a' type='STRING' locator='a'")), 206,
       "Invalid parameter: type", 151},
      {wrap(attr("name='a' type='INT' locator='a'")), 207,
       "Invalid parameter: type\nInvalid parameter value: INT", 160},
      {wrap(attr("name='a' type='DATE' exclude='yes' locator='a'")), 206,
       "Invalid parameter: exclude", 171},
      {wrap(field("name='a' exclude='Y' locator='a'")), 207,
       "Invalid parameter: exclude\nInvalid parameter value: Y", 181},
      {wrap(field("name='a' locator='a' priority='1.5'")), 207,
       "Invalid parameter: priority\nInvalid parameter value: 1.5", 202},
      {wrap(field("name='a' locator='a' priority='-2'")), 207,
       "Invalid parameter: priority\nInvalid parameter value: -2", 202},
      {wrap(field("name='a' locator='a' priority='NaN'")), 207,
       "Invalid parameter: priority\nInvalid parameter value: NaN", 202},
      // Text that is no number is refused, not read as 0.0.
      {wrap(field("name='a' locator='a' priority='abc'")), 207,
       "Invalid parameter: priority\nInvalid parameter value: abc", 202},
      {wrap(field("name='a' locator='a' priority='0.5x'")), 207,
       "Invalid parameter: priority\nInvalid parameter value: 0.5x", 202},
      {wrap(field("name='a' locator='a' priority=''")), 207,
       "Invalid parameter: priority\nInvalid parameter value: ", 202},
      {wrap(field("name='a' locator='a' Locator='b'")), 206,
       "Invalid parameter: Locator", 212},
      {wrap(field("locator='a'")), 208, "Missing parameter: name", 222},
      {wrap(field("name='a'")), 208, "Missing parameter: locator", 229},
      {wrap(attr("name='a' locator='a'")), 208, "Missing parameter: type",
       237},
      {wrap(field("name='a$(FOO)' locator='a'")), 200,
       "Invalid parameter: name\nInvalid parameter value: a$(FOO)", 479},
      {wrap(field("name='$(' locator='a'")), 200,
       "Invalid parameter: name\nInvalid parameter value: $(", 479},
      // Checks run in document order: the bad name before the missing
      // locator.
      {wrap(field("name='x$(PATHS' ")), 200,
       "Invalid parameter: name\nInvalid parameter value: x$(PATHS", 479},
  }, "source/itl_dl/itl_xmlmodel");
}

TEST(XmlModel, LocatorFailuresComeFromTheMatcher) {
  ItlClErrorInfo info;
  ItlClXmlModel m(info);
  Caught c = loadModel(m, wrap(field("name='a' locator='a|following::b'")));
  EXPECT_EQ(c.reason, 211);
  EXPECT_EQ(c.origin, "source/itl_dl/itl_xpathmatcher:248");
  // The first alternative was appended before the second failed.
  ASSERT_EQ(m.getItemCount(), 1);
  EXPECT_STREQ(m.getXmlItem(0)->getName(), "a");
  EXPECT_FALSE(m.isLoaded());
}

TEST(XmlModel, AcceptedDefinitions) {
  ItlClErrorInfo info;
  ItlClXmlModel m(info);
  ASSERT_EQ(
      loadModel(m, wrap(field("name='f' exclude='yes' locator='a|b'") +
                        field("name='g' locator='a | b' priority='0.7'") +
                        attr("name='n' type='Number' locator='//x/@n'") +
                        field("name='a$b' locator='*' priority=' -1 '") +
                        field("name='a$(NAME)$(FOO)' locator='x:*'")))
          .reason,
      -1);
  ASSERT_TRUE(m.isLoaded());
  EXPECT_EQ(m.getNumFieldDefs(), 4);
  EXPECT_EQ(m.getNumAttrDefs(), 1);
  struct Row {
    char const* name;
    unsigned kind;
    bool exclude;
    float priority;
    char const* locator;
  } const rows[] = {
      {"f", 100003, true, 0.0f, "a|b"},   {"f", 100003, true, 0.0f, "b"},
      {"g", 100003, false, 0.7f, "a | b"}, {"g", 100003, false, 0.7f, "b"},
      {"n", 100001, false, 0.5f, "//x/@n"}, {"a$b", 100003, false, -1.0f, "*"},
      {"a$(NAME)$(FOO)", 100003, false, -0.25f, "x:*"},
  };
  ASSERT_EQ(m.getItemCount(), sizeof rows / sizeof rows[0]);
  for (unsigned short i = 0; i < m.getItemCount(); ++i) {
    ItlClXmlModelItem const* item = m.getXmlItem(i);
    SCOPED_TRACE(i);
    EXPECT_STREQ(item->getName(), rows[i].name);
    EXPECT_EQ(static_cast<unsigned>(item->getType()), rows[i].kind);
    EXPECT_EQ(item->isExcluded(), rows[i].exclude);
    EXPECT_FLOAT_EQ(item->getPriority(), rows[i].priority);
    EXPECT_STREQ(item->getLocator().getLocatorText(), rows[i].locator);
  }
}

// Loads `defs` into a model or fails the test.
void load(ItlClXmlModel& m, std::string const& defs) {
  Caught c = loadModel(m, wrap(defs));
  ASSERT_EQ(c.reason, -1) << c.context;
}

std::string winner(ItlClXmlModel const& m, std::string const& spec,
                   bool wantField) {
  TestPath p(spec);
  ItlClXmlModelItem const* item = m.getMatchingItem(p.path, wantField);
  return item ? item->getName() : "<none>";
}

TEST(XmlModel, ChoosesTheHighestPriorityLaterOnTies) {
  ItlClErrorInfo info;
  ItlClXmlModel m(info);
  load(m, field("name='any' locator='//*' priority='-1.0'") +
              field("name='first' locator='b'") +
              field("name='second' locator='b'") +
              field("name='abs' locator='/a/b'") +  // 0.5
              field("name='low' locator='/a/b' priority='0.1'") +
              attr("name='at' type='STRING' locator='@id'") +
              attr("name='deep' type='DATE' locator='//c/@id'"));
  struct Case {
    char const* path;
    bool field;
    char const* expected;
  } const cases[] = {
      {"a/b", true, "abs"},       // 0.5 beats 0.0 and 0.1
      {"x/b", true, "second"},    // equal priorities: the later wins
      {"x/y", true, "any"},       // -1.0 still matches
      {"x/@id", true, "<none>"},  // only attributes match: no field
      {"x/@id", false, "at"},
      {"c/@id", false, "deep"},
      {"a/b", false, "<none>"},   // only fields match: no attribute
      {"", true, "<none>"},
  };
  for (Case const& c : cases)
    EXPECT_EQ(winner(m, c.path, c.field), c.expected)
        << c.path << " " << c.field;
}

TEST(XmlModel, ExpandsTheFirstVariable) {
  ItlClErrorInfo info;
  ItlClXmlModel m(info);
  load(m, field("name='f_$(LOCALNAME)' locator='*'") +
              field("name='$(NAME)' locator='*'") +
              field("name='p$(PATH)x' locator='*'") +
              field("name='plain' locator='*'") +
              field("name='a$(NAME)$(FOO)' locator='*'") +
              field("name='$(LOCALNAME)' locator='*'"));
  struct Case {
    unsigned short item;
    char const* path;
    char const* expected;
  } const cases[] = {
      {0, "doc/ns:title", "f_title"},
      {1, "doc/ns:title", "ns:title"},
      {2, "doc/ns:title", "p/doc/ns:titlex"},
      {3, "doc/ns:title", "plain"},
      {4, "doc/t", "at$(FOO)"},
      {5, "doc/@xml:lang", "lang"},
      {5, "doc/a:b:c", "b:c"},
      {1, "doc/#", ""},  // a comment has no name
      {0, "doc/#", "f_"},
      {2, "doc/?pi", "p/doc/processing-instruction(pi)x"},
      {1, "", ""},
  };
  for (Case const& c : cases) {
    TestPath p(c.path);
    EXPECT_STREQ(m.expandItemName(*m.getXmlItem(c.item), p.path), c.expected)
        << c.item << " " << c.path;
  }
  EXPECT_EQ(m.expandItemName(*m.getXmlItem(3), TestPath("x").path),
            m.getXmlItem(3)->getName());
}

TEST(XmlModel, CutsExpandedNamesAt1023) {
  ItlClErrorInfo info;
  ItlClXmlModel m(info);
  std::string longPrefix(1030, 'p');
  std::string mid(1000, 'm');
  load(m, field("name='" + longPrefix + "$(NAME)' locator='*'") +
              field("name='" + mid + "$(NAME)tail' locator='*'") +
              field("name='" + mid + "$(PATH)tail' locator='*'") +
              field("name='" + mid + "$(LOCALNAME)" + std::string(30, 't') +
                    "' locator='*'"));
  std::string label(40, 'e');
  TestPath p("x:" + label);
  std::string full = "x:" + label;
  EXPECT_EQ(m.expandItemName(*m.getXmlItem(0), p.path),
            std::string(1023, 'p'));
  EXPECT_EQ(m.expandItemName(*m.getXmlItem(1), p.path),
            (mid + full).substr(0, 1023));
  // The path printer cuts an item that does not fit after its "/".
  EXPECT_EQ(m.expandItemName(*m.getXmlItem(2), p.path),
            mid + "/" + std::string("tail").substr(0, 1023 - mid.size() - 1));
  EXPECT_EQ(m.expandItemName(*m.getXmlItem(3), p.path),
            (mid + label + std::string(30, 't')).substr(0, 1023));
  TestPath shortPath("ab");
  EXPECT_EQ(m.expandItemName(*m.getXmlItem(2), shortPath.path),
            mid + "/abtail");
}

TEST(XmlModel, CloneCopiesAllButTheLocator) {
  ItlClErrorInfo info;
  ItlClXmlModel m(info);
  load(m, attr("name='d' type='date' locator='@d' priority='0.25'"));
  ItlClXmlModelItem copy;
  m.cloneItemExceptLocator(copy, *m.getXmlItem(0));
  EXPECT_STREQ(copy.getName(), "d");
  EXPECT_NE(copy.getName(), m.getXmlItem(0)->getName());
  EXPECT_EQ(copy.getType(), ItlEnAttributeType_Date);
  EXPECT_FLOAT_EQ(copy.getPriority(), 0.25f);
  EXPECT_EQ(copy.getLocator().getOperations(), nullptr);
}

}  // namespace
