// A small console program built on CosClConsoleUI, run by consoleui_test
// with a table of command lines; its standard output, standard error and
// exit code are compared with transcripts in tests/cos/data/consoleui.
//
// It lists an index's settings: -i names the index (required), -p its
// directory, -n a number of entries, -v asks for more output (a dump, a
// warning and progress marks), -ask asks for the settings on standard
// input, free arguments are words. The tagged -debug switch is disabled.

#include <cstring>
#include <string>

#include "cos_argv.hpp"
#include "cos_consoleui.hpp"
#include "cos_exception.hpp"

namespace {

char const kUsage[] =
    "(-i <index name>) [(-p <index directory>)]\n"
    "[(-n <number of entries>)] [-v] [-ask]\n"
    "[<word> ...]\n"
    "!(-debug <level>)";

char const kHelp[] =
    "-i    name of the index\n"
    "-p    directory of the index (default: the current directory)\n"
    "-n    number of entries to list (1 to 1000)\n"
    "-v    verbose output\n"
    "-ask  ask for the settings\n"
    "@\n"
    "Words are listed as they are given.";

}  // namespace

int main(int argc, char** argv) {
  CosClConsoleUI ui(argc, argv);
  ui.init("Console test program", "Version 1.0", "TESTPROG-1", "Jan  1 2026");
  ui.disableTaggedLines();
  ui.handleUsageHelp(kUsage, kHelp);

  char const* indexArg = nullptr;
  ui.reqArgString('i', indexArg);
  std::string index = indexArg;
  char const* directory = ".";
  ui.hasArgString("p", directory);
  int32_t count = 10;
  ui.hasArgNumval('n', count);
  bool verbose = ui.hasArgSwitch('v');

  if (ui.hasArgSwitch("ask")) {
    index = ui.promptString("Index name", index.c_str());
    count = ui.promptNumval("Number of entries", 1, 1000, count);
    verbose = ui.promptYesNo("Verbose output", verbose);
    ui.promptForKey();
  }

  ui.formatHeader("Settings");
  ui.format("Index name", index.c_str());
  ui.format("Index directory", directory);
  ui.format("Number of entries", count);
  ui.formatBool("Verbose output", verbose);
  CosClArgvFreeCursor word(ui);
  for (bool ok = word.setToFirst(); ok; ok = word.setToNext())
    ui.format("Word", word.getAsCString());

  if (verbose) {
    ui.dump("Index name", index.c_str(), (unsigned)index.size());
    ui.progressStart();
    for (int step = 0; step < 5; ++step) ui.progressStep("listing");
    ui.progressStop();
    ui.info("Listing", "Entries listed", "0");
    ui.warning("The index is empty", index.c_str());
    ui.exception(CosClException("index not found", "conprog.cpp:1", 1,
                                CosEnErrorId::FILE_COULD_NOT_COPY,
                                CosEnErrorClass::IO_NOT_EXISTENT,
                                CosEnErrorSeverity::NORMAL,
                                CosEnErrorAction::USER),
                 "Reading the index", index.c_str());
  }
  ui.newline();
  return 0;
}
