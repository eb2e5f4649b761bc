// Executables and processes: the search on PATH, synchronous and
// asynchronous launches with their results and errors, and kill.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "cos_process.hpp"
#include "ti_test_util.hpp"

namespace {

using Id = CosEnErrorId;
using Cls = CosEnErrorClass;

CosClExeFile exe(char const* name) { return CosClExeFile(CosClFilename(name)); }

// /bin/sh -c <script>, synchronously. Returns launch()'s result.
bool runShell(char const* script, int32_t* result, _CosStError* error) {
  CosClExeFile sh(CosClFilename("/bin/sh"));
  CosClNewSyncProcess process(sh);
  process.addArgument("-c");
  process.addArgument(script);
  bool ok = process.launch();
  *result = process.getResult();
  *error = process.getLastError();
  return ok;
}

TEST(ExeFile, FoundOnPathOrLeftWithItsBaseName) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "mytool", "#!/bin/sh\nexit 0\n"));
  std::string path = "/nonexistent:" + dir.path();
  ScopedEnv pathVar("PATH", path.c_str());
  ScopedEnv usePath("COS_NEWPROCESS_USEPATH", nullptr);

  CosClExeFile found = exe("mytool");
  EXPECT_TRUE(found.isFoundInSystemPath());
  EXPECT_STREQ(found.getAsCString(), (dir / "mytool").c_str());

  CosClExeFile missing = exe("no-such-tool.x");
  EXPECT_FALSE(missing.isFoundInSystemPath());
  EXPECT_STREQ(missing.getAsCString(), "no-such-tool.x");

  CosClExeFile given = exe((dir / "mytool").c_str());  // exists as given
  EXPECT_FALSE(given.isFoundInSystemPath());
  EXPECT_STREQ(given.getAsCString(), (dir / "mytool").c_str());

  CosClExeFile wrongDir = exe("/nowhere/mytool");
  EXPECT_FALSE(wrongDir.isFoundInSystemPath());
  EXPECT_STREQ(wrongDir.getAsCString(), "/nowhere/mytool");
  {
    ScopedEnv yes("COS_NEWPROCESS_USEPATH", "Yes");
    CosClExeFile searched = exe("/nowhere/mytool");
    EXPECT_TRUE(searched.isFoundInSystemPath());
    EXPECT_STREQ(searched.getAsCString(), (dir / "mytool").c_str());
  }
  {
    ScopedEnv no("COS_NEWPROCESS_USEPATH", "enabled");  // not an enabled value
    EXPECT_FALSE(exe("/nowhere/mytool").isFoundInSystemPath());
  }
}

TEST(ExeFile, DeterminePathLooksIntoTheCurrentDirectoryWhenAsked) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "local.cmd", "x"));
  char cwd[4097];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  ScopedEnv var("COS_PROCESS_TEST_PATH", "/nonexistent");
  CosClExeFile here(CosClFilename("local"), ".cmd", true,
                    "COS_PROCESS_TEST_PATH");
  CosClExeFile notHere(CosClFilename("local"), "cmd", false,
                       "COS_PROCESS_TEST_PATH");
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_TRUE(here.isFoundInSystemPath());
  char real[4097];
  ASSERT_NE(realpath(dir.path().c_str(), real), nullptr);
  EXPECT_EQ(std::string(here.getAsCString()), std::string(real) + "/local.cmd");
  EXPECT_FALSE(notHere.isFoundInSystemPath());
  EXPECT_STREQ(notHere.getAsCString(), "local.cmd");
  EXPECT_STREQ(CosClExeFile::getSystemPathEnvironmentVariable(), "PATH");
  EXPECT_EQ(CosClExeFile::getDefaultFileType(), nullptr);
}

TEST(Process, ArgumentsArePassedInOrder) {
  TempDir dir;
  std::string out = dir / "args";
  CosClExeFile sh = exe("/bin/sh");
  CosClNewSyncProcess process(sh);
  process.addArgument("-c");
  process.addArgument(("printf '%s|' \"$@\" > " + out).c_str());
  process.addArgument("argv0");
  process.addArgument((char const*)nullptr);  // ignored
  process.addArgument((int32_t)-5);
  process.addArgument((uint32_t)4000000000u);
  process.addArgument("two words");
  EXPECT_EQ(process.getArgumentCount(), 7u);
  ASSERT_TRUE(process.launch());
  EXPECT_EQ(process.getResult(), 0);
  EXPECT_EQ(readFile(out), "-5|4000000000|two words|");
  // Launching again reuses the arguments.
  ASSERT_EQ(unlink(out.c_str()), 0);
  ASSERT_TRUE(process.launch());
  EXPECT_EQ(readFile(out), "-5|4000000000|two words|");
}

TEST(Process, SyncLaunchReportsExitStatusAndFailures) {
  int32_t result;
  _CosStError error;
  EXPECT_TRUE(runShell("exit 3", &result, &error));
  EXPECT_EQ(result, 3);
  EXPECT_FALSE(error.isError());

  EXPECT_FALSE(runShell("exit 255", &result, &error));  // reads as "no exec"
  EXPECT_EQ(error.id, Id::PROCESS_COULD_NOT_LAUNCH);
  EXPECT_EQ(error.errClass, Cls::UNKNOWN_PROCESS);

  // A child ended by a signal used to be reported as exit status 0.
  EXPECT_FALSE(runShell("kill -9 $$", &result, &error));
  EXPECT_EQ(result, 128 + SIGKILL);
  EXPECT_EQ(error.id, Id::PROCESS_COULD_NOT_LAUNCH);

  ScopedEnv path("PATH", "/nonexistent");
  CosClExeFile missing = exe("no-such-program");
  EXPECT_FALSE(missing.isFoundInSystemPath());
  CosClNewSyncProcess process(missing);
  EXPECT_FALSE(process.launch());
  EXPECT_EQ(process.getLastError().id, Id::PROCESS_COULD_NOT_LAUNCH);
  EXPECT_EQ(process.getLastError().errClass, Cls::UNKNOWN_PROCESS);
  EXPECT_EQ(process.getResult(), 255);
}

// The child whose exec fails must not run the parent's exit-time actions:
// an atexit handler of this process would write into the file.
std::string* g_atexitFile = nullptr;
void atexitWriter() {
  if (g_atexitFile != nullptr) writeFile(*g_atexitFile, "ran");
}

TEST(Process, FailedExecDoesNotRunExitActions) {
  TempDir dir;
  static std::string file;
  file = dir / "atexit";
  g_atexitFile = &file;
  static bool registered = false;
  if (!registered) registered = atexit(atexitWriter) == 0;
  CosClExeFile missing = exe("/nonexistent/program");
  CosClNewSyncProcess process(missing);
  EXPECT_FALSE(process.launch());
  g_atexitFile = nullptr;
  EXPECT_FALSE(exists(file));
}

// An asynchronous launch sets SIGCHLD to ignore for the whole process; a
// later synchronous launch still reports its own child's status (it used
// to report 0 for every child).
TEST(Process, SyncLaunchAfterAsyncLaunchStillSeesTheStatus) {
  TempDir dir;
  std::string marker = dir / "async-ran";
  CosClExeFile sh = exe("/bin/sh");
  CosClNewAsyncProcess async(sh);
  async.addArgument("-c");
  async.addArgument(("echo x > " + marker).c_str());
  ASSERT_TRUE(async.launch());
  EXPECT_GT(async.getResult(), 0);
  EXPECT_FALSE(async.getLastError().isError());

  struct sigaction now = {};
  ASSERT_EQ(sigaction(SIGCHLD, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);

  int32_t result;
  _CosStError error;
  EXPECT_TRUE(runShell("exit 3", &result, &error));
  EXPECT_EQ(result, 3);
  EXPECT_FALSE(runShell("exit 255", &result, &error));
  ASSERT_EQ(sigaction(SIGCHLD, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);  // the caller's setting is back

  for (int i = 0; i < 500 && !exists(marker); ++i) usleep(10000);
  EXPECT_TRUE(exists(marker));

  // An asynchronous launch of a missing program still counts as launched.
  CosClExeFile missing = exe("/nonexistent/program");
  CosClNewAsyncProcess lost(missing);
  EXPECT_TRUE(lost.launch());
}

TEST(Process, KillSignalsOneProcessOnly) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    pause();
    _exit(0);
  }
  struct sigaction dfl = {}, old = {};
  dfl.sa_handler = SIG_DFL;
  sigaction(SIGCHLD, &dfl, &old);
  CosClProcess process((unsigned)child);
  EXPECT_EQ(process.getProcessId(), (unsigned)child);
  EXPECT_TRUE(process.kill());
  EXPECT_FALSE(process.getLastError().isError());
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  sigaction(SIGCHLD, &old, nullptr);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);

  CosClProcess gone((unsigned)child);  // reaped: no such process
  EXPECT_FALSE(gone.kill());
  EXPECT_EQ(gone.getLastError().id, Id::PROCESS_COULD_NOT_KILL);
  EXPECT_EQ(gone.getLastError().errClass, Cls::INVALID_DATA);
  // 0 and "-1" would signal a process group or every process.
  EXPECT_FALSE(CosClProcess(0).kill());
  EXPECT_FALSE(CosClProcess(0xFFFFFFFFu).kill());

  EXPECT_EQ(CosClProcess().getProcessId(), (unsigned)getpid());
  EXPECT_EQ(CosClProcessProperty().getProcessId(), (unsigned)getpid());
  EXPECT_EQ(CosClThreadProperty().getThreadId(), 0u);
  EXPECT_EQ(CosClThreadProperty(7).getThreadId(), 7u);
}

}  // namespace
