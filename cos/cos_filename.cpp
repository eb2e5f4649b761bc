// File-name values: parts, comparisons and in-place changes
// (CosClFilenameABase, CosClFilename) and backup names (CosClBakFilename).
//
// Invariant after every operation: m_pszBaseName and m_pszExtension point
// into m_szName, name start <= path start <= base name <= extension <= end,
// and m_uLength is strlen(m_szName) <= COS_PATH_MAX_LENGTH. Composed names
// are built in a scratch buffer first, so an argument may point into the
// value's own text.

#include "cos_filename.hpp"

#include <unistd.h>

#include <cctype>
#include <cstring>

#include "cos_string.hpp"

namespace {

// Appends up to `max` bytes of `text` behind `length` characters of
// `buffer` (COS_PATH_BUFFER_SIZE bytes). Returns false when it had to cut.
bool appendBounded(char* buffer, size_t& length, char const* text,
                   size_t max = (size_t)-1) {
  size_t i = 0;
  for (; i < max && text[i] != '\0'; ++i) {
    if (length >= COS_PATH_MAX_LENGTH) {
      buffer[length] = '\0';
      return false;
    }
    buffer[length++] = text[i];
  }
  buffer[length] = '\0';
  return true;
}

// Comparison of n bytes, case-sensitive in slash style.
bool equalN(char const* a, char const* b, size_t n, bool caseSensitive) {
  if (n == 0) return true;
  return caseSensitive ? strncmp(a, b, n) == 0
                       : strncmpi(a, b, (unsigned)n) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// CosClFilenameABase

CosClFilenameABase::CosClFilenameABase() {
  m_szName[0] = '\0';
  CosClPathProperty::init(m_szName);
  m_pszBaseName = m_pszExtension = m_szName;
  m_uLength = 0;
}

CosClFilenameABase::CosClFilenameABase(char const* text)
    : CosClFilenameABase() {
  init(text);
}

CosClFilenameABase::CosClFilenameABase(void const* data, unsigned int length)
    : CosClFilenameABase() {
  size_t n = length < COS_PATH_MAX_LENGTH ? length : COS_PATH_MAX_LENGTH;
  memcpy(m_szName, data, n);
  m_szName[n] = '\0';
  m_bTooLong = length > COS_PATH_MAX_LENGTH;
  CosClPathProperty::init(m_szName);
  determineParts();
}

CosClFilenameABase::CosClFilenameABase(char const* path, char const* base,
                                       char const* extension)
    : CosClFilenameABase() {
  init(path, base, extension);
}

CosClFilenameABase::CosClFilenameABase(CosClFilenameABase const& other)
    : CosClPathProperty() {
  copyFrom(other);
}

CosClFilenameABase& CosClFilenameABase::operator=(
    CosClFilenameABase const& other) {
  if (this != &other) copyFrom(other);
  return *this;
}

void CosClFilenameABase::copyFrom(CosClFilenameABase const& other) {
  memcpy(m_szName, other.m_szName, sizeof m_szName);
  m_uLength = other.m_uLength;
  rebase(other, other.m_szName, m_szName);
  m_pszBaseName = m_szName + (other.m_pszBaseName - other.m_szName);
  m_pszExtension = m_szName + (other.m_pszExtension - other.m_szName);
}

void CosClFilenameABase::init(char const* text) {
  char scratch[COS_PATH_BUFFER_SIZE];
  size_t length = 0;
  bool fits = appendBounded(scratch, length, text == nullptr ? "" : text);
  memcpy(m_szName, scratch, length + 1);
  m_bTooLong = !fits;
  CosClPathProperty::init(m_szName);
  determineParts();
}

void CosClFilenameABase::init(char const* path, char const* base,
                              char const* extension) {
  char scratch[COS_PATH_BUFFER_SIZE];
  size_t length = 0;
  bool fits = appendBounded(scratch, length, path == nullptr ? "" : path);
  if (length > 0) {
    char const* sep = CosClPathProperty::getPathSep(scratch);
    if (scratch[length - 1] != sep[0])
      fits = appendBounded(scratch, length, sep) && fits;
  }
  fits = appendBounded(scratch, length, base == nullptr ? "" : base) && fits;
  if (extension != nullptr) {
    if (extension[0] != '.') fits = appendBounded(scratch, length, ".") && fits;
    fits = appendBounded(scratch, length, extension) && fits;
  }
  memset(m_szName, 0, sizeof m_szName);
  memcpy(m_szName, scratch, length + 1);
  m_bTooLong = !fits;
  CosClPathProperty::init(m_szName);
  determineParts();
}

void CosClFilenameABase::determineParts() {
  m_uLength = (unsigned int)strlen(m_szName);
  char* slash = strrchr(m_pszPathStart, '/');
  if (slash == nullptr) slash = strrchr(m_pszPathStart, '\\');
  m_pszBaseName = slash != nullptr ? slash + 1 : m_pszPathStart;
  determineExtension();
}

void CosClFilenameABase::determineExtension() {
  char* dot = strrchr(m_pszBaseName, '.');
  m_pszExtension = dot != nullptr ? dot : m_szName + m_uLength;
}

bool CosClFilenameABase::append(char const* text, size_t max) {
  size_t length = m_uLength;
  bool fits = appendBounded(m_szName, length, text, max);
  m_uLength = (unsigned int)length;
  if (!fits) m_bTooLong = true;
  return fits;
}

bool CosClFilenameABase::hasPath() const {
  return m_pszPathStart < m_pszBaseName;
}

bool CosClFilenameABase::isExistent() const {
  return access(m_szName, F_OK) == 0;
}

char* CosClFilenameABase::extractPath(char* buffer, bool withSeparator) const {
  buffer[0] = '\0';
  if (!hasPath()) return buffer;
  size_t n = (size_t)(m_pszBaseName - m_pszNameStart);
  if (!withSeparator) --n;  // the base name follows a separator
  memcpy(buffer, m_pszNameStart, n);
  buffer[n] = '\0';
  return buffer;
}

char* CosClFilenameABase::extractBaseName(char* buffer) const {
  size_t n = (size_t)(m_pszExtension - m_pszBaseName);
  memcpy(buffer, m_pszBaseName, n);
  buffer[n] = '\0';
  return buffer;
}

char* CosClFilenameABase::extractServer(char* buffer) const {
  size_t n = 0;
  if (m_szName[0] == '\\' && m_szName[1] == '\\')
    n = (size_t)(m_pszPathStart - m_pszNameStart);
  memcpy(buffer, m_pszNameStart, n);
  buffer[n] = '\0';
  return buffer;
}

bool CosClFilenameABase::matchesPath(CosClFilenameABase const& other) const {
  size_t n = (size_t)(m_pszBaseName - m_pszPathStart);
  return equalN(m_pszPathStart, other.m_pszPathStart, n, m_uStyle == 1);
}

bool CosClFilenameABase::matchesBase(CosClFilenameABase const& other) const {
  size_t n = (size_t)(m_pszExtension - m_pszBaseName);
  size_t m = (size_t)(other.m_pszExtension - other.m_pszBaseName);
  return n == m && equalN(m_pszBaseName, other.m_pszBaseName, n, m_uStyle == 1);
}

bool CosClFilenameABase::matchesExtension(char const* extension) const {
  if (extension == nullptr) extension = "";
  char const* own = m_pszExtension;
  if (extension[0] != '.' && own[0] == '.') ++own;
  return m_uStyle == 1 ? strcmp(own, extension) == 0
                       : strcmpi(own, extension) == 0;
}

bool CosClFilenameABase::matchesWildcardPattern(char const* pattern) const {
  return cosMatchesWildcardPattern(pattern, m_pszBaseName, m_uStyle == 1);
}

bool CosClFilenameABase::isStyleFAT_8_3() const {
  if (m_uStyle != 0) return false;
  if (strlen(m_pszExtension) > 4) return false;
  if (m_pszExtension - m_pszBaseName > 8) return false;
  char const* p = m_pszPathStart;
  if (hasDrive()) {
    if (!isalpha((unsigned char)p[0])) return false;
    p += 2;
  }
  unsigned int run = 0;
  for (; p < m_pszExtension; ++p) {
    if (*p == '\\') {
      run = 0;
      continue;
    }
    if (strchr("<>:;.\"|/*", *p) != nullptr) return false;
    if (++run > 8) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// CosClFilename

CosClFilename::CosClFilename(CosClLocation const& location, char const* base,
                             char const* extension) {
  init(location.getAsCString(), base, extension);
  if (location.isTooLong()) m_bTooLong = true;
}

void CosClFilename::setNewName(char const* name) {
  bool tooLong = m_bTooLong;
  CosClLocation directory(*this, false);
  init(directory.getAsCString(), name, nullptr);
  m_bTooLong = m_bTooLong || tooLong;
}

void CosClFilename::setNewBaseName(char const* base) {
  char extension[COS_PATH_BUFFER_SIZE];
  strcpy(extension, m_pszExtension);
  setNewName(base);
  setNewExtension(extension);
}

void CosClFilename::setNewExtension(char const* extension) {
  if (extension == nullptr) extension = "";
  if (extension[0] == '.') ++extension;
  char copy[COS_PATH_BUFFER_SIZE];
  size_t n = 0;
  appendBounded(copy, n, extension);  // the argument may lie in m_szName
  *m_pszExtension = '\0';
  m_uLength = (unsigned int)(m_pszExtension - m_szName);
  if (copy[0] != '\0' && append(".")) append(copy);
}

void CosClFilename::setNewPath(char const* path) {
  bool tooLong = m_bTooLong;
  char name[COS_PATH_BUFFER_SIZE];
  strcpy(name, m_pszBaseName);
  init(path, name, nullptr);
  m_bTooLong = m_bTooLong || tooLong;
}

void CosClFilename::setNewPath(CosClLocation const& location) {
  setNewPath(location.getAsCString());
  if (location.isTooLong()) m_bTooLong = true;
}

void CosClFilename::setNew(CosClLocation const& location, char const* name) {
  init(location.getAsCString(), name, nullptr);
  if (location.isTooLong()) m_bTooLong = true;
}

void CosClFilename::removePath() {
  if (m_pszBaseName == m_szName) return;
  size_t n = strlen(m_pszBaseName);
  memmove(m_szName, m_pszBaseName, n + 1);
  m_uLength = (unsigned int)n;
  m_pszNameStart = m_pszPathStart = m_pszBaseName = m_szName;
  determineExtension();
}

// ---------------------------------------------------------------------------
// CosClBakFilename

CosClBakFilename::CosClBakFilename(CosClFilenameABase const& name)
    : CosClFilenameABase(name) {
  append(".bak");
}
