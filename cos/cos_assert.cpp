// cos_assert.cpp: the assertion routine behind COS_ASSERT and
// COS_ASSERT_MSG. Reports the failed expression with its position and the
// process id on standard error and aborts. A re-entry flag notes that an
// assertion is being reported; a second one (raised while reporting) still
// writes its text and aborts at once.
#include "cos_exception.hpp"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

namespace {

bool gs_bAssertActive = false;  // an assertion is being reported

[[noreturn]] void reportAndAbort(std::ostringstream& text) {
  std::cerr << text.str() << std::endl;
  if (gs_bAssertActive) abort();
  gs_bAssertActive = true;
  // There is no pop-up window on this platform; the switch that would
  // suppress it is read for compatibility and changes nothing.
  (void)getenv("COS_NO_ASSERT_POPUP");
  abort();
}

void writeTail(std::ostringstream& text, char const* file, int line) {
  text << "\n***             LINE: " << line
       << "\n***           MODULE: " << (file ? file : "")
       << "\n***       PROCESS ID: " << getpid() << "\n\n";
}

}  // namespace

void cos__assert(char const* expression, char const* file, int line) {
  std::ostringstream text;
  text << "\n*** INTERNAL ERROR OCCURED ***\n"
       << "*** ASSERTION FAILED: " << (expression ? expression : "");
  writeTail(text, file, line);
  reportAndAbort(text);
}

void cos__assert_msg(char const* expression, char const* file, int line,
                     char const* function, char const* message) {
  std::ostringstream text;
  text << "\n*** INTERNAL ERROR OCCURED ***\n";
  if (message) {
    text << "*** " << message << " ***\n";
    if (function) text << "***         FUNCTION: " << function << "\n";
  }
  text << "*** ASSERTION FAILED: " << (expression ? expression : "");
  writeTail(text, file, line);
  reportAndAbort(text);
}
