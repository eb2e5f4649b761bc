// Console user interface: prompts. They always write to standard output
// and read one line of standard input:
//   74 dashes "\n"
//   " <text> (<hint>):\n"
//   " (default: <default>): "          (or a single blank without default)
// A reply keeps its first 80 characters; an empty reply, also at the end of
// the input, takes the default. Invalid replies get an error block on
// standard output and the question again.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cos_consoleui.hpp"
#include "cos_string.hpp"

namespace {


enum : uint32_t {
  MSG_YES = 3,
  MSG_NO = 4,
  MSG_YES_NO = 5,
  MSG_MIN = 6,
  MSG_MAX = 7,
  MSG_DEFAULT = 11,
  MSG_PRESS_ENTER = 20,
  MSG_INVALID_VALUE = 30,
  MSG_ENTER_NUMBER = 31,
  MSG_ENTER_WITHIN = 32,
  MSG_PLEASE_USE = 33,
};

// Reads one line of standard input; keeps its first `max` characters in
// `buffer` (max + 1 bytes) and drops the rest of the line.
void readLine(char* buffer, unsigned max) {
  unsigned n = 0;
  char c;
  while (std::cin.get(c) && c != '\n')
    if (n < max) buffer[n++] = c;
  buffer[n] = '\0';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// Reads the reply into the answer buffer; an empty one takes the default
// (cut to the buffer). False when the input has ended.
bool CosClConsoleUI::readAnswer(char const* defaultAnswer) {
  char* answer = params().iv_szAnswer;
  readLine(answer, CosClConsoleUIParams::ANSWER_MAX);
  if (answer[0] == '\0' && defaultAnswer != nullptr) {
    strncpy(answer, defaultAnswer, CosClConsoleUIParams::ANSWER_MAX);
    answer[CosClConsoleUIParams::ANSWER_MAX] = '\0';
  }
  return !std::cin.eof();
}

void CosClConsoleUI::prompt(char const* text, char const* hint, char const* defaultAnswer) {
  std::ostream& out = std::cout;
  out << RULE_LINE << " " << (text ? text : "");
  if (hint != nullptr) out << " (" << hint << ")";
  out << ":\n";
  if (defaultAnswer == nullptr)
    out << " ";
  else
    out << " (" << this->text(MSG_DEFAULT).getText() << ": " << defaultAnswer << "): ";
  out.flush();
  readAnswer(defaultAnswer);
}

char const* CosClConsoleUI::promptString(char const* text, char const* defaultAnswer) {
  prompt(text, nullptr, defaultAnswer);
  return params().iv_szAnswer;
}

char const* CosClConsoleUI::promptString(uint32_t textId, char const* defaultAnswer) {
  return promptString(callerText(textId).getText(), defaultAnswer);
}

// The reply, after an optional "-", must begin with a digit and its value
// (atol) lie within [min, max]. At the end of the input the default is the
// reply; when that is not acceptable either, the process ends (203) rather
// than asking for ever.
int32_t CosClConsoleUI::promptNumval(char const* text, int32_t min, int32_t max,
                                     int32_t defaultValue) {
  char minText[16], maxText[16], defaultText[16];
  cosLtoa(min, minText);
  cosLtoa(max, maxText);
  cosLtoa(defaultValue, defaultText);
  char hint[2 * COS_MESSAGE_MAX];
  snprintf(hint, sizeof hint, "%s: %s, %s: %s", this->text(MSG_MIN).getText(), minText,
           this->text(MSG_MAX).getText(), maxText);
  for (;;) {
    prompt(text, hint, defaultText);
    char const* answer = params().iv_szAnswer;
    char const* digits = answer[0] == '-' ? answer + 1 : answer;
    uint32_t reason = MSG_ENTER_NUMBER;
    if (isDigit(digits[0])) {
      long value = atol(answer);
      if (value >= min && value <= max) return (int32_t)value;
      reason = MSG_ENTER_WITHIN;
    }
    error(std::cout, this->text(MSG_INVALID_VALUE).getText(), this->text(reason).getText());
    if (std::cin.eof()) processExit(EXIT_ARG_EXPECTING_VALUE);
  }
}

int32_t CosClConsoleUI::promptNumval(uint32_t textId, int32_t min, int32_t max,
                                     int32_t defaultValue) {
  return promptNumval(callerText(textId).getText(), min, max, defaultValue);
}

bool CosClConsoleUI::promptYesNo(char const* text, bool defaultYes) {
  char yes = this->text(MSG_YES).getText()[0];
  char no = this->text(MSG_NO).getText()[0];
  char defaultText[2] = {defaultYes ? yes : no, '\0'};
  CosClMessage yesNo = this->text(MSG_YES_NO);
  for (;;) {
    prompt(text, yesNo.getText(), defaultText);
    char first = (char)toupper((unsigned char)params().iv_szAnswer[0]);
    if (first != '\0' && first == yes) return true;
    if (first != '\0' && first == no) return false;
    error(std::cout, this->text(MSG_INVALID_VALUE).getText(),
          this->text(MSG_PLEASE_USE).getText(), yesNo.getText());
    if (std::cin.eof()) processExit(EXIT_ARG_EXPECTING_VALUE);
  }
}

bool CosClConsoleUI::promptYesNo(uint32_t textId, bool defaultYes) {
  return promptYesNo(callerText(textId).getText(), defaultYes);
}

void CosClConsoleUI::promptForKey() {
  std::cout << " " << text(MSG_PRESS_ENTER).getText() << std::endl;
  char discard[80];
  readLine(discard, sizeof discard - 1);
}
