// Directories (CosClDirectory): expansion of relative paths, creation with
// all missing levels, removal (also of whole trees), changing into them and
// navigating up and down.
//
// Invariant: after construction the path is absolute and ends in "/", or it
// is empty and the last error says why (DIRECTORY_EXPANSION_FAILED). An
// empty or cut path is never handed to mkdir, rmdir, chdir or a tree
// removal: an empty path would otherwise mean the current directory.

#include "cos_directory.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool isDotOrDotDot(char const* name) {
  return name[0] == '.' &&
         (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes everything inside the open directory `dirfd` (which it closes).
// Works relative to directory descriptors: names need no path buffer, a
// name with a backslash or ".." in it stays a plain name, and a symbolic
// link (also one to a directory) is unlinked, never followed.
bool removeContents(int dirfd, _CosStError& error) {
  DIR* dir = fdopendir(dirfd);
  if (dir == nullptr) {
    close(dirfd);
    error.set(CosEnErrorId::DIRWALK_COULD_NOT_INIT,
              CosEnErrorClass::IO_PROBLEM);
    return false;
  }
  bool ok = true;
  while (ok) {
    errno = 0;
    struct dirent* entry = readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        error.set(CosEnErrorId::DIRWALK_NO_CONTINUATION,
                  CosEnErrorClass::IO_PROBLEM);
        ok = false;
      }
      break;
    }
    char const* name = entry->d_name;
    if (isDotOrDotDot(name)) continue;
    struct stat st;
    if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(st.st_mode)) {
      int sub =
          openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub < 0) {
        error.set(CosEnErrorId::DIRWALK_COULD_NOT_INIT,
                  CosEnErrorClass::IO_PROBLEM);
        ok = false;
      } else {
        ok = removeContents(sub, error);
        if (ok && unlinkat(dirfd, name, AT_REMOVEDIR) != 0) {
          error.set(CosEnErrorId::DIRECTORY_COULD_NOT_REMOVE,
                    CosEnErrorClass::IO_STILL_IN_USE);
          ok = false;
        }
      }
    } else if (unlinkat(dirfd, name, 0) != 0 && errno != ENOENT) {
      error.set(CosEnErrorId::FILE_COULD_NOT_REMOVE,
                CosEnErrorClass::IO_PERMISSION_DENIED);
      ok = false;
    }
  }
  closedir(dir);
  return ok;
}

}  // namespace

CosClDirectory::CosClDirectory() : m_clPath("", false) {
  char cwd[COS_PATH_BUFFER_SIZE];
  if (getcwd(cwd, sizeof cwd) == nullptr) {
    m_stError.set(CosEnErrorId::DIRECTORY_EXPANSION_FAILED,
                  CosEnErrorClass::IO_INVALID_NAME);
    return;
  }
  m_clPath = cwd;
}

CosClDirectory::CosClDirectory(char const* path) : m_clPath(path, true) {
  expandRelativeDirectory();
}

CosClDirectory::CosClDirectory(CosClLocation const& location)
    : m_clPath(location) {
  m_clPath.init(true);
  expandRelativeDirectory();
}

CosClDirectory::CosClDirectory(CosClDirectory const& other)
    : CosClFileABase(other), m_clPath(other.m_clPath) {
  m_clPath.init(true);
  expandRelativeDirectory();
}

CosClDirectory::~CosClDirectory() = default;

void CosClDirectory::expandRelativeDirectory() {
  if (m_clPath.isTooLong()) {  // operations refuse a cut path
    m_stError.set(CosEnErrorId::DIRECTORY_EXPANSION_FAILED,
                  CosEnErrorClass::IO_INVALID_NAME);
    return;
  }
  if (isRelativePath(m_clPath.m_szPath) &&
      !expandRelativePath(m_clPath.m_szPath)) {
    m_stError.set(CosEnErrorId::DIRECTORY_EXPANSION_FAILED,
                  CosEnErrorClass::IO_INVALID_NAME);
  }
  m_clPath.init(false);
}

bool CosClDirectory::refuseBadPath(CosEnErrorId id) {
  if (!m_clPath.isEmpty() && !m_clPath.isTooLong()) return false;
  m_stError.set(id, CosEnErrorClass::IO_INVALID_NAME);
  return true;
}

bool CosClDirectory::isExistent() const {
  return !m_clPath.isEmpty() && !m_clPath.isTooLong() && m_clPath.isExistent();
}

time_t CosClDirectory::getDateTimeOfCreation() const {
  return m_clPath.isEmpty() ? 0 : CosClFileABase::getDateTimeOfCreation(*this);
}

time_t CosClDirectory::getDateTimeOfLastAccess() const {
  return m_clPath.isEmpty() ? 0
                            : CosClFileABase::getDateTimeOfLastAccess(*this);
}

time_t CosClDirectory::getDateTimeOfLastModification() const {
  return m_clPath.isEmpty()
             ? 0
             : CosClFileABase::getDateTimeOfLastModification(*this);
}

unsigned int CosClDirectory::getNumOfSubDirs() const {
  unsigned int count = 0;
  for (char const* p = m_clPath.getPathProper(); *p != '\0'; ++p)
    if (*p == '/') ++count;
  return count > 0 ? count - 1 : 0;
}

bool CosClDirectory::create() { return create(0777); }

bool CosClDirectory::create(unsigned long mode) {
  if (refuseBadPath(CosEnErrorId::DIRECTORY_COULD_NOT_CREATE)) return false;
  m_stError.set(CosEnErrorId::DIRECTORY_COULD_NOT_CREATE,
                CosEnErrorClass::IO_NOT_EXISTENT);
  char* path = m_clPath.m_szPath;
  char* p = m_clPath.m_pszPathStart + (m_clPath.hasDrive() ? 3 : 1);
  for (; *p != '\0'; ++p) {
    if (*p != '/') continue;
    *p = '\0';  // the prefix up to this level
    bool ok = access(path, F_OK) == 0 || mkdir(path, (mode_t)mode) == 0 ||
              errno == EEXIST;
    *p = '/';
    if (!ok) return false;
  }
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  m_stError.clear();
  return true;
}

bool CosClDirectory::create(unsigned long mode, unsigned long mask) {
  bool created = create(mode);
  if (created) chmod(m_clPath.getAsCString(), (mode_t)(mode & (0777 - mask)));
  return created;
}

bool CosClDirectory::remove() {
  if (refuseBadPath(CosEnErrorId::DIRECTORY_COULD_NOT_REMOVE)) return false;
  if (rmdir(m_clPath.getAsCString()) != 0) {
    m_stError.set(CosEnErrorId::DIRECTORY_COULD_NOT_REMOVE,
                  errno == ENOENT ? CosEnErrorClass::IO_INVALID_NAME
                                  : CosEnErrorClass::IO_STILL_IN_USE);
    return false;
  }
  m_stError.clear();
  return true;
}

// A directory that is not there is reported by remove() (not existent),
// not by the tree removal that could not open it.
bool CosClDirectory::removeAll(bool withContents) {
  if (withContents && !removeTree(*this) && isExistent()) return false;
  return remove();
}

bool CosClDirectory::removeTree(CosClDirectory const& directory) {
  if (directory.m_clPath.isEmpty() || directory.m_clPath.isTooLong()) {
    m_stError.set(CosEnErrorId::DIRECTORY_COULD_NOT_REMOVE,
                  CosEnErrorClass::IO_INVALID_NAME);
    return false;
  }
  int dirfd =
      open(directory.getAsCString(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd < 0) {
    m_stError.set(CosEnErrorId::DIRWALK_COULD_NOT_INIT,
                  CosEnErrorClass::IO_PROBLEM);
    return false;
  }
  _CosStError error;
  if (!removeContents(dirfd, error)) {
    m_stError = error;
    return false;
  }
  m_stError.clear();
  return true;
}

bool CosClDirectory::setAsCurrent() {
  if (refuseBadPath(CosEnErrorId::DIRECTORY_COULD_NOT_CHANGE)) return false;
  if (chdir(m_clPath.getAsCString()) != 0) {
    m_stError.set(CosEnErrorId::DIRECTORY_COULD_NOT_CHANGE,
                  CosEnErrorClass::IO_NOT_EXISTENT);
    return false;
  }
  m_stError.clear();
  return true;
}

bool CosClDirectory::attachSubDir(CosClLocation const& location) {
  // An empty path (a failed expansion) would otherwise expand against the
  // current directory and turn into a valid-looking path.
  if (refuseBadPath(CosEnErrorId::DIRECTORY_EXPANSION_FAILED)) return false;
  char const* sub = location.getPathProper();
  while (*sub == '/' || *sub == '\\') ++sub;  // no "//" in the result
  size_t length = m_clPath.getLength();
  size_t n = strlen(sub);
  char expanded[COS_PATH_BUFFER_SIZE];
  bool ok = !location.isTooLong() && !m_clPath.isTooLong() &&
            length + n <= COS_PATH_MAX_LENGTH;
  if (ok) {
    memcpy(expanded, m_clPath.getAsCString(), length);
    memcpy(expanded + length, sub, n + 1);
    CosClPathProperty::normalizePath(expanded + length);
    ok = !isRelativePath(expanded) || expandRelativePath(expanded);
  }
  if (!ok) {
    m_stError.set(CosEnErrorId::DIRECTORY_EXPANSION_FAILED,
                  CosEnErrorClass::IO_INVALID_NAME);
    return false;
  }
  m_clPath = expanded;
  if (m_clPath.isTooLong()) {  // no room for the final "/"
    m_clPath.m_szPath[length] = '\0';
    m_clPath.m_bTooLong = false;
    m_clPath.init(false);
    m_stError.set(CosEnErrorId::DIRECTORY_EXPANSION_FAILED,
                  CosEnErrorClass::IO_INVALID_NAME);
    return false;
  }
  m_stError.clear();
  return true;
}

bool CosClDirectory::detachLastSubDir() {
  char* path = m_clPath.m_szPath;
  size_t length = m_clPath.getLength();
  size_t start = (size_t)(m_clPath.getPathProper() - path);
  if (m_clPath.isRoot() || length < start + 2) {
    m_stError.set(CosEnErrorId::DIRECTORY_COULD_NOT_DETACH,
                  CosEnErrorClass::LOGIC);
    return false;
  }
  char sep = m_clPath.getPathSepChar();
  size_t cut = length - 1;  // the final separator
  while (cut > start && path[cut - 1] != sep) --cut;
  if (cut == start) {  // no separator before the last component
    m_stError.set(CosEnErrorId::DIRECTORY_COULD_NOT_DETACH,
                  CosEnErrorClass::LOGIC);
    return false;
  }
  path[cut] = '\0';
  m_clPath.init(false);
  m_stError.clear();
  return true;
}

bool CosClDirectory::detachSubDirs(unsigned int count) {
  for (unsigned int i = 0; i < count; ++i)
    if (!detachLastSubDir()) return false;
  m_stError.clear();
  return true;
}
