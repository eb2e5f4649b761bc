// Helpers of the file, directory, process and library tests: a scoped
// environment variable and a fresh directory under the build tree.
// (Kept beside the test library's source, which the same tests build.)
#ifndef TESTS_COS_FS_TEST_UTIL_HPP
#define TESTS_COS_FS_TEST_UTIL_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Sets (or with null removes) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(char const* name, char const* value) : m_name(name) {
    char const* old = getenv(name);
    m_had = old != nullptr;
    if (m_had) m_old = old;
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (m_had)
      setenv(m_name.c_str(), m_old.c_str(), 1);
    else
      unsetenv(m_name.c_str());
  }
  ScopedEnv(ScopedEnv const&) = delete;
  ScopedEnv& operator=(ScopedEnv const&) = delete;

 private:
  std::string m_name, m_old;
  bool m_had;
};

// A fresh directory under the tests' build directory, removed with its
// contents (permissions restored first) at the end of the scope.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = TI_BINARY_DIR "/cos_fs_test.XXXXXX";
    char* made = mkdtemp(tmpl);
    m_path = made != nullptr ? made : "";
  }
  ~TempDir() {
    if (m_path.empty()) return;
    std::string quoted = "'" + m_path + "'";
    int rc =
        system(("chmod -R u+rwx " + quoted + " 2>/dev/null; rm -rf " + quoted)
                   .c_str());
    (void)rc;
  }
  TempDir(TempDir const&) = delete;
  TempDir& operator=(TempDir const&) = delete;

  std::string const& path() const { return m_path; }
  // path + "/" + name
  std::string operator/(std::string const& name) const {
    return m_path + "/" + name;
  }

 private:
  std::string m_path;
};

// Writes `text` into a new file `path`.
inline bool writeFile(std::string const& path, std::string const& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  return fclose(f) == 0 && ok;
}

// The whole content of `path`; "<missing>" when it cannot be read.
inline std::string readFile(std::string const& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return "<missing>";
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  fclose(f);
  return text;
}

inline bool exists(std::string const& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

#endif  // TESTS_COS_FS_TEST_UTIL_HPP
