// Tests of the index migration tool vqxmaptool, run as a child process:
// golden console output (standard output, standard error and exit code of
// each command line equal tests/migration_tool/data/<row>.txt; the index
// directory written as "@DIR@"), the displays and lookups on a fixture
// index, the error blocks and -expectError, the 64-bit conversion against
// an independent writer, -trace, and the start script run from elsewhere.
//
// TI_UPDATE_GOLDEN=1 rewrites the golden files from the program's output
// (to be read line by line before they are committed).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "itl_api.h"
#include "itl_error.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"
#include "ti_test_util.hpp"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  std::string out, err;
  int exitCode = -1;
};

std::string readAll(FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

// Runs `program` (default: the built tool) with `args` in `cwd` (default:
// the current one), with COS_CONSOLEUI_QUOTE_STRINGS unset and `env` set.
ToolRun runTool(std::vector<std::string> const& args,
                std::map<std::string, std::string> const& env = {},
                std::string const& program = TI_VQXMAPTOOL,
                std::string const& cwd = "") {
  FILE* outFile = std::tmpfile();
  FILE* errFile = std::tmpfile();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fileno(outFile), 1);
    dup2(fileno(errFile), 2);
    unsetenv("COS_CONSOLEUI_QUOTE_STRINGS");
    for (auto const& [key, value] : env) setenv(key.c_str(), value.c_str(), 1);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (auto const& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ToolRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readAll(outFile);
  run.err = readAll(errFile);
  std::fclose(outFile);
  std::fclose(errFile);
  return run;
}

std::string replaceAll(std::string text, std::string const& from,
                       std::string const& to) {
  if (from.empty()) return text;
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// The run as its golden file holds it.
std::string goldenText(ToolRun const& run, std::string const& dir) {
  return replaceAll("exit " + std::to_string(run.exitCode) + "\n--- stdout\n" +
                        run.out + "--- stderr\n" + run.err,
                    dir, "@DIR@");
}

void expectGolden(std::string const& row, ToolRun const& run,
                  std::string const& dir) {
  std::string path = std::string(TI_TEST_DATA) + "/" + row + ".txt";
  std::string actual = goldenText(run, dir);
  char const* update = std::getenv("TI_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    ASSERT_TRUE(writeFile(path, actual));
    return;
  }
  EXPECT_EQ(actual, readFile(path)) << "golden file " << path;
}

// Every file under `dir` with its content.
std::map<std::string, std::string> snapshot(std::string const& dir) {
  std::map<std::string, std::string> all;
  for (auto const& e : fs::recursive_directory_iterator(dir))
    all[e.path().string()] = e.is_regular_file() ? readFile(e.path().string()) : "<dir>";
  return all;
}

std::string const kTemplate =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

// A fixture index "ix" in `dir` made through the library, its field and
// attribute names written through the name maps and `documents` document
// names through the document-map tools.
struct FixtureSpec {
  std::vector<std::string> fields;
  std::vector<std::string> numberAttributes;  // NUMBER
  std::vector<std::string> dateAttributes;    // DATE
  std::vector<std::string> stringAttributes;  // STRING
  int documents = 0;
};

FixtureSpec standardFixture() {
  return {{"title", "body"}, {"price"}, {"issued"}, {"author"}, 3};
}

void commitMap(ItlClMapABase& map) {
  map.onIndexFileEndTransaction();
  map.onIndexFileCommitTransaction();
}

void makeFixture(std::string const& dir, FixtureSpec const& spec,
                 char const* name = "ix") {
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0);
  ASSERT_EQ(itlHandleNewContext(&ctx, ei), 0);
  std::string templateFile = dir + "/../t.ini";
  ASSERT_TRUE(writeFile(templateFile, kTemplate));
  ASSERT_EQ(itlHandleNewIndex(ctx, name, dir.c_str(), &index), 0);
  ASSERT_EQ(itlIndexCreate(index, templateFile.c_str()), 0)
      << itlErrorInfoGetReasonCode(ei);
  {
    ItlClErrorInfo info;
    ItlClIndexLocation location(name, dir.c_str(), (dir + "/..").c_str());
    ItlClFieldNameMap fields(location, info);
    fields.init();
    fields.onIndexFileInit();
    uint16_t number;
    bool isNew;
    for (auto const& f : spec.fields) fields.assignFieldNameToNumber(f.c_str(), number, isNew);
    commitMap(fields);
    ItlClAttributeNameMap attributes(location, info);
    attributes.init();
    attributes.getNumericMap().onIndexFileInit();
    attributes.getStringMap().onIndexFileInit();
    for (auto const& a : spec.numberAttributes)
      attributes.assignAttributeNameToNumber(a.c_str(), ItlEnAttributeType_Number, number, isNew);
    for (auto const& a : spec.dateAttributes)
      attributes.assignAttributeNameToNumber(a.c_str(), ItlEnAttributeType_Date, number, isNew);
    for (auto const& a : spec.stringAttributes)
      attributes.assignAttributeNameToNumber(a.c_str(), ItlEnAttributeType_String, number, isNew);
    commitMap(attributes.getNumericMap());
    commitMap(attributes.getStringMap());
  }
  for (int i = 1; i <= spec.documents; ++i) {
    std::string doc = "doc-" + std::to_string(i) + std::string(i % 7, 'x');
    ASSERT_EQ(itlNameMapProcess(index, doc.data(), static_cast<uint16_t>(doc.size()), true), 0)
        << itlErrorInfoGetReasonCode(ei);
  }
  if (spec.documents > 0) {
    ASSERT_EQ(itlNameMapFinalize(index), 0) << itlErrorInfoGetReasonCode(ei);
  }
  itlHandleDeleteIndex(&index);
  itlHandleDeleteContext(&ctx);
  itlHandleDeleteErrorInfo(&ei);
}

class VqxMapTool : public ::testing::Test {
 protected:
  // <base>/index holds the index; the template lies in <base>.
  TempDir base{"vqxmaptool", fastTempParent()};
  std::string dir = base.path() + "/index";
  void SetUp() override { fs::create_directory(dir); }
  std::vector<std::string> on(std::vector<std::string> args,
                              char const* name = "ix") const {
    args.insert(args.begin(), {"-i", name, "-p", dir});
    return args;
  }
};

TEST_F(VqxMapTool, StartAndOptionErrors) {
  makeFixture(dir, standardFixture());
  auto before = snapshot(dir);
  struct Row {
    char const* golden;
    std::vector<std::string> args;
    bool onIndex;
  } rows[] = {
      {"start_none", {}, false},
      {"start_h", {"-h"}, false},
      {"start_help", {"-help"}, false},
      {"start_v", {"-v"}, false},
      {"start_version", {"-version"}, false},
      {"option_fields_and_attributes", {"-f", "-a"}, true},
      {"option_no_specification", {"-f"}, true},
      {"option_no_type", {"-a", "-name", "n"}, true},
      {"option_invalid_type", {"-f", "-all", "-type", "x"}, true},
      {"option_name_alone", {"-name", "n"}, true},
      {"option_out_unopenable", {"-f", "-all", "-out", dir + "/missing/o"}, true},
      {"option_missing_index", {"-f", "-all"}, false},
      {"option_help_switch", {"-f", "-all", "-H"}, true},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.golden);
    ToolRun run = runTool(row.onIndex ? on(row.args) : row.args);
    expectGolden(row.golden, run, dir);
    EXPECT_EQ(snapshot(dir), before);
  }
}

TEST_F(VqxMapTool, DisplaysOfAFixtureIndex) {
  makeFixture(dir, standardFixture());
  auto before = snapshot(dir);
  struct Row {
    char const* golden;
    std::vector<std::string> args;
  } rows[] = {
      {"display_fields", {"-f", "-all"}},
      {"display_attributes", {"-a", "-all"}},
      {"display_both", {"-all"}},
      {"display_fields_type_ignored", {"-f", "-all", "-type", "D", "-v"}},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.golden);
    expectGolden(row.golden, runTool(on(row.args)), dir);
  }
  // With -out the file holds the display; the console its frame alone.
  std::string out = base.path() + "/out.txt";
  ASSERT_TRUE(writeFile(out, "old content that must go"));
  ToolRun run = runTool(on({"-all", "-out", out}));
  expectGolden("display_both_out", run, dir);
  EXPECT_EQ(readFile(out),
            "elementNumber elementName\n\n            2  title \n"
            "            3  body \n"
            "elementNumber elementName\n\n            2  price \n"
            "            3  issued \n");
  EXPECT_EQ(snapshot(dir), before);
}

TEST_F(VqxMapTool, NameLookups) {
  makeFixture(dir, standardFixture());
  struct Row {
    std::vector<std::string> args;
    char const* line;
  } rows[] = {
      {{"-f", "-name", "title"}, " 2 is number for field  \"title\" \n"},
      {{"-f", "-name", "nope"}, " 1 is number for field  \"nope\" \n"},
      {{"-a", "-name", "issued", "-type", "d"},
       " 3 is number for attribute \"issued\" of type \"d\" \n"},
      {{"-a", "-name", "price", "-type", "N"},
       " 2 is number for attribute \"price\" of type \"N\" \n"},
      {{"-a", "-all", "-name", "price"},
       " 2 is number for attribute \"price\" of type \"\" \n"},
      {{"-a", "-name", "author", "-type", "n"},
       " 1 is number for attribute \"author\" of type \"n\" \n"},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.line);
    ToolRun run = runTool(on(row.args));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find(row.line), std::string::npos) << run.out;
    std::string out = base.path() + "/lookup.txt";
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"-out", out});
    run = runTool(on(args));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(readFile(out), row.line);
    EXPECT_EQ(run.out.find(row.line), std::string::npos);
  }
}

TEST_F(VqxMapTool, ErrorsAndExpectedReasons) {
  // An index without documents: warning 374 when the search handle is made.
  makeFixture(dir, {{"title"}, {}, {}, {}, 0});
  expectGolden("error_empty_index", runTool(on({"-f", "-all"})), dir);
  expectGolden("error_empty_index_expected",
               runTool(on({"-f", "-all", "-expectError", "374"})), dir);
  // A missing index: 100.
  expectGolden("error_missing_index_expected",
               runTool(on({"-f", "-all", "-expectError", "100"}, "nothere")), dir);
  ToolRun run = runTool(on({"-f", "-all", "-expectError", "374"}, "nothere"));
  EXPECT_EQ(run.exitCode, 8);
  EXPECT_NE(run.out.find("Error creating index search handle"), std::string::npos);
  // An index name with an extension: the index handle is refused.
  expectGolden("error_name_with_extension", runTool(on({"-f", "-all"}, "ix.ini")), dir);
}

// ---- the 64-bit conversion -------------------------------------------------

void putBE64(std::string& out, uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>((value >> shift) & 0xff));
}

// A name map file in the 64-bit layout, written from its names (the
// reserved entry first): magic, 8-byte count, then per record 8-byte
// length (with the NUL; 0 for the reserved entry), the name and its NUL,
// 8-byte number and the 8-byte sum of byte << (i mod 23).
std::string mapFile64(std::vector<std::string> const& names) {
  std::string out = "ITL-MAPFILE-1.00";
  putBE64(out, names.size() + 1);
  putBE64(out, 0);
  putBE64(out, 1);
  putBE64(out, 0);
  uint64_t number = 2;
  for (std::string const& name : names) {
    std::string bytes = name + '\0';
    uint64_t hash = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
      hash += static_cast<uint64_t>(static_cast<unsigned char>(bytes[i])) << (i % 23);
    putBE64(out, bytes.size());
    out += bytes;
    putBE64(out, number++);
    putBE64(out, hash);
  }
  return out;
}

// `input` with 4 zero bytes inserted at each of `offsets`.
std::string withGaps(std::string const& input, std::vector<size_t> const& offsets) {
  std::string out;
  size_t from = 0;
  for (size_t at : offsets) {
    out += input.substr(from, at - from) + std::string(4, '\0');
    from = at;
  }
  return out + input.substr(from);
}

TEST_F(VqxMapTool, ConvertsMapsTo64Bit) {
  FixtureSpec small = standardFixture();
  FixtureSpec large;
  for (int i = 0; i < 255; ++i) large.fields.push_back("field" + std::to_string(i));
  large.numberAttributes = {"n1"};
  large.documents = 256;
  for (FixtureSpec const* spec : {&small, &large}) {
    SCOPED_TRACE(spec->documents);
    fs::remove_all(dir);
    fs::create_directory(dir);
    makeFixture(dir, *spec);
    auto before = snapshot(dir);
    ToolRun run = runTool(on({"-conv32To64"}));
    if (spec == &small) expectGolden("convert", run, dir);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    std::string at = dir + "/ix";
    // One line for each name map and the ".dii"; the other document-map
    // files are copied with their gap without a line.
    for (char const* ext : {".tf", ".an", ".as", ".dii"})
      EXPECT_NE(run.out.find("NEEDS MIGRATION " + at + ext + "\n"), std::string::npos) << ext;

    EXPECT_TRUE(readFile(at + ".tf.64") == mapFile64(spec->fields));
    std::vector<std::string> numeric = spec->numberAttributes;
    numeric.insert(numeric.end(), spec->dateAttributes.begin(), spec->dateAttributes.end());
    EXPECT_TRUE(readFile(at + ".an.64") == mapFile64(numeric));
    EXPECT_TRUE(readFile(at + ".as.64") == mapFile64(spec->stringAttributes));
    std::string dii = before[at + ".dii"];
    std::vector<size_t> diiGaps = {4};
    for (size_t off = 44; off + 12 <= dii.size(); off += 12) diiGaps.push_back(off + 4);
    EXPECT_TRUE(readFile(at + ".dii.64") == withGaps(dii, diiGaps));
    EXPECT_TRUE(readFile(at + ".did.64") == withGaps(before[at + ".did"], {44}));
    EXPECT_TRUE(readFile(at + ".ded.64") == withGaps(before[at + ".ded"], {44}));
    EXPECT_TRUE(readFile(at + ".dei.64") == withGaps(before[at + ".dei"], {4}));
    // The originals are unchanged.
    auto after = snapshot(dir);
    for (auto const& [path, content] : before) EXPECT_TRUE(after[path] == content) << path;
  }
}

// The function entry (1) and exit (2) records of a trace file: records of
// a 20-byte head (type in bits 0-4 of byte 0, text lengths in bytes 2 and
// 3, data length at 16 in the machine's order) and their texts and data.
std::map<int, int> recordTypes(std::string const& trace) {
  std::map<int, int> types;
  size_t at = 0;
  while (at + 20 <= trace.size()) {
    uint32_t dataLength;
    std::memcpy(&dataLength, trace.data() + at + 16, 4);
    ++types[static_cast<unsigned char>(trace[at]) & 0x1f];
    at += 20u + static_cast<unsigned char>(trace[at + 2]) +
          static_cast<unsigned char>(trace[at + 3]) + dataLength;
  }
  EXPECT_EQ(at, trace.size()) << "records end with the file";
  return types;
}

TEST_F(VqxMapTool, TraceLeavesRecordsOfTheToolsCalls) {
  makeFixture(dir, standardFixture());
  std::string traceFile = base.path() + "/trace.out";
  ToolRun run = runTool(on({"-f", "-all", "-trace"}),
                        {{"ZORVATH_TAVRIX_VOZ_TRACE_ACTIVE", "yes"},
                         {"ZORVATH_TAVRIX_VOZ_TRACE_DETAIL", "HIGH"},
                         {"ZORVATH_TAVRIX_VOZ_TRACE_FILE", traceFile}});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  std::string trace = readFile(traceFile);
  ASSERT_NE(trace, "<missing>");
  // Entries and exits of the context, index, search-handle and display
  // calls at least.
  std::map<int, int> types = recordTypes(trace);
  EXPECT_GE(types[1], 4);
  EXPECT_GE(types[2], 4);
  // Without -trace nothing is written.
  std::remove(traceFile.c_str());
  run = runTool(on({"-f", "-all"}),
                {{"ZORVATH_TAVRIX_VOZ_TRACE_ACTIVE", "yes"},
                 {"ZORVATH_TAVRIX_VOZ_TRACE_DETAIL", "HIGH"},
                 {"ZORVATH_TAVRIX_VOZ_TRACE_FILE", traceFile}});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(exists(traceFile));
}

TEST_F(VqxMapTool, StartScriptFromAnotherDirectory) {
  std::string script = fs::path(TI_VQXMAPTOOL).parent_path() / "vqxmovetool.sh";
  ASSERT_TRUE(exists(script));
  ToolRun run = runTool({"-h"}, {}, script, base.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out,
            "Drelmo Quarnel - Index Migration Tool v1.0\n"
            "This tool must not be run as standalone, please execute the "
            "corresponding script vqxmovetool.sh\n");
  makeFixture(dir, standardFixture());
  run = runTool(on({"-conv32To64"}), {}, script, base.path());
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(exists(dir + "/ix.tf.64"));
  // The script hands the tool's exit code on.
  run = runTool(on({"-f", "-a"}), {}, script, base.path());
  EXPECT_EQ(run.exitCode, 8);
}

}  // namespace
