// Directory walks: CosClDirectoryWalk over the Unix walker
// CosClOSSDirectoryWalker (opendir/readdir/stat).
//
// The walker's buffer holds the directory path (at most
// COS_PATH_MAX_LENGTH characters, a location's limit) followed by the
// current entry name (at most NAME_MAX characters, what readdir can
// return), so the full name always fits. A location that was cut to fit,
// or the empty path of a directory that could not be built, is not walked
// at all (DIRWALK_COULD_NOT_INIT with IO_INVALID_NAME).

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "cos_directory.hpp"
#include "cos_memmgr.hpp"
#include "cos_string.hpp"

class CosClOSSDirectoryWalker {
 public:
  // `refuse`: the location is not a usable directory path; nothing is
  // opened.
  CosClOSSDirectoryWalker(CosClLocation const& location, _CosStError& error,
                          bool refuse)
      : m_pszEntry(m_szPath),
        m_bValid(false),
        m_rError(error),
        m_pDir(nullptr),
        m_uMode(0) {
    m_szPath[0] = '\0';
    if (refuse || location.isTooLong()) {
      m_rError.set(CosEnErrorId::DIRWALK_COULD_NOT_INIT,
                   CosEnErrorClass::IO_INVALID_NAME);
      return;
    }
    char const* path = location.isEmpty() ? "./" : location.getAsCString();
    size_t n = strlen(path);
    memcpy(m_szPath, path, n + 1);
    m_pszEntry = m_szPath + n;
    m_pDir = opendir(m_szPath);
    if (m_pDir == nullptr) {
      m_rError.set(CosEnErrorId::DIRWALK_COULD_NOT_INIT,
                   CosEnErrorClass::IO_PROBLEM);
      return;
    }
    m_bValid = true;
    setToNext();
  }

  ~CosClOSSDirectoryWalker() {
    if (m_pDir != nullptr) closedir(m_pDir);
  }

  CosClOSSDirectoryWalker(CosClOSSDirectoryWalker const&) = delete;
  CosClOSSDirectoryWalker& operator=(CosClOSSDirectoryWalker const&) = delete;

  bool setToNext() {
    if (!m_bValid) return false;
    errno = 0;
    struct dirent* entry = readdir(m_pDir);
    if (entry == nullptr) {
      m_bValid = false;
      *m_pszEntry = '\0';
      if (errno != 0)
        m_rError.set(CosEnErrorId::DIRWALK_NO_CONTINUATION,
                     CosEnErrorClass::IO_PROBLEM);
      return false;
    }
    size_t n = strnlen(entry->d_name, NAME_MAX);
    memcpy(m_pszEntry, entry->d_name, n);
    m_pszEntry[n] = '\0';
    struct stat st;
    m_uMode = stat(m_szPath, &st) == 0 ? (unsigned int)st.st_mode : 0;
    return true;
  }

  bool isValid() const { return m_bValid; }
  char const* getNameWithPath() const { return m_szPath; }
  char const* getNameWithoutPath() const { return m_pszEntry; }
  unsigned int getMode() const { return m_uMode; }

 private:
  char m_szPath[COS_PATH_MAX_LENGTH + NAME_MAX + 1];  // path, then entry
  char* m_pszEntry;       // into m_szPath: where the entry name begins
  bool m_bValid;          // a current entry exists
  _CosStError& m_rError;  // the owner's last error
  DIR* m_pDir;            // the open stream, null when opendir failed
  unsigned int m_uMode;   // st_mode of the current entry, 0 without stat
};

CosClDirectoryWalk::CosClDirectoryWalk(CosClLocation const& location)
    : m_pclWalker(nullptr) {
  open(location, false);
}

// A directory's path is empty only when it could not be built: that walk
// must not list the current directory (which an empty location means).
CosClDirectoryWalk::CosClDirectoryWalk(CosClDirectory const& directory)
    : m_pclWalker(nullptr) {
  open(directory.getLocation(), directory.getLocation().isEmpty());
}

void CosClDirectoryWalk::open(CosClLocation const& location, bool refuse) {
  m_stError.clear();
  void* memory = CosClMemoryManager::allocate(sizeof(CosClOSSDirectoryWalker));
  m_pclWalker =
      new (memory) CosClOSSDirectoryWalker(location, m_stError, refuse);
}

CosClDirectoryWalk::~CosClDirectoryWalk() {
  if (m_pclWalker == nullptr) return;
  m_pclWalker->~CosClOSSDirectoryWalker();
  CosClMemoryManager::free(m_pclWalker);
}

bool CosClDirectoryWalk::isValid() const { return m_pclWalker->isValid(); }

bool CosClDirectoryWalk::setToNext() { return m_pclWalker->setToNext(); }

char const* CosClDirectoryWalk::getNameWithPath() const {
  return m_pclWalker->getNameWithPath();
}

char const* CosClDirectoryWalk::getNameWithoutPath() const {
  return m_pclWalker->getNameWithoutPath();
}

bool CosClDirectoryWalk::isDirectory() const {
  return (m_pclWalker->getMode() & S_IFMT) == S_IFDIR;
}

bool CosClDirectoryWalk::isCurrentDirectory() const {
  return isDirectory() && strcmp(getNameWithoutPath(), ".") == 0;
}

bool CosClDirectoryWalk::isParentDirectory() const {
  return isDirectory() && strcmp(getNameWithoutPath(), "..") == 0;
}

bool CosClDirectoryWalk::isSubDirectory() const {
  return isDirectory() && !isCurrentDirectory() && !isParentDirectory();
}

bool CosClDirectoryWalk::isHidden() const {
  return (m_pclWalker->getMode() & 0x8000u) != 0 &&
         getNameWithoutPath()[0] == '.';
}

bool CosClDirectoryWalk::isReadOnly() const {
  return (m_pclWalker->getMode() & S_IWUSR) == 0;
}

bool CosClDirectoryWalk::matchesWildcardPattern(char const* pattern) const {
  return cosMatchesWildcardPattern(pattern, getNameWithoutPath(), true);
}
