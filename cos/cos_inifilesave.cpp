// The ini file writer. Its quoting rules make every value read back by
// CosClIniFile exactly as it was written (see cos_inifilesave.hpp).

#include "cos_inifilesave.hpp"

#include <cstring>

namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
bool isBlankChar(char c) { return c == ' ' || c == '\t'; }

}  // namespace

CosClIniFileSave::CosClIniFileSave(CosClFilenameABase const& name)
    : CosClIniFile(name), iv_bOpened(false) {}

CosClIniFileSave::CosClIniFileSave(char const* name)
    : CosClIniFile(name), iv_bOpened(false) {}

CosClIniFileSave::~CosClIniFileSave() {
  if (iv_clStream.is_open()) {
    iv_clStream.flush();
    iv_clStream.close();
  }
}

// A file stream that is not open yet (the object's own, or one the caller
// passes in) is opened on the ini file's name, created or truncated. Any
// other stream is written as it stands. The opened flag belongs to the own
// stream alone, so writing into a caller's stream never keeps a later
// save() from opening the file.
void CosClIniFileSave::ensureOpen(std::ostream& out) {
  bool own = &out == static_cast<std::ostream*>(&iv_clStream);
  if (own && iv_bOpened) return;
  std::filebuf* file = dynamic_cast<std::filebuf*>(out.rdbuf());
  if (file != nullptr && !file->is_open()) {
    if (file->open(getAsCString(), std::ios::in | std::ios::out |
                                       std::ios::trunc | std::ios::binary))
      out.clear();
    else
      out.setstate(std::ios::failbit);
  }
  if (own) iv_bOpened = true;
}

bool CosClIniFileSave::needsQuotes(char const* value) {
  if (value == nullptr || *value == '\0') return false;
  size_t n = strlen(value);
  if (isBlankChar(value[0]) || isBlankChar(value[n - 1])) return true;
  for (char const* p = value; *p != '\0'; ++p) {
    if (*p == ';' || *p == '"' || *p == '\'' || isControl((unsigned char)*p))
      return true;
    if (p[0] == '$' && p[1] == '(') return true;
  }
  return false;
}

// Each save() leaves the file holding the model once: a stream left open
// by an earlier save or by piece-by-piece writing is closed and the file
// is written anew.
bool CosClIniFileSave::save() {
  if (iv_clStream.is_open()) iv_clStream.close();
  iv_clStream.clear();
  iv_bOpened = false;
  return save(iv_clStream);
}

bool CosClIniFileSave::save(std::ostream& out) {
  ensureOpen(out);
  for (CosClIniFileSection* s = getFirstSection(); s; s = s->iv_pclNext) {
    if (s->isDeleted()) continue;
    out << "\n[" << s->getName() << "]\n";
    for (CosClIniFileOption* o = s->iv_pclFirstOption; o; o = o->iv_pclNext)
      if (!o->isDeleted())
        saveOption(out, o->getName(), o->getValue(), o->getComment());
  }
  out.flush();
  return out.good();
}

bool CosClIniFileSave::saveSection(std::ostream& out, char const* name,
                                   char const* comment) {
  ensureOpen(out);
  out << "\n[" << (name ? name : "") << "]";
  return saveComment(out, comment);
}

bool CosClIniFileSave::saveOption(std::ostream& out, char const* name,
                                  char const* value, char const* comment) {
  if (value == nullptr) value = "";
  saveOption(out, name);
  if (needsQuotes(value)) {
    out << '"';
    for (char const* p = value; *p != '\0'; ++p) {
      if (*p == '"') out << "\\\"";
      else saveChar(out, *p);
    }
    out << '"';
  } else {
    out << value;
  }
  return saveComment(out, comment);
}

bool CosClIniFileSave::saveOption(std::ostream& out, char const* name,
                                  int value, char const* comment) {
  saveOption(out, name);
  out << value;
  return saveComment(out, comment);
}

bool CosClIniFileSave::saveOption(std::ostream& out, char const* name,
                                  unsigned int value, char const* comment) {
  saveOption(out, name);
  out << value;
  return saveComment(out, comment);
}

bool CosClIniFileSave::saveOption(std::ostream& out, char const* name,
                                  char value, char const* comment) {
  saveOption(out, name);
  out << '\'';
  saveChar(out, value);
  out << '\'';
  return saveComment(out, comment);
}

bool CosClIniFileSave::saveOptionBool(std::ostream& out, char const* name,
                                      bool value, char const* comment) {
  saveOption(out, name);
  out << (value ? getStringTrue() : getStringFalse());
  return saveComment(out, comment);
}

bool CosClIniFileSave::saveOption(std::ostream& out, char const* name) {
  ensureOpen(out);
  out << (name ? name : "") << "\t= ";
  return out.good();
}

bool CosClIniFileSave::saveComment(std::ostream& out, char const* comment) {
  ensureOpen(out);
  if (comment != nullptr && *comment != '\0')
    out << "\t; " << comment << '\n';
  else
    out << '\n';
  return out.good();
}

bool CosClIniFileSave::saveChar(std::ostream& out, char c) {
  ensureOpen(out);
  static char const hex[] = "0123456789abcdef";
  switch (c) {
    case 7: out << "\\a"; break;
    case 8: out << "\\b"; break;
    case 12: out << "\\f"; break;
    case 10: out << "\\n"; break;
    case 13: out << "\\r"; break;
    case 9: out << "\\t"; break;
    case 11: out << "\\v"; break;
    case '\\': out << "\\\\"; break;
    default:
      if (isControl((unsigned char)c))
        out << "\\x" << hex[((unsigned char)c) >> 4] << hex[c & 15];
      else
        out << c;
  }
  return out.good();
}
