// Tests of the Expat seam: the error-code table and the callback guard.
#include <gtest/gtest.h>

#include <stdexcept>

#include "itl_xmlp_interface.hpp"

namespace {

TEST(XmlPInterface, ReasonTable) {
  struct Row {
    int code;
    int reason;
  } const rows[] = {{0, 0},    {1, 2},    {2, 617},  {3, 611},  {4, 608},
                    {5, 620},  {6, 615},  {7, 618},  {8, 605},  {9, 609},
                    {10, 614}, {11, 621}, {12, 616}, {13, 600}, {14, 602},
                    {15, 603}, {16, 607}, {17, 610}, {20, 619}};
  ASSERT_EQ(sizeof rows / sizeof rows[0], ItlClXmlPInterface::kPairCount);
  for (Row const& r : rows) {
    EXPECT_EQ(ItlClXmlPInterface::getItlReasonCodeForXmlPRc(
                  static_cast<XML_Error>(r.code)),
              r.reason)
        << "code " << r.code;
  }
  for (int code : {18, 19, 21, 22, 35, 40, 1000})
    EXPECT_EQ(ItlClXmlPInterface::getItlReasonCodeForXmlPRc(
                  static_cast<XML_Error>(code)),
              622)
        << "code " << code;
}

TEST(XmlPInterface, ReturnCodeAndAction) {
  EXPECT_EQ(ItlClXmlPInterface::getItlReturnCodeForXmlP(XML_ERROR_NONE), 0);
  for (int code = 1; code < 45; ++code) {
    XML_Error e = static_cast<XML_Error>(code);
    EXPECT_EQ(ItlClXmlPInterface::getItlReturnCodeForXmlP(e), 4);
    EXPECT_EQ(ItlClXmlPInterface::getItlActionForXmlP(e), 100002);
  }
  EXPECT_EQ(ItlClXmlPInterface::getItlActionForXmlP(XML_ERROR_NONE), 100002);
}

struct Seen {
  ItlClExpatGuard* guard;
  int starts = 0;
};

void XMLCALL onStart(void* user, char const* name, char const**) {
  Seen* s = static_cast<Seen*>(user);
  s->guard->run([&] {
    ++s->starts;
    if (std::string(name) == "bad") throw std::runtime_error("refused");
  });
}

TEST(ExpatGuard, ExceptionLeavesAfterParseAndStopsIt) {
  XML_Parser p = itlExpatCreateParser("UTF-8");
  ASSERT_NE(p, nullptr);
  ItlClExpatGuard guard(p);
  Seen seen{&guard};
  XML_SetUserData(p, &seen);
  XML_SetElementHandler(p, &onStart, nullptr);
  char const text[] = "<r>\n<a/>\n<bad/>\n<c/><d/></r>";
  XML_Status st = XML_Parse(p, text, sizeof text - 1, 1);
  EXPECT_EQ(st, XML_STATUS_ERROR);
  EXPECT_TRUE(guard.failed());
  EXPECT_EQ(seen.starts, 3);  // nothing after the failing element
  EXPECT_EQ(XML_GetCurrentLineNumber(p), 3u);
  EXPECT_THROW(guard.rethrowIfFailed(), std::runtime_error);
  EXPECT_NO_THROW(guard.rethrowIfFailed());
  XML_ParserFree(p);
}

}  // namespace
