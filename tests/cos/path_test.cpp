// Path values: locations and file names (parts, composition, changes,
// comparisons, bounds), relative-path test and expansion, backup and
// temporary names.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "cos_file.hpp"
#include "cos_filename.hpp"
#include "cos_location.hpp"
#include "ti_test_util.hpp"

namespace {

std::string cwdText() {
  char buffer[4097];
  return getcwd(buffer, sizeof buffer);
}

// ---------------------------------------------------------------------------
// Locations

TEST(Location, EndsWithItsSeparatorAndKnowsItsStyle) {
  struct {
    char const* text;
    bool normalize;
    char const* expected;
    unsigned style;
    bool absolute, root;
  } const cases[] = {
      {"/a/b", false, "/a/b/", 1, true, false},
      {"/a/b/", false, "/a/b/", 1, true, false},
      {"", false, "", 1, false, false},
      {"/", false, "/", 1, true, true},
      {"a/b", false, "a/b/", 1, false, false},
      {"C:\\", false, "C:\\", 0, true, true},
      {"C:\\a", false, "C:\\a\\", 0, true, false},
      {"x\\y", false, "x\\y\\", 0, false, false},
      {"x\\y", true, "x/y/", 1, false, false},
      {"\\\\srv\\share\\", false, "\\\\srv\\share\\", 0, true, true},
      {"\\\\srv\\share\\d", false, "\\\\srv\\share\\d\\", 0, true, false},
  };
  for (auto const& c : cases) {
    CosClLocation location(c.text, c.normalize);
    EXPECT_STREQ(location.getAsCString(), c.expected) << c.text;
    EXPECT_EQ(location.getLength(), strlen(c.expected)) << c.text;
    EXPECT_EQ(location.getStyle(), c.style) << c.text;
    EXPECT_EQ(location.isAbsolute(), c.absolute) << c.text;
    EXPECT_EQ(location.isRoot(), c.root) << c.text;
    EXPECT_FALSE(location.isTooLong()) << c.text;
  }
}

TEST(Location, OtherSourcesAndCopies) {
  EXPECT_STREQ(CosClLocation("/abcdef", 3, false).getAsCString(), "/ab/");
  CosClFilename name("/a/b/x.dat");
  EXPECT_STREQ(CosClLocation(name).getAsCString(), "/a/b/");
  EXPECT_STREQ(CosClLocation(CosClFilename("x.dat")).getAsCString(), "");

  // A copy's pointers lie in its own text: it outlives the original.
  auto original = std::make_unique<CosClLocation>("\\\\srv\\share\\d");
  CosClLocation copy(*original);
  CosClLocation assigned("/other");
  assigned = *original;
  original.reset();
  EXPECT_STREQ(copy.getPathProper(), "\\d\\");
  EXPECT_STREQ(assigned.getPathProper(), "\\d\\");
  EXPECT_TRUE(copy.hasServer());

  assigned = "/q";
  EXPECT_STREQ(assigned.getAsCString(), "/q/");
}

// ---------------------------------------------------------------------------
// File names

TEST(Filename, ParsesItsParts) {
  struct {
    char const* text;
    char const *baseWithExtension, *extension, *base, *path, *pathWithSep,
        *server;
  } const cases[] = {
      {"/a/b/x.dat", "x.dat", ".dat", "x", "/a/b", "/a/b/", ""},
      {"/a/b.c/d", "d", "", "d", "/a/b.c", "/a/b.c/", ""},
      {"x.dat", "x.dat", ".dat", "x", "", "", ""},
      {"x.tar.gz", "x.tar.gz", ".gz", "x.tar", "", "", ""},
      {"/a/b/", "", "", "", "/a/b", "/a/b/", ""},
      {".profile", ".profile", ".profile", "", "", "", ""},
      {"C:\\dir\\f.txt", "f.txt", ".txt", "f", "C:\\dir", "C:\\dir\\", ""},
      {"\\\\srv\\share\\d\\f.x", "f.x", ".x", "f", "\\\\srv\\share\\d",
       "\\\\srv\\share\\d\\", "\\\\srv\\share"},
      {"", "", "", "", "", "", ""},
  };
  char buffer[COS_PATH_BUFFER_SIZE];
  for (auto const& c : cases) {
    CosClFilename name(c.text);
    EXPECT_STREQ(name.getBaseName(), c.baseWithExtension) << c.text;
    EXPECT_STREQ(name.getExtension(), c.extension) << c.text;
    EXPECT_STREQ(name.extractBaseName(buffer), c.base) << c.text;
    EXPECT_STREQ(name.extractPath(buffer, false), c.path) << c.text;
    EXPECT_STREQ(name.extractPath(buffer, true), c.pathWithSep) << c.text;
    EXPECT_STREQ(name.extractServer(buffer), c.server) << c.text;
    EXPECT_EQ(name.getLength(), strlen(c.text)) << c.text;
  }
}

TEST(Filename, ComposesFromLocationBaseAndExtension) {
  CosClLocation location("/a/b/");
  struct {
    char const *path, *base, *extension, *expected;
  } const cases[] = {
      {"/a/b/", "x", "dat", "/a/b/x.dat"},
      {"/a/b/", "x", ".dat", "/a/b/x.dat"},
      {"/a/b/", "x", nullptr, "/a/b/x"},
      {"/a/b/", "x", "", "/a/b/x."},
      {"/a/b", "x", "dat", "/a/b/x.dat"},
      {"", "x", "dat", "x.dat"},
      {"C:\\d", "x", "dat", "C:\\d\\x.dat"},
  };
  for (auto const& c : cases) {
    CosClFilename name(c.path, c.base, c.extension);
    EXPECT_STREQ(name.getAsCString(), c.expected) << c.expected;
  }
  CosClFilename fromLocation(location, "x", "dat");
  EXPECT_STREQ(fromLocation.getAsCString(), "/a/b/x.dat");
  EXPECT_STREQ(fromLocation.getBaseName(), "x.dat");
  EXPECT_STREQ(fromLocation.getExtension(), ".dat");
}

TEST(Filename, ChangesInPlace) {
  struct {
    char const* what;
    void (*change)(CosClFilename&);
    char const *expected, *extension;
  } const cases[] = {
      {"empty extension", [](CosClFilename& n) { n.setNewExtension(""); },
       "/a/x", ""},
      {"null extension", [](CosClFilename& n) { n.setNewExtension(nullptr); },
       "/a/x", ""},
      {"extension", [](CosClFilename& n) { n.setNewExtension(".idx"); },
       "/a/x.idx", ".idx"},
      {"base name", [](CosClFilename& n) { n.setNewBaseName("y"); }, "/a/y.dat",
       ".dat"},
      {"name", [](CosClFilename& n) { n.setNewName("z"); }, "/a/z", ""},
      {"remove path", [](CosClFilename& n) { n.removePath(); }, "x.dat",
       ".dat"},
      {"path", [](CosClFilename& n) { n.setNewPath("/q/r"); }, "/q/r/x.dat",
       ".dat"},
      {"location", [](CosClFilename& n) { n.setNewPath(CosClLocation("/q")); },
       "/q/x.dat", ".dat"},
      {"both", [](CosClFilename& n) { n.setNew(CosClLocation("/q"), "n.e"); },
       "/q/n.e", ".e"},
      {"own text as path",
       [](CosClFilename& n) { n.setNewPath(n.getAsCString()); },
       "/a/x.dat/x.dat", ".dat"},
  };
  for (auto const& c : cases) {
    CosClFilename name("/a/x.dat");
    c.change(name);
    EXPECT_STREQ(name.getAsCString(), c.expected) << c.what;
    EXPECT_STREQ(name.getExtension(), c.extension) << c.what;
    EXPECT_EQ(name.getLength(), strlen(c.expected)) << c.what;
  }
}

TEST(Filename, BackupNameAppendsBak) {
  CosClBakFilename bak(CosClFilename("/d/x.dat"));
  EXPECT_STREQ(bak.getAsCString(), "/d/x.dat.bak");
  EXPECT_STREQ(bak.getBaseName(), "x.dat.bak");
  EXPECT_STREQ(bak.getExtension(), ".dat.bak");
  EXPECT_EQ(bak.getLength(), 12u);
}

TEST(Filename, CompareByStyle) {
  CosClFilename slash("/a/b/x.dat");
  EXPECT_TRUE(slash.matchesPath(CosClFilename("/a/b/y.idx")));
  EXPECT_FALSE(slash.matchesPath(CosClFilename("/a/c/x.dat")));
  EXPECT_FALSE(slash.matchesPath(CosClFilename("/A/B/x.dat")));
  EXPECT_TRUE(slash.matchesBase(CosClFilename("/q/x.idx")));
  EXPECT_FALSE(slash.matchesBase(CosClFilename("/a/b/x1.dat")));
  EXPECT_FALSE(slash.matchesBase(CosClFilename("/a/b/X.dat")));
  EXPECT_TRUE(slash.matchesExtension("dat"));
  EXPECT_TRUE(slash.matchesExtension(".dat"));
  EXPECT_FALSE(slash.matchesExtension("DAT"));
  EXPECT_FALSE(slash.matchesExtension("da"));
  EXPECT_TRUE(CosClFilename("/a/x").matchesExtension(""));
  EXPECT_TRUE(slash.matchesWildcardPattern("*.dat"));
  EXPECT_TRUE(slash.matchesWildcardPattern("?.d*"));
  EXPECT_FALSE(slash.matchesWildcardPattern("*.DAT"));

  CosClFilename back("C:\\A\\X.DAT");
  EXPECT_TRUE(back.matchesPath(CosClFilename("c:\\a\\y")));
  EXPECT_TRUE(back.matchesBase(CosClFilename("c:\\q\\x.idx")));
  EXPECT_TRUE(back.matchesExtension("dat"));
  EXPECT_TRUE(back.matchesWildcardPattern("*.dat"));
}

TEST(Filename, RecognisesFat83Names) {
  struct {
    char const* text;
    bool expected;
  } const cases[] = {
      {"C:\\DIR\\FILE.TXT", true},   {"FILE.TXT", false},  // slash style
      {"\\DIR\\FILE.TXT", true},     {"C:\\DIR\\LONGFILENAME.TXT", false},
      {"C:\\DIR\\FILE.TEXT", false}, {"C:\\DIRECTORY9\\F.TXT", false},
      {"C:\\D*R\\F.TXT", false},     {"1:\\DIR\\F.TXT", false},
      {"/dir/file.txt", false},
  };
  for (auto const& c : cases)
    EXPECT_EQ(CosClFilename(c.text).isStyleFAT_8_3(), c.expected) << c.text;
}

TEST(Filename, CopiesRebaseTheirPointers) {
  auto original = std::make_unique<CosClFilename>("/a/b/x.dat");
  CosClFilename copy(*original);
  CosClFilename assigned("y");
  assigned = *original;
  original.reset();  // ASan reports any pointer left in the original
  for (CosClFilename* name : {&copy, &assigned}) {
    EXPECT_STREQ(name->getBaseName(), "x.dat");
    EXPECT_STREQ(name->getExtension(), ".dat");
    name->setNewExtension("idx");
    EXPECT_STREQ(name->getAsCString(), "/a/b/x.idx");
  }
}

// Texts beyond 4096 characters are cut and marked, never written past the
// 4097-byte buffers (run under ASan).
TEST(Filename, OverlongTextsAreCutAndMarked) {
  std::string longText(5000, 'a');
  std::string dir = "/" + std::string(4090, 'd');

  CosClFilename name(longText.c_str());
  EXPECT_EQ(name.getLength(), COS_PATH_MAX_LENGTH);
  EXPECT_TRUE(name.isTooLong());

  CosClFilename composed(dir.c_str(), "basename", "extension");
  EXPECT_EQ(composed.getLength(), COS_PATH_MAX_LENGTH);
  EXPECT_TRUE(composed.isTooLong());

  CosClFilename nearlyFull((dir + "/xy").c_str());
  EXPECT_FALSE(nearlyFull.isTooLong());
  nearlyFull.setNewExtension("longextension");
  EXPECT_EQ(nearlyFull.getLength(), COS_PATH_MAX_LENGTH);
  EXPECT_TRUE(nearlyFull.isTooLong());

  CosClBakFilename bak(CosClFilename((dir + "/xyz").c_str()));
  EXPECT_EQ(bak.getLength(), COS_PATH_MAX_LENGTH);
  EXPECT_TRUE(bak.isTooLong());

  CosClFilename fromData(longText.data(), 4500);
  EXPECT_EQ(fromData.getLength(), COS_PATH_MAX_LENGTH);
  EXPECT_TRUE(fromData.isTooLong());

  CosClLocation location(longText.c_str());
  EXPECT_EQ(location.getLength(), COS_PATH_MAX_LENGTH);
  EXPECT_TRUE(location.isTooLong());
  CosClLocation exact(std::string(4096, 'b').c_str());  // no room for "/"
  EXPECT_TRUE(exact.isTooLong());
  CosClLocation fromBytes(longText.data(), 4097, false);
  EXPECT_TRUE(fromBytes.isTooLong());
  CosClLocation fits(std::string(4095, 'b').c_str());
  EXPECT_FALSE(fits.isTooLong());
  EXPECT_EQ(fits.getLength(), 4096u);
}

// ---------------------------------------------------------------------------
// Relative paths

TEST(RelativePath, OnlyDotComponentsOrRelativeStartsCount) {
  struct {
    char const* path;
    bool relative;
  } const cases[] = {
      {"/a/b/", false},  {"/a/v1./", false}, {"/a/x../", false},
      {"/a/.x/", false}, {"/a/./", true},    {"/a/../", true},
      {"/a/..", true},   {"a/", true},       {"./", true},
      {"~/x/", true},    {"", true},         {"\\\\srv\\share\\d\\", false},
  };
  for (auto const& c : cases)
    EXPECT_EQ(CosClFileABase::isRelativePath(c.path), c.relative) << c.path;
}

TEST(RelativePath, ExpandsDotsHomeAndCurrentDirectory) {
  ScopedEnv home("HOME", "/home/u/");
  std::string cwd = cwdText();
  std::string cwdParent = cwd.substr(0, cwd.rfind('/'));
  struct {
    std::string in;
    bool ok;
    std::string out;
  } const cases[] = {
      {"/a/b/../c/", true, "/a/c/"},
      {"/../", false, ""},
      {"/a/../../", false, ""},
      {"/a/./b/", true, "/a/b/"},
      {"/a/v1./x../", true, "/a/v1./x../"},  // not "." or ".."
      {"/a/b/tail", true, "/a/b/"},  // text after the last "/" is dropped
      {"/", true, "/"},
      {"/a//b/", true, "/a/b/"},
      {"~/x/", true, "/home/u/x/"},
      {"~/../", true, "/home/"},
      {"x/../y/", true, cwd + "/y/"},
      {"../", true, cwdParent + "/"},
  };
  for (auto const& c : cases) {
    char path[COS_PATH_BUFFER_SIZE];
    strcpy(path, c.in.c_str());
    EXPECT_EQ(CosClFileABase::expandRelativePath(path), c.ok) << c.in;
    EXPECT_EQ(std::string(path), c.out) << c.in;
  }
}

TEST(RelativePath, TildeWithoutHomeStaysAComponent) {
  ScopedEnv home("HOME", nullptr);
  char path[COS_PATH_BUFFER_SIZE] = "~/x/";
  EXPECT_TRUE(CosClFileABase::expandRelativePath(path));
  EXPECT_STREQ(path, "/~/x/");
}

TEST(RelativePath, ResultThatDoesNotFitFails) {
  char path[COS_PATH_BUFFER_SIZE];
  std::string relative(4090, 'r');
  relative += "/";
  strcpy(path, relative.c_str());  // the current directory makes it longer
  EXPECT_FALSE(CosClFileABase::expandRelativePath(path));
  EXPECT_STREQ(path, "");
}

// ---------------------------------------------------------------------------
// Temporary names

TEST(TmpFilename, TemporaryDirectoryFollowsTmp) {
  {
    ScopedEnv tmp("TMP", nullptr);
    EXPECT_STREQ(cosGetTmpDirectory(), "/tmp");
  }
  ScopedEnv tmp("TMP", "/var/x");
  EXPECT_STREQ(cosGetTmpDirectory(), "/var/x");
}

// The 8.3 name: prefix (5 characters at most), random characters of the
// alphabet up to 8, ".", the process id's last three digits reversed.
void expectTmpName(CosClFilenameABase const& name, std::string const& dir,
                   std::string const& prefix) {
  static char const alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ@#!%_";
  std::string text = name.getAsCString();
  ASSERT_EQ(text.substr(0, dir.size() + 1), dir + "/") << text;
  std::string base = name.getBaseName();
  ASSERT_EQ(base.size(), 12u) << text;
  EXPECT_EQ(base.substr(0, prefix.size()), prefix) << text;
  for (size_t i = prefix.size(); i < 8; ++i)
    EXPECT_NE(strchr(alphabet, base[i]), nullptr) << text;
  unsigned pid = (unsigned)getpid();
  char digits[4] = {(char)('0' + pid % 10), (char)('0' + pid / 10 % 10),
                    (char)('0' + pid / 100 % 10), '\0'};
  EXPECT_EQ(base.substr(8), std::string(".") + digits) << text;
  EXPECT_STREQ(name.getExtension(), (std::string(".") + digits).c_str());
}

TEST(TmpFilename, NamesFollowThe83Pattern) {
  TempDir dir;
  ScopedEnv tmp("TMP", dir.path().c_str());
  expectTmpName(CosClTmpFilename("idx"), dir.path(), "idx");
  expectTmpName(CosClTmpFilename(), dir.path(), "tmp");
  expectTmpName(CosClTmpFilename("abcdefgh"), dir.path(), "abcde");
  expectTmpName(CosClTmpFilename(""), dir.path(), "");
  expectTmpName(CosClTmpFilename(CosClLocation(dir.path().c_str()), "loc"),
                dir.path(), "loc");
  CosClFilename inDir(dir.path().c_str(), "some", "file");
  expectTmpName(CosClTmpFilename(inDir, "nm"), dir.path(), "nm");
  expectTmpName(CosClTmpFilename(dir.path().c_str(), "d"), dir.path(), "d");
}

// The name is reserved on disk (an empty file made with O_EXCL): a second
// name never equals it and a file written meanwhile is never reused or
// truncated.
TEST(TmpFilename, NamesAreReservedAndNeverReused) {
  TempDir dir;
  CosClLocation location(dir.path().c_str());
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) {
    CosClTmpFilename name(location, "r");
    struct stat st;
    ASSERT_EQ(stat(name.getAsCString(), &st), 0) << name.getAsCString();
    ASSERT_EQ(st.st_size, 0) << name.getAsCString();
    ASSERT_TRUE(names.insert(name.getAsCString()).second)
        << name.getAsCString();
    FILE* f = fopen(name.getAsCString(), "w");
    ASSERT_NE(f, nullptr);
    fputs("kept", f);
    fclose(f);
  }
  for (std::string const& name : names) {
    struct stat st;
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 4) << name;
  }
}

TEST(TmpFilename, MissingDirectoryGivesANameWithoutCreatingIt) {
  CosClTmpFilename name("/nonexistent-dir-of-path-test", "x");
  EXPECT_EQ(strncmp(name.getAsCString(), "/nonexistent-dir-of-path-test/x", 31),
            0);
  EXPECT_FALSE(name.isExistent());
}

}  // namespace
