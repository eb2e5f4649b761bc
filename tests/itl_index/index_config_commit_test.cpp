// The rewrite of the configuration file is a commit: a reader sees the old
// file or the new one, never a blend, whatever kills the writer; links to
// the old file keep the old bytes; the file's mode stays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <sstream>
#include <string>

#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "ti_test_util.hpp"

namespace {

std::string const kOldIni =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

int g_operations = 0;
int g_killAt = 0;

int killAtOperation(char const*, char const*) {
  if (++g_operations == g_killAt) kill(getpid(), SIGKILL);
  return 0;
}

class ConfigCommit : public ::testing::Test {
 protected:
  ConfigCommit()
      : dir("config_commit", fastTempParent()),
        location("idx", dir.path().c_str()),
        config(location, errorInfo) {}
  void SetUp() override {
    ASSERT_TRUE(writeFile(ini(), kOldIni));
    config.onIndexFileInit();
    config.setMaxDocIDLength(99);
    std::ostringstream out;
    config.formatAsR3(out);
    newIni = out.str();
  }
  std::string ini() const { return dir / "idx.ini"; }
  // The file is the old or the new one, byte for byte, and loads.
  void expectOldOrNew(char const* what) {
    std::string now = readFile(ini());
    EXPECT_TRUE(now == kOldIni || now == newIni) << what << ":\n" << now;
    ItlClErrorInfo info;
    ItlClIndexConfig reader(location, info);
    EXPECT_NO_THROW(reader.onIndexFileInit()) << what;
  }

  TempDir dir;
  ItlClIndexLocation location;
  ItlClErrorInfo errorInfo;
  ItlClIndexConfig config;
  std::string newIni;
};

TEST_F(ConfigCommit, LinksKeepOldBytesAndModeStays) {
  std::string link = dir / "old.ini";
  ASSERT_EQ(::link(ini().c_str(), link.c_str()), 0);
  ASSERT_EQ(chmod(ini().c_str(), 0440), 0);
  config.writeAsR3File();
  EXPECT_EQ(readFile(link), kOldIni);
  EXPECT_EQ(readFile(ini()), newIni);
  struct stat st;
  ASSERT_EQ(stat(ini().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0440u);
}

TEST_F(ConfigCommit, OwnerRewritesItsReadOnlyFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  TempDir shared("config_user", systemTempDir());
  ASSERT_EQ(chmod(shared.path().c_str(), 0777), 0);
  std::string file = shared / "idx.ini";
  ASSERT_TRUE(writeFile(file, kOldIni));
  ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(file.c_str(), 0440), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    ItlClIndexLocation here("idx", shared.path().c_str());
    ItlClErrorInfo info;
    ItlClIndexConfig c(here, info);
    try {
      c.onIndexFileInit();
      c.setMaxDocIDLength(77);
      c.writeAsR3File();
    } catch (...) {
      _exit(3);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(readFile(file).find("MaxDocumentIDLength\t= 77\n"), std::string::npos);
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0440u);
}

TEST_F(ConfigCommit, KilledBeforeEachFileOperation) {
  for (int k = 1;; ++k) {
    ASSERT_TRUE(writeFile(ini(), kOldIni));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      g_operations = 0;
      g_killAt = k;
      itlSetFileOpTestHook(killAtOperation);
      try {
        config.writeAsR3File();
      } catch (...) {
        _exit(3);
      }
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::string what = "killed before operation " + std::to_string(k);
    expectOldOrNew(what.c_str());
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
      EXPECT_EQ(readFile(ini()), newIni);
      EXPECT_GE(k, 4);  // unlink, write, fsync, rename, directory fsync
      break;
    }
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_LT(k, 50);
  }
}

TEST_F(ConfigCommit, KilledAtRandomMoments) {
  std::mt19937 rng(testSeed());
  std::ostringstream other;
  config.setMaxDocIDLength(123);
  config.formatAsR3(other);
  std::string const otherIni = other.str();
  for (int round = 0; round < 15; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (unsigned i = 0;; ++i) {
        config.setMaxDocIDLength(i % 2 == 0 ? 99 : 123);
        try {
          config.writeAsR3File();
        } catch (...) {
          _exit(3);
        }
      }
    }
    usleep(std::uniform_int_distribution<unsigned>(0, 3000)(rng));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed";
    std::string now = readFile(ini());
    EXPECT_TRUE(now == kOldIni || now == newIni || now == otherIni) << now;
    ItlClErrorInfo info;
    ItlClIndexConfig reader(location, info);
    EXPECT_NO_THROW(reader.onIndexFileInit());
  }
}

}  // namespace
