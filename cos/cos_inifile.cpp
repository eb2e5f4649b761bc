// Ini files: the in-memory model (sections with their options) and the
// parser that reads a file or a buffer into it. Queries, changes and
// cursors are in cos_inifile_query.cpp; the writer in cos_inifilesave.cpp.
//
// Lines are read whole. A line longer than COS_INIFILE_LINE_MAX characters
// is not cut silently: it is reported to the error handler with its line
// number, skipped, and the load returns false.

#include "cos_inifile.hpp"

#include <cctype>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "cos_envvar.hpp"
#include "cos_memmgr.hpp"
#include "cos_string.hpp"

namespace {

bool isBlank(char c) { return isspace((unsigned char)c) != 0; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// "\x" takes up to two hex digits, a digit up to three octal digits, so
// that what the writer writes reads back the same.
char CosClIniFile::parseEscape(char const*& p) {
  char c = *p;
  if (c == '\0') return '\\';
  ++p;
  switch (c) {
    case 'a': return 7;
    case 'b': return 8;
    case 'f': return 12;
    case 'n': return 10;
    case 'r': return 13;
    case 't': return 9;
    case 'v': return 11;
    case 'x': {
      int value = 0, digits = 0;
      while (digits < 2 && hexDigit(*p) >= 0) value = value * 16 + hexDigit(*p++), ++digits;
      return digits ? (char)value : 'x';
    }
    default: break;
  }
  if (c >= '0' && c <= '7') {
    int value = c - '0', digits = 1;
    while (digits < 3 && *p >= '0' && *p <= '7') value = value * 8 + (*p++ - '0'), ++digits;
    return (char)value;
  }
  return c;
}

namespace {

// Parses a value from `p` (step: after '='): fills value and comment.
// Trailing white space is dropped unless it came from a quoted character,
// a quoted string or a variable.
void parseValue(char const* p, std::string& value, std::string& comment,
                bool& hasComment) {
  value.clear();
  comment.clear();
  hasComment = false;
  size_t kept = 0;  // value[0..kept) is never trimmed
  while (isBlank(*p)) ++p;
  while (*p != '\0' && *p != ';') {
    if (*p == '\'') {
      ++p;
      if (*p == '\\') {
        ++p;
        value += CosClIniFile::parseEscape(p);
      } else if (*p != '\0') {
        value += *p++;
      }
      if (*p != '\0') ++p;  // the closing quote, not checked
      kept = value.size();
    } else if (*p == '"') {
      ++p;
      while (*p != '\0' && *p != '"') {
        if (*p == '\\') {
          ++p;
          value += CosClIniFile::parseEscape(p);
        } else {
          value += *p++;
        }
      }
      if (*p == '"') ++p;
      kept = value.size();
    } else if (p[0] == '$' && p[1] == '(' && strchr(p + 2, ')') != nullptr) {
      char const* end = strchr(p + 2, ')');
      std::string name(p + 2, end);
      CosClEnvironmentVariableQueryOnly var;
      var.setNewName(name.c_str());
      if (char const* v = var.getValue()) value += v;
      p = end + 1;
      kept = value.size();
    } else {
      value += *p++;
    }
  }
  while (value.size() > kept && isBlank(value.back())) value.pop_back();
  if (*p == ';') {
    hasComment = true;
    ++p;
    while (isBlank(*p)) ++p;
    comment = p;
  }
}

// Copies at most `room` - 1 characters of `text` to `out` and terminates
// it; returns the characters copied.
size_t copyCut(char* out, char const* text, size_t room) {
  if (room == 0) return 0;
  size_t n = strnlen(text ? text : "", room - 1);
  memcpy(out, text, n);
  out[n] = '\0';
  return n;
}

template <class T, class... A>
T* newThroughManager(A&&... args) {
  void* p = CosClMemoryManager::allocate((unsigned)sizeof(T));
  return new (p) T(static_cast<A&&>(args)...);
}

}  // namespace

// ---------------------------------------------------------------------------
// Options and sections.

CosClIniFileOption::CosClIniFileOption()
    : iv_pclNext(nullptr), iv_pszValue(iv_szText + 1),
      iv_pszComment(iv_szText + 1) {
  memset(iv_szText, 0, 2);
}

void CosClIniFileOption::set(char const* name, char const* value,
                             char const* comment) {
  char* end = iv_szText + sizeof iv_szText;
  if (name == nullptr) name = "";
  size_t n = strnlen(name, sizeof iv_szText - 2);  // room for two zeros
  memcpy(iv_szText, name, n);
  iv_szText[n] = '\0';
  iv_pszValue = iv_szText + n + 1;
  n = copyCut(iv_pszValue, value ? value : "", (size_t)(end - iv_pszValue));
  iv_pszComment = iv_pszValue + n;  // empty comment: the value's zero
  setComment(comment);
}

void CosClIniFileOption::setValue(char const* value) {
  // The comment is kept whole; the area is laid out anew.
  std::string name = iv_szText, comment = iv_pszComment;
  set(name.c_str(), value, comment.c_str());
}

void CosClIniFileOption::setComment(char const* comment) {
  char* end = iv_szText + sizeof iv_szText;
  char* valueEnd = iv_pszValue + strlen(iv_pszValue);
  if (comment == nullptr || *comment == '\0' || valueEnd + 1 >= end) {
    iv_pszComment = valueEnd;
    return;
  }
  iv_pszComment = valueEnd + 1;
  copyCut(iv_pszComment, comment, (size_t)(end - iv_pszComment));
}

CosClIniFileSection::CosClIniFileSection(char const* name)
    : iv_pclNext(nullptr), iv_pclFirstOption(nullptr) {
  copyCut(iv_szName, name ? name : "", sizeof iv_szName);
}

CosClIniFileOption* CosClIniFileSection::findOption(char const* name) const {
  if (name == nullptr || *name == '\0') return nullptr;
  for (CosClIniFileOption* o = iv_pclFirstOption; o; o = o->iv_pclNext)
    if (!o->isDeleted() && strcmpi(o->getName(), name) == 0) return o;
  return nullptr;
}

// ---------------------------------------------------------------------------
// CosClIniFile: model.

CosClIniFile::CosClIniFile(CosClFilenameABase const& name)
    : CosClFile(name, "ini"), iv_pclFirstSection(nullptr),
      iv_pclLastSection(nullptr), iv_uLineNumber(0),
      iv_pclCurrentSection(nullptr), iv_pfuErrorHandler(nullptr),
      iv_pvUserValue(nullptr) {}

CosClIniFile::CosClIniFile(char const* name)
    : CosClIniFile(CosClFilename(name ? name : "")) {}

CosClIniFile::~CosClIniFile() { freeModel(); }

void CosClIniFile::freeModel() {
  CosClIniFileSection* s = iv_pclFirstSection;
  while (s != nullptr) {
    CosClIniFileOption* o = s->iv_pclFirstOption;
    while (o != nullptr) {
      CosClIniFileOption* next = o->iv_pclNext;
      o->~CosClIniFileOption();
      CosClMemoryManager::free(o);
      o = next;
    }
    CosClIniFileSection* next = s->iv_pclNext;
    s->~CosClIniFileSection();
    CosClMemoryManager::free(s);
    s = next;
  }
  iv_pclFirstSection = iv_pclLastSection = iv_pclCurrentSection = nullptr;
}

CosClIniFileSection* CosClIniFile::appendSection(char const* name) {
  CosClIniFileSection* s = newThroughManager<CosClIniFileSection>(name);
  if (iv_pclLastSection) iv_pclLastSection->iv_pclNext = s;
  else iv_pclFirstSection = s;
  iv_pclLastSection = s;
  return s;
}

CosClIniFileOption* CosClIniFile::appendOption(CosClIniFileSection* section,
                                               char const* name,
                                               char const* value,
                                               char const* comment) {
  CosClIniFileOption* o = newThroughManager<CosClIniFileOption>();
  o->set(name, value, comment);
  CosClIniFileOption** link = &section->iv_pclFirstOption;
  while (*link != nullptr) link = &(*link)->iv_pclNext;
  *link = o;
  return o;
}

CosClIniFileSection* CosClIniFile::findSection(char const* name) const {
  if (name == nullptr || *name == '\0') return nullptr;
  for (CosClIniFileSection* s = iv_pclFirstSection; s; s = s->iv_pclNext)
    if (!s->isDeleted() &&
        strncmpi(s->getName(), name, COS_INIFILE_SECTION_MAX) == 0)
      return s;
  return nullptr;
}

// ---------------------------------------------------------------------------
// CosClIniFile: loading.

struct CosClIniFile::ParseState {
  bool newSectionPerHeader;
  bool allowContinuation;
  CosClIniFileOption* lastOption = nullptr;
  bool failed = false;   // a line was refused; the load returns false
  bool stopped = false;  // the handler asked to stop
};

bool CosClIniFile::load(bool allowContinuation) {
  if (m_clName.isTooLong()) return false;
  std::ifstream in(m_clName.getAsCString(), std::ios::in | std::ios::binary);
  if (!in.is_open()) return false;
  iv_uLineNumber = 0;
  return load(in, '\n', true, allowContinuation);
}

bool CosClIniFile::loadFromBuffer(char const* buffer, unsigned length,
                                  char delimiter, bool newSectionPerHeader,
                                  bool allowContinuation) {
  std::istringstream in(std::string(buffer ? buffer : "", buffer ? length : 0));
  iv_uLineNumber = 0;
  return load(in, delimiter, newSectionPerHeader, allowContinuation);
}

bool CosClIniFile::report(CosEnErrorId id) {
  if (iv_pfuErrorHandler == nullptr) return true;
  _CosStError error(id, CosEnErrorClass::USER_DATA_ERROR);
  return iv_pfuErrorHandler(error, iv_uLineNumber, iv_pvUserValue);
}

bool CosClIniFile::load(std::istream& stream, char delimiter,
                        bool newSectionPerHeader, bool allowContinuation) {
  ParseState state;
  state.newSectionPerHeader = newSectionPerHeader;
  state.allowContinuation = allowContinuation;
  std::string line;
  while (!state.stopped && std::getline(stream, line, delimiter)) {
    ++iv_uLineNumber;
    if (line.size() > COS_INIFILE_LINE_MAX) {
      state.failed = true;
      state.lastOption = nullptr;
      if (!report(line[0] == '[' ? CosEnErrorId::INIFILE_INVAL_SECTION
                                 : CosEnErrorId::INIFILE_INVAL_OPTION))
        state.stopped = true;
      continue;
    }
    // A zero byte inside a line ends it, as it would for a C string.
    if (!parseLine(state, line.c_str())) state.stopped = true;
  }
  iv_pclCurrentSection = nullptr;
  return !state.stopped && !state.failed;
}

void CosClIniFile::parseHeader(ParseState& state, char const* line) {
  char const* close = strchr(line + 1, ']');
  state.lastOption = nullptr;
  std::string name(line + 1, close);
  if (name.size() > COS_INIFILE_SECTION_MAX) name.resize(COS_INIFILE_SECTION_MAX);
  CosClIniFileSection* existing =
      state.newSectionPerHeader ? nullptr : findSection(name.c_str());
  iv_pclCurrentSection = existing ? existing : appendSection(name.c_str());
}

// Parses one line; false when the handler asks to stop.
bool CosClIniFile::parseLine(ParseState& state, char const* line) {
  char const* p = line;
  while (isBlank(*p)) ++p;
  if (*p == '\0' || *p == ';') return true;  // empty or comment

  if (line[0] == '[') {
    if (strchr(line + 1, ']') == nullptr) {
      state.lastOption = nullptr;
      return report(CosEnErrorId::INIFILE_INVAL_SECTION);
    }
    parseHeader(state, line);
    return true;
  }
  if (iv_pclCurrentSection == nullptr) return true;  // before any section

  std::string value, comment;
  bool hasComment;
  if (isBlank(line[0])) {  // continuation
    if (!state.allowContinuation || state.lastOption == nullptr) {
      state.lastOption = nullptr;
      return report(CosEnErrorId::INIFILE_INVAL_WHITESPACE);
    }
    parseValue(line, value, comment, hasComment);
    CosClIniFileOption* o = state.lastOption;
    std::string joined = std::string(o->getValue()) + value;
    std::string name = o->getName();
    o->set(name.c_str(), joined.c_str(), comment.c_str());
    return true;
  }

  char const* eq = strchr(line, '=');
  if (eq == nullptr) return report(CosEnErrorId::INIFILE_INVAL_OPTION);
  std::string name;
  for (char const* q = line; q < eq; ++q)
    if (!isBlank(*q)) name += *q;
  parseValue(eq + 1, value, comment, hasComment);
  state.lastOption = appendOption(iv_pclCurrentSection, name.c_str(),
                                  value.c_str(), comment.c_str());
  return true;
}
