// The cursor over the entries of a usage text (notation: cos_usage.hpp).
// The argument cursors judge command-line arguments with it; the console
// user interface uses isToBeDisplayed() when it shows a usage text.

#include "cos_usage.hpp"

#include <cstring>

namespace {

bool isAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9');
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Characters that end an entry's name. Newline and tab end it like a
// blank: a switch written at the end of a line or before a tab is that
// switch and no other.
bool isTerminator(char c) {
  return c == '\0' || strchr("[]<>(){}-| \n\t", c) != nullptr;
}

}  // namespace

CosClUsageCursor::CosClUsageCursor(char const* usage)
    : iv_pszStart(usage ? usage : ""), iv_pszCurrent(iv_pszStart),
      iv_iOptDepth(0), iv_iArgDepth(0), iv_bTagged(false),
      iv_bPlaceholder(false) {}

bool CosClUsageCursor::isSwitchIndicator(char const* text) {
  return text != nullptr && text[0] == '-' && !isDigit(text[1]);
}

bool CosClUsageCursor::isToBeDisplayed(char c) {
  return c != '"' && c != '(' && c != ')';
}

bool CosClUsageCursor::setToFirst() {
  iv_pszCurrent = iv_pszStart;
  locateNext();
  return isValid();
}

bool CosClUsageCursor::setToNext() {
  if (!isValid()) return false;
  skipCurrent();
  locateNext();
  return isValid();
}

// Scans from the current position to the next entry start (or the end of
// the text), keeping depths and flags up to date. "/" and "-" before a
// digit are ordinary text, so that every entry the scan stops on can be
// stepped over.
void CosClUsageCursor::locateNext() {
  bool blankSeen = false;
  for (char const* p = iv_pszCurrent;; ++p) {
    char c = *p;
    switch (c) {
      case '\0':
        iv_pszCurrent = p;
        return;
      case '\n': iv_bTagged = false; break;
      case ' ':
      case '\t': blankSeen = true; break;
      case '!': iv_bTagged = true; break;
      case '"':
        p = strchr(p + 1, '"');
        if (p == nullptr) {  // unterminated quote: no further entries
          iv_pszCurrent = iv_pszStart + strlen(iv_pszStart);
          return;
        }
        break;
      case '(': ++iv_iArgDepth; break;
      case ')': --iv_iArgDepth; break;
      case '[': ++iv_iOptDepth; break;
      case ']': --iv_iOptDepth; break;
      case '>': iv_bPlaceholder = false; break;
      case '-':
        if (isDigit(p[1])) break;
        iv_pszCurrent = p;
        return;
      case '.':
        if (p[1] != '.') break;
        while (p[1] == '.') ++p;
        iv_pszCurrent = p;
        return;
      case '<':
        iv_bPlaceholder = true;
        iv_pszCurrent = p;
        return;
      default:
        if (isAlnum(c) && blankSeen) {
          iv_pszCurrent = p;
          return;
        }
        break;
    }
  }
}

// Steps over the current entry: its "-" or "<", then letters, digits and
// dots (and blanks inside a placeholder).
void CosClUsageCursor::skipCurrent() {
  char const* p = iv_pszCurrent;
  if (*p == '-' || *p == '<') ++p;
  while (isAlnum(*p) || *p == '.' || (iv_bPlaceholder && *p == ' ')) ++p;
  if (p == iv_pszCurrent && *p != '\0') ++p;  // a step always advances
  iv_pszCurrent = p;
}

bool CosClUsageCursor::reqArg() const {
  if (iv_iArgDepth == 0) return false;
  CosClUsageCursor next(*this);
  return next.setToNext() && !next.isSwitch() &&
         next.iv_iArgDepth == iv_iArgDepth;
}

bool CosClUsageCursor::reqArgEllipsis() const {
  if (iv_iArgDepth == 0) return false;
  CosClUsageCursor next(*this);
  while (next.setToNext() && next.iv_iArgDepth == iv_iArgDepth &&
         !next.isSwitch()) {
    if (next.isArgEllipsis()) return true;
  }
  return false;
}

bool CosClUsageCursor::matches(char const* text) const {
  if (text == nullptr || !isValid()) return false;
  size_t n = strlen(text);
  return strncmp(iv_pszCurrent, text, n) == 0 &&
         isTerminator(iv_pszCurrent[n]);
}

bool CosClUsageCursor::matchesSwitch(char const* arg) const {
  if (arg == nullptr || !isSwitch()) return false;
  char const* name = isSwitchIndicator(arg) ? arg + 1 : arg;
  size_t n = strlen(name);
  return strncmp(iv_pszCurrent + 1, name, n) == 0 &&
         isTerminator(iv_pszCurrent[1 + n]);
}
