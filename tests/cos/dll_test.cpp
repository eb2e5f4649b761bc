// Shared libraries: finding a library by base name through LD_LIBRARY_PATH
// (with and without ".so"), loading it, resolving and calling procedures,
// and the plain cosDllProcLoader* functions.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cos_dll.hpp"
#include "ti_test_util.hpp"

namespace {

using Combine = int (*)(int, int);

class DllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string library = readFile(TI_DLL_TEST_LIBRARY);
    ASSERT_NE(library, "<missing>");
    ASSERT_TRUE(writeFile(dir / "abc.so", library));
    ASSERT_TRUE(writeFile(dir / "plain", library));  // no extension
    path = std::make_unique<ScopedEnv>("LD_LIBRARY_PATH",
                                       ("/nonexistent::" + dir.path()).c_str());
  }

  // Calls cosDllTestCombine(2, 3) through `procedure`.
  static int call(void* procedure) {
    return reinterpret_cast<Combine>(procedure)(2, 3);
  }

  TempDir dir;
  std::unique_ptr<ScopedEnv> path;
};

TEST_F(DllTest, LoadsByBaseNameWithAndWithoutSuffix) {
  for (char const* name : {"abc", "abc.so"}) {
    CosClDllProcLoaderFile library{CosClFilename(name)};
    ASSERT_TRUE(library.isLoaded()) << name;
    EXPECT_TRUE(library.isFoundInSystemPath()) << name;
    EXPECT_STREQ(library.getAsCString(), (dir / "abc.so").c_str());
    void* procedure = library.getProcedure("cosDllTestCombine");
    ASSERT_NE(procedure, nullptr) << name;
    EXPECT_EQ(call(procedure), 23) << name;
    EXPECT_EQ(library.getProcedure("noSuchProcedure"), nullptr);
  }
}

TEST_F(DllTest, LoadsAFileWithoutExtensionOnTheSecondAttempt) {
  CosClDllProcLoaderFile library{CosClFilename("plain")};
  ASSERT_TRUE(library.isLoaded());
  EXPECT_STREQ(library.getAsCString(), (dir / "plain").c_str());
  EXPECT_EQ(call(library.getProcedure("cosDllTestCombine")), 23);
}

TEST_F(DllTest, NameWithDirectoryOrExtension) {
  CosClDllProcLoaderFile withDir{CosClFilename((dir / "abc").c_str())};
  EXPECT_TRUE(withDir.isLoaded());
  EXPECT_FALSE(withDir.isFoundInSystemPath());
  EXPECT_STREQ(withDir.getAsCString(), (dir / "abc.so").c_str());

  // An extension of the caller's own is never taken off for a retry.
  CosClDllProcLoaderFile wrongExt{CosClFilename("plain.bin")};
  EXPECT_FALSE(wrongExt.isLoaded());
  EXPECT_STREQ(wrongExt.getAsCString(), "plain.bin");
  EXPECT_EQ(wrongExt.getProcedure("cosDllTestCombine"), nullptr);

  CosClDllFile missing{CosClFilename("no-such-library")};
  EXPECT_FALSE(missing.isLoaded());
  EXPECT_EQ(missing.getHandle(), nullptr);

  EXPECT_STREQ(CosClDllFile::getSystemPathEnvironmentVariable(),
               "LD_LIBRARY_PATH");
  EXPECT_STREQ(CosClDllFile::getDefaultFileType(), ".so");
}

TEST_F(DllTest, PlainFunctionsOverAnOpaqueHandle) {
  void* handle = cosDllProcLoaderOpen("abc");
  ASSERT_NE(handle, nullptr);
  void* procedure = cosDllProcLoaderGetProcedure(handle, "cosDllTestCombine");
  ASSERT_NE(procedure, nullptr);
  EXPECT_EQ(call(procedure), 23);
  using Name = char const* (*)();
  auto name = reinterpret_cast<Name>(
      cosDllProcLoaderGetProcedure(handle, "cosDllTestName"));
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name(), "cos dll test library");
  EXPECT_EQ(cosDllProcLoaderGetProcedure(handle, "missing"), nullptr);
  cosDllProcLoaderClose(handle);

  EXPECT_EQ(cosDllProcLoaderOpen("no-such-library"), nullptr);  // ASan: no leak
  EXPECT_EQ(cosDllProcLoaderGetProcedure(nullptr, "cosDllTestCombine"),
            nullptr);
  cosDllProcLoaderClose(nullptr);
}

}  // namespace
