// Tests of the document-map tool functions: one table of null indexes,
// argument checks with reasons and origins, the highest number through
// assignment, deletion and merge, batch lookups against a model, name-map
// displays, and the 64-bit conversion of maps made by the library checked
// by an independent byte diff.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cos_consoleui.hpp"
#include "itl_api_docmap_parts.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"
#include "ti_test_util.hpp"

namespace {

// The parts of one index the tools use, in a temporary directory.
struct ToolIndex {
  ToolIndex(std::string const& base, uint16_t size, bool fixed)
      : dir(base + "/index/"), work(base + "/work/") {
    mkdir(dir.c_str(), 0700);
    mkdir(work.c_str(), 0700);
    location.reset(new ItlClIndexLocation("ix", dir.c_str(), work.c_str()));
    config.reset(new ItlClIndexConfig(*location, info));
    config->setMaxDocIDLength(size);
    config->setDocNamesHaveFixSize(fixed);
    reopen();
  }
  // New objects over the files, as a new index object would have.
  void reopen() {
    mapping.reset();
    fields.reset(new ItlClFieldNameMap(*location, info));
    fields->init();
    fields->onIndexFileInit();
    attributes.reset(new ItlClAttributeNameMap(*location, info));
    attributes->init();
    attributes->getNumericMap().onIndexFileInit();
    attributes->getStringMap().onIndexFileInit();
    mapping.reset(new ItlClDocumentNameMapping(info, *location));
    mapping->setNameLayout(config->getMaxDocIDLength(),
                           config->getDocNamesHaveFixSize());
    tool = {location.get(), config.get(), &info, fields.get(),
            attributes.get(), mapping.get(), nullptr};
  }
  std::string file(char const* ext) const { return dir + "ix" + ext; }
  // Every file of the index directory with its content.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> all;
    for (auto const& e : std::filesystem::directory_iterator(dir))
      all[e.path().filename().string()] = readFile(e.path().string());
    return all;
  }
  void process(std::string const& name, bool assign) {
    ASSERT_EQ(itlApiToolNameMapProcess(&tool, name.data(),
                                static_cast<uint16_t>(name.size()), assign),
              0)
        << name << " reason " << info.getReasonCode();
  }

  std::string dir, work;
  ItlClErrorInfo info;
  std::unique_ptr<ItlClIndexLocation> location;
  std::unique_ptr<ItlClIndexConfig> config;
  std::unique_ptr<ItlClFieldNameMap> fields;
  std::unique_ptr<ItlClAttributeNameMap> attributes;
  std::unique_ptr<ItlClDocumentNameMapping> mapping;
  ItlStDocMapToolIndex tool{};
};

struct DocMapTools : ::testing::Test {
  TempDir base{"api_docmap_tools"};
  std::string origin(ItlClErrorInfo const& info) {
    return info.getOrigin() != nullptr ? info.getOrigin() : "";
  }
};

TEST_F(DocMapTools, NullIndexReturnsItsCodeAndRecordsNothing) {
  ToolIndex ix(base.path(), 16, false);
  ItlStDocMapToolIndex partial = ix.tool;
  partial.config = nullptr;
  std::vector<char const*> argv{"t"};
  CosClConsoleUI console(1, argv.data());
  console.init(nullptr);
  uint64_t n = 0;
  uint16_t s = 0;
  char names[16];
  for (ItlStDocMapToolIndex const* index : {static_cast<ItlStDocMapToolIndex const*>(nullptr),
                                            static_cast<ItlStDocMapToolIndex const*>(&partial)}) {
    struct Case {
      char const* what;
      int rc;
      int expected;
    } const cases[] = {
        {"ObtainDocumentIds", itlApiToolDocMapObtainDocumentIds(index, 1, &n, &s, names, true), 16},
        {"GetMaxDocNameSize", itlApiToolGetMaxDocNameSize(index, &s), 16},
        {"GetMaxDocNumber", itlApiToolGetMaxDocNumber(index, &n), 16},
        {"NameMapProcess", itlApiToolNameMapProcess(index, "a", 1, true), 8},
        {"NameMapFinalize", itlApiToolNameMapFinalize(index), 8},
        {"NameMapMerge", itlApiToolNameMapMerge(index), 8},
        {"DisplayFieldNameMap", itlApiToolDisplayFieldNameMap(index, stdout), 8},
        {"DisplayAttributeNameMap", itlApiToolDisplayAttributeNameMap(index, stdout), 8},
        {"32To64FieldNameMap", itlApiTool32To64FieldNameMap(index), 8},
        {"32To64AttributeNameMap", itlApiTool32To64AttributeNameMap(index), 8},
        {"DisplayDex", itlApiToolDisplayDex(index, false, false, 0, console, false), 8},
        {"DisplayDix", itlApiToolDisplayDix(index, false, false, 0, console, false), 8},
        {"DisplayDel", itlApiToolDisplayDel(index, console), 8},
    };
    for (auto const& c : cases) EXPECT_EQ(c.rc, c.expected) << c.what;
  }
  EXPECT_EQ(ix.info.getReturnCode(), 0);
}

TEST_F(DocMapTools, HighestNumberSurvivesDeletionAndMerge) {
  ToolIndex ix(base.path(), 16, false);
  uint64_t highest = 7;
  EXPECT_EQ(itlApiToolGetMaxDocNumber(&ix.tool, &highest), 8);
  EXPECT_EQ(ix.info.getReasonCode(), ItlEnReasonCode_Index_not_found);
  EXPECT_EQ(origin(ix.info), "source/itl_api/itl_int_api_docmap:217");
  EXPECT_EQ(itlApiToolGetMaxDocNumber(&ix.tool, nullptr), 8);
  EXPECT_EQ(ix.info.getReasonCode(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(origin(ix.info), "source/itl_api/itl_int_api_docmap:201");

  for (int i = 1; i <= 5; ++i) ix.process("doc" + std::to_string(i), true);
  ASSERT_EQ(itlApiToolNameMapFinalize(&ix.tool), 0);
  ASSERT_EQ(itlApiToolGetMaxDocNumber(&ix.tool, &highest), 0);
  EXPECT_EQ(highest, 5u);

  for (int i = 1; i <= 5; ++i) ix.process("doc" + std::to_string(i), false);
  ASSERT_EQ(itlApiToolNameMapFinalize(&ix.tool), 0);
  ASSERT_EQ(itlApiToolNameMapMerge(&ix.tool), 0);
  ix.reopen();
  ASSERT_EQ(itlApiToolGetMaxDocNumber(&ix.tool, &highest), 0);
  EXPECT_EQ(highest, 5u);
  // Merged: the deleted numbers are gone, and numbers are not reused.
  uint64_t number = 3;
  uint16_t length = 0;
  char name[16];
  EXPECT_EQ(itlApiToolDocMapObtainDocumentIds(&ix.tool, 1, &number, &length, name, true), 8);
  EXPECT_TRUE(ix.info.getReasonCode() == ItlEnReasonCode_Docmap_invalid_docnumber ||
              ix.info.getReasonCode() == ItlEnReasonCode_Docmap_docnumber_not_found);
  ix.process("doc1", true);
  ASSERT_EQ(itlApiToolNameMapFinalize(&ix.tool), 0);
  ASSERT_EQ(itlApiToolGetMaxDocNumber(&ix.tool, &highest), 0);
  EXPECT_EQ(highest, 6u);
}

TEST_F(DocMapTools, ObtainDocumentIdsChecksThenLooksUp) {
  for (bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "fixed" : "variable");
    TempDir dir{"api_docmap_ids"};
    uint16_t const size = 12;
    ToolIndex ix(dir.path(), size, fixed);
    std::vector<std::string> names;
    for (int i = 1; i <= 300; ++i) {
      std::string name = "n" + std::to_string(i * 7919 % 1000);
      if (fixed) name.resize(size, '_');
      names.push_back(name);
      ix.process(name, true);
    }
    ASSERT_EQ(itlApiToolNameMapFinalize(&ix.tool), 0);

    uint64_t numbers[4] = {9, 1, 300, 150};
    uint16_t lengths[4];
    std::vector<char> out(4 * size);
    struct Check {
      uint64_t* numbers;
      uint16_t* lengths;
      char* names;
      int line;
    } const checks[] = {
        {numbers, lengths, nullptr, 108},
        {nullptr, lengths, out.data(), 113},
        {numbers, nullptr, out.data(), fixed ? 0 : 123},
    };
    for (auto const& c : checks) {
      int rc = itlApiToolDocMapObtainDocumentIds(&ix.tool, 4, c.numbers, c.lengths, c.names, true);
      if (c.line == 0) {
        EXPECT_EQ(rc, 0);
        continue;
      }
      EXPECT_EQ(rc, 8);
      EXPECT_EQ(ix.info.getReasonCode(), ItlEnReasonCode_Invalid_argument);
      EXPECT_EQ(origin(ix.info),
                "source/itl_api/itl_int_api_docmap:" + std::to_string(c.line));
    }
    EXPECT_EQ(itlApiToolDocMapObtainDocumentIds(&ix.tool, 0, numbers, lengths, out.data(), true), 0);

    // In order and sorted agree, at the caller's positions.
    for (bool inOrder : {true, false}) {
      std::fill(out.begin(), out.end(), '\0');
      ASSERT_EQ(itlApiToolDocMapObtainDocumentIds(&ix.tool, 4, numbers, lengths, out.data(), inOrder), 0);
      for (int i = 0; i < 4; ++i) {
        std::string got(out.data() + i * size, fixed ? size : lengths[i]);
        EXPECT_EQ(got, names[numbers[i] - 1]) << "number " << numbers[i];
      }
    }
    // An unknown number ends the call; results before it stay.
    uint64_t some[3] = {2, 301, 3};
    std::fill(out.begin(), out.end(), '\0');
    EXPECT_EQ(itlApiToolDocMapObtainDocumentIds(&ix.tool, 3, some, lengths, out.data(), true), 8);
    EXPECT_TRUE(ix.info.getReasonCode() == ItlEnReasonCode_Docmap_invalid_docnumber ||
                ix.info.getReasonCode() == ItlEnReasonCode_Docmap_docnumber_not_found);
    EXPECT_EQ(std::string(out.data(), fixed ? size : lengths[0]), names[1]);
    // A stale return code is never returned.
    uint16_t max = 0;
    EXPECT_EQ(itlApiToolGetMaxDocNameSize(&ix.tool, &max), 0);
    EXPECT_EQ(max, size);
    EXPECT_EQ(itlApiToolGetMaxDocNameSize(&ix.tool, nullptr), 8);
    EXPECT_EQ(origin(ix.info), "source/itl_api/itl_int_api_docmap:167");
  }
}

TEST_F(DocMapTools, NameMapProcessLimitsAndTransactions) {
  ToolIndex ix(base.path(), 8, false);
  ix.process("first", true);
  ASSERT_EQ(itlApiToolNameMapFinalize(&ix.tool), 0);
  auto before = ix.snapshot();

  ix.process("12345678", true);  // exactly the maximum
  EXPECT_EQ(itlApiToolNameMapProcess(&ix.tool, "123456789", 9, true), 8);
  EXPECT_EQ(ix.info.getReasonCode(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(origin(ix.info), "source/itl_api/itl_int_api_docmap:882");
  EXPECT_EQ(itlApiToolNameMapProcess(&ix.tool, nullptr, 1, true), 8);
  EXPECT_EQ(ix.info.getReasonCode(), ItlEnReasonCode_Invalid_argument);
  ix.process("first", false);
  EXPECT_EQ(ix.snapshot(), before);  // nothing reaches the index directory

  ASSERT_EQ(itlApiToolNameMapFinalize(&ix.tool), 0);
  EXPECT_NE(ix.snapshot(), before);
  uint64_t highest = 0;
  ASSERT_EQ(itlApiToolGetMaxDocNumber(&ix.tool, &highest), 0);
  EXPECT_EQ(highest, 2u);  // 123456789 got no number
  // Deleting a name without a live number: 303.
  EXPECT_EQ(itlApiToolNameMapProcess(&ix.tool, "first", 5, false), 8);
  EXPECT_EQ(ix.info.getReasonCode(), 303);
  ASSERT_EQ(itlApiToolNameMapFinalize(&ix.tool), 0);  // ends the update it opened
  ASSERT_EQ(itlApiToolNameMapMerge(&ix.tool), 0);
  uint64_t one = 1;
  uint16_t length;
  char name[8];
  EXPECT_EQ(itlApiToolDocMapObtainDocumentIds(&ix.tool, 1, &one, &length, name, true), 8);
  uint64_t two = 2;
  EXPECT_EQ(itlApiToolDocMapObtainDocumentIds(&ix.tool, 1, &two, &length, name, true), 0);
  EXPECT_EQ(std::string(name, length), "12345678");
}

std::string displayed(ItlEnReturnCode (*f)(ItlStDocMapToolIndex const*, FILE*),
                      ItlStDocMapToolIndex const* index) {
  FILE* stream = std::tmpfile();
  EXPECT_EQ(f(index, stream), 0);
  std::rewind(stream);
  std::string text;
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, n);
  std::fclose(stream);
  return text;
}

TEST_F(DocMapTools, NameMapDisplays) {
  ToolIndex ix(base.path(), 16, false);
  uint16_t number;
  bool isNew;
  ix.fields->assignFieldNameToNumber("title", number, isNew);
  ix.fields->assignFieldNameToNumber("body", number, isNew);
  ix.attributes->assignAttributeNameToNumber("author", ItlEnAttributeType_String, number, isNew);
  EXPECT_EQ(displayed(itlApiToolDisplayFieldNameMap, &ix.tool),
            "elementNumber elementName\n\n            2  title \n"
            "            3  body \n");
  EXPECT_EQ(displayed(itlApiToolDisplayAttributeNameMap, &ix.tool), "elementNumber elementName\n\n");
  ix.attributes->assignAttributeNameToNumber("price", ItlEnAttributeType_Number, number, isNew);
  EXPECT_EQ(displayed(itlApiToolDisplayAttributeNameMap, &ix.tool),
            "elementNumber elementName\n\n            2  price \n");
  EXPECT_EQ(itlApiToolDisplayFieldNameMap(&ix.tool, nullptr), 8);
  EXPECT_EQ(ix.info.getReasonCode(), ItlEnReasonCode_Invalid_argument);
}

// Independent byte diff: `converted` is `input` with 4 zero bytes inserted
// at each of `offsets` (offsets in the input).
void expectGaps(std::string const& input, std::string const& converted,
                std::vector<size_t> const& offsets, char const* what) {
  std::string expected;
  size_t from = 0;
  for (size_t at : offsets) {
    expected += input.substr(from, at - from) + std::string(4, '\0');
    from = at;
  }
  expected += input.substr(from);
  EXPECT_EQ(converted.size(), input.size() + 4 * offsets.size()) << what;
  EXPECT_TRUE(converted == expected) << what;
}

std::string convertField(ToolIndex& ix, int expectedRc = 0) {
  testing::internal::CaptureStdout();
  int rc = itlApiTool32To64FieldNameMap(&ix.tool);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(rc, expectedRc) << "reason " << ix.info.getReasonCode();
  return out;
}

TEST_F(DocMapTools, ConversionOfMapsMadeByTheLibrary) {
  for (int documents : {255, 256, 512}) {
    SCOPED_TRACE(documents);
    TempDir dir{"api_docmap_conv"};
    ToolIndex ix(dir.path(), 32, false);
    for (int i = 0; i < 255; ++i) {
      uint16_t number;
      bool isNew;
      ix.fields->assignFieldNameToNumber(("field" + std::to_string(i)).c_str(), number, isNew);
    }
    ix.fields->onIndexFileEndTransaction();
    ix.fields->onIndexFileCommitTransaction();
    for (int i = 0; i < documents; ++i)
      ix.process("document-" + std::to_string(i) + std::string(i % 20, 'z'), true);
    ASSERT_EQ(itlApiToolNameMapFinalize(&ix.tool), 0);
    ix.reopen();
    ASSERT_EQ(ix.fields->getEntryCount(), 256u);

    auto before = ix.snapshot();
    std::string out = convertField(ix);
    EXPECT_EQ(out, "NEEDS MIGRATION " + ix.file(".tf") + "\nNEEDS MIGRATION " +
                       ix.file(".dii") + "\n");
    EXPECT_EQ(before["ix.tf"], ix.snapshot()["ix.tf"]);
    std::string dii = before["ix.dii"];
    std::vector<size_t> diiGaps = {4};
    for (size_t at = 44; at + 12 <= dii.size(); at += 12) diiGaps.push_back(at + 4);
    expectGaps(dii, readFile(ix.file(".dii.64")), diiGaps, ".dii");
    expectGaps(before["ix.did"], readFile(ix.file(".did.64")), {44}, ".did");
    expectGaps(before["ix.ded"], readFile(ix.file(".ded.64")), {44}, ".ded");
    expectGaps(before["ix.dei"], readFile(ix.file(".dei.64")), {4}, ".dei");
    for (char const* ext : {".dii", ".did", ".ded", ".dei"}) {
      auto now = ix.snapshot();
      EXPECT_EQ(now[std::string("ix") + ext], before[std::string("ix") + ext]) << ext;
    }

    // With the converted files in place: nothing more to do.
    for (char const* ext : {".tf", ".dii", ".did", ".ded", ".dei"})
      std::rename(ix.file((std::string(ext) + ".64").c_str()).c_str(), ix.file(ext).c_str());
    std::string converted = readFile(ix.file(".tf"));
    std::string dii64 = readFile(ix.file(".dii"));
    ItlClIndexLocation again("ix", ix.dir.c_str(), ix.work.c_str());
    ItlClFieldNameMap map(again, ix.info);
    map.init();
    ItlStDocMapToolIndex tool = ix.tool;
    tool.location = &again;
    tool.fieldNameMap = &map;
    testing::internal::CaptureStdout();
    EXPECT_EQ(itlApiTool32To64FieldNameMap(&tool), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Migration for file " + ix.file(".tf") + " not necessary, already 64bit.\n");
    EXPECT_EQ(readFile(ix.file(".tf.64")), converted);
    EXPECT_FALSE(exists(ix.file(".dii.64")));
    EXPECT_EQ(readFile(ix.file(".dii")), dii64);

    // A damaged map: an error, no ".64" file.
    std::remove(ix.file(".tf.64").c_str());
    ASSERT_TRUE(writeFile(ix.file(".tf"), converted.substr(0, converted.size() - 5)));
    ItlClIndexLocation third("ix", ix.dir.c_str(), ix.work.c_str());
    ItlClFieldNameMap damaged(third, ix.info);
    damaged.init();
    tool.location = &third;
    tool.fieldNameMap = &damaged;
    testing::internal::CaptureStdout();
    EXPECT_EQ(itlApiTool32To64FieldNameMap(&tool), 8);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ix.info.getReasonCode(), ItlEnReasonCode_Io_read_error);
    EXPECT_FALSE(exists(ix.file(".tf.64")));
  }
}

}  // namespace
