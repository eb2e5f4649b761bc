// Directories and directory walks in a temporary tree: expansion of
// relative paths, creation, removal (also of trees), changing and
// navigating, and walks with wildcards. Every failure leaves its error
// identifier and class; every success clears the last error.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "cos_directory.hpp"
#include "ti_test_util.hpp"

namespace {

using Id = CosEnErrorId;
using Cls = CosEnErrorClass;

template <class T>
void expectError(T const& object, Id id, Cls errClass) {
  EXPECT_EQ(object.getLastError().id, id);
  EXPECT_EQ(object.getLastError().errClass, errClass);
}

std::string currentDirectory() {
  char buffer[4097];
  return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

class DirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { m_cwd = currentDirectory(); }
  void TearDown() override { ASSERT_EQ(chdir(m_cwd.c_str()), 0); }

  std::string m_cwd;
  TempDir dir;
};

// ---------------------------------------------------------------------------
// Construction

TEST_F(DirectoryTest, PathsAreAbsoluteAndEndWithSlash) {
  ScopedEnv home("HOME", "/home/u");
  struct {
    std::string in, out;
  } const cases[] = {
      {"/a/b", "/a/b/"},           {"/a/b/../c", "/a/c/"}, {"\\a\\b", "/a/b/"},
      {"sub/../x", m_cwd + "/x/"}, {"", m_cwd + "/"},      {".", m_cwd + "/"},
      {"~/q", "/home/u/q/"},       {"/a/v1./", "/a/v1./"},
  };
  for (auto const& c : cases) {
    CosClDirectory directory(c.in.c_str());
    EXPECT_STREQ(directory.getAsCString(), c.out.c_str()) << c.in;
    EXPECT_FALSE(directory.getLastError().isError()) << c.in;
  }
  EXPECT_STREQ(CosClDirectory().getAsCString(), (m_cwd + "/").c_str());
  EXPECT_STREQ(CosClDirectory(CosClLocation("x\\..\\y")).getAsCString(),
               (m_cwd + "/y/").c_str());
  CosClDirectory original("/p/q");
  EXPECT_STREQ(CosClDirectory(original).getAsCString(), "/p/q/");

  CosClDirectory climbing("/../x");
  EXPECT_STREQ(climbing.getAsCString(), "");
  expectError(climbing, Id::DIRECTORY_EXPANSION_FAILED, Cls::IO_INVALID_NAME);

  EXPECT_EQ(CosClDirectory("/a/b/").getNumOfSubDirs(), 2u);
  EXPECT_EQ(CosClDirectory("/").getNumOfSubDirs(), 0u);
  EXPECT_TRUE(CosClDirectory("/").isDirectory());
  EXPECT_FALSE(CosClDirectory("/").isFile());
}

// ---------------------------------------------------------------------------
// Create and remove

TEST_F(DirectoryTest, CreateMakesEveryMissingLevel) {
  CosClDirectory deep((dir / "a/b/c").c_str());
  EXPECT_FALSE(deep.isExistent());
  EXPECT_TRUE(deep.create());
  EXPECT_FALSE(deep.getLastError().isError());
  EXPECT_TRUE(deep.isExistent());
  EXPECT_GT(deep.getDateTimeOfLastModification(), 0);
  EXPECT_TRUE(deep.create());  // existing: at once

  CosClDirectory masked((dir / "m").c_str());
  EXPECT_TRUE(masked.create(0777, 022));
  struct stat st;
  ASSERT_EQ(stat((dir / "m").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  // A file where a level should be (root meets this failure too).
  ASSERT_TRUE(writeFile(dir / "file", "x"));
  CosClDirectory blocked((dir / "file/sub").c_str());
  EXPECT_FALSE(blocked.create());
  expectError(blocked, Id::DIRECTORY_COULD_NOT_CREATE, Cls::IO_NOT_EXISTENT);
  CosClDirectory isAFile((dir / "file").c_str());
  EXPECT_FALSE(isAFile.create());  // used to succeed on an existing file
  expectError(isAFile, Id::DIRECTORY_COULD_NOT_CREATE, Cls::IO_NOT_EXISTENT);
  EXPECT_TRUE(deep.create());
  EXPECT_FALSE(deep.getLastError().isError());
}

TEST_F(DirectoryTest, RemoveReportsMissingAndNonEmpty) {
  CosClDirectory missing((dir / "missing").c_str());
  EXPECT_FALSE(missing.remove());
  expectError(missing, Id::DIRECTORY_COULD_NOT_REMOVE, Cls::IO_INVALID_NAME);
  // With contents too: the missing directory, not the tree walk that could
  // not open it (which used to leave DIRWALK_COULD_NOT_INIT).
  EXPECT_FALSE(missing.removeAll(true));
  expectError(missing, Id::DIRECTORY_COULD_NOT_REMOVE, Cls::IO_INVALID_NAME);

  CosClDirectory full((dir / "full").c_str());
  ASSERT_TRUE(full.create());
  ASSERT_TRUE(writeFile(dir / "full/f", "x"));
  EXPECT_FALSE(full.remove());
  expectError(full, Id::DIRECTORY_COULD_NOT_REMOVE, Cls::IO_STILL_IN_USE);
  EXPECT_FALSE(full.removeAll(false));
  ASSERT_EQ(unlink((dir / "full/f").c_str()), 0);
  EXPECT_TRUE(full.remove());
  EXPECT_FALSE(full.getLastError().isError());
  EXPECT_FALSE(full.isExistent());
}

TEST_F(DirectoryTest, RemoveAllRemovesAWholeTree) {
  std::string root = dir / "tree";
  for (char const* sub : {"", "/a", "/a/b", "/.hidden", "/x.y", "/..x",
                          "/back\\slash", "/back\\slash/in"})
    ASSERT_EQ(mkdir((root + sub).c_str(), 0755), 0) << sub;
  for (char const* file : {"/f1", "/a/f2", "/a/b/.f3", "/.hidden/f4", "/x.y/f5",
                           "/..x/f6", "/back\\slash/in/f7"})
    ASSERT_TRUE(writeFile(root + file, "data")) << file;
  ASSERT_EQ(symlink("f1", (root + "/a/link").c_str()), 0);
  ASSERT_EQ(symlink("/nonexistent", (root + "/dangling").c_str()), 0);
  // A link to a directory outside the tree: the link goes, the directory
  // and its file stay.
  ASSERT_EQ(mkdir((dir / "outside").c_str(), 0755), 0);
  ASSERT_TRUE(writeFile(dir / "outside/keep", "keep"));
  ASSERT_EQ(symlink((dir / "outside").c_str(), (root + "/a/out").c_str()), 0);
  // A name with backslashes and dots stays a plain name: "..\\outside"
  // is not the directory "outside" next to the tree.
  ASSERT_EQ(mkdir((root + "/..\\outside").c_str(), 0755), 0);
  ASSERT_TRUE(writeFile(root + "/..\\outside/keep", "gone"));

  CosClDirectory tree(root.c_str());
  EXPECT_TRUE(tree.removeAll(true));
  EXPECT_FALSE(tree.getLastError().isError());
  EXPECT_FALSE(exists(root));
  EXPECT_EQ(readFile(dir / "outside/keep"), "keep");
}

TEST_F(DirectoryTest, RemoveTreeReportsWhatStoppedIt) {
  CosClDirectory holder((dir / "h").c_str());
  CosClDirectory missing((dir / "missing").c_str());
  EXPECT_FALSE(holder.removeTree(missing));
  expectError(holder, Id::DIRWALK_COULD_NOT_INIT, Cls::IO_PROBLEM);
}

// A file in a directory without write permission cannot be removed. Root
// ignores permissions, so as root the check runs in a child process that
// has given up root for the "nobody" user.
TEST_F(DirectoryTest, RemoveTreeReportsARefusedFile) {
  // The lowered user must reach the tree: it lies under the system's
  // temporary folder, not in the build tree (whose parents may be closed).
  TempDir dir("ti_refused", systemTempDir());
  std::string locked = dir / "t/locked";
  ASSERT_EQ(mkdir((dir / "t").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
  ASSERT_TRUE(writeFile(locked + "/f", "x"));
  ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
  uid_t const nobody = 65534;
  pid_t child = -1;
  if (geteuid() == 0) {
    for (std::string p : {dir.path(), dir / "t", locked, locked + "/f"})
      ASSERT_EQ(chown(p.c_str(), nobody, nobody), 0) << p;
    child = fork();
    ASSERT_GE(child, 0);
    if (child > 0) {
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot become nobody";
      EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's output above";
      EXPECT_TRUE(exists(locked + "/f"));
      return;
    }
    if (setgid(nobody) != 0 || setuid(nobody) != 0) _exit(77);
  }
  CosClDirectory tree((dir / "t").c_str());
  bool ok = !tree.removeTree(tree);  // used to stop without a word
  expectError(tree, Id::FILE_COULD_NOT_REMOVE, Cls::IO_PERMISSION_DENIED);
  ok = ok && tree.getLastError().id == Id::FILE_COULD_NOT_REMOVE;
  ok = ok && !tree.removeAll(true);
  expectError(tree, Id::FILE_COULD_NOT_REMOVE, Cls::IO_PERMISSION_DENIED);
  ok = ok && tree.getLastError().errClass == Cls::IO_PERMISSION_DENIED;
  ok = ok && exists(locked + "/f");
  EXPECT_TRUE(ok);
  if (child == 0) _exit(ok ? 0 : 1);
}

// An empty path (a failed expansion) never stands for the current
// directory in a removal.
TEST_F(DirectoryTest, FailedExpansionIsNeverRemoved) {
  ASSERT_TRUE(writeFile(dir / "precious", "x"));
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  CosClDirectory broken("/../..");
  ASSERT_STREQ(broken.getAsCString(), "");
  EXPECT_FALSE(broken.removeAll(true));
  expectError(broken, Id::DIRECTORY_COULD_NOT_REMOVE, Cls::IO_INVALID_NAME);
  EXPECT_FALSE(broken.create());
  EXPECT_FALSE(broken.setAsCurrent());
  EXPECT_TRUE(exists(dir / "precious"));
}

// Nor is it walked or extended: an empty location walks "./", and an
// attached sub-directory used to expand against the current directory,
// leaving a valid-looking path and a cleared error.
TEST_F(DirectoryTest, FailedExpansionIsNeverWalkedOrAttached) {
  ASSERT_TRUE(writeFile(dir / "precious", "x"));
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  CosClDirectory broken("/../..");
  ASSERT_STREQ(broken.getAsCString(), "");

  CosClDirectoryWalk walk(broken);
  EXPECT_FALSE(walk.isValid());
  expectError(walk, Id::DIRWALK_COULD_NOT_INIT, Cls::IO_INVALID_NAME);

  EXPECT_FALSE(broken.attachSubDir(CosClLocation("sub")));
  expectError(broken, Id::DIRECTORY_EXPANSION_FAILED, Cls::IO_INVALID_NAME);
  EXPECT_STREQ(broken.getAsCString(), "");
  EXPECT_FALSE(broken.create());
  EXPECT_FALSE(exists(dir / "sub"));
}

// ---------------------------------------------------------------------------
// Changing and navigating

TEST_F(DirectoryTest, SetAsCurrentChangesTheProcessDirectory) {
  CosClDirectory target(dir.path().c_str());
  EXPECT_TRUE(target.setAsCurrent());
  EXPECT_FALSE(target.getLastError().isError());
  char real[4097];
  ASSERT_NE(realpath(dir.path().c_str(), real), nullptr);
  EXPECT_EQ(currentDirectory(), real);
  CosClDirectory missing((dir / "none").c_str());
  EXPECT_FALSE(missing.setAsCurrent());
  expectError(missing, Id::DIRECTORY_COULD_NOT_CHANGE, Cls::IO_NOT_EXISTENT);
}

TEST_F(DirectoryTest, AttachAndDetachSubDirectories) {
  CosClDirectory d("/x");
  EXPECT_TRUE(d.attachSubDir(CosClLocation("a")));
  EXPECT_STREQ(d.getAsCString(), "/x/a/");
  EXPECT_TRUE(d.attachSubDir(CosClLocation("../b/c")));
  EXPECT_STREQ(d.getAsCString(), "/x/b/c/");
  EXPECT_TRUE(d.attachSubDir(CosClLocation("/d")));
  EXPECT_STREQ(d.getAsCString(), "/x/b/c/d/");

  EXPECT_TRUE(d.detachLastSubDir());
  EXPECT_STREQ(d.getAsCString(), "/x/b/c/");
  EXPECT_TRUE(d.detachSubDirs(2));
  EXPECT_STREQ(d.getAsCString(), "/x/");
  EXPECT_FALSE(d.detachSubDirs(5));
  expectError(d, Id::DIRECTORY_COULD_NOT_DETACH, Cls::LOGIC);
  EXPECT_STREQ(d.getAsCString(), "/");
  EXPECT_FALSE(d.detachLastSubDir());

  CosClDirectory root("/");
  EXPECT_FALSE(root.attachSubDir(CosClLocation("../a")));
  expectError(root, Id::DIRECTORY_EXPANSION_FAILED, Cls::IO_INVALID_NAME);
  EXPECT_STREQ(root.getAsCString(), "/");  // refused: unchanged
  EXPECT_FALSE(
      root.attachSubDir(CosClLocation(std::string(4095, 'z').c_str())));
  EXPECT_STREQ(root.getAsCString(), "/");
  EXPECT_TRUE(root.attachSubDir(CosClLocation(std::string(4094, 'z').c_str())));
  EXPECT_EQ(strlen(root.getAsCString()), 4096u);
  EXPECT_FALSE(root.getLastError().isError());
}

// ---------------------------------------------------------------------------
// Walks

std::set<std::string> walkNames(CosClDirectoryWalk& walk,
                                char const* pattern = "*") {
  std::set<std::string> names;
  for (; walk.isValid(); walk.setToNext())
    if (walk.matchesWildcardPattern(pattern))
      names.insert(walk.getNameWithoutPath());
  return names;
}

TEST_F(DirectoryTest, WalkWithWildcardFindsExactlyTheMatches) {
  for (char const* f : {"a.txt", "b.txt", "c.dat", "d.TXT", "txt", ".e.txt"})
    ASSERT_TRUE(writeFile(dir / f, "x"));
  ASSERT_EQ(mkdir((dir / "sub.txt").c_str(), 0755), 0);
  ASSERT_TRUE(writeFile(dir / "sub.txt/inner.txt", "x"));

  CosClDirectoryWalk walk(CosClLocation(dir.path().c_str()));
  EXPECT_EQ(walkNames(walk, "*.txt"),
            (std::set<std::string>{"a.txt", "b.txt", ".e.txt", "sub.txt"}));
  CosClDirectoryWalk again{CosClDirectory(dir.path().c_str())};
  EXPECT_EQ(walkNames(again, "?.*"),
            (std::set<std::string>{"..", "a.txt", "b.txt", "c.dat", "d.TXT"}));
}

TEST_F(DirectoryTest, WalkTellsEntryKinds) {
  ASSERT_TRUE(writeFile(dir / ".hidden", "x"));
  ASSERT_TRUE(writeFile(dir / "ro", "x"));
  ASSERT_EQ(chmod((dir / "ro").c_str(), 0444), 0);
  for (char const* d : {"sub", ".hid", "..x", "x.y"})
    ASSERT_EQ(mkdir((dir / d).c_str(), 0755), 0);

  std::set<std::string> current, parent, subdirs, hidden, readOnly;
  for (CosClDirectoryWalk walk{CosClLocation(dir.path().c_str())};
       walk.isValid(); walk.setToNext()) {
    std::string name = walk.getNameWithoutPath();
    EXPECT_EQ(std::string(walk.getNameWithPath()), dir / name);
    if (walk.isCurrentDirectory()) current.insert(name);
    if (walk.isParentDirectory()) parent.insert(name);
    if (walk.isSubDirectory()) subdirs.insert(name);
    if (walk.isHidden()) hidden.insert(name);
    if (walk.isReadOnly()) readOnly.insert(name);
  }
  EXPECT_EQ(current, std::set<std::string>{"."});
  EXPECT_EQ(parent, std::set<std::string>{".."});  // not "..x"
  EXPECT_EQ(subdirs, (std::set<std::string>{"sub", ".hid", "..x", "x.y"}));
  EXPECT_EQ(hidden, std::set<std::string>{".hidden"});
  EXPECT_EQ(readOnly, std::set<std::string>{"ro"});
}

TEST_F(DirectoryTest, WalkOfEmptyAndMissingDirectories) {
  ASSERT_EQ(mkdir((dir / "empty").c_str(), 0755), 0);
  CosClDirectoryWalk empty{CosClLocation((dir / "empty").c_str())};
  EXPECT_EQ(walkNames(empty), (std::set<std::string>{".", ".."}));
  EXPECT_FALSE(empty.isValid());
  EXPECT_FALSE(empty.setToNext());
  EXPECT_FALSE(empty.getLastError().isError());

  CosClDirectoryWalk missing{CosClLocation((dir / "missing").c_str())};
  EXPECT_FALSE(missing.isValid());
  expectError(missing, Id::DIRWALK_COULD_NOT_INIT, Cls::IO_PROBLEM);

  ASSERT_TRUE(writeFile(dir / "empty/only", "x"));
  ASSERT_EQ(chdir((dir / "empty").c_str()), 0);
  CosClDirectoryWalk here{CosClLocation("")};  // an empty location: "./"
  EXPECT_EQ(walkNames(here), (std::set<std::string>{".", "..", "only"}));
}

}  // namespace
