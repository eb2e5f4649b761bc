// Path styles, server prefixes (CosClPathProperty) and directory locations
// (CosClLocation). Every text is copied with a bound: a location never
// writes past its 4097-byte buffer, and a text that does not fit marks the
// value as too long (see cos_location.hpp).

#include "cos_location.hpp"

#include <unistd.h>

#include <cctype>
#include <cstring>

#include "cos_filename.hpp"

// ---------------------------------------------------------------------------
// CosClPathProperty

unsigned int CosClPathProperty::getStyle(char const* text) {
  if (isalpha((unsigned char)text[0]) && text[1] == ':') return 0;
  return strchr(text, '\\') == nullptr ? 1 : 0;
}

char const* CosClPathProperty::getPathSep(char const* text) {
  return getStyle(text) == 1 ? "/" : "\\";
}

void CosClPathProperty::normalizePath(char* text) {
  for (; *text != '\0'; ++text)
    if (*text == '\\') *text = '/';
}

void CosClPathProperty::init(char* text) {
  m_pszNameStart = m_pszPathStart = text;
  determinePath();
  m_uStyle = getStyle(m_pszPathStart);
}

// "\\srv\share\dir": the path proper starts at the backslash after the
// share name; "\\srv\share" has an empty path proper at the end of the text.
void CosClPathProperty::determinePath() {
  m_pszPathStart = m_pszNameStart;
  char* text = m_pszNameStart;
  if (text[0] != '\\' || text[1] != '\\' || text[2] == '\0') return;
  char* first = strchr(text + 3, '\\');
  if (first == nullptr) return;
  char* second = strchr(first + 1, '\\');
  m_pszPathStart = second != nullptr ? second : first + strlen(first);
}

void CosClPathProperty::rebase(CosClPathProperty const& other,
                               char const* otherText, char* text) {
  m_pszNameStart = text + (other.m_pszNameStart - otherText);
  m_pszPathStart = text + (other.m_pszPathStart - otherText);
  m_uStyle = other.m_uStyle;
  m_bTooLong = other.m_bTooLong;
}

bool CosClPathProperty::isAbsolute() const {
  if (hasServer()) return true;
  if (m_uStyle == 1) return m_pszPathStart[0] == '/';
  return hasDrive() && m_pszPathStart[2] == '\\';
}

bool CosClPathProperty::hasDrive() const {
  return m_pszPathStart[0] != '\0' && m_pszPathStart[1] == ':';
}

bool CosClPathProperty::isNormalized() const {
  return strchr(m_pszPathStart, '\\') == nullptr;
}

// ---------------------------------------------------------------------------
// CosClLocation

CosClLocation::CosClLocation(char const* text, bool normalize) {
  assign(text == nullptr ? "" : text, (size_t)-1);
  init(normalize);
}

CosClLocation::CosClLocation(void const* data, unsigned int length,
                             bool normalize) {
  assign(static_cast<char const*>(data), length);
  init(normalize);
}

CosClLocation::CosClLocation(CosClFilenameABase const& name, bool normalize) {
  assign(name.getAsCString(),
         (size_t)(name.getBaseName() - name.getAsCString()));
  init(normalize);
  m_bTooLong = m_bTooLong || name.isTooLong();
}

CosClLocation::CosClLocation(CosClLocation const& other) : CosClPathProperty() {
  *this = other;
}

CosClLocation& CosClLocation::operator=(CosClLocation const& other) {
  if (this == &other) return *this;
  memcpy(m_szPath, other.m_szPath, sizeof m_szPath);
  m_uLength = other.m_uLength;
  rebase(other, other.m_szPath, m_szPath);
  return *this;
}

CosClLocation& CosClLocation::operator=(char const* text) {
  if (text == m_szPath) return *this;
  assign(text == nullptr ? "" : text, (size_t)-1);
  init(false);
  return *this;
}

void CosClLocation::assign(char const* data, size_t length) {
  size_t n = 0;
  if (length == (size_t)-1) {
    while (n < COS_PATH_MAX_LENGTH && data[n] != '\0') ++n;
    m_bTooLong = data[n] != '\0';
  } else {
    n = length < COS_PATH_MAX_LENGTH ? length : COS_PATH_MAX_LENGTH;
    m_bTooLong = length > COS_PATH_MAX_LENGTH;
  }
  memmove(m_szPath, data, n);
  m_szPath[n] = '\0';
  m_uStyle = 1;
}

void CosClLocation::init(bool normalize) {
  CosClPathProperty::init(m_szPath);
  m_uLength = (unsigned int)strlen(m_szPath);
  if (m_uLength > 0 && m_szPath[m_uLength - 1] != getPathSepChar()) {
    if (m_uLength < COS_PATH_MAX_LENGTH) {
      m_szPath[m_uLength++] = getPathSepChar();
      m_szPath[m_uLength] = '\0';
    } else {
      m_bTooLong = true;  // no room left for the separator
    }
  }
  if (normalize) {
    normalizePath(m_pszPathStart);
    m_uStyle = getStyle(m_pszPathStart);
  }
}

bool CosClLocation::isExistent() const { return access(m_szPath, F_OK) == 0; }

bool CosClLocation::isRoot() const {
  if (!isAbsolute()) return false;
  if (hasServer()) return strlen(m_pszPathStart) == 1;
  if (hasDrive()) return m_uLength == 3;
  return m_uLength == 1;
}
