// Tests of the index object: names, the merge advice, its parts and their
// order, the lazy load, the working directory and administration on an
// index with documents and a document model.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "index_fixture.hpp"
#include "itl_documentmodels.hpp"
#include "itl_index_config.hpp"
#include "itl_index_stw.hpp"
#include "itl_name_maps.hpp"

using ifix::Env;
using kfix::reasonOf;

namespace {

TEST(IndexObject, IndexNames) {
  struct Case {
    std::string name;
    bool valid;
  } const cases[] = {
      {"abc", true},           {"abc.x", false}, {"", false},
      {"a/b", false},          {".", false},     {"a.", false},
      {std::string(240, 'n'), true},
      {std::string(241, 'n'), false},
      {std::string(5000, 'n'), false},
  };
  for (Case const& c : cases)
    EXPECT_EQ(ItlClIndex::isValidIndexName(c.name.c_str()), c.valid)
        << c.name.size() << " " << c.name.substr(0, 8);
  EXPECT_FALSE(ItlClIndex::isValidIndexName(nullptr));
}

TEST(IndexObject, MergeAdvice) {
  struct Case {
    uint64_t c0, c1, deleted;
    bool recommended;
  } const cases[] = {
      {250, 500, 61, true}, {250, 500, 60, false}, {250, 501, 0, true},
      {99, 0, 1, true},     {0, 0, 0, false},      {0, 1, 0, true},
      {199, 0, 30, false},  {199, 0, 31, true},
  };
  for (Case const& c : cases)
    EXPECT_EQ(ItlClIndex::isMergeRecommended(c.c0, c.c1, c.deleted),
              c.recommended)
        << c.c0 << " " << c.c1 << " " << c.deleted;
}

// Counts the init events it hears.
struct Listener : ItlClIndexFileBase {
  explicit Listener(ItlClIndexLocation const& l) : ItlClIndexFileBase(l) {}
  void onIndexFileInit() override { ++inits; }
  int inits = 0;
};

TEST(IndexObject, PartsAreRegisteredInOrderAndLoadInitialisesOnce) {
  Env env;
  auto index = env.open();
  ItlClIndexFileMgr& files = index->getIndexFileMgr();
  ASSERT_EQ(files.getCount(), 7u);
  ItlClIndexFileBase* expected[] = {
      &index->getConfig(),
      &index->getStopWordFile(),
      &index->getFieldNameMap(),
      &index->getAttributeNameMap().getNumericMap(),
      &index->getAttributeNameMap().getStringMap(),
      &index->getDocumentNameMapping(),
      &index->getDocumentModels()};
  for (unsigned i = 0; i < 7; ++i) EXPECT_EQ(files.getFile(i), expected[i]);

  EXPECT_EQ(reasonOf([&] { index->load(); }), 100);
  index->adminCreate(env.templ.c_str());
  Listener listener(index->getLocation());
  files.registerForNotify(listener);
  index->load();
  index->load();
  EXPECT_EQ(listener.inits, 1);
  files.deregisterForNotify(listener);
}

TEST(IndexObject, CreateMakesTheIndexFilesAndNothingElse) {
  Env env;
  auto index = env.open();
  EXPECT_FALSE(index->isExistent());
  index->adminCreate(env.templ.c_str());
  EXPECT_TRUE(index->isExistent());
  EXPECT_EQ(ifix::tree(env.indexDir),
            (std::set<std::string>{"abc.ini", "abc.mdx", "abc.mox"}));
  EXPECT_EQ(readFile(env.indexDir + "/abc.ini"), ifix::kTemplate);
  EXPECT_EQ(readFile(env.indexDir + "/abc.mox"), "");
  std::string mdx = readFile(env.indexDir + "/abc.mdx");
  EXPECT_EQ(std::count(mdx.begin(), mdx.end(), '\n'), 2);
  struct stat st;
  ASSERT_EQ(stat((env.indexDir + "/abc.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0440u);
  ASSERT_EQ(stat((env.indexDir + "/abc.mox").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);

  std::string context;
  EXPECT_EQ(reasonOf([&] { index->adminCreate(env.templ.c_str()); }, nullptr,
                     &context),
            104);
  EXPECT_EQ(context, "Index name: abc");
  auto other = env.open("other");
  EXPECT_EQ(reasonOf([&] { other->adminCreate(nullptr); }), 25);
  EXPECT_EQ(reasonOf([&] { other->adminCreate((env.dir / "none").c_str()); }),
            16);
  EXPECT_FALSE(other->isExistent());
  EXPECT_EQ(ifix::tree(env.indexDir).size(), 3u);
}

TEST(IndexObject, CreateWithStopWordsWritesTheStopWordFile) {
  Env env;
  std::string resources = env.dir / "res";
  ASSERT_EQ(mkdir(resources.c_str(), 0700), 0);
  // "der\ndie" as UTF-16LE with a byte-order mark.
  std::string tsw("\xff\xfe" "d\0e\0r\0\n\0d\0i\0e\0", 16);
  ASSERT_TRUE(writeFile(resources + "/de_DE.tsw", tsw));
  std::string templ = env.dir / "stw.ini";
  ASSERT_TRUE(writeFile(templ,
                        "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
                        "ResourceLocation = " + resources +
                            "/\n[IndexV4]\nBlockMode = OFF\n"
                            "DeleteStopwords = ON\nStopwordLanguage = de_DE\n"));
  auto index = env.open();
  index->adminCreate(templ.c_str());
  EXPECT_TRUE(index->isExistent());
  EXPECT_EQ(ifix::tree(env.indexDir),
            (std::set<std::string>{"abc.ini", "abc.mdx", "abc.mox", "abc.stw"}));
  EXPECT_EQ(readFile(env.indexDir + "/abc.stw"), "der\ndie\n");
}

TEST(IndexObject, WorkingDirectory) {
  Env env;
  auto index = env.open("abc", "", false);
  std::string base = env.dir / "work";
  ASSERT_EQ(mkdir(base.c_str(), 0700), 0);
  index->setWorkingDirectory(base.c_str());
  EXPECT_EQ(std::string(index->getWorkingDirectory()), base + "/TMP_abc/");
  struct stat st;
  EXPECT_EQ(stat((base + "/TMP_abc").c_str(), &st), 0);
  index->setWorkingDirectory(base.c_str());  // accepts the existing one

  std::string context;
  std::string missing = env.dir / "missing";
  EXPECT_EQ(reasonOf([&] { index->setWorkingDirectory(missing.c_str()); },
                     nullptr, &context),
            26);
  EXPECT_EQ(context, "Directory: " + missing);
  EXPECT_EQ(reasonOf([&] { index->setWorkingDirectory(nullptr); }), 25);

  // An open transaction of the document-name map refuses, unchanged.
  index->adminCreate(env.templ.c_str());
  index->load();
  index->getIndexFileMgr().notifyStartTransaction();
  std::string name = "doc";
  _ItlStDocumentId id{name.data(), 3};
  uint64_t number = 0;
  bool isNew = false;
  index->getDocumentNameMapping().assignDocumentNameToNumber(&id, &number,
                                                             isNew);
  std::string other = env.dir / "other";
  ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
  EXPECT_EQ(reasonOf([&] { index->setWorkingDirectory(other.c_str()); }), 4);
  EXPECT_EQ(std::string(index->getWorkingDirectory()), base + "/TMP_abc/");
  EXPECT_NE(stat((other + "/TMP_abc").c_str(), &st), 0);
  index->getIndexFileMgr().notifyRollbackTransaction();
}

// An index "abc" with three documents and a default GPP model.
struct Filled : Env {
  std::unique_ptr<ItlClIndex> index = open();
  Filled() {
    index->adminCreate(templ.c_str());
    ifix::addDocuments(*index, {u"alpha one", u"alpha two", u"alpha three"});
    index->addDocumentModel("m1", "<GPPModel/>", 11);
    index->setDefaultDocumentModel(ItlEnDocumentFormat_Structured, "m1");
  }
};

TEST(IndexAdmin, RenameMovesEveryFile) {
  Filled env;
  EXPECT_EQ(ifix::documentCount(*env.index), 3u);
  EXPECT_EQ(ifix::find("abc", env.indexDir, "alpha").size(), 3u);
  std::set<std::string> before = ifix::tree(env.indexDir);
  EXPECT_TRUE(before.count("abc/"));
  env.index->adminRename("def");
  EXPECT_STREQ(env.index->getName(), "def");
  std::set<std::string> after;
  for (std::string f : before) {
    f.replace(0, 3, "def");
    after.insert(f);
  }
  EXPECT_EQ(ifix::tree(env.indexDir), after);
  EXPECT_EQ(ifix::find("def", env.indexDir, "alpha").size(), 3u);
  EXPECT_EQ(ifix::documentCount(*env.index), 3u);
  auto reopened = env.open("def");
  EXPECT_EQ(ifix::documentCount(*reopened), 3u);
  EXPECT_EQ(reopened->getDocumentModels().getModelCount(), 1u);

  // Onto an existing index: 104, both intact.
  auto other = env.open("xyz");
  other->adminCreate(env.templ.c_str());
  std::string context;
  EXPECT_EQ(reasonOf([&] { env.index->adminRename("xyz"); }, nullptr,
                     &context),
            104);
  EXPECT_EQ(context, "Index name: xyz");
  EXPECT_EQ(ifix::documentCount(*env.index), 3u);
  EXPECT_TRUE(other->isExistent());
  EXPECT_EQ(reasonOf([&] { env.index->adminRename("x.y"); }, nullptr,
                     &context),
            101);
  EXPECT_EQ(context, "Index name: x.y");
}

TEST(IndexAdmin, CopyAndMove) {
  Filled env;
  std::string target = env.dir / "target";
  std::string context;
  EXPECT_EQ(reasonOf([&] { env.index->adminCopy(target.c_str()); }, nullptr,
                     &context),
            102);
  EXPECT_NE(context.find("Target directory: " + target), std::string::npos);
  ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
  // What a killed copy left: its mark and part of the engine's directory
  // with a file the engine does not know. The copy starts over.
  ASSERT_TRUE(writeFile(target + "/abc.#ad", "ITL-INDEX-ADMIN 1\ncopy\n\nend\n"));
  ASSERT_EQ(mkdir((target + "/abc").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((target + "/abc/Fullmain").c_str(), 0700), 0);
  ASSERT_TRUE(writeFile(target + "/abc/Fullmain/partial", "x"));
  env.index->adminCopy(target.c_str());
  EXPECT_EQ(ifix::tree(target), ifix::tree(env.indexDir));
  EXPECT_EQ(ifix::find("abc", target, "alpha").size(), 3u);
  EXPECT_EQ(reasonOf([&] { env.index->adminCopy(target.c_str()); }), 104);
  auto copy = env.open("abc", target);
  EXPECT_EQ(ifix::documentCount(*copy), 3u);

  std::string moved = env.dir / "moved";
  ASSERT_EQ(mkdir(moved.c_str(), 0700), 0);
  std::set<std::string> before = ifix::tree(env.indexDir);
  env.index->adminMove(moved.c_str());
  EXPECT_EQ(ifix::tree(env.indexDir), std::set<std::string>());
  EXPECT_EQ(ifix::tree(moved), before);
  EXPECT_EQ(std::string(env.index->getDirectory()), moved + "/");
  EXPECT_EQ(ifix::documentCount(*env.index), 3u);
  EXPECT_EQ(ifix::find("abc", moved, "alpha").size(), 3u);
}

TEST(IndexAdmin, ClearKeepsConfigurationAndModels) {
  Filled env;
  env.index->adminClear();
  EXPECT_EQ(ifix::tree(env.indexDir),
            (std::set<std::string>{"abc.ini", "abc.mdx", "abc.mox"}));
  EXPECT_EQ(ifix::documentCount(*env.index), 0u);
  auto reopened = env.open();
  EXPECT_EQ(reopened->getDocumentModels().getModelCount(), 0u);
  reopened->load();
  EXPECT_EQ(reopened->getDocumentModels().getModelCount(), 1u);
  // The cleared index takes documents again.
  ifix::addDocuments(*reopened, {u"beta"});
  EXPECT_EQ(ifix::documentCount(*reopened), 1u);
  EXPECT_EQ(ifix::find("abc", env.indexDir, "beta").size(), 1u);
}

TEST(IndexAdmin, DestroyRemovesOnlyTheWorkingDirectoryItMade) {
  Filled env;
  std::string work = env.dir / "work";
  ASSERT_TRUE(std::filesystem::exists(work + "/TMP_abc"));
  env.index->adminDestroy();
  EXPECT_EQ(ifix::tree(env.indexDir), std::set<std::string>());
  EXPECT_EQ(ifix::tree(work), std::set<std::string>());
  EXPECT_FALSE(env.index->isExistent());
  EXPECT_EQ(reasonOf([&] { env.index->adminDestroy(); }), 100);

  // A temporary directory whose path holds "TMP_" is never removed.
  std::string tmp = env.dir / "TMP_x";
  ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
  char const* saved = std::getenv("TMP");
  std::string savedText = saved != nullptr ? saved : "";
  setenv("TMP", tmp.c_str(), 1);
  auto other = env.open("other", "", false);
  other->adminCreate(env.templ.c_str());
  other->adminDestroy();
  EXPECT_TRUE(std::filesystem::exists(tmp));
  if (saved != nullptr)
    setenv("TMP", savedText.c_str(), 1);
  else
    unsetenv("TMP");
}

}  // namespace
