// Tests of the index-file manager (registration, order, broadcasts and
// their failures) and of the four file operations of the index-file base.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include <string>
#include <vector>

#include "cos_filename.hpp"
#include "itl_error.hpp"
#include "itl_index_file.hpp"
#include "itl_index_location.hpp"
#include "ti_test_util.hpp"

namespace {

// Records every event it hears into a shared log, and throws from the
// event named in `failOn`.
class RecordingFile : public ItlClIndexFileBase {
 public:
  RecordingFile(ItlClIndexLocation const& location, int id,
                std::vector<std::string>& log)
      : ItlClIndexFileBase(location), iv_id(id), iv_log(log) {}
  std::string failOn;

  void onIndexFileCreate() override { hear("create"); }
  void onIndexFileClear() override { hear("clear"); }
  void onIndexFileDestroy() override { hear("destroy"); }
  void onIndexFileRename(char const* n) override { hear("rename", n); }
  void onIndexFileCopy(char const* d) override { hear("copy", d); }
  void onIndexFileMove(char const* d) override { hear("move", d); }
  void onIndexFileInit() override { hear("init"); }
  void onIndexFileStartTransaction() override { hear("start"); }
  void onIndexFileEndTransaction() override { hear("end"); }
  void onIndexFileCommitTransaction() override { hear("commit"); }
  void onIndexFileRollbackTransaction() override { hear("rollback"); }
  void onIndexFileStartMergeTransaction() override { hear("mstart"); }
  void onIndexFileEndMergeTransaction() override { hear("mend"); }
  void onIndexFileCommitMergeTransaction() override { hear("mcommit"); }
  void onIndexFileRollbackMergeTransaction() override { hear("mrollback"); }

 private:
  void hear(char const* event, char const* arg = nullptr) {
    iv_log.push_back(std::to_string(iv_id) + ":" + event +
                     (arg ? std::string("(") + arg + ")" : ""));
    if (failOn == event)
      itlRaise(ITL_SOURCE("tests/itl_common/index_file"),
               ItlEnReasonCode_Io_write_error);
  }
  int iv_id;
  std::vector<std::string>& iv_log;
};

struct Fixture {
  ItlClIndexLocation location{"idx", "/nowhere"};
  std::vector<std::string> log;
  std::vector<std::unique_ptr<RecordingFile>> files;
  ItlClIndexFileMgr manager;

  RecordingFile& add(int id) {
    files.push_back(std::make_unique<RecordingFile>(location, id, log));
    manager.registerForNotify(*files.back());
    return *files.back();
  }
};

TEST(IndexFileMgr, EleventhRegistrationFailsAndKeepsTheTen) {
  Fixture f;
  for (int i = 1; i <= 10; ++i) f.add(i);
  RecordingFile extra(f.location, 11, f.log);
  try {
    f.manager.registerForNotify(extra);
    FAIL() << "eleventh registration accepted";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Unexpected_error);
    EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
    EXPECT_EQ(e.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(e.getContext(),
                 "Context: Too many objects registered with index");
  }
  EXPECT_EQ(f.manager.getCount(), 10u);
  for (unsigned i = 0; i < 10; ++i)
    EXPECT_EQ(f.manager.getFile(i), f.files[i].get());
}

TEST(IndexFileMgr, DeregisterKeepsTheOrderOfTheOthers) {
  Fixture f;
  RecordingFile& first = f.add(1);
  f.add(2);
  f.add(3);
  f.manager.deregisterForNotify(first);
  f.manager.deregisterForNotify(first);  // not registered: ignored
  EXPECT_EQ(f.manager.getCount(), 2u);
  f.manager.notifyInit();
  EXPECT_EQ(f.log, (std::vector<std::string>{"2:init", "3:init"}));
}

TEST(IndexFileMgr, EventsArriveInRegistrationOrder) {
  Fixture f;
  f.manager.notifyCreate();  // nobody registered: nothing happens
  EXPECT_TRUE(f.log.empty());
  f.add(1);
  f.add(2);
  f.manager.notifyRename("new");
  f.manager.notifyCopy("/t/");
  f.manager.notifyStartMergeTransaction();
  EXPECT_EQ(f.log, (std::vector<std::string>{"1:rename(new)", "2:rename(new)",
                                             "1:copy(/t/)", "2:copy(/t/)",
                                             "1:mstart", "2:mstart"}));
}

TEST(IndexFileMgr, FailureStopsBroadcastsButCommitsAndRollbacksReachAll) {
  struct Case {
    char const* event;
    void (*notify)(ItlClIndexFileMgr&);
    bool reachesAll;
  } const cases[] = {
      {"create", [](ItlClIndexFileMgr& m) { m.notifyCreate(); }, false},
      {"clear", [](ItlClIndexFileMgr& m) { m.notifyClear(); }, false},
      {"destroy", [](ItlClIndexFileMgr& m) { m.notifyDestroy(); }, false},
      {"rename", [](ItlClIndexFileMgr& m) { m.notifyRename("n"); }, false},
      {"copy", [](ItlClIndexFileMgr& m) { m.notifyCopy("d"); }, false},
      {"move", [](ItlClIndexFileMgr& m) { m.notifyMove("d"); }, false},
      {"init", [](ItlClIndexFileMgr& m) { m.notifyInit(); }, false},
      {"start", [](ItlClIndexFileMgr& m) { m.notifyStartTransaction(); }, false},
      {"end", [](ItlClIndexFileMgr& m) { m.notifyEndTransaction(); }, false},
      {"commit", [](ItlClIndexFileMgr& m) { m.notifyCommitTransaction(); }, true},
      {"rollback", [](ItlClIndexFileMgr& m) { m.notifyRollbackTransaction(); },
       true},
      {"mstart", [](ItlClIndexFileMgr& m) { m.notifyStartMergeTransaction(); },
       false},
      {"mend", [](ItlClIndexFileMgr& m) { m.notifyEndMergeTransaction(); },
       false},
      {"mcommit",
       [](ItlClIndexFileMgr& m) { m.notifyCommitMergeTransaction(); }, true},
      {"mrollback",
       [](ItlClIndexFileMgr& m) { m.notifyRollbackMergeTransaction(); }, true},
  };
  for (Case const& c : cases) {
    Fixture f;
    f.add(1);
    f.add(2).failOn = c.event;
    f.add(3).failOn = c.event;
    f.add(4);
    bool thrown = false;
    try {
      c.notify(f.manager);
    } catch (ItlClException const& e) {
      thrown = true;
      EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_write_error);
    }
    EXPECT_TRUE(thrown) << c.event;
    EXPECT_EQ(f.log.size(), c.reachesAll ? 4u : 2u) << c.event;
  }
}

// ---------------------------------------------------------------------------
// File operations.

struct IndexFileOps : ::testing::Test {
  TempDir dir{"itl_index_file"};
  ItlClIndexLocation location{"idx", dir.path().c_str()};
  ItlClIndexFileBase base{location};

  CosClFilename name(char const* base) const {
    return CosClFilename((dir / base).c_str());
  }
  static void expectFailure(std::function<void()> op, ItlEnReasonCode reason,
                            std::string const& file) {
    try {
      op();
      ADD_FAILURE() << "no exception, expected " << reason;
    } catch (ItlClException const& e) {
      EXPECT_EQ(e.getReasonCode(), reason);
      EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
      EXPECT_EQ(std::string(e.getContext()), "File name: " + file);
    }
  }
};

TEST_F(IndexFileOps, FailuresNameTheFile) {
  ASSERT_TRUE(writeFile(dir / "a", "AAA"));
  ASSERT_TRUE(writeFile(dir / "b", "BBB"));
  expectFailure([&] { base.indexFileCopy(name("missing"), name("x")); },
                ItlEnReasonCode_Io_open_error, dir / "missing");
  expectFailure([&] { base.indexFileMove(name("missing"), name("x")); },
                ItlEnReasonCode_Io_open_error, dir / "missing");
  expectFailure([&] { base.indexFileMove(name("a"), name("b")); },
                ItlEnReasonCode_Io_open_error, dir / "b");
  expectFailure([&] { base.indexFileDelete(name("missing")); },
                ItlEnReasonCode_Io_remove_error, dir / "missing");
  expectFailure([&] { base.indexFileRename(name("missing"), name("x")); },
                ItlEnReasonCode_Io_open_error, dir / "missing");
  expectFailure([&] { base.indexFileCopy(name("a"), name("nodir/x")); },
                ItlEnReasonCode_Io_write_error, dir / "nodir/x");
  // The refused move touched nothing.
  EXPECT_EQ(readFile(dir / "a"), "AAA");
  EXPECT_EQ(readFile(dir / "b"), "BBB");
  EXPECT_FALSE(exists(dir / "x"));
}

TEST_F(IndexFileOps, CopyMoveRenameDelete) {
  ASSERT_TRUE(writeFile(dir / "a", "AAA"));
  chmod((dir / "a").c_str(), 0640);
  ASSERT_TRUE(writeFile(dir / "c", "old"));
  base.indexFileCopy(name("a"), name("c"));  // overwrites, keeps the mode
  EXPECT_EQ(readFile(dir / "c"), "AAA");
  struct stat st;
  ASSERT_EQ(stat((dir / "c").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  base.indexFileMove(name("c"), name("d"));
  EXPECT_FALSE(exists(dir / "c"));
  EXPECT_EQ(readFile(dir / "d"), "AAA");
  base.indexFileRename(name("d"), name("e"));
  EXPECT_EQ(readFile(dir / "e"), "AAA");
  base.indexFileDelete(name("e"));
  EXPECT_FALSE(exists(dir / "e"));
}

TEST_F(IndexFileOps, MoveAcrossFileSystemsCopiesAndRemoves) {
  struct stat shm, here;
  if (stat("/dev/shm", &shm) != 0 || stat(dir.path().c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  std::string target = "/dev/shm/itl_index_file_move_" + std::to_string(getpid());
  ASSERT_TRUE(writeFile(dir / "a", "payload"));
  base.indexFileMove(name("a"), CosClFilename(target.c_str()));
  EXPECT_FALSE(exists(dir / "a"));
  EXPECT_EQ(readFile(target), "payload");
  unlink(target.c_str());
}

TEST(IndexLocation, WorkingDirectoryDefaultsToTheTemporaryDirectory) {
  ScopedEnv tmp("TMP", "/var/tmp");
  ItlClIndexLocation location("name", "/ix");
  EXPECT_STREQ(location.getWorkingDirectory(), "/var/tmp/");
  EXPECT_STREQ(location.getIndexDirectory(), "/ix/");
  location.setIndexName("other");
  location.setIndexDirectory("/moved");
  location.setWorkingDirectory("/work");
  EXPECT_STREQ(location.getIndexName(), "other");
  EXPECT_STREQ(location.getIndexDirectory(), "/moved/");
  EXPECT_STREQ(location.getWorkingDirectory(), "/work/");
}

}  // namespace
