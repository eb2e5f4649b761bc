// The parser factory over all five formats, the filter-library one
// through our stand-in libraries: every format has a parser of its own
// format, reused while the format stays; a failing filter-library parser
// leaves the current parser in place; the working directory never changes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "filter_standin_fixture.hpp"
#include "parser_fixture.hpp"

namespace {

std::string cwd() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? buf : "";
}

TEST(ParserFactory, EveryFormatHasAParser) {
  StandinLibraries libs;
  ModelStore store;
  ItlClErrorInfo info;
  ItlClParserFactory factory;
  std::string before = cwd();
  ItlEnDocumentFormat const formats[] = {
      ItlEnDocumentFormat_Text, ItlEnDocumentFormat_Html,
      ItlEnDocumentFormat_Xml, ItlEnDocumentFormat_Structured,
      ItlEnDocumentFormat_Inso};
  for (ItlEnDocumentFormat f : formats) {
    ItlClParserABase* parser = nullptr;
    ASSERT_TRUE(factory.selectParser(info, f, TI_FILTER_STANDIN_DIR,
                                     store.models, parser))
        << f;
    ASSERT_NE(parser, nullptr) << f;
    EXPECT_EQ(parser->getDocumentFormat(), f);
    ItlClParserABase* again = nullptr;
    ASSERT_TRUE(factory.selectParser(info, f, TI_FILTER_STANDIN_DIR,
                                     store.models, again));
    EXPECT_EQ(again, parser) << f;
    EXPECT_EQ(cwd(), before) << f;
  }
  EXPECT_EQ(info.getReturnCode(), 0);
}

TEST(ParserFactory, FailingFilterLibrariesKeepTheCurrentParser) {
  ModelStore store;
  ItlClErrorInfo info;
  ItlClParserFactory factory;
  ItlClParserABase* gpp = nullptr;
  ASSERT_TRUE(factory.selectParser(info, ItlEnDocumentFormat_Structured, "",
                                   store.models, gpp));
  std::string before = cwd();
  TempDir empty("factory_inso");
  std::string noOption = std::string(TI_FILTER_STANDIN_DIR) + "/nosetoption";
  struct Case {
    std::string directory;
    int reason;
  } const cases[] = {{empty.path(), 670}, {noOption, 671}};
  for (Case const& c : cases) {
    ItlClParserABase* parser = gpp;
    Caught got = catchItl([&] {
      factory.selectParser(info, ItlEnDocumentFormat_Inso, c.directory.c_str(),
                           store.models, parser);
    });
    EXPECT_EQ(got.reason, c.reason) << c.directory;
    EXPECT_EQ(parser, nullptr);
    EXPECT_EQ(factory.getCurrentParser(), gpp);
    EXPECT_EQ(cwd(), before) << c.directory;
  }
  // The structured parser still serves its documents.
  IndexRun run = indexDocument(*gpp, info, "text", 1208);
  EXPECT_EQ(run.thrown.reason, -1);
  EXPECT_EQ(run.text, "text");
}

}  // namespace
