// t_exception.hpp: ItlClTestException, the exception by which the index
// tools end a run after a failed library call.
//
// A tool's error check throws it once it has shown the error; the tool's
// main catches it, cleans up and exits 0 when the failure was the one the
// caller expected (-expectError), else 8. The message is copied: it needs
// not outlive the call. Messages are the tools' fixed texts; one of 100
// characters or more is a programming error and fails the assertion
// "strlen(pcMessage) < 100" (also in builds without assertions).
#ifndef T_EXCEPTION_HPP
#define T_EXCEPTION_HPP

#include <cstring>

#include "cos_exception.hpp"

class ItlClTestException {
 public:
  static constexpr unsigned MESSAGE_MAX = 99;  // characters, without NUL

  // REQUIRES: pcMessage not null, shorter than 100 characters.
  ItlClTestException(char const* pcMessage, bool expectedError)
      : iv_bExpectedError(expectedError) {
    if (pcMessage == nullptr) pcMessage = "";
    if (!(std::strlen(pcMessage) < 100))
      cos__assert("strlen(pcMessage) < 100", __FILE__, __LINE__);
    std::strcpy(iv_szMessage, pcMessage);
  }

  char const* getMessage() const { return iv_szMessage; }
  // The failure was the one the caller named as expected.
  bool isExpectedError() const { return iv_bExpectedError; }

 private:
  char iv_szMessage[MESSAGE_MAX + 1];
  bool iv_bExpectedError;
};

#endif  // T_EXCEPTION_HPP
