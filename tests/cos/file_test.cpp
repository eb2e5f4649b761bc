// Files on disk: queries, copy, rename, remove and the path-list search,
// each failure with its error identifier and class, each success clearing
// the last error.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "cos_file.hpp"
#include "ti_test_util.hpp"

namespace {

using Id = CosEnErrorId;
using Cls = CosEnErrorClass;

void expectError(CosClFile const& file, Id id, Cls errClass) {
  EXPECT_EQ(file.getLastError().id, id) << file.getAsCString();
  EXPECT_EQ(file.getLastError().errClass, errClass) << file.getAsCString();
}

void expectNoError(CosClFile const& file) {
  EXPECT_FALSE(file.getLastError().isError()) << file.getAsCString();
}

CosClFile fileAt(std::string const& path, char const* defaultExt = nullptr) {
  return CosClFile(CosClFilename(path.c_str()), defaultExt);
}

class FileTest : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(FileTest, QueriesOfAnExistingAndAMissingFile) {
  ASSERT_TRUE(writeFile(dir / "data.txt", "hello"));
  CosClFile file = fileAt(dir / "data.txt");
  EXPECT_TRUE(file.isExistent());
  EXPECT_TRUE(file.isFile());
  EXPECT_FALSE(file.isDirectory());
  EXPECT_EQ(file.getFileSize(), 5u);
  EXPECT_STREQ(file.getFileType(), "txt");
  EXPECT_FALSE(file.isHidden());
  EXPECT_GT(file.getDateTimeOfLastModification(), 0);
  EXPECT_GT(file.getDateTimeOfLastAccess(), 0);
  EXPECT_GT(file.getDateTimeOfCreation(), 0);
  EXPECT_STREQ((char const*)file, (dir / "data.txt").c_str());

  CosClFile missing = fileAt(dir / ".missing");
  EXPECT_FALSE(missing.isExistent());
  EXPECT_TRUE(missing.isHidden());
  EXPECT_EQ(missing.getFileSize(), 0u);
  EXPECT_EQ(missing.getDateTimeOfLastModification(), 0);
  EXPECT_STREQ(missing.getFileType(), "missing");

  EXPECT_STREQ(fileAt(dir / "noext").getFileType(), "");
  EXPECT_STREQ(fileAt(dir / "noext", "ini").getAsCString(),
               (dir / "noext.ini").c_str());
  EXPECT_STREQ(fileAt(dir / "a.cfg", "ini").getAsCString(),
               (dir / "a.cfg").c_str());

  std::istringstream in;
  std::ostringstream out;
  EXPECT_TRUE(cosFileIsOpenedInBinaryMode(in));
  EXPECT_TRUE(cosFileIsOpenedInTextMode(out));
}

// Sizes are 64-bit: a sparse file of 5 GiB reports its whole size.
TEST_F(FileTest, SizeOfAFileBeyondFourGigabytes) {
  std::string path = dir / "big";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  uint64_t const size = (5ull << 30) + 7;
  int rc = ftruncate(fd, (off_t)size);
  close(fd);
  if (rc != 0) GTEST_SKIP() << "file system refuses a sparse 5 GiB file";
  EXPECT_EQ(fileAt(path).getFileSize(), size);
}

TEST_F(FileTest, ReadOnlyState) {
  ASSERT_TRUE(writeFile(dir / "ro", "x"));
  CosClFile file = fileAt(dir / "ro");
  EXPECT_EQ(file.setReadOnly(true), 0);
  struct stat st;
  ASSERT_EQ(stat((dir / "ro").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0440u);
  if (geteuid() != 0) {  // root may write anyway
    EXPECT_TRUE(file.isReadOnly());
  }
  EXPECT_EQ(file.setReadOnly(false), 0);
  ASSERT_EQ(stat((dir / "ro").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);
  EXPECT_FALSE(file.isReadOnly());
  EXPECT_NE(fileAt(dir / "none").setReadOnly(true), 0);
}

TEST_F(FileTest, RemoveReportsMissingAndRefusedFiles) {
  ASSERT_TRUE(writeFile(dir / "gone", "x"));
  CosClFile file = fileAt(dir / "gone");
  ASSERT_TRUE(file.setReadOnly(true) == 0);
  EXPECT_TRUE(file.remove());  // read-only files are removed too
  expectNoError(file);
  EXPECT_FALSE(exists(dir / "gone"));

  EXPECT_FALSE(file.remove());
  expectError(file, Id::FILE_COULD_NOT_REMOVE, Cls::IO_NOT_EXISTENT);

  // A directory cannot be unlinked (root meets this refusal too).
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
  CosClFile notAFile = fileAt(dir / "sub");
  EXPECT_FALSE(notAFile.remove());
  expectError(notAFile, Id::FILE_COULD_NOT_REMOVE, Cls::IO_PERMISSION_DENIED);

  // Removing a symbolic link leaves the mode of the file it points to (a
  // chmod before the unlink used to open a 0600 file up to 0660).
  ASSERT_TRUE(writeFile(dir / "secret", "x"));
  ASSERT_EQ(chmod((dir / "secret").c_str(), 0600), 0);
  ASSERT_EQ(symlink("secret", (dir / "link").c_str()), 0);
  CosClFile link = fileAt(dir / "link");
  EXPECT_TRUE(link.remove());
  EXPECT_FALSE(exists(dir / "link"));
  struct stat st;
  ASSERT_EQ(stat((dir / "secret").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  ASSERT_TRUE(writeFile(dir / "again", "x"));
  CosClFile again = fileAt(dir / "again");
  EXPECT_FALSE(again.renameAs(CosClFilename((dir / "sub/x/y").c_str())));
  EXPECT_TRUE(again.remove());  // a success clears the earlier error
  expectNoError(again);
}

TEST_F(FileTest, CopyKeepsContentAndOptionallyTheMode) {
  std::string content(100000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = (char)(i * 7);
  ASSERT_TRUE(writeFile(dir / "src.bin", content));
  ASSERT_EQ(chmod((dir / "src.bin").c_str(), 0604), 0);
  CosClFile source = fileAt(dir / "src.bin");

  EXPECT_TRUE(source.copyTo(CosClFilename((dir / "keep.bin").c_str()), true));
  expectNoError(source);
  EXPECT_EQ(readFile(dir / "keep.bin"), content);
  struct stat st;
  ASSERT_EQ(stat((dir / "keep.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);

  ASSERT_EQ(mkdir((dir / "to").c_str(), 0755), 0);
  EXPECT_TRUE(source.copyTo(CosClLocation((dir / "to").c_str()), false));
  EXPECT_EQ(readFile(dir / "to/src.bin"), content);

  ASSERT_TRUE(writeFile(dir / "empty", ""));
  EXPECT_TRUE(fileAt(dir / "empty")
                  .copyTo(CosClFilename((dir / "empty2").c_str()), false));
  EXPECT_EQ(readFile(dir / "empty2"), "");
}

TEST_F(FileTest, CopyOntoItselfTouchesNothing) {
  ASSERT_TRUE(writeFile(dir / "self", "precious"));
  CosClFile file = fileAt(dir / "self");
  EXPECT_FALSE(file.copyTo(CosClFilename((dir / "self").c_str()), false));
  expectError(file, Id::FILE_COULD_NOT_COPY_SELF, Cls::INCONSISTENT_SITUATION);
  // The same file under another text used to be truncated by the copy.
  EXPECT_FALSE(file.copyTo(CosClFilename((dir / "./self").c_str()), false));
  expectError(file, Id::FILE_COULD_NOT_COPY_SELF, Cls::INCONSISTENT_SITUATION);
  ASSERT_EQ(symlink("self", (dir / "link").c_str()), 0);
  EXPECT_FALSE(file.copyTo(CosClFilename((dir / "link").c_str()), false));
  EXPECT_EQ(readFile(dir / "self"), "precious");
}

TEST_F(FileTest, CopyFailuresLeaveNoPartialTarget) {
  CosClFile missing = fileAt(dir / "missing");
  EXPECT_FALSE(missing.copyTo(CosClFilename((dir / "t1").c_str()), false));
  expectError(missing, Id::FILE_COULD_NOT_COPY, Cls::IO_READ_PROBLEM);
  EXPECT_FALSE(exists(dir / "t1"));

  ASSERT_TRUE(writeFile(dir / "src", "abc"));
  CosClFile source = fileAt(dir / "src");
  EXPECT_FALSE(
      source.copyTo(CosClFilename((dir / "no/dir/t2").c_str()), false));
  expectError(source, Id::FILE_COULD_NOT_COPY, Cls::IO_WRITE_PROBLEM);

  // A source that opens but cannot be read (a directory): the target was
  // already created and used to stay behind, empty.
  ASSERT_EQ(mkdir((dir / "adir").c_str(), 0755), 0);
  CosClFile unreadable = fileAt(dir / "adir");
  EXPECT_FALSE(unreadable.copyTo(CosClFilename((dir / "t3").c_str()), false));
  expectError(unreadable, Id::FILE_COULD_NOT_COPY, Cls::IO_WRITE_PROBLEM);
  EXPECT_FALSE(exists(dir / "t3"));

  EXPECT_TRUE(source.copyTo(CosClFilename((dir / "t4").c_str()), false));
  expectNoError(source);
}

TEST_F(FileTest, RenameTakesTheNewNameOrReportsWhy) {
  ASSERT_TRUE(writeFile(dir / "a", "A"));
  CosClFile file = fileAt(dir / "a");
  EXPECT_TRUE(file.renameAs(CosClFilename((dir / "b.txt").c_str())));
  expectNoError(file);
  EXPECT_STREQ(file.getAsCString(), (dir / "b.txt").c_str());
  EXPECT_STREQ(file.getFileType(), "txt");
  EXPECT_EQ(readFile(dir / "b.txt"), "A");

  // rename refuses to put a file over a directory that exists.
  ASSERT_EQ(mkdir((dir / "d").c_str(), 0755), 0);
  EXPECT_FALSE(file.renameAs(CosClFilename((dir / "d").c_str())));
  expectError(file, Id::FILE_COULD_NOT_RENAME, Cls::IO_ALREADY_IN_USE);
  EXPECT_STREQ(file.getAsCString(), (dir / "b.txt").c_str());

  CosClFile missing = fileAt(dir / "missing");
  EXPECT_FALSE(missing.renameAs(CosClFilename((dir / "c").c_str())));
  expectError(missing, Id::FILE_COULD_NOT_RENAME, Cls::IO_PERMISSION_DENIED);
}

TEST_F(FileTest, SearchAlongAPathListVariable) {
  ASSERT_EQ(mkdir((dir / "one").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "two").c_str(), 0755), 0);
  ASSERT_TRUE(writeFile(dir / "two/tool.cfg", "x"));
  ASSERT_TRUE(writeFile(dir / "one/other.cfg", "x"));
  std::string list =
      "::" + (dir / "none") + ":" + (dir / "one") + "::" + (dir / "two") + ":";
  ScopedEnv var("COS_FILE_TEST_PATH", list.c_str());
  CosClFile any = fileAt(dir / "x");

  CosClFilename name("tool.cfg");
  EXPECT_TRUE(any.determineFileInEnvVarPath(name, "COS_FILE_TEST_PATH"));
  EXPECT_STREQ(name.getAsCString(), (dir / "two/tool.cfg").c_str());

  CosClFilename first("/elsewhere/other.cfg");
  EXPECT_TRUE(any.determineFileInEnvVarPath(first, "COS_FILE_TEST_PATH"));
  EXPECT_STREQ(first.getAsCString(), (dir / "one/other.cfg").c_str());

  CosClFilename absent("absent.cfg");
  EXPECT_FALSE(any.determineFileInEnvVarPath(absent, "COS_FILE_TEST_PATH"));
  EXPECT_STREQ(absent.getAsCString(), (dir / "two/absent.cfg").c_str());

  CosClFilename unset("tool.cfg");
  EXPECT_FALSE(any.determineFileInEnvVarPath(unset, "COS_FILE_TEST_UNSET"));
  EXPECT_STREQ(unset.getAsCString(), "tool.cfg");
}

// A name cut to fit its buffer is never handed to the system.
TEST_F(FileTest, CutNamesAreRefused) {
  std::string longName = dir.path() + "/" + std::string(5000, 'n');
  CosClFile file = fileAt(longName);
  ASSERT_TRUE(file.getName().isTooLong());
  EXPECT_FALSE(file.isExistent());
  EXPECT_FALSE(file.remove());
  expectError(file, Id::FILE_COULD_NOT_REMOVE, Cls::IO_INVALID_NAME);
  ASSERT_TRUE(writeFile(dir / "s", "x"));
  CosClFile source = fileAt(dir / "s");
  EXPECT_FALSE(source.copyTo(CosClFilename(longName.c_str()), false));
  expectError(source, Id::FILE_COULD_NOT_COPY, Cls::IO_INVALID_NAME);
  EXPECT_FALSE(source.renameAs(CosClFilename(longName.c_str())));
  expectError(source, Id::FILE_COULD_NOT_RENAME, Cls::IO_INVALID_NAME);
  EXPECT_TRUE(exists(dir / "s"));
}

}  // namespace
