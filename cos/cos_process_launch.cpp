// Child processes: argument collection (CosClNewProcessABase) and the
// synchronous and asynchronous launches.
//
// The argument vector is built in the parent before fork, so the child
// only calls execve and, when that fails, _exit(255): it never allocates,
// never throws and never runs the parent's exit-time actions (such as the
// deletion of the trace instance) a second time.
//
// SIGCHLD: an asynchronous launch sets it to ignore for the whole process.
// Under that setting the system reaps every child at once and waitpid can
// no longer report an exit status, so a synchronous launch that finds
// SIGCHLD ignored sets the default disposition for the time of its own
// launch and wait, then sets "ignore" again and reaps what ended meanwhile.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "cos_process.hpp"
#include "cos_string.hpp"

extern char** environ;

namespace {

// Exit status with which a child reports that execve failed.
int const kLaunchFailedStatus = 255;

// Waits for `pid` itself; false when waitpid fails.
bool waitForChild(pid_t pid, int* status) {
  for (;;) {
    if (waitpid(pid, status, 0) == pid) return true;
    if (errno != EINTR) return false;
  }
}

// Reaps children that ended while SIGCHLD was not ignored; only called
// when the caller had it ignored (no child of such a process can be
// waited for anyway).
void reapIgnoredChildren() {
  int status;
  while (waitpid(-1, &status, WNOHANG) > 0) {
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// CosClNewProcessABase

CosClNewProcessABase::CosClNewProcessABase(CosClExeFile const& executable)
    : m_rExecutable(executable), m_uArgCount(0), m_iResult(0) {
  addArgument(executable.getAsCString());
}

CosClNewProcessABase::~CosClNewProcessABase() = default;

void CosClNewProcessABase::addArgument(char const* text) {
  if (text == nullptr) return;
  m_strArguments.append(text);
  m_strArguments.push_back('\0');
  ++m_uArgCount;
}

void CosClNewProcessABase::addArgument(int32_t value) {
  char text[COS_NUMTEXT_MAX];
  cosLtoa(value, text);
  addArgument(text);
}

void CosClNewProcessABase::addArgument(uint32_t value) {
  char text[COS_NUMTEXT_MAX];
  cosULtoa(value, text);
  addArgument(text);
}

void CosClNewProcessABase::prepareLaunch() {
  m_stError.set(CosEnErrorId::PROCESS_COULD_NOT_LAUNCH,
                CosEnErrorClass::UNKNOWN_PROCESS);
  m_strArguments.push_back('\0');
}

int32_t CosClNewProcessABase::forkAndExec(bool ignoreChildSignal) {
  std::vector<char*> argv;
  argv.reserve(m_uArgCount + 1);
  char* p = &m_strArguments[0];
  for (unsigned int i = 0; i < m_uArgCount; ++i) {
    argv.push_back(p);
    while (*p != '\0') ++p;
    ++p;
  }
  argv.push_back(nullptr);
  char const* path = m_rExecutable.getAsCString();
  bool refuse = m_rExecutable.getName().isTooLong();

  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (ignoreChildSignal) signal(SIGCHLD, SIG_IGN);
    if (!refuse) execve(path, argv.data(), environ);
    _exit(kLaunchFailedStatus);
  }
  if (pid < 0) {
    if (errno == ENOMEM) m_stError.errClass = CosEnErrorClass::OUT_OF_MEMORY;
    m_iResult = errno;
    return -1;
  }
  return pid;
}

// ---------------------------------------------------------------------------
// CosClNewSyncProcess

CosClNewSyncProcess::CosClNewSyncProcess(CosClExeFile const& executable)
    : CosClNewProcessABase(executable) {
  m_iResult = 0;
}

CosClNewSyncProcess::~CosClNewSyncProcess() = default;

bool CosClNewSyncProcess::launch() {
  prepareLaunch();
  struct sigaction dfl = {}, old = {};
  sigaction(SIGCHLD, nullptr, &old);
  bool wasIgnored = old.sa_handler == SIG_IGN;
  if (wasIgnored) {  // a caller's handler or default stays untouched
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(SIGCHLD, &dfl, nullptr);
  }

  int status = 0;
  pid_t pid = forkAndExec(false);
  bool waited = pid > 0 && waitForChild(pid, &status);
  int waitErrno = errno;

  if (wasIgnored) {
    sigaction(SIGCHLD, &old, nullptr);
    reapIgnoredChildren();
  }

  if (pid < 0) return false;
  if (!waited) {
    m_iResult = waitErrno;
    return false;
  }
  if (WIFSIGNALED(status)) {
    m_iResult = 128 + WTERMSIG(status);
    return false;
  }
  m_iResult = WEXITSTATUS(status);
  if (m_iResult == kLaunchFailedStatus) return false;
  m_stError.clear();
  return true;
}

// ---------------------------------------------------------------------------
// CosClNewAsyncProcess

CosClNewAsyncProcess::CosClNewAsyncProcess(CosClExeFile const& executable)
    : CosClNewProcessABase(executable) {
  m_iResult = 0;
}

CosClNewAsyncProcess::~CosClNewAsyncProcess() = default;

bool CosClNewAsyncProcess::launch() {
  prepareLaunch();
  pid_t pid = forkAndExec(true);
  if (pid < 0) return false;
  signal(SIGCHLD, SIG_IGN);
  int status;
  waitpid(pid, &status, WNOHANG);
  m_iResult = pid;
  m_stError.clear();
  return true;
}
