// Console user interface: the display parameters, start-up with the
// built-in switches (-quiet, -copyright), usage and help, the check of all
// arguments against the usage text, and the argument queries with their
// fatal exits (201 to 204).

#include "cos_consoleui.hpp"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <new>

#include "cos_argv.hpp"
#include "cos_envvar.hpp"
#include "cos_memmgr.hpp"

namespace {

// The no-usage marker: shared, empty, never freed.
char gs_szNoUsage[1] = {'\0'};

char const kLibraryLevel[] = "COSLibR5-24";
char const kLibraryCompileDate[] = __DATE__;

// The copyright notice of the services library.
char const kCopyrightNotice[] =
    "libqorsvc - operating-system services library\n"
    "Copyright (c) 2026 the libqorsvc authors. All rights reserved.";

// Library message numbers (before the base is added).
enum : uint32_t {
  MSG_HELP_LETTERS = 8,
  MSG_COPYRIGHT_SWITCH = 9,
  MSG_QUIET_SWITCH = 10,
  MSG_FATAL = 13,
  MSG_USAGE = 17,
  MSG_HELP = 18,
  MSG_SPECIFY_HELP = 21,
  MSG_NO_HELP = 22,
  MSG_UNKNOWN_ARG = 23,
  MSG_ARG_NOT_ALLOWED = 24,
  MSG_ARG_REPEATED = 25,
  MSG_MISSING_SWITCH = 26,
  MSG_NO_VALUE = 27,
  MSG_NO_NUMERIC_VALUE = 28,
  MSG_NON_NUMERIC_VALUE = 29,
  MSG_COPYRIGHT = 34,
  MSG_LEVEL = 35,
  MSG_LEVEL_LABEL = 36,
  MSG_COMPILE_DATE = 38,
};

// A copy of `text` through the memory manager (freed with free()).
char* copyText(char const* text) {
  size_t n = strlen(text);
  char* copy = static_cast<char*>(CosClMemoryManager::allocate((unsigned)n + 1));
  memcpy(copy, text, n + 1);
  return copy;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// ---------------------------------------------------------------------------
// CosClConsoleUIParams

CosClConsoleUIParams::CosClConsoleUIParams(char const* programPath)
    : iv_pszUsage(gs_szNoUsage), iv_pszHelp(nullptr), iv_uProcessNameLength(0),
      iv_uProgressIndex(0), iv_bQuiet(false), iv_bHideTaggedLines(false),
      iv_bDisableTaggedLines(false), iv_bQuoteStrings(false),
      iv_uLabelWidth(36), iv_iLabelStyle(CosClConsoleUI::LEFT),
      iv_cFillChar('.'), iv_pOut(&std::cout), iv_pErr(&std::cerr),
      iv_pNullDevice(nullptr) {
  iv_szAnswer[0] = '\0';
  char const* path = programPath ? programPath : "";
  char const* slash = strrchr(path, '/');
  char const* base = slash ? slash + 1 : path;
  size_t n = strnlen(base, PROCESS_NAME_MAX);
  char const* dot = static_cast<char const*>(memchr(base, '.', n));
  if (dot != nullptr) n = (size_t)(dot - base);
  memcpy(iv_szProcessName, base, n);
  iv_szProcessName[n] = '\0';
  iv_uProcessNameLength = (uint32_t)n;
  CosClEnvironmentVariableQueryOnly quote;
  quote.setNewName("COS_CONSOLEUI_QUOTE_STRINGS");
  iv_bQuoteStrings = quote.hasValueEnabled();
}

CosClConsoleUIParams::~CosClConsoleUIParams() {
  releaseTexts();
  if (iv_pNullDevice != nullptr) {
    iv_pNullDevice->~basic_ofstream();
    CosClMemoryManager::free(iv_pNullDevice);
  }
}

void CosClConsoleUIParams::releaseTexts() {
  if (iv_pszUsage != gs_szNoUsage) CosClMemoryManager::free(iv_pszUsage);
  CosClMemoryManager::free(iv_pszHelp);
  iv_pszUsage = gs_szNoUsage;
  iv_pszHelp = nullptr;
}

void CosClConsoleUIParams::setUsage(char const* usage, char const* help) {
  // Copy first, so that texts pointing into the old copies stay valid.
  char* newUsage = (usage != nullptr && *usage != '\0') ? copyText(usage) : gs_szNoUsage;
  char* newHelp = nullptr;
  try {
    if (help != nullptr) newHelp = copyText(help);
  } catch (...) {
    if (newUsage != gs_szNoUsage) CosClMemoryManager::free(newUsage);
    throw;
  }
  releaseTexts();
  iv_pszUsage = newUsage;
  iv_pszHelp = newHelp;
}

bool CosClConsoleUIParams::hasUsage() const { return iv_pszUsage != gs_szNoUsage; }

void CosClConsoleUIParams::setQuietMode() {
  if (iv_pNullDevice == nullptr) {
    void* p = CosClMemoryManager::allocate((unsigned)sizeof(std::ofstream));
    iv_pNullDevice = new (p) std::ofstream("/dev/null");
  }
  iv_pOut = iv_pErr = iv_pNullDevice;
  iv_bQuiet = true;
}

void CosClConsoleUIParams::setOutputStream(std::ostream& stream) {
  if (iv_bQuiet) return;
  iv_pOut = iv_pErr = &stream;
}

void CosClConsoleUIParams::forceOutputStream(std::ostream& stream) {
  iv_pOut = &stream;
  iv_pErr = &std::cerr;
  iv_bQuiet = false;
}

void CosClConsoleUIParams::flushOutputStream() { iv_pOut->flush(); }

// ---------------------------------------------------------------------------
// Construction, texts, settings

CosClConsoleUI::CosClConsoleUI(int argc, char const* const* argv)
    : iv_uMessageBase(0), iv_iArgc(argv ? argc : 0), iv_ppszArgv(argv),
      iv_pParams(nullptr) {}

CosClConsoleUI::CosClConsoleUI(int argc, char** argv)
    : CosClConsoleUI(argc, const_cast<char const* const*>(argv)) {}

CosClConsoleUI::~CosClConsoleUI() {
  if (iv_pParams != nullptr) {
    iv_pParams->~CosClConsoleUIParams();
    CosClMemoryManager::free(iv_pParams);
  }
}

char const* CosClConsoleUI::getLibraryLevel() { return kLibraryLevel; }
char const* CosClConsoleUI::getLibraryCompileDate() { return kLibraryCompileDate; }

CosClMessage CosClConsoleUI::text(uint32_t id) const {
  return CosClMessage(iv_clCatalog, iv_uMessageBase + id);
}

CosClMessage CosClConsoleUI::callerText(uint32_t id) const {
  return CosClMessage(iv_clCatalog, id);
}

CosClConsoleUIParams& CosClConsoleUI::params() const {
  COS_ASSERT_MSG(iv_pParams != nullptr, "CosClConsoleUI::init() not called");
  return *iv_pParams;
}

bool CosClConsoleUI::catalogHasTexts() const {
  return iv_clCatalog.isOpen() || iv_clCatalog.getStringTable() != nullptr;
}

char const* CosClConsoleUI::getProcessName() const { return params().iv_szProcessName; }
void CosClConsoleUI::setOutputStream(std::ostream& stream) { params().setOutputStream(stream); }
std::ostream& CosClConsoleUI::getOutputStream() const { return *params().iv_pOut; }
std::ostream& CosClConsoleUI::getErrorStream() const { return *params().iv_pErr; }
bool CosClConsoleUI::mustBeQuiet() const { return params().iv_bQuiet; }
void CosClConsoleUI::hideTaggedLines() { params().iv_bHideTaggedLines = true; }
void CosClConsoleUI::disableTaggedLines() { params().iv_bDisableTaggedLines = true; }
void CosClConsoleUI::setFormatWidth(unsigned width) { params().iv_uLabelWidth = width; }
void CosClConsoleUI::setFormatStyle(CosEnFormatStyle style) { params().iv_iLabelStyle = style; }
void CosClConsoleUI::setFormatFillChar(char fill) { params().iv_cFillChar = fill; }

void CosClConsoleUI::processExit(uint32_t code) {
  if (code != 0 && iv_pParams != nullptr) beep();
  if (iv_pParams != nullptr) iv_pParams->iv_pOut->flush();
  std::cout.flush();
  std::cerr.flush();
  std::exit((int)code);
}

// ---------------------------------------------------------------------------
// Start-up

void CosClConsoleUI::init(char const* title, char const* subtitle,
                          char const* level, char const* compileDate) {
  void* p = CosClMemoryManager::allocate((unsigned)sizeof(CosClConsoleUIParams));
  CosClConsoleUIParams* fresh = new (p) CosClConsoleUIParams(
      iv_iArgc > 0 ? iv_ppszArgv[0] : "");
  if (iv_pParams != nullptr) {
    iv_pParams->~CosClConsoleUIParams();
    CosClMemoryManager::free(iv_pParams);
  }
  iv_pParams = fresh;
  if (iv_clCatalog.isDefaultCatalog())
    iv_clCatalog.useStringTable(gs_apszCosMessageTable, COS_MESSAGE_TABLE_COUNT);
  if (!catalogHasTexts()) {
    displayTitle(title, subtitle);
    return;
  }
  if (hasArgSwitch(text(MSG_QUIET_SWITCH).getText())) params().setQuietMode();
  displayTitle(title, subtitle);
  if (hasArgSwitch(text(MSG_COPYRIGHT_SWITCH).getText()))
    displayCopyright(level, compileDate);
}

void CosClConsoleUI::init(uint32_t titleId, uint32_t subtitleId,
                          char const* level, char const* compileDate) {
  // The texts are looked up once the catalogue holds the library's table.
  if (iv_clCatalog.isDefaultCatalog() && !catalogHasTexts())
    iv_clCatalog.useStringTable(gs_apszCosMessageTable, COS_MESSAGE_TABLE_COUNT);
  if (titleId == 0) {
    init(nullptr, nullptr, level, compileDate);
    return;
  }
  CosClMessage title = callerText(titleId);
  if (subtitleId == 0) {
    init(title.getText(), nullptr, level, compileDate);
    return;
  }
  CosClMessage subtitle = callerText(subtitleId);
  init(title.getText(), subtitle.getText(), level, compileDate);
}

void CosClConsoleUI::displayTitle(char const* title, char const* subtitle) {
  std::ostream& out = getOutputStream();
  if (title != nullptr) out << "\n" << getProcessName() << " - " << title;
  if (subtitle != nullptr) out << "   " << subtitle;
  if (title != nullptr || subtitle != nullptr) out << std::endl;
}

void CosClConsoleUI::displayCopyright(char const* level, char const* compileDate) {
  params().forceOutputStream(std::cout);
  std::ostream& out = getOutputStream();
  formatHeader(text(MSG_COPYRIGHT).getText());
  out << "  ";
  display(out, kCopyrightNotice, 2, false);
  formatHeader(text(MSG_LEVEL).getText());
  format(text(MSG_LEVEL_LABEL).getText(), kLibraryLevel);
  format(text(MSG_COMPILE_DATE).getText(), kLibraryCompileDate);
  if (level != nullptr) {
    formatHeader(text(MSG_LEVEL).getText());
    format(text(MSG_LEVEL_LABEL).getText(), level);
    format(text(MSG_COMPILE_DATE).getText(), compileDate ? compileDate : "");
  }
  processExit(EXIT_USAGE);
}

// ---------------------------------------------------------------------------
// Usage and help

void CosClConsoleUI::setUsage(char const* usage, char const* help) {
  params().setUsage(usage, help);
}

char const* CosClConsoleUI::getUsage() const {
  return iv_pParams ? iv_pParams->iv_pszUsage : gs_szNoUsage;
}

void CosClConsoleUI::handleUsageHelp(char const* usage, char const* help) {
  setUsage(usage, help);
  CosClMessage letters = text(MSG_HELP_LETTERS);
  for (char const* c = letters.getText(); *c != '\0'; ++c) {
    if (hasArgSwitch(*c)) {
      displayUsage(false);
      displayHelp(true);
    }
  }
  if (params().hasUsage() && checkArguments()) displayUsage(true);
}

void CosClConsoleUI::handleUsageHelp(uint32_t usageId, uint32_t helpId) {
  CosClMessage usage = callerText(usageId);
  if (helpId == 0) {
    handleUsageHelp(usage.getText(), nullptr);
    return;
  }
  CosClMessage help = callerText(helpId);
  handleUsageHelp(usage.getText(), help.getText());
}

// Writes one error per unknown, forbidden or repeated argument to standard
// error; true when there was any. A switch given n times is reported n - 1
// times: only its first occurrence looks for repetitions.
bool CosClConsoleUI::checkArguments() {
  CosClMessage quiet = text(MSG_QUIET_SWITCH);
  unsigned errors = 0;
  CosClArgvCheckCursor arg(*this);
  for (bool ok = arg.setToFirst(); ok; ok = arg.setToNext()) {
    char const* argText = arg.getAsCString();
    if (!arg.isLegal() && !arg.matches(quiet.getText())) {
      error(std::cerr, text(MSG_UNKNOWN_ARG).getText(), argText);
      ++errors;
      continue;
    }
    if (params().iv_bDisableTaggedLines && arg.isTagged()) {
      error(std::cerr, text(MSG_ARG_NOT_ALLOWED).getText(), argText);
      ++errors;
    }
    if (!arg.isSwitch()) continue;
    CosClArgvCursor other(*this);
    other.positionTo(argText);
    if (other.getIndex() != arg.getIndex()) continue;  // not the first one
    while (other.setToNext()) {
      if (!other.matches(argText)) continue;
      error(std::cerr, text(MSG_ARG_REPEATED).getText(), argText);
      ++errors;
    }
  }
  return errors != 0;
}

void CosClConsoleUI::displayUsageHelp(char const* usage, char const* help, bool exit) {
  setUsage(usage, help);
  displayUsage(false);
  displayHelp(exit);
}

void CosClConsoleUI::displayUsage(bool exit) {
  std::ostream& out = std::cout;
  CosClMessage usageWord = text(MSG_USAGE);
  out << "\n" << usageWord.getText() << ": " << getProcessName();
  if (catalogHasTexts()) {
    CosClMessage letters = text(MSG_HELP_LETTERS);
    out << " [";
    for (char const* c = letters.getText(); *c != '\0'; ++c)
      out << (c == letters.getText() ? "-" : "|-") << *c;
    out << "|-" << text(MSG_COPYRIGHT_SWITCH).getText() << "] [-"
        << text(MSG_QUIET_SWITCH).getText() << "]" << std::endl;
  }
  unsigned width = (unsigned)strlen(usageWord.getText()) +
                   params().iv_uProcessNameLength + 3;
  indent(out, width, ' ');
  display(out, getUsage(), width, true);
  if (exit) {
    out << std::endl;
    processExit(EXIT_USAGE);
  }
  out.flush();
}

void CosClConsoleUI::displayHelp(bool exit) {
  std::ostream& out = std::cout;
  if (params().iv_pszHelp == nullptr) {
    indent(out);
    out << text(MSG_NO_HELP).getText() << std::endl;
  } else {
    CosClMessage helpWord = text(MSG_HELP);
    out << "\n" << helpWord.getText() << ": ";
    display(out, params().iv_pszHelp, (unsigned)strlen(helpWord.getText()) + 2, false);
  }
  out.flush();
  if (exit) processExit(EXIT_USAGE);
}

// ---------------------------------------------------------------------------
// Argument queries

bool CosClConsoleUI::hasArgSwitch(char const* name) const {
  CosClArgvCursor arg(*this);
  return arg.positionTo(name);
}

bool CosClConsoleUI::hasArgSwitch(uint32_t nameId) const {
  return hasArgSwitch(callerText(nameId).getText());
}

bool CosClConsoleUI::hasArgSwitch(char name) const {
  char nameText[2] = {name, '\0'};
  return hasArgSwitch(nameText);
}

bool CosClConsoleUI::hasArgString(char const* name, char const*& value) {
  CosClArgvCursor arg(*this);
  if (!arg.positionTo(name)) return false;
  char const* switchText = arg.getAsCString();
  if (!arg.setToNext() || arg.isSwitch())
    fatalArgument(EXIT_ARG_EXPECTING_VALUE, text(MSG_NO_VALUE).getText(), switchText);
  value = arg.getAsCString();
  return true;
}

bool CosClConsoleUI::hasArgString(uint32_t nameId, char const*& value) {
  return hasArgString(callerText(nameId).getText(), value);
}

bool CosClConsoleUI::hasArgString(char name, char const*& value) {
  char nameText[2] = {name, '\0'};
  return hasArgString(nameText, value);
}

// A following switch is no value (exit 203). A value must begin, after one
// optional "'", with a digit or "-" and a digit (else exit 204).
bool CosClConsoleUI::numval(char const* name, int32_t& value) {
  CosClArgvCursor arg(*this);
  if (!arg.positionTo(name)) return false;
  char const* switchText = arg.getAsCString();
  if (!arg.setToNext() || arg.isSwitch())
    fatalArgument(EXIT_ARG_EXPECTING_VALUE, text(MSG_NO_NUMERIC_VALUE).getText(),
                  switchText);
  char const* s = arg.getAsCString();
  if (*s == '\'') ++s;
  if (!isDigit(s[0]) && !(s[0] == '-' && isDigit(s[1])))
    fatalArgument(EXIT_ARG_VALUE_TYPE_MISMATCH, text(MSG_NON_NUMERIC_VALUE).getText(),
                  switchText, arg.getAsCString());
  value = (int32_t)atol(s);
  return true;
}

bool CosClConsoleUI::hasArgNumval(char const* name, int32_t& value) {
  return numval(name, value);
}

bool CosClConsoleUI::hasArgNumval(uint32_t nameId, int32_t& value) {
  return numval(callerText(nameId).getText(), value);
}

bool CosClConsoleUI::hasArgNumval(char name, int32_t& value) {
  char nameText[2] = {name, '\0'};
  return numval(nameText, value);
}

bool CosClConsoleUI::hasArgNumval(char const* name, int16_t& value) {
  int32_t wide = 0;
  if (!numval(name, wide)) return false;
  value = (int16_t)wide;
  return true;
}

bool CosClConsoleUI::hasArgNumval(uint32_t nameId, int16_t& value) {
  return hasArgNumval(callerText(nameId).getText(), value);
}

bool CosClConsoleUI::hasArgNumval(char name, int16_t& value) {
  char nameText[2] = {name, '\0'};
  return hasArgNumval(nameText, value);
}

void CosClConsoleUI::reqArgSwitch(char const* name) {
  if (!hasArgSwitch(name)) fatalMissingArg(name);
}

void CosClConsoleUI::reqArgSwitch(uint32_t nameId) {
  reqArgSwitch(callerText(nameId).getText());
}

void CosClConsoleUI::reqArgSwitch(char name) {
  if (!hasArgSwitch(name)) fatalMissingArg(name);
}

void CosClConsoleUI::reqArgString(char const* name, char const*& value) {
  if (!hasArgString(name, value)) fatalMissingArg(name);
}

void CosClConsoleUI::reqArgString(uint32_t nameId, char const*& value) {
  reqArgString(callerText(nameId).getText(), value);
}

void CosClConsoleUI::reqArgString(char name, char const*& value) {
  if (!hasArgString(name, value)) fatalMissingArg(name);
}

void CosClConsoleUI::reqArgNumval(char const* name, int32_t& value) {
  if (!hasArgNumval(name, value)) fatalMissingArg(name);
}

void CosClConsoleUI::reqArgNumval(uint32_t nameId, int32_t& value) {
  reqArgNumval(callerText(nameId).getText(), value);
}

void CosClConsoleUI::reqArgNumval(char name, int32_t& value) {
  if (!hasArgNumval(name, value)) fatalMissingArg(name);
}

void CosClConsoleUI::fatalMissingArg(char name) {
  char nameText[3] = {'-', name, '\0'};
  fatalMissingArg(nameText);
}

void CosClConsoleUI::fatalArgument(uint32_t exitCode, char const* s1,
                                   char const* s2, char const* s3) {
  header(std::cerr, text(MSG_FATAL).getText(), true);
  msg(std::cerr, s1, s2, s3);
  processExit(exitCode);
}

// Without a usage text a plain fatal block. With one, the block names the
// switch, points to the help switch and shows the usage. Both end with the
// code of a missing argument.
void CosClConsoleUI::fatalMissingArg(char const* name) {
  if (!params().hasUsage())
    fatalArgument(EXIT_ARG_MISSING, text(MSG_MISSING_SWITCH).getText(), name);
  std::ostream& err = std::cerr;
  header(err, text(MSG_FATAL).getText(), true);
  err << "  " << text(MSG_MISSING_SWITCH).getText() << ": " << name << std::endl;
  indent(err);
  err << "  " << text(MSG_SPECIFY_HELP).getText() << std::endl;
  displayUsage(false);
  std::cout << std::endl;
  processExit(EXIT_ARG_MISSING);
}
