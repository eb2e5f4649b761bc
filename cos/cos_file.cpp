// Files on disk (CosClFile): existence, dates, size, read-only state,
// copying, renaming, removal and the search along a path-list variable.
// Every failure returns false and leaves its reason in m_stError; every
// success clears it.

#include "cos_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>

#include "cos_envvar.hpp"
#include "cos_string.hpp"

namespace {

// Bytes moved per read/write while copying.
size_t const kCopyBlockSize = 16384;

// Writes all `size` bytes, resuming after interrupts and partial writes.
bool writeAll(int fd, char const* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= (size_t)n;
  }
  return true;
}

// Copies the rest of `in` to `out`. False on a read or write error.
bool copyBytes(int in, int out) {
  char buffer[kCopyBlockSize];
  for (;;) {
    ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!writeAll(out, buffer, (size_t)n)) return false;
  }
}

// The two paths name one existing file (also through links or "./").
bool isSameFile(char const* a, char const* b) {
  struct stat sa, sb;
  return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

// ---------------------------------------------------------------------------
// CosClFileABase

CosClFileABase::~CosClFileABase() = default;

time_t CosClFileABase::getDateTimeOfCreation(char const* path) {
  struct stat st;
  return stat(path, &st) == 0 ? st.st_ctime : 0;
}

time_t CosClFileABase::getDateTimeOfLastAccess(char const* path) {
  struct stat st;
  return stat(path, &st) == 0 ? st.st_atime : 0;
}

time_t CosClFileABase::getDateTimeOfLastModification(char const* path) {
  struct stat st;
  return stat(path, &st) == 0 ? st.st_mtime : 0;
}

// ---------------------------------------------------------------------------
// CosClFile

CosClFile::CosClFile(CosClFilenameABase const& name,
                     char const* defaultExtension)
    : m_clName(name) {
  if (!m_clName.hasExtension() && defaultExtension != nullptr)
    m_clName.setNewExtension(defaultExtension);
}

CosClFile::~CosClFile() = default;

bool CosClFile::refuseTooLong(CosEnErrorId id) {
  if (!m_clName.isTooLong()) return false;
  m_stError.set(id, CosEnErrorClass::IO_INVALID_NAME);
  return true;
}

bool CosClFile::isExistent() const {
  return !m_clName.isTooLong() && m_clName.isExistent();
}

time_t CosClFile::getDateTimeOfCreation() const {
  return m_clName.isTooLong() ? 0
                              : CosClFileABase::getDateTimeOfCreation(*this);
}

time_t CosClFile::getDateTimeOfLastAccess() const {
  return m_clName.isTooLong() ? 0
                              : CosClFileABase::getDateTimeOfLastAccess(*this);
}

time_t CosClFile::getDateTimeOfLastModification() const {
  return m_clName.isTooLong()
             ? 0
             : CosClFileABase::getDateTimeOfLastModification(*this);
}

bool CosClFile::isHidden() const { return m_clName.getBaseName()[0] == '.'; }

bool CosClFile::isReadOnly() const {
  return access(m_clName.getAsCString(), W_OK) != 0;
}

int CosClFile::setReadOnly(bool readOnly) {
  if (m_clName.isTooLong()) return -1;
  return chmod(m_clName.getAsCString(), readOnly ? 0440 : 0660);
}

uint64_t CosClFile::getFileSize() const {
  struct stat st;
  if (m_clName.isTooLong() || stat(m_clName.getAsCString(), &st) != 0) return 0;
  return (uint64_t)st.st_size;
}

char const* CosClFile::getFileType() const {
  char const* extension = m_clName.getExtension();
  return extension[0] == '.' ? extension + 1 : extension;
}

bool CosClFile::remove() {
  if (refuseTooLong(CosEnErrorId::FILE_COULD_NOT_REMOVE)) return false;
  // No chmod before the unlink: unlink does not depend on the file's own
  // mode here, and chmod would follow a symbolic link and open up the mode
  // of the file it points to (or leave a file whose removal failed with a
  // changed mode).
  char const* name = m_clName.getAsCString();
  if (unlink(name) != 0) {
    m_stError.set(CosEnErrorId::FILE_COULD_NOT_REMOVE,
                  errno == ENOENT ? CosEnErrorClass::IO_NOT_EXISTENT
                                  : CosEnErrorClass::IO_PERMISSION_DENIED);
    return false;
  }
  m_stError.clear();
  return true;
}

bool CosClFile::copyTo(CosClLocation const& directory, bool keepMode) {
  CosClFilename target(m_clName);
  target.setNewPath(directory);
  return copyTo(target, keepMode);
}

bool CosClFile::copyTo(CosClFilenameABase const& target, bool keepMode) {
  char const* source = m_clName.getAsCString();
  char const* dest = target.getAsCString();
  bool sameText = m_clName.getStyle() == 1 ? strcmp(source, dest) == 0
                                           : strcmpi(source, dest) == 0;
  if (sameText || (!m_clName.isTooLong() && !target.isTooLong() &&
                   isSameFile(source, dest))) {
    m_stError.set(CosEnErrorId::FILE_COULD_NOT_COPY_SELF,
                  CosEnErrorClass::INCONSISTENT_SITUATION);
    return false;
  }
  if (refuseTooLong(CosEnErrorId::FILE_COULD_NOT_COPY)) return false;
  if (target.isTooLong()) {
    m_stError.set(CosEnErrorId::FILE_COULD_NOT_COPY,
                  CosEnErrorClass::IO_INVALID_NAME);
    return false;
  }
  int in = open(source, O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    m_stError.set(CosEnErrorId::FILE_COULD_NOT_COPY,
                  CosEnErrorClass::IO_READ_PROBLEM);
    return false;
  }
  int out = open(dest, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0777);
  if (out < 0) {
    close(in);
    m_stError.set(CosEnErrorId::FILE_COULD_NOT_COPY,
                  CosEnErrorClass::IO_WRITE_PROBLEM);
    return false;
  }
  struct stat st;
  if (keepMode && fstat(in, &st) == 0) fchmod(out, st.st_mode & 07777);
  // Only a regular file is removed after a failure: never a device or
  // pipe that was named as the target.
  bool regular = fstat(out, &st) == 0 && S_ISREG(st.st_mode);
  bool ok = copyBytes(in, out);
  close(in);
  ok = close(out) == 0 && ok;  // close reports delayed write errors
  if (!ok) {
    if (regular) unlink(dest);  // no partial copy stays behind
    m_stError.set(CosEnErrorId::FILE_COULD_NOT_COPY,
                  CosEnErrorClass::IO_WRITE_PROBLEM);
    return false;
  }
  m_stError.clear();
  return true;
}

bool CosClFile::renameAs(CosClFilenameABase const& target) {
  if (refuseTooLong(CosEnErrorId::FILE_COULD_NOT_RENAME)) return false;
  if (target.isTooLong()) {
    m_stError.set(CosEnErrorId::FILE_COULD_NOT_RENAME,
                  CosEnErrorClass::IO_INVALID_NAME);
    return false;
  }
  if (rename(m_clName.getAsCString(), target.getAsCString()) != 0) {
    m_stError.set(CosEnErrorId::FILE_COULD_NOT_RENAME,
                  target.isExistent() ? CosEnErrorClass::IO_ALREADY_IN_USE
                                      : CosEnErrorClass::IO_PERMISSION_DENIED);
    return false;
  }
  m_clName = target;
  m_stError.clear();
  return true;
}

bool CosClFile::determineFileInEnvVarPath(CosClFilename& name,
                                          char const* variable) const {
  CosClEnvironmentVariableQueryOnly env;
  env.setNewName(variable);
  char const* list = env.getValue();
  if (list == nullptr) return false;
  char element[COS_PATH_BUFFER_SIZE];
  while (*list != '\0') {
    size_t n = strcspn(list, ":");
    // Skipped: empty elements and those that could not hold the name.
    if (n > 0 && n + 1 + strlen(name.getBaseName()) <= COS_PATH_MAX_LENGTH) {
      memcpy(element, list, n);
      element[n] = '\0';
      name.setNewPath(element);
      if (!name.isTooLong() && name.isExistent()) return true;
    }
    list += n;
    if (*list == ':') ++list;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Stream modes

bool cosFileIsOpenedInBinaryMode(std::istream&) { return true; }
bool cosFileIsOpenedInBinaryMode(std::ostream&) { return true; }
bool cosFileIsOpenedInTextMode(std::istream&) { return true; }
bool cosFileIsOpenedInTextMode(std::ostream&) { return true; }
