// Tests of the console displays of the document-number maps: golden text
// for a three-block map in both name layouts, written by hand from map
// files built byte by byte (independently of the map code), the hex dump,
// the empty index, the deleted list and the block number out of range.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cos_consoleui.hpp"
#include "docmap_test_util.hpp"
#include "itl_docmap_display.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"

using namespace docmap_test;

namespace {

using Entries = std::vector<std::pair<uint64_t, std::string>>;

constexpr uint16_t kSize = 8;

// A sequential-layout block: u16 length + name packed from offset 0,
// numbers from the top slot down.
std::string seqBlock(Entries const& entries) {
  std::string b(32768, '\0');
  size_t at = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    put64(b, 32760 - 8 * i, entries[i].first);
    put16(b, at, static_cast<uint16_t>(entries[i].second.size()));
    b.replace(at + 2, entries[i].second.size(), entries[i].second);
    at += 2 + entries[i].second.size();
  }
  return b;
}

// Three blocks; names in name order, so the same blocks serve both maps.
std::vector<Entries> const kBlocks = {
    {{1, "alpha"}, {2, "b"}},
    {{3, std::string("c\x80", 2)}, {4, "delta"}},
    {{5, "e"}},
};

std::string padded(std::string const& name) {
  return name + std::string(kSize - name.size(), '\0');
}

// "  <label>" filled with dots to 36 characters, ": ", the value.
std::string line(std::string const& label, std::string const& value) {
  std::string out = "  " + label;
  if (label.size() < 36) out += std::string(36 - label.size(), '.');
  return out + ": " + value + "\n";
}
std::string line(std::string const& label, uint64_t value) {
  return line(label, std::to_string(value));
}

struct DocMapDisplay : ::testing::Test {
  TempDir dir{"itl_docmap_display"};
  std::string indexDir = dir / "index";
  std::string workDir = dir / "work";
  ItlClIndexLocation location{"ix", (indexDir + "/").c_str(),
                              (workDir + "/").c_str()};
  ItlClErrorInfo info;
  std::vector<char const*> argv{"docmap_display_test"};
  std::ostringstream out;
  std::unique_ptr<CosClConsoleUI> console;

  void SetUp() override {
    unsetenv("COS_CONSOLEUI_QUOTE_STRINGS");
    mkdir(indexDir.c_str(), 0700);
    mkdir(workDir.c_str(), 0700);
    console.reset(new CosClConsoleUI(static_cast<int>(argv.size()), argv.data()));
    console->init(nullptr);
    console->setOutputStream(out);
  }

  std::string file(char const* ext) const { return indexDir + "/ix" + ext; }

  void writeMaps(bool fixed) {
    std::string did = dataCtl(5, 3, kSize, "DOCMAP DID");
    std::string ded = dataCtl(5, 3, kSize, "DOCMAP DED");
    std::string dii = indexCtl(3, 5, kSize, "DOCMAP DII");
    std::string dei = indexCtl(3, 5, kSize, "DOCMAP DEI");
    for (uint32_t b = 0; b < kBlocks.size(); ++b) {
      std::string block = fixed ? fixedBlock(kBlocks[b], kSize) : seqBlock(kBlocks[b]);
      did += block;
      ded += block;
      std::string entry;
      put32(entry, 0, b + 1);
      put64(entry, 4, kBlocks[b].back().first);
      dii += entry;
      entry.clear();
      put32(entry, 0, b + 1);
      entry += padded(kBlocks[b].back().second);
      dei += entry;
    }
    ASSERT_TRUE(writeFile(file(".did"), did));
    ASSERT_TRUE(writeFile(file(".dii"), dii));
    ASSERT_TRUE(writeFile(file(".ded"), ded));
    ASSERT_TRUE(writeFile(file(".dei"), dei));
  }

  struct Shown {
    int rc;
    std::string console;
    std::string stdoutText;
  };
  Shown show(ItlEnDocMapKind kind, bool fixed, bool indexOnly, bool oneBlock,
             uint32_t block, bool hex) {
    out.str("");
    ItlStDocMapDisplayTarget target{location, kSize, fixed};
    testing::internal::CaptureStdout();
    int rc = itlDocMapDisplay(target, kind, indexOnly, oneBlock, block,
                              *console, hex, info);
    std::string captured = testing::internal::GetCapturedStdout();
    return {rc, out.str(), captured};
  }

  static std::string header() {
    return line(" Index control: total number of documents ", 5) +
           line(" Data control: highest document number ", 5) +
           line("Data control: block count is ", 3);
  }
  static std::string printedName(std::string const& name, bool fixed) {
    (void)fixed;  // text stops at the first NUL either way
    return name;
  }
  static std::string blockText(uint32_t b, bool fixed) {
    std::string s = line("\n Current block number is ", b + 1);
    for (auto const& e : kBlocks[b])
      s += line("DocNr = ", e.first) + line("DocName =", printedName(e.second, fixed));
    return s;
  }
};

TEST_F(DocMapDisplay, WholeMapsInBothLayouts) {
  for (bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "fixed" : "variable");
    writeMaps(fixed);
    std::string all = header() + blockText(0, fixed) + blockText(1, fixed) +
                      blockText(2, fixed);
    for (auto kind : {ItlEnDocMapKind::NUMBER_TO_NAME, ItlEnDocMapKind::NAME_TO_NUMBER}) {
      Shown s = show(kind, fixed, false, false, 0, false);
      EXPECT_EQ(s.rc, 0);
      EXPECT_EQ(s.console, all);
      EXPECT_EQ(s.stdoutText, "");
    }
  }
}

TEST_F(DocMapDisplay, IndexEntriesOnly) {
  for (bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "fixed" : "variable");
    writeMaps(fixed);
    Shown dix = show(ItlEnDocMapKind::NUMBER_TO_NAME, fixed, true, false, 0, false);
    EXPECT_EQ(dix.rc, 0);
    EXPECT_EQ(dix.console,
              header() + line("Index control: block count is ", 3) + "\n" +
                  line("Block number is ", 1) + line("Highest document number is ", 2) +
                  line("Block number is ", 2) + line("Highest document number is ", 4) +
                  line("Block number is ", 3) + line("Highest document number is ", 5));
    Shown dex = show(ItlEnDocMapKind::NAME_TO_NUMBER, fixed, true, false, 0, false);
    EXPECT_EQ(dex.console,
              header() + line("Index control: block count is ", 3) + "\n" +
                  line("Block number is ", 1) + line("Highest document name is ", "b") +
                  line("Block number is ", 2) + line("Highest document name is ", "delta") +
                  line("Block number is ", 3) + line("Highest document name is ", "e"));
    Shown hex = show(ItlEnDocMapKind::NAME_TO_NUMBER, fixed, true, false, 0, true);
    EXPECT_EQ(hex.console,
              header() + line("Index control: block count is ", 3) + "\n" +
                  line("Block number is ", 1) + line("Block number is ", 2) +
                  line("Block number is ", 3));
    EXPECT_EQ(hex.stdoutText,
              " Highest document name is  62 00 00 00 00 00 00 00  \n"
              " Highest document name is  64 65 6c 74 61 00 00 00  \n"
              " Highest document name is  65 00 00 00 00 00 00 00  \n");
  }
}

TEST_F(DocMapDisplay, OneBlockAndHexNames) {
  for (bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "fixed" : "variable");
    writeMaps(fixed);
    Shown s = show(ItlEnDocMapKind::NUMBER_TO_NAME, fixed, false, true, 2, false);
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(s.console, header() + blockText(1, fixed));
    Shown h = show(ItlEnDocMapKind::NAME_TO_NUMBER, fixed, false, true, 2, true);
    EXPECT_EQ(h.console, header() + line("\n Current block number is ", 2) +
                             line("DocNr = ", 3) + line("DocNr = ", 4));
    // Variable names dump their stored length, fixed names the whole slot.
    EXPECT_EQ(h.stdoutText,
              fixed ? " DocName =  63 80 00 00 00 00 00 00  \n"
                      " DocName =  64 65 6c 74 61 00 00 00  \n"
                    : " DocName =  63 80  \n DocName =  64 65 6c 74 61  \n");
  }
}

TEST_F(DocMapDisplay, BlockAboveTheCountIsAnErrorNotAnExit) {
  writeMaps(false);
  for (auto kind : {ItlEnDocMapKind::NUMBER_TO_NAME, ItlEnDocMapKind::NAME_TO_NUMBER}) {
    info.reset();
    Shown s = show(kind, false, false, true, 4, false);
    EXPECT_EQ(s.rc, 8);
    EXPECT_EQ(s.console,
              header() + "  Requested block number is out of index range\n");
    EXPECT_EQ(info.getReasonCode(), ItlEnReasonCode_Invalid_argument);
  }
}

TEST_F(DocMapDisplay, EmptyIndex) {
  std::string expected =
      line(" No data available for index ", "ix") +
      line(" Index location ", location.getIndexDirectory().getAsCString()) +
      line("Data control: block count is ", 0);
  for (auto kind : {ItlEnDocMapKind::NUMBER_TO_NAME, ItlEnDocMapKind::NAME_TO_NUMBER}) {
    EXPECT_EQ(show(kind, false, false, false, 0, false).console, expected);
    Shown s = show(kind, true, true, false, 0, false);
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(s.console,
              expected + line("Index control: block count is ", 0) + "\n");
  }
}

TEST_F(DocMapDisplay, DeletedDocumentsWithTheirNames) {
  for (bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "fixed" : "variable");
    ItlStDocMapDisplayTarget target{location, kSize, fixed};
    unlink(file(".del").c_str());
    out.str("");
    EXPECT_EQ(itlDocMapDisplayDeleted(target, *console, info), 0);
    EXPECT_EQ(out.str(), line("Number of deleted documents in index", 0));

    writeMaps(fixed);
    std::string del;
    put64(del, 0, 2);
    put64(del, 8, 4);
    ASSERT_TRUE(writeFile(file(".del"), del));
    out.str("");
    EXPECT_EQ(itlDocMapDisplayDeleted(target, *console, info), 0);
    EXPECT_EQ(out.str(), line("Number of deleted documents in index", 2) +
                             line("DocNr = ", 2) + line("DocName =", "b") +
                             line("DocNr = ", 4) + line("DocName =", "delta"));
  }
}

TEST_F(DocMapDisplay, PrintHex) {
  struct Case {
    std::string data;
    char const* label;
    char const* expected;
  } const cases[] = {
      {std::string("\x41\x80", 2), "DocName = ", " DocName =  41 80  \n"},
      {"", "DocName = ", " DocName =   \n"},
      {std::string("\x00\x0f\xff", 3), nullptr, "00 0f ff  \n"},
  };
  for (auto const& c : cases) {
    testing::internal::CaptureStdout();
    printHex(c.data.data(), static_cast<unsigned>(c.data.size()), c.label);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected);
  }
}

TEST_F(DocMapDisplay, DamagedBlockRaisesAfterWhatWasPrinted) {
  writeMaps(false);
  std::string did = readFile(file(".did"));
  put16(did, 44 + 32768, 40000);  // block 2's first name runs past the block
  ASSERT_TRUE(writeFile(file(".did"), did));
  out.str("");
  ItlStDocMapDisplayTarget target{location, kSize, false};
  Thrown t = thrown([&] {
    itlDocMapDisplay(target, ItlEnDocMapKind::NUMBER_TO_NAME, false, false, 0,
                     *console, false, info);
  });
  EXPECT_EQ(t.reason, ItlEnReasonCode_Docmap_corrupted);
  EXPECT_EQ(out.str(), header() + blockText(0, false) +
                           line("\n Current block number is ", 2));
}

// Maps written by the library: every document shows once, the
// number-to-name map in number order, the name-to-number map in name order.
TEST_F(DocMapDisplay, MapsWrittenByTheLibraryShowEveryDocument) {
  for (bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "fixed" : "variable");
    uint16_t size = fixed ? 600 : 64;
    std::vector<std::string> names;
    {
      ItlClDocumentNameMapping mapping(info, location);
      mapping.setNameLayout(size, fixed);
      for (int i = 0; i < 200; ++i) {
        std::string name = "doc" + std::to_string(1000 - i);
        name.resize(fixed ? size : 60, 'x');
        _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
        uint64_t number = 0;
        bool isNew = false;
        mapping.assignDocumentNameToNumber(&id, &number, isNew);
        names.push_back(name);
      }
      mapping.onIndexFileEndTransaction();
      mapping.onIndexFileCommitTransaction();
    }
    ItlStDocMapDisplayTarget target{location, size, fixed};
    for (auto kind : {ItlEnDocMapKind::NUMBER_TO_NAME, ItlEnDocMapKind::NAME_TO_NUMBER}) {
      out.str("");
      ASSERT_EQ(itlDocMapDisplay(target, kind, false, false, 0, *console, false, info), 0);
      std::istringstream in(out.str());
      std::string text;
      std::vector<std::string> shown;
      std::vector<uint64_t> numbers;
      while (std::getline(in, text)) {
        size_t colon = text.find(": ");
        if (text.rfind("  DocNr = ", 0) == 0) numbers.push_back(std::stoull(text.substr(colon + 2)));
        if (text.rfind("  DocName =", 0) == 0) shown.push_back(text.substr(colon + 2));
      }
      ASSERT_EQ(shown.size(), names.size());
      ASSERT_EQ(numbers.size(), names.size());
      if (kind == ItlEnDocMapKind::NUMBER_TO_NAME) {
        for (size_t i = 0; i < names.size(); ++i) {
          EXPECT_EQ(numbers[i], i + 1);
          EXPECT_EQ(shown[i], names[i]);
        }
      } else {
        std::vector<std::string> sorted = names;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(shown, sorted);
      }
    }
    for (char const* ext : {".did", ".dii", ".ded", ".dei", ".del"}) unlink(file(ext).c_str());
  }
}

}  // namespace
