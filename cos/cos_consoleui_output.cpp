// Console user interface: layout primitives (rule lines, headers, text
// display with tagged lines and usage mode), message blocks (info,
// warning, error, exception, fatal) and the progress mark.
//
// Layout of a message block (here an error with two texts):
//   "\n" 74 dashes "\n"
//   "<process name>: An error occurred:\n"
//   <blanks as long as the process name> "  <s1>: <s2>\n"

#include <cstring>
#include <iostream>

#include "cos_consoleui.hpp"
#include "cos_usage.hpp"

namespace {

char const kProgressMarks[] = "|/-\\";

enum : uint32_t {
  MSG_EXCEPTION = 12,
  MSG_FATAL = 13,
  MSG_ERROR = 14,
  MSG_WARNING = 15,
};

}  // namespace

// ---------------------------------------------------------------------------
// Layout primitives

void CosClConsoleUI::newline() { getOutputStream() << std::endl; }

void CosClConsoleUI::beep() { getOutputStream() << '\a'; }

void CosClConsoleUI::horizontalBar() { getOutputStream() << RULE_LINE << std::endl; }

void CosClConsoleUI::indent(std::ostream& stream) {
  indent(stream, params().iv_uProcessNameLength, ' ');
}

void CosClConsoleUI::indent(std::ostream& stream, unsigned count, char c) {
  for (unsigned i = 0; i < count; ++i) stream << c;
}

void CosClConsoleUI::header(std::ostream& stream, char const* title, bool colon) {
  stream << "\n" << RULE_LINE << getProcessName() << ": " << (title ? title : "");
  if (colon) {
    stream << ":" << std::endl;
    indent(stream);
  } else {
    stream << std::endl;
  }
}

void CosClConsoleUI::header(std::ostream& stream, uint32_t titleId, bool colon) {
  header(stream, callerText(titleId).getText(), colon);
}

void CosClConsoleUI::formatHeader(char const* title) {
  std::ostream& out = getOutputStream();
  out << "\n  " << (title ? title : "") << "\n  " << (RULE_LINE + 2);
  out.flush();
}

void CosClConsoleUI::formatHeader(uint32_t titleId) {
  formatHeader(callerText(titleId).getText());
}

// The column counter starts at 1 and restarts at 0 after each "\n"; every
// character of the text counts, written or not. "@" in column 0 or 1 is a
// line break (without the indentation that follows a "\n" of the text).
void CosClConsoleUI::display(std::ostream& stream, char const* text,
                             unsigned indentCount, bool usageMode) {
  if (text == nullptr) text = "";
  bool hideTagged = params().iv_bHideTaggedLines || params().iv_bDisableTaggedLines;
  unsigned column = 1;
  char last = '\0';
  for (char const* p = text; *p != '\0'; ++p) {
    char c = *p;
    last = c;
    if (c == '!' && hideTagged) {
      p = strchr(p, '\n');
      if (p == nullptr) return;  // the text ends in the hidden part
      last = '\n';
      column = 0;
      continue;
    }
    bool shown = c != '!' && (!usageMode || CosClUsageCursor::isToBeDisplayed(c));
    if (shown) stream << ((c == '@' && column <= 1) ? '\n' : c);
    if (c == '\n') {
      indent(stream, indentCount, ' ');
      column = 0;
    } else {
      ++column;
    }
  }
  if (last != '\n') stream << std::endl;
}

// ---------------------------------------------------------------------------
// Message blocks

void CosClConsoleUI::msg(std::ostream& stream, char const* s1, char const* s2,
                         char const* s3, char const* s4, char const* s5) {
  stream << "  " << (s1 ? s1 : "");
  for (char const* s : {s2, s3, s4, s5})
    if (s != nullptr) stream << ": " << s;
  stream << std::endl;
}

void CosClConsoleUI::info(char const* title, char const* text, char const* a1,
                          char const* a2, char const* a3) {
  std::ostream& out = getOutputStream();
  header(out, title, text != nullptr);
  if (text != nullptr) msg(out, text, a1, a2, a3);
}

void CosClConsoleUI::warning(char const* s1, char const* s2, char const* s3,
                             char const* s4, char const* s5) {
  std::ostream& err = getErrorStream();
  header(err, text(MSG_WARNING).getText(), true);
  msg(err, s1, s2, s3, s4, s5);
}

void CosClConsoleUI::error(char const* s1, char const* s2, char const* s3,
                           char const* s4, char const* s5) {
  std::ostream& err = getErrorStream();
  header(err, text(MSG_ERROR).getText(), true);
  msg(err, s1, s2, s3, s4, s5);
}

void CosClConsoleUI::error(std::ostream& stream, char const* s1, char const* s2,
                           char const* s3) {
  header(stream, text(MSG_ERROR).getText(), true);
  msg(stream, s1, s2, s3);
}

// The exception's fields belong to the block: they go to the error stream
// too.
void CosClConsoleUI::exception(CosClException const& exception, char const* s1,
                               char const* s2, char const* s3, char const* s4,
                               char const* s5) {
  std::ostream& err = getErrorStream();
  header(err, text(MSG_EXCEPTION).getText(), true);
  msg(err, s1, s2, s3, s4, s5);
  formatException(err, exception, true);
}

void CosClConsoleUI::fatal(uint32_t exitCode, char const* s1, char const* s2,
                           char const* s3, char const* s4, char const* s5) {
  std::ostream& err = getErrorStream();
  header(err, text(MSG_FATAL).getText(), true);
  msg(err, s1, s2, s3, s4, s5);
  processExit(exitCode);
}

// ---------------------------------------------------------------------------
// Progress

void CosClConsoleUI::progressStart() { params().iv_uProgressIndex = 0; }

void CosClConsoleUI::progressStep(char const* text) {
  uint32_t& index = params().iv_uProgressIndex;
  if (index >= 4) index = 0;
  std::ostream& out = getOutputStream();
  out << "\r " << kProgressMarks[index] << ' ';
  if (text != nullptr) out << text << ' ';
  out.flush();
  ++index;
}

void CosClConsoleUI::progressStop() {
  std::ostream& out = getOutputStream();
  out << '\r';
  indent(out, 80, ' ');
  out << '\r';
  out.flush();
}
