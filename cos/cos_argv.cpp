// Cursors over the process's argument vector, and the judgement of
// arguments against a usage text (the console user interface's argument
// check and free-argument walk).

#include "cos_argv.hpp"

#include <cstring>

#include "cos_consoleui.hpp"

namespace {

// The first switch entry of `usage` that matches the switch `arg`; the
// returned cursor is invalid when there is none.
CosClUsageCursor findSwitchEntry(char const* usage, char const* arg) {
  CosClUsageCursor entry(usage);
  for (bool ok = entry.setToFirst(); ok; ok = entry.setToNext())
    if (entry.isSwitch() && entry.matchesSwitch(arg)) break;
  return entry;
}

// The switch `arg` has a usage entry that requires a value.
bool switchReqArg(char const* usage, char const* arg) {
  CosClUsageCursor entry = findSwitchEntry(usage, arg);
  return entry.isValid() && entry.reqArg();
}

}  // namespace

// ---------------------------------------------------------------------------
// CosClArgvCursor

CosClArgvCursor::CosClArgvCursor(int argc, char const* const* argv)
    : iv_iCount(argv ? argc : 0), iv_iIndex(1), iv_ppszArgv(argv) {}

CosClArgvCursor::CosClArgvCursor(CosClConsoleUI const& ui)
    : CosClArgvCursor(ui.getArgc(), ui.getArgv()) {}

bool CosClArgvCursor::setToFirst() {
  iv_iIndex = 1;
  return isValid();
}

bool CosClArgvCursor::setToNext() {
  if (iv_iIndex < iv_iCount) ++iv_iIndex;
  return isValid();
}

bool CosClArgvCursor::setToLast() {
  iv_iIndex = iv_iCount - 1;
  return isValid();
}

bool CosClArgvCursor::setToPrevious() {
  if (iv_iIndex > 0) --iv_iIndex;
  return isValid();
}

char const* CosClArgvCursor::argAt(int index) const {
  return (index >= 1 && index < iv_iCount) ? iv_ppszArgv[index] : nullptr;
}

bool CosClArgvCursor::isSwitch() const {
  return isValid() && CosClUsageCursor::isSwitchIndicator(getAsCString());
}

bool CosClArgvCursor::matches(char const* name) const {
  if (name == nullptr || !isSwitch()) return false;
  if (CosClUsageCursor::isSwitchIndicator(name)) ++name;
  return strcmp(getAsCString() + 1, name) == 0;
}

bool CosClArgvCursor::positionTo(char const* name) {
  for (bool ok = setToFirst(); ok; ok = setToNext())
    if (matches(name)) return true;
  return false;
}

// ---------------------------------------------------------------------------
// CosClArgvCheckCursor

CosClArgvCheckCursor::CosClArgvCheckCursor(int argc, char const* const* argv,
                                           char const* usage)
    : CosClArgvCursor(argc, argv), iv_pszUsage(usage ? usage : "") {}

CosClArgvCheckCursor::CosClArgvCheckCursor(CosClConsoleUI const& ui)
    : CosClArgvCheckCursor(ui.getArgc(), ui.getArgv(), ui.getUsage()) {}

bool CosClArgvCheckCursor::isBound() const {
  if (!isValid() || isSwitch()) return false;
  char const* before = argAt(getIndex() - 1);
  return CosClUsageCursor::isSwitchIndicator(before) &&
         switchReqArg(iv_pszUsage, before);
}

bool CosClArgvCheckCursor::reqArg() const {
  return isSwitch() && switchReqArg(iv_pszUsage, getAsCString());
}

bool CosClArgvCheckCursor::hasArg() const {
  if (!isSwitch()) return false;
  char const* next = argAt(getIndex() + 1);
  return next != nullptr && !CosClUsageCursor::isSwitchIndicator(next);
}

bool CosClArgvCheckCursor::isFree() const {
  return isValid() && !isSwitch() && !isBound();
}

bool CosClArgvCheckCursor::isLegal() const {
  if (!isValid()) return false;
  if (isSwitch()) return findSwitchEntry(iv_pszUsage, getAsCString()).isValid();
  if (isBound()) return true;
  CosClUsageCursor entry(iv_pszUsage);
  for (bool ok = entry.setToFirst(); ok; ok = entry.setToNext())
    if (!entry.isSwitch() && entry.getArgDepth() == 0) return true;
  return false;
}

bool CosClArgvCheckCursor::isTagged() const {
  if (!isValid()) return false;
  CosClUsageCursor entry(iv_pszUsage);
  for (bool ok = entry.setToFirst(); ok; ok = entry.setToNext())
    if (entry.isTaggedLine() && entry.matches(getAsCString())) return true;
  return false;
}

// ---------------------------------------------------------------------------
// CosClArgvFreeCursor

// Moves on in the given direction until the cursor stands on a free
// argument or has left the vector.
bool CosClArgvFreeCursor::settleOnFree(bool forward) {
  while (isValid() && !isFree()) {
    if (forward)
      CosClArgvCheckCursor::setToNext();
    else
      CosClArgvCheckCursor::setToPrevious();
  }
  return isValid();
}

bool CosClArgvFreeCursor::setToFirst() {
  CosClArgvCheckCursor::setToFirst();
  return settleOnFree(true);
}

bool CosClArgvFreeCursor::setToNext() {
  CosClArgvCheckCursor::setToNext();
  return settleOnFree(true);
}

bool CosClArgvFreeCursor::setToLast() {
  CosClArgvCheckCursor::setToLast();
  return settleOnFree(false);
}

bool CosClArgvFreeCursor::setToPrevious() {
  CosClArgvCheckCursor::setToPrevious();
  return settleOnFree(false);
}
