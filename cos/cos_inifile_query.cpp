// Ini files: queries by section and option name, changes of the model and
// the section and option cursors. Names are compared ignoring case;
// deleted sections and options (empty names) are never found or walked.

#include <cstdlib>
#include <cstring>

#include "cos_inifile.hpp"
#include "cos_memmgr.hpp"
#include "cos_string.hpp"

// ---------------------------------------------------------------------------
// Conversions.

bool CosClIniFile::isTrueToken(char const* value) {
  static char const* const tokens[] = {"ON", "TRUE", "YES", "1", "OK"};
  if (value == nullptr) return false;
  for (char const* t : tokens)
    if (strcmpi(value, t) == 0) return true;
  return false;
}

int32_t CosClIniFile::toInt(char const* value) { return (int32_t)atoi(value); }

uint32_t CosClIniFile::toUnsigned(char const* value) {
  return (uint32_t)strtoul(value, nullptr, 10);
}

char CosClIniFile::toChar(char const* value) {
  if (value[0] != '\'') return value[0];
  // A quoted character: 'c' or an escape after the quote.
  char const* p = value + 1;
  if (*p != '\\') return *p;
  ++p;
  return parseEscape(p);
}

// ---------------------------------------------------------------------------
// Queries.

bool CosClIniFile::getSection(char const* name) {
  iv_pclCurrentSection = findSection(name);
  return iv_pclCurrentSection != nullptr;
}

CosClIniFileOption* CosClIniFile::findCurrentOption(char const* name) const {
  if (iv_pclCurrentSection == nullptr) return nullptr;
  return iv_pclCurrentSection->findOption(name);
}

namespace {

char const* asText(char const* value) { return value; }

// Converts the option's value into `value` (and its comment into
// *comment); false, outputs unchanged, when there is no option.
template <class T>
bool fetch(CosClIniFileOption const* o, T& value, T (*convert)(char const*),
           char const** comment) {
  if (o == nullptr) return false;
  value = convert(o->getValue());
  if (comment != nullptr) *comment = o->getComment();
  return true;
}

}  // namespace

bool CosClIniFile::getOption(char const* name, char const*& value) const {
  return fetch<char const*>(findCurrentOption(name), value, asText, nullptr);
}

bool CosClIniFile::getOption(char const* name, char const*& value,
                             char const*& comment) const {
  return fetch<char const*>(findCurrentOption(name), value, asText, &comment);
}

bool CosClIniFile::getOption(char const* name, unsigned int& value) const {
  return fetch<uint32_t>(findCurrentOption(name), value, toUnsigned, nullptr);
}

bool CosClIniFile::getOption(char const* name, unsigned int& value,
                             char const*& comment) const {
  return fetch<uint32_t>(findCurrentOption(name), value, toUnsigned, &comment);
}

bool CosClIniFile::getOption(char const* name, int& value) const {
  return fetch<int32_t>(findCurrentOption(name), value, toInt, nullptr);
}

bool CosClIniFile::getOption(char const* name, int& value,
                             char const*& comment) const {
  return fetch<int32_t>(findCurrentOption(name), value, toInt, &comment);
}

bool CosClIniFile::getOption(char const* name, char& value) const {
  return fetch<char>(findCurrentOption(name), value, toChar, nullptr);
}

bool CosClIniFile::getOptionBool(char const* name, bool& value) const {
  return fetch<bool>(findCurrentOption(name), value, isTrueToken, nullptr);
}

// ---------------------------------------------------------------------------
// Changes.

bool CosClIniFile::addSection(char const* name) {
  iv_pclCurrentSection = appendSection(name ? name : "");
  return true;
}

bool CosClIniFile::addOption(char const* section, char const* name,
                             char const* value) {
  CosClIniFileSection* s = findSection(section);
  if (s == nullptr || name == nullptr || s->findOption(name) != nullptr)
    return false;
  appendOption(s, name, value ? value : "", "");
  return true;
}

bool CosClIniFile::addOption(CosClIniFileSectionCursor const& cursor,
                             char const* name, char const* value) {
  CosClIniFileSection* s = cursor.getCurrent();
  if (s == nullptr || name == nullptr || s->findOption(name) != nullptr)
    return false;
  appendOption(s, name, value ? value : "", "");
  return true;
}

bool CosClIniFile::setNewValue(CosClIniFileSection* section,
                               char const* option, char const* value) {
  if (section == nullptr) return false;
  CosClIniFileOption* o = section->findOption(option);
  if (o == nullptr) return false;
  o->setValue(value ? value : "");
  return true;
}

bool CosClIniFile::setNewValue(char const* section, char const* option,
                               char const* value) {
  return setNewValue(findSection(section), option, value);
}

bool CosClIniFile::setNewValue(CosClIniFileSectionCursor const& cursor,
                               char const* option, char const* value) {
  return setNewValue(cursor.getCurrent(), option, value);
}

bool CosClIniFile::setNewValue(CosClIniFileOptionCursor const& cursor,
                               char const* value) {
  CosClIniFileOption* o = cursor.getCurrent();
  if (o == nullptr || o->isDeleted()) return false;
  o->setValue(value ? value : "");
  return true;
}

bool CosClIniFile::deleteSection(CosClIniFileSection* section) {
  if (section == nullptr) return false;
  for (CosClIniFileOption* o = section->iv_pclFirstOption; o != nullptr;) {
    CosClIniFileOption* next = o->iv_pclNext;
    o->~CosClIniFileOption();
    CosClMemoryManager::free(o);
    o = next;
  }
  section->iv_pclFirstOption = nullptr;
  section->iv_szName[0] = '\0';
  return true;
}

bool CosClIniFile::deleteSection(char const* name) {
  return deleteSection(findSection(name));
}

bool CosClIniFile::deleteSection(CosClIniFileSectionCursor const& cursor) {
  return deleteSection(cursor.getCurrent());
}

bool CosClIniFile::deleteOption(CosClIniFileSection* section,
                                char const* option) {
  if (section == nullptr) return false;
  CosClIniFileOption* o = section->findOption(option);
  if (o == nullptr) return false;
  o->clear();
  return true;
}

bool CosClIniFile::deleteOption(char const* section, char const* option) {
  return deleteOption(findSection(section), option);
}

bool CosClIniFile::deleteOption(CosClIniFileSectionCursor const& cursor,
                                char const* option) {
  return deleteOption(cursor.getCurrent(), option);
}

bool CosClIniFile::deleteOption(CosClIniFileOptionCursor const& cursor) {
  CosClIniFileOption* o = cursor.getCurrent();
  if (o == nullptr || o->isDeleted()) return false;
  o->clear();
  return true;
}

// ---------------------------------------------------------------------------
// Cursors.

namespace {

// The first live element from `e` on.
template <class T>
T* live(T* e) {
  while (e != nullptr && e->isDeleted()) e = e->iv_pclNext;
  return e;
}

char const* nameOf(CosClIniFileSection const* s) { return s->getName(); }
char const* nameOf(CosClIniFileOption const* o) { return o->getName(); }

// setTo(name) of both cursors.
template <class T>
bool moveTo(T* first, T*& current, char const* name) {
  if (name == nullptr) return false;
  if (current != nullptr && strcmpi(nameOf(current), name) == 0) return true;
  for (T* e = live(first); e != nullptr; e = live(e->iv_pclNext))
    if (strcmpi(nameOf(e), name) == 0) {
      current = e;
      return true;
    }
  return false;
}

}  // namespace

CosClIniFileSectionCursor::CosClIniFileSectionCursor(CosClIniFile const& ini)
    : iv_rclIniFile(ini), iv_pclFirst(ini.getFirstSection()),
      iv_pclCurrent(live(iv_pclFirst)) {}

CosClIniFileSectionCursor::~CosClIniFileSectionCursor() = default;

bool CosClIniFileSectionCursor::setToFirst() {
  iv_pclFirst = iv_rclIniFile.getFirstSection();
  iv_pclCurrent = live(iv_pclFirst);
  return isValid();
}

bool CosClIniFileSectionCursor::setToNext() {
  if (iv_pclCurrent != nullptr) iv_pclCurrent = live(iv_pclCurrent->iv_pclNext);
  return isValid();
}

bool CosClIniFileSectionCursor::setTo(char const* name) {
  return moveTo(iv_pclFirst, iv_pclCurrent, name);
}

char const* CosClIniFileSectionCursor::getSection() const {
  return iv_pclCurrent ? iv_pclCurrent->getName() : nullptr;
}

CosClIniFileOptionCursor::CosClIniFileOptionCursor(CosClIniFile const& ini)
    : iv_rclIniFile(ini), iv_pclSection(ini.getCurrentSection()) {
  init();
}

CosClIniFileOptionCursor::CosClIniFileOptionCursor(
    CosClIniFileSectionCursor const& cursor)
    : iv_rclIniFile(cursor.getIniFile()), iv_pclSection(cursor.getCurrent()) {
  init();
}

CosClIniFileOptionCursor::CosClIniFileOptionCursor(CosClIniFile const& ini,
                                                   char const* section)
    : iv_rclIniFile(ini), iv_pclSection(ini.findSection(section)) {
  init();
}

CosClIniFileOptionCursor::~CosClIniFileOptionCursor() = default;

void CosClIniFileOptionCursor::init() {
  iv_pclFirst = iv_pclSection ? iv_pclSection->iv_pclFirstOption : nullptr;
  iv_pclCurrent = live(iv_pclFirst);
}

bool CosClIniFileOptionCursor::setToFirst() {
  init();
  return isValid();
}

bool CosClIniFileOptionCursor::setToNext() {
  if (iv_pclCurrent != nullptr) iv_pclCurrent = live(iv_pclCurrent->iv_pclNext);
  return isValid();
}

bool CosClIniFileOptionCursor::setTo(char const* name) {
  return moveTo(iv_pclFirst, iv_pclCurrent, name);
}

char const* CosClIniFileOptionCursor::getOption() const {
  return iv_pclCurrent->getName();
}
char const* CosClIniFileOptionCursor::getValue() const {
  return iv_pclCurrent->getValue();
}
char const* CosClIniFileOptionCursor::getComment() const {
  return iv_pclCurrent->getComment();
}

bool CosClIniFileOptionCursor::getValue(int& value) const {
  return fetch<int32_t>(iv_pclCurrent, value, CosClIniFile::toInt, nullptr);
}

bool CosClIniFileOptionCursor::getValue(unsigned int& value) const {
  return fetch<uint32_t>(iv_pclCurrent, value, CosClIniFile::toUnsigned, nullptr);
}

bool CosClIniFileOptionCursor::getValue(char& value) const {
  return fetch<char>(iv_pclCurrent, value, CosClIniFile::toChar, nullptr);
}

bool CosClIniFileOptionCursor::getValueBool(bool& value) const {
  return fetch<bool>(iv_pclCurrent, value, CosClIniFile::isTrueToken, nullptr);
}
