// Message catalogues and messages: the library's own table, inserts, the
// fallback texts, catalogues built with gencat and the plain functions.

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>

#include "cos_argv.hpp"
#include "cos_exception.hpp"
#include "cos_message.hpp"

namespace {

// A catalogue without a file that serves the library's own table.
struct TableCatalog {
  CosClMessageCatalog catalog;
  TableCatalog() {
    catalog.useStringTable(gs_apszCosMessageTable, COS_MESSAGE_TABLE_COUNT);
  }
};

// A temporary directory removed at the end.
// Builds `dir`/test.cat from the fixture's message file with gencat.
bool buildCatalog(std::string const& dir) {
  std::string source = std::string(TI_TEST_DATA) + "/msg/test.msg";
  pid_t pid = fork();
  if (pid == 0) {
    execl("/usr/bin/gencat", "gencat", (dir + "/test.cat").c_str(),
          source.c_str(), (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(MessageTable, HoldsTheNamesOfEveryErrorValue) {
  TableCatalog t;
  EXPECT_STREQ(gs_apszCosMessageTable[0], "[COS_MSGTAB_SIGNATURE] 221");
  EXPECT_STREQ(gs_apszCosMessageTable[COS_MESSAGE_TABLE_COUNT],
               "[COS_MSGTAB_SIGNATURE]");
  EXPECT_STREQ(gs_apszCosMessageTable[220], "[COS-LIBRARY]");
  EXPECT_STREQ(gs_apszCosMessageTable[199],
               "Trace file corrupted: invalid data found");
  // Each value's message, through the lookups of the exception header.
  struct Case { unsigned number; char const* name; };
  Case const cases[] = {
      {cosErrorGetIdAsMessageId(CosEnErrorId::NO_ERROR), "NO_ERROR"},
      {cosErrorGetIdAsMessageId(CosEnErrorId::INIFILE_INVAL_WHITESPACE),
       "INIFILE_INVAL_WHITESPACE"},
      {cosErrorGetIdAsMessageId(CosEnErrorId::TRACEFORMAT_FILE_CORRUPTED),
       "TRACEFORMAT_FILE_CORRUPTED"},
      {cosErrorGetIdAsMessageId(CosEnErrorId::ICU_ERROR_LIMIT), "ICU_ERROR_LIMIT"},
      {cosErrorGetClassAsMessageId(CosEnErrorClass::UNKNOWN), "UNKNOWN"},
      {cosErrorGetClassAsMessageId(CosEnErrorClass::IO_INVALID_NAME),
       "IO_INVALID_NAME"},
      {cosErrorGetClassAsMessageId(CosEnErrorClass::HARDWARE_NOT_SUPPORTED),
       "HARDWARE_NOT_SUPPORTED"},
      {cosErrorGetSeverityAsMessageId(CosEnErrorSeverity::NONE), "NONE"},
      {cosErrorGetSeverityAsMessageId(CosEnErrorSeverity::PANIC), "PANIC"},
      {cosErrorGetActionAsMessageId(CosEnErrorAction::USER), "USER"},
      {cosErrorGetActionAsMessageId(CosEnErrorAction::RETRYDELAY), "RETRYDELAY"},
      {cosErrorGetActionAsMessageId(CosEnErrorAction::PANIC), "PANIC"},
  };
  for (Case const& c : cases) {
    CosClMessage m(t.catalog, c.number);
    EXPECT_TRUE(m.isLoaded());
    EXPECT_STREQ(m.getText(), c.name) << c.number;
  }
  // Every identifier 47..105 is a distinct upper-case name.
  for (unsigned n = 47; n <= 149; ++n) {
    std::string s = gs_apszCosMessageTable[n];
    ASSERT_FALSE(s.empty());
    for (char ch : s) EXPECT_TRUE(isupper((unsigned char)ch) || ch == '_') << n;
  }
  // The controller's help shows the placeholders after expansion.
  CosClMessage help(t.catalog, 152);
  EXPECT_NE(std::string(help.getText()).find("%d  data"), std::string::npos);
  EXPECT_NE(std::string(help.getText()).find("%%  percent"), std::string::npos);
  EXPECT_NE(std::string(help.getText()).find("<key>_TRACE_ACTIVE=yes     enables trace"),
            std::string::npos);
  // The controller's usage line is in the usage notation: the switches
  // that take a value bind it, so no value is taken for a free argument.
  CosClMessage usage(t.catalog, 151);
  char const* argv[] = {"tc", "-key", "abc", "-fdetail", "HIGH", "-findent",
                        "..", "-fpid", "12", "-display", "-verbose"};
  int const argc = (int)(sizeof argv / sizeof argv[0]);
  CosClArgvCheckCursor arg(argc, argv, usage.getText());
  for (bool ok = arg.setToFirst(); ok; ok = arg.setToNext()) {
    EXPECT_TRUE(arg.isLegal()) << arg.getAsCString();
    if (!arg.isSwitch()) {
      EXPECT_TRUE(arg.isBound()) << arg.getAsCString();
    }
  }
  CosClArgvFreeCursor free(argc, argv, usage.getText());
  EXPECT_FALSE(free.setToFirst());
}

TEST(Message, InsertsFollowTheirNumbers) {
  TableCatalog t;
  CosClMessage all(t.catalog, 2, "a", "b", "c", "d", "e", "f", "g", "h", "i", "j");
  EXPECT_STREQ(all.getText(),
               "Percent:% Arg1:a Arg2:b Arg3:c Arg4:d Arg5:e Arg6:f Arg7:g "
               "Arg8:h Arg9:i Arg10:j");
  CosClMessage none(t.catalog, 2);
  EXPECT_STREQ(none.getText(),
               "Percent:% Arg1:??? Arg2:??? Arg3:??? Arg4:??? Arg5:??? "
               "Arg6:??? Arg7:??? Arg8:??? Arg9:??? Arg10:???");
  EXPECT_TRUE(none.isOnHeap());

  struct Case { char const* templ; char const* expected; };
  char const* args[10] = {"A", "B", nullptr, "D", "E", "F", "G", "H", "I", "J"};
  Case const cases[] = {
      {"%11 %0 %3", "??? ??? ???"}, {"%%1 %%", "%1 %"},    {"%1x%2", "AxB"},
      {"%x", "???x"},               {"end %", "end ???"},  {"%10%1", "JA"},
      {"", ""},
  };
  for (Case const& c : cases) {
    char const* table[] = {"[COS_MSGTAB_SIGNATURE] 2", c.templ};
    CosClMessageCatalog cat;
    cat.useStringTable(table, 2);
    CosClMessage m(cat, 1, args);
    EXPECT_STREQ(m.getText(), c.expected) << c.templ;
    char out[64];
    CosClMessage::replaceVars(out, 63, c.templ, args, 10);
    EXPECT_STREQ(out, c.expected) << c.templ;
  }
  char out[8];
  EXPECT_EQ(CosClMessage::replaceVars(out, 5, "%1%2", args, 1), 4u);
  EXPECT_STREQ(out, "A???");  // %2 is above argCount
  EXPECT_EQ(CosClMessage::replaceVars(out, 5, "abcdefgh", args, 1), 5u);
  EXPECT_STREQ(out, "abcde");
}

TEST(Message, TextsStayInlineUpTo80AndAreCutAt4096) {
  std::string t80(80, 'x'), t81(81, 'y'), huge(3000, 'z');
  std::string big = "%1%1";
  char const* table[] = {"[COS_MSGTAB_SIGNATURE] 4", t80.c_str(), t81.c_str(),
                         big.c_str()};
  CosClMessageCatalog cat;
  cat.useStringTable(table, 4);
  CosClMessage m80(cat, 1);
  EXPECT_FALSE(m80.isOnHeap());
  EXPECT_EQ(std::string(m80.getText()), t80);
  CosClMessage m81(cat, 2);
  EXPECT_TRUE(m81.isOnHeap());
  EXPECT_EQ(std::string(m81.getText()), t81);
  CosClMessage copy(m81);
  EXPECT_EQ(std::string(copy.getText()), t81);
  copy = m80;
  EXPECT_FALSE(copy.isOnHeap());
  EXPECT_EQ(std::string(copy.getText()), t80);
  CosClMessage m(cat, 3, huge.c_str());
  EXPECT_EQ(strlen(m.getText()), 4096u);
}

TEST(Message, FallbackTextsNameTheCatalog) {
  CosClMessageCatalog missing("/nonexistent/dir/nothing.txt");
  EXPECT_FALSE(missing.isOpen());
  EXPECT_STREQ(missing.getAsCString(), "/nonexistent/dir/nothing.cat");
  CosClMessage m(missing, 5);
  EXPECT_FALSE(m.isLoaded());
  EXPECT_STREQ(m.getText(),
               "UNABLE TO LOAD MESSAGE CATALOG: /nonexistent/dir/nothing.cat");
  missing.useStringTable(gs_apszCosMessageTable, COS_MESSAGE_TABLE_COUNT);
  m.setNewMessageId(3);
  EXPECT_TRUE(m.isLoaded());
  EXPECT_STREQ(m.getText(), "YES");
  m.setNewMessageId(221);
  EXPECT_FALSE(m.isLoaded());
  EXPECT_STREQ(m.getText(),
               "UNABLE TO LOAD MESSAGE CATALOG: /nonexistent/dir/nothing.cat");
}

TEST(MessageCatalog, ReadsACatalogBuiltWithGencat) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  ASSERT_TRUE(buildCatalog(dir.path()));
  std::string name = dir.path() + "/test.msg";  // the extension becomes .cat
  CosClMessageCatalog cat(name.c_str());
  ASSERT_TRUE(cat.isOpen());
  EXPECT_STREQ(CosClMessage(cat, 1).getText(), "First message");
  EXPECT_STREQ(CosClMessage(cat, 2, "Ann", "here").getText(), "Hello Ann, you are here");
  EXPECT_STREQ(CosClMessage(cat, 3).getText(), "Percent % sign");
  CosClMessage absent(cat, 7);
  EXPECT_FALSE(absent.isLoaded());
  EXPECT_EQ(std::string(absent.getText()),
            "UNABLE TO LOAD MESSAGE #7 FROM CATALOG: " + dir.path() + "/test.cat");
  // An open catalogue wins over a table.
  cat.useStringTable(gs_apszCosMessageTable, COS_MESSAGE_TABLE_COUNT);
  EXPECT_STREQ(CosClMessage(cat, 1).getText(), "First message");

  CosMsgCatHandle h = cosMsgCatOpen((dir.path() + "/test.cat").c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(cosMsgCatGet(h, 2), "Hello ???, you are ???");
  EXPECT_STREQ(cosMsgCatGetVar(h, 2, "Bo", (char const*)nullptr),
               "Hello Bo, you are ???");
  EXPECT_TRUE(cosMsgCatIsValid(h, 1));
  EXPECT_FALSE(cosMsgCatIsValid(h, 9));
  cosMsgCatClose(h);

  CosMsgCatHandle attached = cosMsgCatOpenAttach(&cat);
  ASSERT_NE(attached, nullptr);
  EXPECT_STREQ(cosMsgCatGet(attached, 1), "First message");
  cosMsgCatClose(attached);
  EXPECT_TRUE(cat.isOpen());  // not owned by the proxy
}

TEST(MessageCatalog, PlainFunctionsFallBackToTheTable) {
  EXPECT_EQ(cosMsgCatOpen("/nonexistent/none.cat"), nullptr);
  CosClMessageCatalog closed("/nonexistent/none.cat");
  EXPECT_EQ(cosMsgCatOpenAttach(&closed), nullptr);
  CosMsgCatHandle h = cosMsgCatOpenOrUseStringTable(
      "/nonexistent/none.cat", gs_apszCosMessageTable, COS_MESSAGE_TABLE_COUNT);
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(cosMsgCatGet(h, 150), "Trace Controller");
  EXPECT_STREQ(cosMsgCatGetVar(h, 2, "a", "b", (char const*)nullptr),
               "Percent:% Arg1:a Arg2:b Arg3:??? Arg4:??? Arg5:??? Arg6:??? "
               "Arg7:??? Arg8:??? Arg9:??? Arg10:???");
  EXPECT_TRUE(cosMsgCatIsValid(h, 220));
  EXPECT_FALSE(cosMsgCatIsValid(h, 221));
  cosMsgCatClose(h);
  cosMsgCatClose(nullptr);
  EXPECT_STREQ(cosMsgCatGet(nullptr, 1), "");
}
