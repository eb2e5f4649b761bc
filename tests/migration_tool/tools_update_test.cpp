// Tests of the tool helpers that feed an update handle: a fixture index
// filled through itlToolsUpdateOneDoc and itlToolsUpdateAttrs, then shown
// by vqxmaptool; the reports of bad attribute files.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cos_consoleui.hpp"
#include "cos_memmgr.hpp"
#include "itl_api.h"
#include "itl_tools.hpp"
#include "ti_test_util.hpp"

namespace {

std::string const kTemplate =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

class ToolsUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0);
    ASSERT_EQ(itlHandleNewContext(&ctx, ei), 0);
    ASSERT_TRUE(writeFile(dir / "t.ini", kTemplate));
    ASSERT_EQ(itlHandleNewIndex(ctx, "ix", dir.path().c_str(), &index), 0);
    ASSERT_EQ(itlIndexCreate(index, (dir / "t.ini").c_str()), 0);
    console.init(nullptr);
    console.setOutputStream(out);
  }
  void TearDown() override {
    itlHandleDeleteIndex(&index);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }

  TempDir dir{"tools_update", fastTempParent()};
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  std::vector<char const*> argv{"t"};
  CosClConsoleUI console{1, argv.data()};
  std::ostringstream out;
};

TEST_F(ToolsUpdate, DocumentsAndAttributesFromFiles) {
  ItlTyIndexUpdateHandle update = nullptr;
  ItlTyDocumentIDHandle docId = nullptr;
  ASSERT_EQ(itlHandleNewIndexUpdate(index, &update), 0);
  ASSERT_EQ(itlHandleNewDocumentID(index, &docId), 0);
  ASSERT_TRUE(writeFile(dir / "doc.txt", "a small text document\n"));
  ASSERT_TRUE(writeFile(dir / "attrs.ini",
                        "[NUMBER]\nNAME = price\nVALUE = 12.5\n"
                        "[DATE]\nNAME = issued\nYEAR = 2010\nMONTH = 5\nDAY = 3\n"
                        "[STRING]\nNAME = author\nVALUE = someone\nCCSID = 819\n"
                        "[OTHER]\nNAME = x\n[NUMBER]\nNAME = bad\nVALUE = 1x\n"));
  ASSERT_EQ(itlDocumentIDSetName(docId, "d1", 2), 0);
  // A document's attributes come before its text; the document call then
  // indexes both together.
  EXPECT_EQ(itlToolsUpdateAttrs(console, update, docId, (dir / "attrs.ini").c_str()), 0)
      << out.str();
  EXPECT_EQ(itlToolsUpdateOneDoc(console, update, docId, false,
                                 (dir / "doc.txt").c_str(), ItlEnDocumentFormat_Text,
                                 nullptr, 819, "en_us"),
            0)
      << out.str();
  EXPECT_NE(out.str().find("illegal section in attributes file ignored"), std::string::npos);
  EXPECT_NE(out.str().find("illegal number value ignored, attribute name: bad"),
            std::string::npos);
  EXPECT_EQ(itlToolsUpdateOneDoc(console, update, docId, false,
                                 (dir / "missing.txt").c_str(), ItlEnDocumentFormat_Text,
                                 nullptr, 819, "en_us"),
            15);
  EXPECT_NE(out.str().find("could not load file"), std::string::npos);
  EXPECT_EQ(itlToolsUpdateAttrs(console, update, docId, (dir / "missing.ini").c_str()), 15);
  ASSERT_EQ(itlIndexUpdateProcess(update), 0);
  ASSERT_EQ(itlIndexUpdateCommit(update), 0);
  itlHandleDeleteDocumentID(&docId);
  itlHandleDeleteIndexUpdate(&update);

  ItlTyIndexSearchHandle search = nullptr;
  ASSERT_EQ(itlHandleNewIndexSearch(index, &search), 0);
  FILE* stream = std::tmpfile();
  ASSERT_EQ(itlDisplayAttributeNameMap(search, stream), 0);
  std::rewind(stream);
  char text[256] = {};
  size_t n = std::fread(text, 1, sizeof text - 1, stream);
  std::fclose(stream);
  EXPECT_EQ(std::string(text, n),
            "elementNumber elementName\n\n            2  price \n"
            "            3  issued \n");
  itlHandleDeleteIndexSearch(&search);
}

}  // namespace
