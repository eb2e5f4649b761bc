// Tests of the console user interface.
//
// In-process: labelled lines in every style, headers and message blocks,
// the text display (tagged lines, usage mode, "@"), progress marks, dumps,
// error records and the process name, all written to a string stream.
//
// Whole program: the test program cos_consoleui_prog runs with a table of
// command lines (standard input from a pipe); its standard output, standard
// error and exit code are compared with the transcripts in
// tests/cos/data/consoleui (<case>.out, <case>.err). The library's compile
// date appears in them as "@LIBDATE@". TI_UPDATE_TRANSCRIPTS=1 rewrites the
// transcripts from the program's output (review them before keeping them).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cos_consoleui.hpp"
#include "cos_envvar.hpp"

namespace {

std::string const kRule(74, '-');

// A console user interface over a program path whose output goes to a
// string stream; init() without a title writes nothing.
struct Console {
  std::vector<char const*> argv;
  CosClConsoleUI ui;
  std::ostringstream out;
  explicit Console(char const* program = "/opt/x/tool.bin")
      : argv{program}, ui((int)argv.size(), argv.data()) {
    ui.init(nullptr);
    ui.setOutputStream(out);
  }
  std::string take() {
    std::string s = out.str();
    out.str("");
    return s;
  }
};

TEST(ConsoleUI, ProcessNameIsTheBaseNameCutAtItsDotAnd25Characters) {
  struct Case {
    char const* path;
    char const* name;
  } const cases[] = {
      {"/opt/x/tool.bin", "tool"},
      {"tool", "tool"},
      {"./a.b.c", "a"},
      {"/x/abcdefghijklmnopqrstuvwxyz0123", "abcdefghijklmnopqrstuvwxy"},
      {"/x/", ""},
  };
  for (auto const& c : cases) {
    Console console(c.path);
    EXPECT_STREQ(console.ui.getProcessName(), c.name) << c.path;
  }
}

TEST(ConsoleUI, LabelFieldsInEveryStyle) {
  struct Case {
    CosClConsoleUI::CosEnFormatStyle style;
    unsigned width;
    char fill;
    char const* label;
    char const* expected;
  } const cases[] = {
      {CosClConsoleUI::LEFT, 36, '.', "0123456789",
       "  0123456789..........................: x\n"},
      {CosClConsoleUI::LEFT, 8, '_', "abc", "  abc_____: x\n"},
      {CosClConsoleUI::RIGHT, 8, '.', "abc", "       abc: x\n"},
      {CosClConsoleUI::CENTERED, 8, '.', "abc", "     abc  : x\n"},
      {CosClConsoleUI::CENTERED, 9, '.', "abcd", "    abcd   : x\n"},
      {CosClConsoleUI::CENTERED, 36, '.', nullptr, nullptr},  // 36 "L": no blanks
      {CosClConsoleUI::LEFT, 4, '.', "longer", "  longer: x\n"},
      {CosClConsoleUI::RIGHT, 4, '.', "longer", "  longer: x\n"},
      {CosClConsoleUI::CENTERED, 4, '.', "longer", "  longer: x\n"},
  };
  for (auto const& c : cases) {
    Console console;
    console.ui.setFormatStyle(c.style);
    console.ui.setFormatWidth(c.width);
    console.ui.setFormatFillChar(c.fill);
    std::string label = c.expected ? c.label : std::string(36, 'L');
    console.ui.format(label.c_str(), "x");
    std::string expected = c.expected ? c.expected : "  " + label + ": x\n";
    EXPECT_EQ(console.take(), expected) << c.style << " " << label;
  }
}

TEST(ConsoleUI, LabelledValuesStartInColumn41) {
  CosClEnvironmentVariable quote("COS_CONSOLEUI_QUOTE_STRINGS", nullptr);
  Console console;
  CosClConsoleUI& ui = console.ui;
  ui.format("Text", "value");
  ui.format("Part", "value", 3);
  ui.format("Char", 'c');
  ui.format("Int", (int32_t)-42);
  ui.format("Unsigned", (uint32_t)42);
  ui.format("Wide", (int64_t)-5000000000);
  ui.format("Short", (int16_t)-7);
  ui.format("Double", 2.5);
  ui.formatBool("Yes", true);
  ui.formatBool("No", false);
  ui.format(17u, "by number");  // message 17 is "Usage"
  ui.format("Open");
  std::string expected =
      "  Text................................: value\n"
      "  Part................................: val\n"
      "  Char................................: c\n"
      "  Int.................................: -42\n"
      "  Unsigned............................: 42\n"
      "  Wide................................: -5000000000\n"
      "  Short...............................: -7\n"
      "  Double..............................: 2.5\n"
      "  Yes.................................: YES\n"
      "  No..................................: NO\n"
      "  Usage...............................: by number\n"
      "  Open................................: ";
  EXPECT_EQ(console.take(), expected);
  EXPECT_EQ(expected.find("value") , 40u);  // column 41
}

TEST(ConsoleUI, QuoteStringsSwitchQuotesTextAndCharacters) {
  CosClEnvironmentVariable quote("COS_CONSOLEUI_QUOTE_STRINGS", "yes");
  Console console;
  console.ui.format("Text", "value");
  console.ui.format("Part", "value", 2);
  console.ui.format("Char", 'c');
  console.ui.format("Number", (int32_t)1);
  quote.resetValue();
  EXPECT_EQ(console.take(),
            "  Text................................: \"value\"\n"
            "  Part................................: \"va\"\n"
            "  Char................................: 'c'\n"
            "  Number..............................: 1\n");
}

TEST(ConsoleUI, HeadersAndMessageBlocks) {
  Console console;
  CosClConsoleUI& ui = console.ui;
  ui.header(console.out, "Title", false);
  ui.header(console.out, "Title", true);
  ui.msg(console.out, "one", "two", nullptr, "four");
  ui.formatHeader("Section");
  ui.horizontalBar();
  ui.info("Plain");
  ui.info("Listing", "Entries", "1", nullptr, "3");
  ui.warning("careful");
  ui.error("failed", "file");
  std::string r = kRule + "\n";
  EXPECT_EQ(console.take(),
            "\n" + r + "tool: Title\n" +
            "\n" + r + "tool: Title:\n    " + "  one: two: four\n" +
            "\n  Section\n  " + std::string(72, '-') + "\n" +
            r + "\n" +
            "\n" + r + "tool: Plain\n" +
            "\n" + r + "tool: Listing:\n      Entries: 1: 3\n" +
            "\n" + r + "tool: Warning:\n      careful\n" +
            "\n" + r + "tool: An error occurred:\n      failed: file\n");
}

TEST(ConsoleUI, ErrorRecordsAndExceptions) {
  Console console;
  CosClConsoleUI& ui = console.ui;
  ui.format(_CosStError(), false);  // nothing at all
  ui.format(_CosStError(CosEnErrorId::FILE_COULD_NOT_REMOVE, CosEnErrorClass::UNKNOWN), false);
  ui.format(_CosStUserError(CosEnErrorId::CONUI_USAGE, CosEnErrorClass::USER_ERROR,
                            CosEnErrorSeverity::NONE, CosEnErrorAction::TERMINATE),
            false);
  ui.format(CosClException("", "f.cpp:9", 9, CosEnErrorId::NO_ERROR, CosEnErrorClass::UNKNOWN,
                           CosEnErrorSeverity::NONE, CosEnErrorAction::IGNORE),
            true);
  ui.exception(CosClException("broken", "g.cpp:3", 3, CosEnErrorId::CONUI_ARG_MISSING,
                              CosEnErrorClass::USER_ERROR, CosEnErrorSeverity::FATAL,
                              CosEnErrorAction::ABORT),
               "while testing");
  EXPECT_EQ(console.take(),
            "  Error ID............................: FILE_COULD_NOT_REMOVE\n"
            "  Error ID............................: CONUI_USAGE\n"
            "  Error Class.........................: USER_ERROR\n"
            "  Recommended Action..................: TERMINATE\n"
            "  Error ID............................: NO_ERROR\n"
            "  Error ID............................: 0\n"
            "  Error Class.........................: UNKNOWN\n"
            "  Error Severity......................: NONE\n"
            "  Recommended Action..................: IGNORE\n"
            "  Exception occured in module.........: f.cpp:9\n"
            "  Exception occured in line...........: 9\n"
            "\n" + kRule + "\ntool: An exception occurred:\n"
            "      while testing\n"
            "  Error ID............................: CONUI_ARG_MISSING\n"
            "  Error ID............................: 202\n"
            "  Error Class.........................: USER_ERROR\n"
            "  Error Severity......................: FATAL\n"
            "  Recommended Action..................: ABORT\n"
            "  Cause for exception.................: broken\n"
            "  Exception occured in module.........: g.cpp:3\n"
            "  Exception occured in line...........: 3\n");
}

TEST(ConsoleUI, DisplayOfTaggedLinesUsageModeAndLineBreaks) {
  struct Case {
    bool hide;
    bool usageMode;
    char const* text;
    char const* expected;
  } const cases[] = {
      {false, false, "a\nb", "a\n  b\n"},
      {false, false, "a\nb\n", "a\n  b\n  "},      // no extra end of line
      {false, false, "", "\n"},
      {false, false, "!tagged\nplain", "tagged\n  plain\n"},
      {true, false, "!tagged\nplain", "plain\n"},
      {true, false, "a\n!tagged\nb", "a\n  b\n"},
      {true, false, "plain\n!tagged", "plain\n  "},  // ends hidden: no end of line
      {false, true, "(-i <x>) \"q\"", "-i <x> q\n"},
      {false, false, "(-i <x>) \"q\"", "(-i <x>) \"q\"\n"},
      // "@" in column 0 or 1: the column counts from 1 on the first line and
      // from 0 after each "\n"; "!" counts as a column.
      {false, false, "@a\n@b\nc@d", "\na\n  \nb\n  c\nd\n"},
      {false, false, "a@\n!@x", "a@\n  \nx\n"},
      {false, false, "!@x", "@x\n"},
  };
  for (auto const& c : cases) {
    Console console;
    if (c.hide) console.ui.hideTaggedLines();
    console.ui.display(console.out, c.text, 2, c.usageMode);
    EXPECT_EQ(console.take(), c.expected) << c.text;
  }
  Console disabled;
  disabled.ui.disableTaggedLines();
  disabled.ui.display(disabled.out, "!x\ny", 0, false);
  EXPECT_EQ(disabled.take(), "y\n");
}

TEST(ConsoleUI, ProgressMarksCycleAndStopClearsTheLine) {
  Console console;
  console.ui.progressStart();
  for (int i = 0; i < 5; ++i) console.ui.progressStep(i == 1 ? "step" : nullptr);
  console.ui.progressStop();
  EXPECT_EQ(console.take(),
            "\r | \r / step \r - \r \\ \r | \r" + std::string(80, ' ') + "\r");
}

TEST(ConsoleUI, DumpWritesOneLinePer16Bytes) {
  Console console;
  console.ui.dump("Data", "ABCDEFGHIJKLMNOPQRST", 20);
  EXPECT_EQ(console.take(),
            "\n  Data\n  " + std::string(72, '-') + "\n" +
            "  00000000: 41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50 | ABCDEFGHIJKLMNOP\n"
            "  00000010: 51 52 53 54 __ __ __ __  __ __ __ __ __ __ __ __ | QRST____________\n");
}

TEST(ConsoleUI, UsageTextAndArgumentQueries) {
  std::vector<char const*> argv = {"prog", "-i", "x", "-n", "'42", "-s", "-7", "w"};
  CosClConsoleUI ui((int)argv.size(), argv.data());
  ui.init(nullptr);
  EXPECT_STREQ(ui.getUsage(), "");
  ui.setUsage("(-i <name>) (-n <count>) (-s <small>) [<word>]", nullptr);
  EXPECT_STREQ(ui.getUsage(), "(-i <name>) (-n <count>) (-s <small>) [<word>]");
  char const* value = nullptr;
  EXPECT_TRUE(ui.hasArgString('i', value));
  EXPECT_STREQ(value, "x");
  EXPECT_FALSE(ui.hasArgString("p", value));
  int32_t number = 0;
  EXPECT_TRUE(ui.hasArgNumval("n", number));
  EXPECT_EQ(number, 42);  // after the leading apostrophe
  int16_t small = 0;
  EXPECT_TRUE(ui.hasArgNumval('s', small));
  EXPECT_EQ(small, -7);
  EXPECT_TRUE(ui.hasArgSwitch("-n"));
  EXPECT_FALSE(ui.hasArgSwitch(10u));  // message 10: "quiet"
  EXPECT_FALSE(ui.mustBeQuiet());
}

TEST(ConsoleUI, TitleAndTextsByMessageNumber) {
  std::vector<char const*> argv = {"/x/prog"};
  std::ostringstream out;
  std::streambuf* old = std::cout.rdbuf(out.rdbuf());
  CosClConsoleUI ui((int)argv.size(), argv.data());
  ui.init(17u, 18u, nullptr, nullptr);  // "Usage", "Help"
  ui.handleUsageHelp(10u, 0u);         // usage text "quiet", no help
  CosClConsoleUI untitled((int)argv.size(), argv.data());
  untitled.init(0u, 18u, nullptr, nullptr);  // no title: no subtitle either
  std::cout.rdbuf(old);
  EXPECT_EQ(out.str(), "\nprog - Usage   Help\n");
  EXPECT_STREQ(ui.getUsage(), "quiet");
}

// ---------------------------------------------------------------------------
// The test program

struct ProgramRun {
  std::string out, err;
  int exitCode = -1;
};

std::string readAll(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, (size_t)n);
  return text;
}

// Runs the test program as "/opt/tools/conprog.bin" (process name conprog)
// with `args`; `input` arrives through a pipe on standard input.
ProgramRun runProgram(std::vector<std::string> const& args, std::string const& input, bool quote) {
  FILE* outFile = tmpfile();
  FILE* errFile = tmpfile();
  int in[2];
  EXPECT_EQ(pipe(in), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(fileno(outFile), 1);
    dup2(fileno(errFile), 2);
    close(in[0]);
    close(in[1]);
    if (quote) {
      setenv("COS_CONSOLEUI_QUOTE_STRINGS", "on", 1);
    } else {
      unsetenv("COS_CONSOLEUI_QUOTE_STRINGS");
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("/opt/tools/conprog.bin"));
    for (auto const& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TI_CONSOLEUI_PROG, argv.data());
    _exit(127);
  }
  close(in[0]);
  if (!input.empty()) {
    EXPECT_EQ(write(in[1], input.data(), input.size()), (ssize_t)input.size());
  }
  close(in[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  ProgramRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readAll(fileno(outFile));
  run.err = readAll(fileno(errFile));
  fclose(outFile);
  fclose(errFile);
  return run;
}

// The library's compile date as "@LIBDATE@".
std::string normalised(std::string text) {
  std::string date = CosClConsoleUI::getLibraryCompileDate();
  for (size_t at; (at = text.find(date)) != std::string::npos;)
    text.replace(at, date.size(), "@LIBDATE@");
  return text;
}

std::string transcript(std::string const& name) {
  std::ifstream file(std::string(TI_TEST_DATA "/consoleui/") + name, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void writeTranscript(std::string const& name, std::string const& text) {
  std::ofstream file(std::string(TI_TEST_DATA "/consoleui/") + name, std::ios::binary);
  file << text;
}

TEST(ConsoleProgram, TranscriptsOfCommandLines) {
  struct Case {
    char const* name;
    std::vector<std::string> args;
    char const* input;
    bool quote;
    int exitCode;
  } const cases[] = {
      {"help", {"-i", "books", "-h"}, "", false, 201},
      {"help_question", {"-?"}, "", false, 201},
      {"usage_error", {"-i", "books", "-z", "-v", "-v", "-v"}, "", false, 201},
      {"not_allowed", {"-i", "books", "-debug", "3"}, "", false, 201},
      {"quiet_fatal", {"-i", "books", "-quiet", "-p"}, "", false, 203},
      {"missing_argument", {"-v", "word"}, "", false, 202},
      {"value_expected", {"-i"}, "", false, 203},
      {"numeric_value_expected", {"-i", "books", "-n"}, "", false, 203},
      {"switch_is_no_number", {"-i", "books", "-n", "-v"}, "", false, 203},
      {"type_mismatch", {"-i", "books", "-n", "many"}, "", false, 204},
      {"type_mismatch_quoted", {"-i", "books", "-n", "'-x"}, "", false, 204},
      {"quiet", {"-quiet", "-i", "books", "-v", "w"}, "", false, 0},
      {"copyright", {"-copyright"}, "", false, 201},
      {"quiet_copyright", {"-quiet", "-copyright", "-i"}, "", false, 201},
      {"normal", {"-i", "books", "-p", "/data", "-n", "-5", "alpha", "-12"}, "", false, 0},
      {"normal_quoted", {"-i", "books", "-n", "'42", "-v"}, "", true, 0},
      {"prompts", {"-i", "books", "-ask"},
       "library\nabc\n2000\n-0\n7\nmaybe\ny\n\n", false, 0},
      {"prompts_defaults", {"-i", "books", "-n", "3", "-ask"}, "\n\n\n\n", false, 0},
      {"prompts_end_of_input", {"-i", "books", "-n", "0", "-ask"}, "", false, 203},
  };
  bool update = getenv("TI_UPDATE_TRANSCRIPTS") != nullptr;
  for (auto const& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramRun run = runProgram(c.args, c.input, c.quote);
    EXPECT_EQ(run.exitCode, c.exitCode);
    std::string out = normalised(run.out), err = normalised(run.err);
    if (update) {
      writeTranscript(std::string(c.name) + ".out", out);
      writeTranscript(std::string(c.name) + ".err", err);
      continue;
    }
    EXPECT_EQ(out, transcript(std::string(c.name) + ".out"));
    EXPECT_EQ(err, transcript(std::string(c.name) + ".err"));
  }
}

}  // namespace
