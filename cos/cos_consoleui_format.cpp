// Console user interface: labelled lines, error records and exceptions as
// labelled lines, and hex dumps.
//
// A labelled line is two blanks, the label field, ": " and the value:
//   "  Index name..........................: books\n"
// The field is the label width w (default 36) wide: style left: the label
// and fill characters (default "."); right: blanks and the label; centred:
// w/2 - n/2 blanks, the label, blanks up to w (n: the label's length, at
// most w). A label longer than w is written whole. With the defaults every
// value starts in column 41.

#include <cstring>
#include <iostream>

#include "cos_consoleui.hpp"
#include "cos_dump.hpp"

namespace {

enum : uint32_t {
  MSG_YES = 3,
  MSG_NO = 4,
  MSG_ERROR_ID = 39,
  MSG_ERROR_CLASS = 40,
  MSG_ERROR_SEVERITY = 41,
  MSG_ERROR_ACTION = 42,
  MSG_CAUSE = 43,
  MSG_MODULE = 44,
  MSG_LINE = 46,
};

}  // namespace

void CosClConsoleUI::writeLabel(std::ostream& stream, char const* label) {
  if (label == nullptr) label = "";
  unsigned width = params().iv_uLabelWidth;
  unsigned length = (unsigned)strlen(label);
  unsigned n = length < width ? length : width;
  stream << "  ";
  switch (params().iv_iLabelStyle) {
    case RIGHT:
      indent(stream, width - n, ' ');
      stream << label;
      break;
    case CENTERED: {
      unsigned before = width / 2 - n / 2;
      indent(stream, before, ' ');
      stream << label;
      if (before + length < width) indent(stream, width - before - length, ' ');
      break;
    }
    default:
      stream << label;
      indent(stream, width - n, params().iv_cFillChar);
      break;
  }
  stream << ": ";
}

void CosClConsoleUI::format(char const* label) { writeLabel(getOutputStream(), label); }

void CosClConsoleUI::format(uint32_t labelId) { format(callerText(labelId).getText()); }

// `length` characters of `value`, in `quote` marks when strings are quoted.
void CosClConsoleUI::formatQuoted(char const* label, char const* value,
                                  unsigned length, char quote) {
  std::ostream& out = getOutputStream();
  writeLabel(out, label);
  if (params().iv_bQuoteStrings) out << quote;
  if (value != nullptr) out.write(value, length);
  if (params().iv_bQuoteStrings) out << quote;
  out << std::endl;
}

template <class T>
void CosClConsoleUI::formatValue(char const* label, T const& value) {
  std::ostream& out = getOutputStream();
  writeLabel(out, label);
  out << value << std::endl;
}

void CosClConsoleUI::format(char const* label, char const* value) {
  formatQuoted(label, value, value ? (unsigned)strlen(value) : 0, '"');
}
void CosClConsoleUI::format(uint32_t labelId, char const* value) {
  format(callerText(labelId).getText(), value);
}
void CosClConsoleUI::format(char const* label, char value) {
  formatQuoted(label, &value, 1, '\'');
}
void CosClConsoleUI::format(uint32_t labelId, char value) {
  format(callerText(labelId).getText(), value);
}
void CosClConsoleUI::format(char const* label, char const* value, unsigned length) {
  formatQuoted(label, value, value ? length : 0, '"');
}
void CosClConsoleUI::format(uint32_t labelId, char const* value, unsigned length) {
  format(callerText(labelId).getText(), value, length);
}

// The numeric forms: the stream's default formatting.
#define COS_CONSOLEUI_FORMAT_NUMBER(Type)                               \
  void CosClConsoleUI::format(char const* label, Type value) {          \
    formatValue(label, value);                                          \
  }                                                                     \
  void CosClConsoleUI::format(uint32_t labelId, Type value) {           \
    formatValue(callerText(labelId).getText(), value);                  \
  }
COS_CONSOLEUI_FORMAT_NUMBER(int32_t)
COS_CONSOLEUI_FORMAT_NUMBER(uint32_t)
COS_CONSOLEUI_FORMAT_NUMBER(int64_t)
COS_CONSOLEUI_FORMAT_NUMBER(uint64_t)
COS_CONSOLEUI_FORMAT_NUMBER(int16_t)
COS_CONSOLEUI_FORMAT_NUMBER(uint16_t)
COS_CONSOLEUI_FORMAT_NUMBER(float)
COS_CONSOLEUI_FORMAT_NUMBER(double)
#undef COS_CONSOLEUI_FORMAT_NUMBER

void CosClConsoleUI::formatBool(char const* label, bool value) {
  formatValue(label, text(value ? MSG_YES : MSG_NO).getText());
}

void CosClConsoleUI::formatBool(uint32_t labelId, bool value) {
  formatBool(callerText(labelId).getText(), value);
}

// ---------------------------------------------------------------------------
// Error records and exceptions

void CosClConsoleUI::writeNameLine(std::ostream& stream, uint32_t labelId,
                                   uint32_t nameId, uint32_t value) {
  writeLabel(stream, text(labelId).getText());
  if (nameId != 0)
    stream << text(nameId).getText();
  else
    stream << value;  // a value without a name in the table
  stream << std::endl;
}

void CosClConsoleUI::writeErrId(std::ostream& stream, uint32_t id, bool full) {
  writeNameLine(stream, MSG_ERROR_ID, cosErrorGetIdAsMessageId(id), id);
  if (full) {
    writeLabel(stream, text(MSG_ERROR_ID).getText());
    stream << id << std::endl;
  }
}

void CosClConsoleUI::formatErrId(uint32_t id, bool full) {
  writeErrId(getOutputStream(), id, full);
}

void CosClConsoleUI::format(CosEnErrorClass errClass) {
  uint32_t v = static_cast<uint32_t>(errClass);
  writeNameLine(getOutputStream(), MSG_ERROR_CLASS, cosErrorGetClassAsMessageId(v), v);
}

void CosClConsoleUI::format(CosEnErrorSeverity severity) {
  uint32_t v = static_cast<uint32_t>(severity);
  writeNameLine(getOutputStream(), MSG_ERROR_SEVERITY, cosErrorGetSeverityAsMessageId(v), v);
}

void CosClConsoleUI::format(CosEnErrorAction action) {
  uint32_t v = static_cast<uint32_t>(action);
  writeNameLine(getOutputStream(), MSG_ERROR_ACTION, cosErrorGetActionAsMessageId(v), v);
}

void CosClConsoleUI::formatErrorFields(std::ostream& stream,
                                       _CosStUserError const& error, bool full,
                                       bool withUser) {
  uint32_t id = static_cast<uint32_t>(error.id);
  uint32_t c = static_cast<uint32_t>(error.errClass);
  writeErrId(stream, id, full);
  if (full || c != 0)
    writeNameLine(stream, MSG_ERROR_CLASS, cosErrorGetClassAsMessageId(c), c);
  if (!withUser) return;
  uint32_t s = static_cast<uint32_t>(error.severity);
  uint32_t a = static_cast<uint32_t>(error.action);
  if (full || s != 0)
    writeNameLine(stream, MSG_ERROR_SEVERITY, cosErrorGetSeverityAsMessageId(s), s);
  if (full || a != 0)
    writeNameLine(stream, MSG_ERROR_ACTION, cosErrorGetActionAsMessageId(a), a);
}

void CosClConsoleUI::format(_CosStError const& error, bool full) {
  if (!full && !error.isError()) return;
  _CosStUserError record;
  record.id = error.id;
  record.errClass = error.errClass;
  formatErrorFields(getOutputStream(), record, full, false);
}

void CosClConsoleUI::format(_CosStUserError const& error, bool full) {
  if (!full && !error.isError()) return;
  formatErrorFields(getOutputStream(), error, full, true);
}

void CosClConsoleUI::formatException(std::ostream& stream,
                                     CosClException const& exception, bool full) {
  formatErrorFields(stream, exception.getError(), full, true);
  if (!full) return;
  char const* cause = exception.getCause();
  if (cause != nullptr && *cause != '\0') {
    writeLabel(stream, text(MSG_CAUSE).getText());
    stream << cause << std::endl;
  }
  writeLabel(stream, text(MSG_MODULE).getText());
  stream << exception.getLocation() << std::endl;
  writeLabel(stream, text(MSG_LINE).getText());
  stream << exception.getLine() << std::endl;
}

void CosClConsoleUI::format(CosClException const& exception, bool full) {
  formatException(getOutputStream(), exception, full);
}

// ---------------------------------------------------------------------------
// Dumps

void CosClConsoleUI::dump(char const* title, char const* data, unsigned length) {
  formatHeader(title);
  std::ostream& out = getOutputStream();
  for (unsigned offset = 0; data != nullptr && offset < length;
       offset += CosClStrepHexDump::BYTES_PER_LINE) {
    unsigned n = length - offset;
    if (n > CosClStrepHexDump::BYTES_PER_LINE) n = CosClStrepHexDump::BYTES_PER_LINE;
    out << "  " << CosClStrepHexDump(offset, data + offset, n).getAsCString() << std::endl;
  }
}

void CosClConsoleUI::dump(uint32_t titleId, char const* data, unsigned length) {
  dump(callerText(titleId).getText(), data, length);
}
