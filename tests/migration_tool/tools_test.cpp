// Tests of the tool helpers without update handles (itl_tools.cpp): file
// loading, the two error displays, the error-info callback, printHex, and
// the set-up and clean-up of index handles from a command line.
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

TEST(ItlTools, LoadFileContentAddsANulAndReportsMissingFiles) {
  TempDir dir{"tools_load"};
  ASSERT_TRUE(writeFile(dir / "f", std::string("ab\0c", 4)));
  ASSERT_TRUE(writeFile(dir / "empty", ""));
  char* buffer = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(itlToolsLoadFileContent((dir / "f").c_str(), &buffer, &size), 0);
  EXPECT_EQ(std::string(buffer, size + 1), std::string("ab\0c\0", 5));
  CosClMemoryManager::free(buffer);
  ASSERT_EQ(itlToolsLoadFileContent((dir / "empty").c_str(), &buffer, &size), 0);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(buffer[0], '\0');
  CosClMemoryManager::free(buffer);
  for (std::string name : {dir / "none", dir.path()}) {
    EXPECT_EQ(itlToolsLoadFileContent(name.c_str(), &buffer, &size), 15) << name;
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(size, 0u);
  }
}

TEST(ItlTools, PrintHexAndTheStarredErrorBlock) {
  char data[] = {'\x41', '\x80', '\x05'};
  char label[] = "DocName = ";
  testing::internal::CaptureStdout();
  printHex(data, 3, label);
  printHex(data, 0, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " DocName =  41 80 05  \n \n");

  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0);
  ASSERT_EQ(itlHandleNewContext(&ctx, ei), 0);
  char title[] = "tool test";
  ASSERT_EQ(itlErrorInfoRegisterCallback(ei, itlToolsErrorCallback, title), 0);
  ItlTyIndexHandle index = nullptr;
  testing::internal::CaptureStdout();
  EXPECT_EQ(itlHandleNewIndex(ctx, "a.b", "/tmp", &index), 8);
  std::string shown = testing::internal::GetCapturedStdout();
  EXPECT_EQ(shown,
            "\nERROR CALLBACK: Application title: tool test\n\n" +
                std::string(67, '*') +
                "\n\tAn Error occured\n"
                "\t   Error reason code...: 101   (ItlEnReasonCode_Index_invalid_name)\n"
                "\t   Error return code...: 8   (ItlEnReturnCode_Error)\n"
                "\t   Error action........: 100001   (ItlEnErrorAction_Inform)\n"
                "\t   Error context.......: Index name: a.b\n"
                "\t   Error origin........: source/itl_api/itl_api_index:32\n");

  std::vector<char const*> argv{"t"};
  CosClConsoleUI console(1, argv.data());
  console.init(nullptr);
  std::ostringstream out;
  console.setOutputStream(out);
  itlToolsDisplayError(console, "Message", ei);
  EXPECT_NE(out.str().find("\n  Message\n  ---"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("  Error reason code...................: 101\n"
                           "  Error reason code...................: "
                           "ItlEnReasonCode_Index_invalid_name\n"),
            std::string::npos)
      << out.str();
  // Nothing once the error info holds success.
  ASSERT_EQ(itlErrorInfoRegisterCallback(ei, nullptr, nullptr), 0);
  ASSERT_EQ(itlHandleNewIndex(ctx, "ab", "/tmp", &index), 0);
  ASSERT_EQ(itlHandleDeleteIndex(&index), 0);
  out.str("");
  itlToolsDisplayError(console, "Message", ei);
  EXPECT_EQ(out.str(), "");
  itlHandleDeleteContext(&ctx);
  itlHandleDeleteErrorInfo(&ei);
}

TEST(ItlTools, InitAndDeleteIndexHandles) {
  TempDir dir{"tools_init"};
  std::string path = dir.path();
  std::vector<char const*> argv{"t", "-i", "ix", "-p", path.c_str(), "-dsplog"};
  CosClConsoleUI console(static_cast<int>(argv.size()), argv.data());
  console.init(nullptr);
  std::ostringstream out;
  console.setOutputStream(out);
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  char title[] = "tool test";
  EXPECT_EQ(itlToolsInitIndexHandle(console, title, &ctx, &index, &ei, true), 0)
      << out.str();
  EXPECT_NE(index, nullptr);
  EXPECT_NE(out.str().find("Init index handle"), std::string::npos);
  EXPECT_NE(out.str().find("display log information.............: enabled"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(itlToolsDeleteIndexHandle(console, &ctx, &index), 0);
  EXPECT_EQ(index, nullptr);
  EXPECT_EQ(ctx, nullptr);
  EXPECT_NE(out.str().find("Delete context handle...............: done"), std::string::npos)
      << out.str();
  EXPECT_EQ(itlToolsDeleteIndexHandle(console, &ctx, &index), 0);
  EXPECT_NE(out.str().find("Delete index handle not applied.....: HandleIsInvalid"),
            std::string::npos)
      << out.str();
  itlHandleDeleteErrorInfo(&ei);
}

}  // namespace
