// vqxmaptool.cpp: the index migration tool. It opens one index and, as
// its command line asks, looks one field or attribute name up in the
// index's name maps, displays the field and attribute name maps, or
// converts the name maps and document maps from the 32-bit to the 64-bit
// layout (the ".64" files beside the originals). It is started by
// vqxmovetool.sh.
//
// Exit codes: 0 success (also after the expected error of -expectError);
// 8 an option error or an unexpected error of a library call; the console
// UI's own codes (201 usage or help shown, ...) for a wrong command line.
// Every library call is checked by checkError, which shows the error and
// throws ItlClTestException; main then cleans up and exits.
#include <cstdio>
#include <cstring>

#include "cos_consoleui.hpp"
#include "cos_message.hpp"
#include "itl_api.h"
#include "itl_tools.hpp"
#include "t_exception.hpp"

namespace {

char const kTitleLine[] = "Drelmo Quarnel - Index Migration Tool v1.0\n";
char const kScriptLine[] =
    "This tool must not be run as standalone, please execute the "
    "corresponding script vqxmovetool.sh\n";
char const kConsoleTitle[] = "Display element name mapping index";
char const kBuildDate[] = "May  3 2010";

char const kUsage[] =
    "(-i <index name>)\n(-p <directory containing files>)\n{-f | -a}\n"
    "[-all]\n[(-name <field or attribute name>)]\n[(-type <attribute type>)]\n"
    "[(-out <output file name> )]\n[-conv32To64]\n[-trace]\n"
    "[(-expectError <reasonCode>)]\n\n[-v] ";
char const kHelp[] =
    "(-i <index name>)\n(-p <index directory>)\n"
    "{-f (field) | -a (attribute) } requests lookup in field or attribute "
    "index map\n"
    "[-all] requests to display all mapping information for fields or "
    "attributes \n"
    "[(-name <field or attribute name>)] requests to display number for "
    "given field or attribute name \n"
    "[-type <attribute type>] use 'd' for date and 'n' for number \n"
    "[(-out <output file name> )]\n"
    "[-conv32To64  convert 32bit numbers to 64bit]\n"
    "[-trace turn on trace, console input parameter. For COS trace detail "
    "level is specififed by environment variables ]\n"
    "[(-expectError <reasonCode>)] if reason code occurrs, testcase should "
    "be regarded as being successful \n"
    "[-v] display verbose output on console";

constexpr int kExitError = 8;

struct Options {
  char const* indexName = nullptr;
  char const* directory = nullptr;
  bool fields = false;
  bool attributes = false;
  bool all = false;
  char const* name = nullptr;
  char const* typeText = nullptr;
  ItlEnAttributeType type = ItlEnAttributeType_Number;
  bool convert = false;
  bool trace = false;
  int32_t expectedReason = 0;
};

// The handles of a run, null until made; the output stream.
struct Run {
  ItlTyErrorInfoHandle errorInfo = nullptr;
  ItlTyContextHandle context = nullptr;
  ItlTyIndexHandle index = nullptr;
  ItlTyIndexSearchHandle search = nullptr;
  std::FILE* out = stdout;

  void closeOutput() {
    if (out != stdout && out != nullptr) std::fclose(out);
    out = stdout;
  }
};

// The error check after every library call (`throwError` is always set by
// this tool): shows the error and ends the run through ItlClTestException,
// unless the call succeeded, warned with the expected reason, or returned
// a code from 1 to 3.
void checkError(CosClConsoleUI& console, char const* message,
                ItlTyErrorInfoHandle errorInfo, int rc, int32_t expectedReason,
                bool throwError) {
  if (rc == ItlEnReturnCode_Success) return;
  itlToolsDisplayError(console, message, errorInfo);
  bool expected = itlErrorInfoGetReasonCode(errorInfo) == expectedReason;
  if (rc > ItlEnReturnCode_Warning) {
    console.format(message, static_cast<int32_t>(expected ? 0 : rc));
    if (throwError) throw ItlClTestException(message, expected);
  } else if (rc == ItlEnReturnCode_Warning) {
    if (expected) return;
    console.format(message, static_cast<int32_t>(rc));
    if (throwError) throw ItlClTestException(message, false);
  }
}

// A usage error: the labelled line with 8.
int optionError(CosClConsoleUI& console, char const* text) {
  console.format(text, static_cast<int32_t>(kExitError));
  return kExitError;
}

// Reads the options and opens the output stream; returns 0 or the exit
// code of a usage error.
int readOptions(CosClConsoleUI& console, Options& o, Run& run) {
  console.reqArgString("-i", o.indexName);
  console.reqArgString("-p", o.directory);
  o.fields = console.hasArgSwitch("f");
  o.attributes = console.hasArgSwitch("a");
  o.all = console.hasArgSwitch("all");
  console.hasArgString("name", o.name);
  console.hasArgString("type", o.typeText);
  o.convert = console.hasArgSwitch("conv32To64");
  o.trace = console.hasArgSwitch("trace");
  console.hasArgNumval("expectError", o.expectedReason);
  char const* outName = nullptr;
  if (console.hasArgString("out", outName)) {
    run.out = std::fopen(outName, "w");
    if (run.out == nullptr) {
      run.out = stdout;
      return optionError(console, "Output file cannot be opened");
    }
  }

  if (o.fields && o.attributes)
    return optionError(console, "Fields and attributes are mutually exclusive");
  if (o.name == nullptr && !o.all && !o.convert)
    return optionError(console, "Specification (all or name) is missing");
  if (o.name != nullptr && !o.fields && !o.attributes)
    return optionError(console, "Specification of field or attribute is missing");
  if (o.attributes && o.typeText == nullptr && !o.all)
    return optionError(console, "Specification of attribute type is missing");
  if (o.typeText != nullptr) {
    switch (o.typeText[0]) {
      case 'd':
      case 'D':
        o.type = ItlEnAttributeType_Date;
        break;
      case 'n':
      case 'N':
        o.type = ItlEnAttributeType_Number;
        break;
      default:
        return optionError(console, "Specification of attribute type is invalid ");
    }
  }
  return 0;
}

// The name lookups print the number the map hands out also for an unknown
// name (1, with a warning): their return codes are not checked.
void lookUp(CosClConsoleUI& console, Options const& o, Run& run) {
  uint16_t number = 0;
  (void)console;
  if (o.fields)
    itlFieldMapNameToNumber(run.search, o.name, &number);
  else
    itlAttributeMapNameToNumber(run.search, o.name, o.type, &number);
  if (o.fields)
    std::fprintf(run.out, " %ld is number for field  \"%s\" \n",
                 static_cast<long>(number), o.name);
  else
    std::fprintf(run.out, " %ld is number for attribute \"%s\" of type \"%s\" \n",
                 static_cast<long>(number), o.name,
                 o.typeText != nullptr ? o.typeText : "");
  std::fflush(run.out);
}

void act(CosClConsoleUI& console, Options const& o, Run& run) {
  ItlTyErrorInfoHandle ei = run.errorInfo;
  if (o.fields && o.name != nullptr) {
    lookUp(console, o, run);
  } else if (o.fields) {
    checkError(console, "Error displaying field name map ", ei,
               itlDisplayFieldNameMap(run.search, run.out), 0, true);
  } else if (o.attributes && o.name != nullptr) {
    lookUp(console, o, run);
  } else if (o.attributes) {
    checkError(console, "Error displaying attribute name map ", ei,
               itlDisplayAttributeNameMap(run.search, run.out), 0, true);
  } else if (o.convert) {
    checkError(console, "Error setting index working directory ", ei,
               itlIndexSetWorkingDirectory(run.index, o.directory), 0, true);
    checkError(console, "Error converting field name map ", ei,
               itl32To64FieldNameMap(run.search), 0, true);
    checkError(console, "Error converting attribute name map ", ei,
               itl32To64AttributeNameMap(run.search), 0, true);
  } else {
    checkError(console, "Error displaying field name map ", ei,
               itlDisplayFieldNameMap(run.search, run.out), 0, true);
    checkError(console, "Error displaying attribute name map ", ei,
               itlDisplayAttributeNameMap(run.search, run.out), 0, true);
  }
}

int runTool(CosClConsoleUI& console, Options const& o, Run& run) {
  console.format(" using index ", o.indexName);
  console.format(" at location ", o.directory);
  console.newline();

  int rc = itlHandleNewErrorInfo(&run.errorInfo);
  if (rc != ItlEnReturnCode_Success) {
    console.format("Error creating error info handle", static_cast<int32_t>(rc));
    return kExitError;
  }
  ItlTyErrorInfoHandle ei = run.errorInfo;
  if (o.trace) checkError(console, "Error enabling trace", ei, itlTraceEnable(ei), 0, true);
  checkError(console, "Error creating context handle", ei,
             itlHandleNewContext(&run.context, ei), 0, true);
  checkError(console, "Error creating index handle", ei,
             itlHandleNewIndex(run.context, o.indexName, o.directory, &run.index),
             0, true);
  checkError(console, "Error creating index search handle", ei,
             itlHandleNewIndexSearch(run.index, &run.search), o.expectedReason,
             true);

  act(console, o, run);

  if (o.trace) checkError(console, "Error disabling trace", ei, itlTraceDisable(ei), 0, true);
  checkError(console, "Error deleting index search handle", ei,
             itlHandleDeleteIndexSearch(&run.search), 0, true);
  checkError(console, "Error deleting index handle", ei,
             itlHandleDeleteIndex(&run.index), 0, true);
  checkError(console, "Error deleting context handle", ei,
             itlHandleDeleteContext(&run.context), 0, true);
  rc = itlHandleDeleteErrorInfo(&run.errorInfo);
  if (rc != ItlEnReturnCode_Success)
    console.fatal(static_cast<uint32_t>(rc), "Error deleting error info handle");
  run.closeOutput();
  return 0;
}

// After ItlClTestException: every handle goes, results ignored.
void cleanUp(Options const& o, Run& run) {
  if (o.trace && run.errorInfo != nullptr) itlTraceDisable(run.errorInfo);
  if (run.search != nullptr) itlHandleDeleteIndexSearch(&run.search);
  if (run.index != nullptr) itlHandleDeleteIndex(&run.index);
  if (run.context != nullptr) itlHandleDeleteContext(&run.context);
  if (run.errorInfo != nullptr) itlHandleDeleteErrorInfo(&run.errorInfo);
  run.closeOutput();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) {
    std::printf("%s", kTitleLine);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 ||
                    std::strcmp(argv[1], "-help") == 0)) {
    std::printf("%s%s", kTitleLine, kScriptLine);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "-v") == 0 ||
                    std::strcmp(argv[1], "-version") == 0)) {
    std::printf("%s", kTitleLine);
    return 0;
  }

  CosClConsoleUI console(argc, argv);
  console.init(kConsoleTitle, nullptr, nullptr, kBuildDate);
  // The console UI's own texts: the services library's table of 221.
  console.getMessageCatalog().useStringTable(gs_apszCosMessageTable,
                                             COS_MESSAGE_TABLE_COUNT);
  console.handleUsageHelp(kUsage, kHelp);

  Options options;
  Run run;
  int rc = readOptions(console, options, run);
  if (rc != 0) {
    run.closeOutput();
    return rc;
  }
  try {
    return runTool(console, options, run);
  } catch (ItlClTestException const& e) {
    cleanUp(options, run);
    return e.isExpectedError() ? 0 : kExitError;
  }
}
