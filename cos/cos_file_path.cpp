// Relative directory paths: the test (CosClFileABase::isRelativePath) and
// the expansion into an absolute path (CosClFileABase::expandRelativePath).
//
// Only components that are exactly "." or ".." are special: a name such as
// "v1." or "x.." is an ordinary directory name and stays in the path.
// The expansion is built in a scratch buffer of COS_PATH_BUFFER_SIZE bytes
// and copied back only when it succeeded and fits.

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "cos_envvar.hpp"
#include "cos_file.hpp"

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Length of the component at `p` (up to a separator or the end).
size_t componentLength(char const* p) {
  size_t n = 0;
  while (p[n] != '\0' && !isSeparator(p[n])) ++n;
  return n;
}

bool isDot(char const* p, size_t n) { return n == 1 && p[0] == '.'; }
bool isDotDot(char const* p, size_t n) {
  return n == 2 && p[0] == '.' && p[1] == '.';
}

// The output of an expansion: text and length, bounded by the buffer.
struct PathBuilder {
  char text[COS_PATH_BUFFER_SIZE];
  size_t length = 0;
  size_t root = 0;  // characters of a prefix that ".." never removes

  bool append(char const* p, size_t n) {
    if (length + n > COS_PATH_MAX_LENGTH) return false;
    memcpy(text + length, p, n);
    length += n;
    return true;
  }
  // Drops the last "/component"; false when only the prefix is left.
  bool dropLast() {
    if (length <= root) return false;
    while (length > root && text[length - 1] != '/') --length;
    if (length > root) --length;  // the "/" that began the component
    return true;
  }
};

// The starting point of the expansion: the server prefix or drive of an
// absolute path, $HOME for "~", the current directory for a relative path.
// Returns the position in `path` where the components begin, or null when
// the current directory cannot be read or does not fit.
char const* startExpansion(char const* path, PathBuilder& out) {
  CosClLocation location(path, false);
  char const* p = path + (location.getPathProper() - location.getAsCString());
  if (!out.append(path, (size_t)(p - path))) return nullptr;  // server
  if (location.hasDrive()) {
    if (!out.append(p, 2)) return nullptr;
    p += 2;
  }
  out.root = out.length;
  if (*p == '~') {
    CosClEnvironmentVariableQueryOnly home;
    home.setNewName("HOME");
    char const* value = home.getValue();
    if (value == nullptr) return p;  // "~" stays as the first component
    size_t n = strlen(value);
    while (n > 0 && value[n - 1] == '/') --n;
    if (!out.append(value, n)) return nullptr;
    return p[1] == '\0' ? p + 1 : p + 2;
  }
  if (location.isAbsolute()) return isSeparator(*p) ? p + 1 : p;
  char cwd[COS_PATH_BUFFER_SIZE];
  if (getcwd(cwd, sizeof cwd) == nullptr) return nullptr;
  size_t n = strlen(cwd);
  while (n > 0 && cwd[n - 1] == '/') --n;
  return out.append(cwd, n) ? p : nullptr;
}

}  // namespace

bool CosClFileABase::isRelativePath(char const* path) {
  if (path == nullptr) return false;
  CosClLocation location(path, false);
  if (!location.isAbsolute()) return true;
  for (char const* p = location.getPathProper(); *p != '\0';) {
    size_t n = componentLength(p);
    if (isDot(p, n) || isDotDot(p, n)) return true;
    p += n;
    if (*p != '\0') ++p;
  }
  return false;
}

bool CosClFileABase::expandRelativePath(char* path) {
  PathBuilder out;
  char const* p = startExpansion(path, out);
  bool ok = p != nullptr;
  // Only components followed by a separator count: the input is a
  // directory path, and text after its last separator is not copied.
  while (ok && *p != '\0') {
    size_t n = componentLength(p);
    if (p[n] == '\0') break;
    if (isDotDot(p, n)) {
      ok = out.dropLast();
    } else if (n > 0 && !isDot(p, n)) {
      ok = out.append("/", 1) && out.append(p, n);
    }
    p += n + 1;
  }
  ok = ok && out.append("/", 1);
  if (!ok) {
    path[0] = '\0';
    return false;
  }
  memcpy(path, out.text, out.length);
  path[out.length] = '\0';
  return true;
}
