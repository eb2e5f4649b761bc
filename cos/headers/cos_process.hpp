// cos_process.hpp: executables found on a search path, child processes
// started from them, and process / thread identities.
//
// CosClExeFile is a file whose directory may be found through a path-list
// environment variable (PATH; shared libraries use LD_LIBRARY_PATH).
// CosClNewSyncProcess and CosClNewAsyncProcess collect arguments and start
// the executable with fork and execve: the synchronous launch waits for
// that child and reports its exit status, the asynchronous one returns at
// once with the child's process id and sets the process-wide SIGCHLD
// disposition to ignore (children are then reaped by the system; the
// setting stays). A child whose execve fails ends with exit status 255,
// which a synchronous launch reports as a failed launch (so does a program
// that itself ends with 255).
//
// Conventions as in cos_file.hpp: bool results, the reason in the last
// error, a success clears it. No threads are created anywhere; the thread
// id of this system is 0.
#ifndef COS_PROCESS_HPP
#define COS_PROCESS_HPP

#include <cstdint>
#include <string>

#include "cos_file.hpp"

class CosClExeFile : public CosClFile {
 public:
  // `name` without default extension. With a directory part: kept as given
  // when the file exists there; otherwise searched on PATH without its
  // directory when COS_NEWPROCESS_USEPATH is enabled (ON, YES, TRUE, 1),
  // else kept as given. Without a directory part: searched on PATH. A
  // search that finds nothing leaves only base name and extension.
  explicit CosClExeFile(CosClFilename const& name);
  // `name` with `defaultExtension` when it has none; without a directory
  // part, determinePath(lookInCurrentDirectory, variable).
  CosClExeFile(CosClFilename const& name, char const* defaultExtension,
               bool lookInCurrentDirectory, char const* variable);
  ~CosClExeFile() override;

  // With `lookInCurrentDirectory` and the bare name existing in the
  // current directory: that directory. Otherwise the first directory of
  // `variable` that holds the file. Not found: the directory part is
  // cleared and false returned.
  bool determinePath(bool lookInCurrentDirectory, char const* variable);

  static char const* getSystemPathEnvironmentVariable() { return "PATH"; }
  static char const* getDefaultFileType() { return nullptr; }

  // The file's directory was found by a search.
  virtual bool isFoundInSystemPath() const { return m_bFoundInPath; }

 protected:
  // The search along `variable`; on failure only the base name stays.
  bool searchPath(char const* variable);

  bool m_bFoundInPath;  // directory found by a search
};

// Arguments and launch of a child process. The executable is referenced,
// not copied: it must outlive this object.
class CosClNewProcessABase {
 public:
  // The executable's full name becomes the first argument.
  explicit CosClNewProcessABase(CosClExeFile const& executable);
  CosClNewProcessABase(CosClNewProcessABase const&) = delete;
  CosClNewProcessABase& operator=(CosClNewProcessABase const&) = delete;
  virtual ~CosClNewProcessABase();

  // Appends an argument; a null text is ignored.
  void addArgument(char const* text);
  // Appends the decimal form.
  void addArgument(int32_t value);
  void addArgument(uint32_t value);

  // Starts the child; see the derived classes. PROCESS_COULD_NOT_LAUNCH
  // with UNKNOWN_PROCESS (or OUT_OF_MEMORY when fork had no memory) on
  // failure. May be called again with the same arguments.
  virtual bool launch() = 0;

  // Synchronous: the child's exit status; asynchronous: its process id;
  // after a failed fork: errno.
  int32_t getResult() const { return m_iResult; }
  unsigned int getArgumentCount() const { return m_uArgCount; }
  _CosStError const& getLastError() const { return m_stError; }

 protected:
  // Presets the launch error and ends the argument stream.
  void prepareLaunch();
  // fflush(NULL), the argument vector, fork; in the child: execve or
  // _exit(255). `ignoreChildSignal` sets SIGCHLD to ignore in the child.
  // Returns the child's pid, or -1 after a failed fork (error and result
  // then set).
  int32_t forkAndExec(bool ignoreChildSignal);

  _CosStError m_stError;              // last error
  CosClExeFile const& m_rExecutable;  // not owned
  std::string m_strArguments;         // each argument followed by a zero byte
  unsigned int m_uArgCount;           // arguments in m_strArguments
  int32_t m_iResult;                  // see getResult()
};

// Launch that waits for the child's end.
class CosClNewSyncProcess : public CosClNewProcessABase {
 public:
  explicit CosClNewSyncProcess(CosClExeFile const& executable);
  ~CosClNewSyncProcess() override;
  // True when the child ended normally with a status other than 255; the
  // result is then that status. Waits for this child only (waitpid on its
  // pid, also when an earlier asynchronous launch set SIGCHLD to ignore).
  // A child killed by a signal is a failed launch with result 128 +
  // signal number.
  bool launch() override;
};

// Launch that does not wait; the result is the child's process id. True
// whenever the fork succeeded (a later failing execve is not seen).
class CosClNewAsyncProcess : public CosClNewProcessABase {
 public:
  explicit CosClNewAsyncProcess(CosClExeFile const& executable);
  ~CosClNewAsyncProcess() override;
  bool launch() override;
};

class CosClProcessProperty {
 public:
  CosClProcessProperty();  // the current process
  explicit CosClProcessProperty(unsigned int id) : m_uId(id) {}
  unsigned int getProcessId() const { return m_uId; }

 protected:
  uint32_t m_uId;  // process id
};

class CosClProcess : public CosClProcessProperty {
 public:
  CosClProcess();  // the current process
  explicit CosClProcess(unsigned int id) : CosClProcessProperty(id) {}
  // Sends SIGTERM. PROCESS_COULD_NOT_KILL with INVALID_DATA when that
  // fails; ids 0 and above INT32_MAX (process groups, every process) are
  // refused without sending anything.
  bool kill();
  _CosStError const& getLastError() const { return m_stError; }

 private:
  _CosStError m_stError;  // last error
};

class CosClThreadProperty {
 public:
  CosClThreadProperty() : m_uId(0) {}
  explicit CosClThreadProperty(unsigned int id) : m_uId(id) {}
  unsigned int getThreadId() const { return m_uId; }

 private:
  uint32_t m_uId;  // thread id; 0 in this system
};

#endif  // COS_PROCESS_HPP
