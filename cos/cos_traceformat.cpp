// The trace-file reader and formatter: records are read one at a time
// (header and texts through CosClTraceFileEntry; the data only where the
// format's %d stands) and printed through the format string. The file's
// bytes are untrusted: every length is checked before it is used and a
// short read raises the unexpected-end error.

#include "cos_traceformat.hpp"

#include <cctype>
#include <cstring>
#include <fstream>
#include <istream>
#include <new>
#include <ostream>

#include "cos_dump.hpp"
#include "cos_memmgr.hpp"
#include "cos_message.hpp"

namespace {

// Data of typed values (other than bytes, strings and pointers) is below
// this many bytes.
uint32_t const kTypedMax = 128;

// The nesting level of a function record counts the traced calls active at
// once, so its size is bounded by what call stacks hold. A level beyond
// this bound (either sign) marks a damaged file; accepting it would print
// the indentation that many times at every newline.
int32_t const kNestingMax = 65536;

_CosStTraceFormatDescription const kTypes[] = {
    {0, "", ""},
    {1, "FE", "FUNCTION ENTRY"},
    {2, "FX", "FUNCTION EXIT"},
    {3, "ND", "NO DATA"},
    {4, "DA", "DATA"},
    {5, "DA", "DATA"},
    {6, "DA", "DATA"},
    {7, "p", "Address"},
    {8, "cpsz", "C string"},
    {9, "wc", "Unicode"},
    {10, "b", "bool"},
    {11, "i8", "signed integer (8 bits)"},
    {12, "w8", "unsigned integer (8 bits)"},
    {13, "i16", "signed integer (16 bits)"},
    {14, "w16", "unsigned integer (16 bits)"},
    {15, "i32", "signed integer (32 bits)"},
    {16, "w32", "unsigned integer (32 bits)"},
    {17, "i64", "signed integer (64 bits)"},
    {18, "w64", "unsigned integer (64 bits)"},
    {19, "f", "float"},
    {20, "d", "double"},
    {21, "ld", "long double"},
};

[[noreturn]] void fail(char const* cause, char const* location, int line,
                       CosEnErrorId id, CosEnErrorClass errClass) {
  cosThrowExceptionFatal(cause, location, line, id, errClass,
                         CosEnErrorSeverity::FATAL,
                         CosEnErrorAction::TERMINATE);
}

[[noreturn]] void unexpectedEnd(char const* location, int line) {
  fail("Trace file corrupted: unexpected end-of-file", location, line,
       CosEnErrorId::TRACEFORMAT_UNEXPECTED_EOF,
       CosEnErrorClass::IO_READ_PROBLEM);
}

[[noreturn]] void corrupted(char const* location, int line) {
  fail("Trace file corrupted: invalid data found", location, line,
       CosEnErrorId::TRACEFORMAT_FILE_CORRUPTED, CosEnErrorClass::INVALID_DATA);
}

// The indentation: `text` once per nesting level (none below level 1).
void printIndentation(std::ostream& out, char const* text, int32_t level) {
  if (text == nullptr) return;
  for (int32_t i = 0; i < level; ++i) out << text;
}

// Reads exactly n bytes; false when the input ends first.
bool readExactly(std::istream& in, void* out, std::streamsize n) {
  if (n == 0) return true;
  in.read(static_cast<char*>(out), n);
  return in.gcount() == n;
}

// A value of type T from up to sizeof(T) bytes (missing bytes zero).
template <class T>
T valueOf(uint8_t const* data, uint32_t length) {
  T v{};
  memcpy(&v, data, length < sizeof v ? length : sizeof v);
  return v;
}

}  // namespace

_CosStTraceFormatDescription const& cosGetFormatDescription(uint32_t type) {
  if (type > COS_TRACE_MAX_TYPE)
    fail("Trace file corrupted: invalid data found", "cos_trace_format:149",
         149, CosEnErrorId::TRACEFORMAT_FILE_CORRUPTED,
         CosEnErrorClass::DATA_OUT_OF_BOUNDS);
  return kTypes[type];
}

// ---------------------------------------------------------------------------
// CosClTraceFileEntry

CosClTraceFileEntry::CosClTraceFileEntry(CosClTraceEnvironment& environment)
    : CosClTraceEntry(environment) {
  clear();
}

CosClTraceFileEntry::~CosClTraceFileEntry() = default;

void CosClTraceFileEntry::clear() {
  memset(iv_aucRecord, 0, sizeof iv_aucRecord);
  iv_uRecordLength = 0;
  iv_szFunction[0] = iv_szMessage[0] = '\0';
  iv_uFunctionLength = iv_uMessageLength = 0;
}

bool CosClTraceFileEntry::read(std::istream& in) {
  clear();
  in.read(reinterpret_cast<char*>(iv_aucRecord), COS_TRACE_RECORD_HEADER_SIZE);
  std::streamsize got = in.gcount();
  if (got == 0) {
    clear();
    return false;
  }
  if (got != COS_TRACE_RECORD_HEADER_SIZE)
    unexpectedEnd("cos_trace_format:read_header", __LINE__);
  uint32_t m = getMessageLength(), f = getFunctionLength();
  uint8_t* texts = iv_aucRecord + COS_TRACE_RECORD_HEADER_SIZE;
  if (!readExactly(in, texts, m + f))
    unexpectedEnd("cos_trace_format:read_texts", __LINE__);
  iv_uRecordLength = COS_TRACE_RECORD_HEADER_SIZE + m + f;
  if (isCompressed()) {
    iv_uMessageLength = deCompressCString(iv_szMessage, texts, m);
    iv_uFunctionLength = deCompressCString(iv_szFunction, texts + m, f);
  } else {
    memcpy(iv_szMessage, texts, m);
    iv_szMessage[m] = '\0';
    memcpy(iv_szFunction, texts + m, f);
    iv_szFunction[f] = '\0';
    iv_uMessageLength = m;
    iv_uFunctionLength = f;
  }
  iv_rclEnvironment.recordCompressionRate(iv_uMessageLength, m);
  iv_rclEnvironment.recordCompressionRate(iv_uFunctionLength, f);
  return true;
}

// ---------------------------------------------------------------------------
// CosClTraceFormatter

CosClTraceFormatter::CosClTraceFormatter(CosClTraceEnvironment& environment,
                                         CosClTraceFilter const* filter)
    : iv_rclEnvironment(environment),
      iv_rclFilter(filter ? *filter : environment.getSettings().filter()),
      iv_pclCatalog(nullptr), iv_pclMessage(nullptr), iv_pOut(nullptr),
      iv_uCount(0), iv_iNesting(0),
      iv_pszFormat(environment.getFormatString()), iv_pszIndent(nullptr),
      iv_bShowNesting(false), iv_bShowFunctionRecords(true),
      iv_bFunctionEveryRecord(true), iv_bShowHex(false), iv_bDataRead(false) {}

CosClTraceFormatter::~CosClTraceFormatter() {
  if (iv_pclMessage != nullptr) {
    iv_pclMessage->~CosClMessage();
    CosClMemoryManager::free(iv_pclMessage);
  }
}

void CosClTraceFormatter::attachCosMessageCatalog(CosClMessageCatalog& catalog) {
  iv_pclCatalog = &catalog;
  if (iv_pclMessage != nullptr) {
    iv_pclMessage->~CosClMessage();
    CosClMemoryManager::free(iv_pclMessage);
    iv_pclMessage = nullptr;
  }
  void* p = CosClMemoryManager::allocate((unsigned)sizeof(CosClMessage));
  try {
    iv_pclMessage = new (p) CosClMessage(catalog, 0);
  } catch (...) {
    CosClMemoryManager::free(p);
    throw;
  }
}

char const* CosClTraceFormatter::getMessage(unsigned number) {
  if (iv_pclMessage != nullptr) {
    if (iv_pclMessage->getMessageId() != number)
      iv_pclMessage->setNewMessageId(number);
    return iv_pclMessage->getText();
  }
  switch (number) {
    case 189: return "Bytes";
    case 190: return " *** Clipped ***";
    case 191: return "*** Illegal NULL pointer ***";
    case 192: return "Nesting level: ";
    default: return nullptr;
  }
}

char const* CosClTraceFormatter::getTypeAsShortCString(uint32_t type) {
  return cosGetFormatDescription(type).shortName;
}

char const* CosClTraceFormatter::getTypeAsLongCString(uint32_t type) {
  return cosGetFormatDescription(type).longName;
}

void CosClTraceFormatter::format(std::ostream& out) {
  std::ifstream in(iv_rclEnvironment.getFileName().getAsCString(),
                   std::ios::in | std::ios::binary);
  if (!in.is_open())
    fail("Could not open trace file for read access", "cos_trace_format:837",
         837, CosEnErrorId::TRACEFORMAT_COULD_NOT_OPEN,
         CosEnErrorClass::IO_PERMISSION_DENIED);
  iv_uCount = 0;
  iv_pOut = &out;
  iv_strLastFunction.clear();
  while (formatEntry(in, iv_pszFormat)) ++iv_uCount;
}

void CosClTraceFormatter::newline() {
  std::ostream& out = *iv_pOut;
  out << '\n';
  printIndentation(out, iv_pszIndent, iv_iNesting);
}

bool CosClTraceFormatter::skipRecord(CosClTraceFileEntry const& e) const {
  uint8_t id = e.getComponentId();
  if (e.getDetail() > (uint32_t)iv_rclFilter.getDetail()) return true;
  if (id != 0 && !iv_rclFilter.isComponentIdEnabled(id)) return true;
  if (iv_rclFilter.getProcessId() != 0 &&
      iv_rclFilter.getProcessId() != e.getProcessId())
    return true;
  return iv_rclFilter.getThreadId() != 0 &&
         iv_rclFilter.getThreadId() != e.getThreadId();
}

void CosClTraceFormatter::printTypeName(CosClTraceFileEntry const& e,
                                        bool longName) {
  uint32_t type = e.getType();
  std::ostream& out = *iv_pOut;
  out << (longName ? getTypeAsLongCString(type) : getTypeAsShortCString(type));
  if (type == 4 || type == 5) {
    char const* bytes = getMessage(189);
    out << " (" << e.getDataLength() << " " << (bytes ? bytes : "") << ")";
  }
  if (type == 5) {
    char const* clipped = getMessage(190);
    out << (clipped ? clipped : "");
  }
}

bool CosClTraceFormatter::formatEntry(std::istream& in, char const* format) {
  if (iv_pOut == nullptr) return false;
  CosClTraceFileEntry entry(iv_rclEnvironment);
  if (!entry.read(in)) return false;
  uint32_t type = entry.getType();
  bool function = type == 1 || type == 2;
  if ((function && !iv_bShowFunctionRecords) || skipRecord(entry)) {
    in.ignore(entry.getDataLength());
    return true;
  }
  // A function entry prints its text too, so it becomes the last one
  // printed: the records that follow in the same function do not repeat it.
  bool printFunction = iv_bFunctionEveryRecord || type == 1 ||
                       iv_strLastFunction != entry.getFunctionText();
  if (printFunction) iv_strLastFunction = entry.getFunctionText();
  iv_bDataRead = false;
  if (format != nullptr) walkFormat(in, format, entry, printFunction);
  // Data that the format did not print: the next record follows it.
  if (!iv_bDataRead) in.ignore(entry.getDataLength());
  return true;
}

void CosClTraceFormatter::walkFormat(std::istream& in, char const* format,
                                     CosClTraceFileEntry const& entry,
                                     bool printFunction) {
  std::ostream& out = *iv_pOut;
  for (char const* p = format; *p != '\0'; ++p) {
    if (in.eof()) unexpectedEnd("cos_trace_format:644", 644);
    if (*p == '\\') {
      ++p;
      if (*p == 'n') newline();
      else if (*p == 't') out << '\t';
      else if (*p == '\0') { out << '\\'; break; }
      else out << *p;
      continue;
    }
    if (*p != '%') {
      out << *p;
      continue;
    }
    ++p;
    switch (*p) {
      case '%': out << '%'; break;
      case 'c': out << (unsigned)entry.getComponentId(); break;
      case 'd': printData(in, entry); break;
      case 'f': if (printFunction) out << entry.getFunctionText(); break;
      case 'l': {
        char const* name = CosClTraceFilter::getDetailAsCString(entry.getDetail());
        out << (name ? name : "");
        break;
      }
      case 'm': out << entry.getMessageText(); break;
      case 'n': newline(); break;
      case 'p': out << entry.getProcessId(); break;
      case 's': out << entry.getTimeStamp(); break;
      case 't': out << entry.getThreadId(); break;
      case 'x': printTypeName(entry, false); break;
      case 'X': printTypeName(entry, true); break;
      case '\0': out << '%'; --p; break;
      default: out << '%'; break;
    }
  }
}

void CosClTraceFormatter::printHexDump(std::istream& in, uint32_t length) {
  std::ostream& out = *iv_pOut;
  out << '\n';
  uint8_t line[CosClStrepHexDump::BYTES_PER_LINE];
  for (uint32_t offset = 0; offset < length;
       offset += CosClStrepHexDump::BYTES_PER_LINE) {
    uint32_t n = length - offset;
    if (n > CosClStrepHexDump::BYTES_PER_LINE) n = CosClStrepHexDump::BYTES_PER_LINE;
    if (!readExactly(in, line, n)) unexpectedEnd("cos_trace_format:277", 277);
    printIndentation(out, iv_pszIndent, iv_iNesting);
    out << CosClStrepHexDump(offset, line, n).getAsCString();
    if (n == CosClStrepHexDump::BYTES_PER_LINE) out << '\n';
  }
}

void CosClTraceFormatter::printData(std::istream& in,
                                    CosClTraceFileEntry const& entry) {
  if (iv_bDataRead) return;  // a second %d: the data has been printed
  iv_bDataRead = true;
  if (in.eof()) unexpectedEnd("cos_trace_format:342", 342);
  uint32_t type = entry.getType();
  uint32_t length = entry.getDataLength();
  std::ostream& out = *iv_pOut;
  if (type == 4 || type == 5 || type == 9) {
    printHexDump(in, length);
    return;
  }
  if (type == 8) {
    out << '"';
    char chunk[256];
    for (uint32_t done = 0; done < length;) {
      uint32_t n = length - done < sizeof chunk ? length - done : sizeof chunk;
      if (!readExactly(in, chunk, n)) unexpectedEnd("cos_trace_format:323", 323);
      out.write(chunk, n);
      done += n;
    }
    out << '"';
    return;
  }
  if (type == 7) {
    // A pointer: 4 bytes from a 32-bit process, 8 from a 64-bit one.
    if (length != 4 && length != 8) corrupted("cos_trace_format:364", 364);
    uint8_t raw[8];
    if (!readExactly(in, raw, length)) unexpectedEnd("cos_trace_format:247", 247);
    uintptr_t address = length == 4 ? valueOf<uint32_t>(raw, 4)
                                    : (uintptr_t)valueOf<uint64_t>(raw, 8);
    out << CosClStrepAddress(reinterpret_cast<void const*>(address)).getAsCString();
    return;
  }
  if (length >= kTypedMax) corrupted("cos_trace_format:377", 377);
  uint8_t data[kTypedMax];
  if (!readExactly(in, data, length)) unexpectedEnd("cos_trace_format:342", 342);
  printTyped(type, data, length);
}

void CosClTraceFormatter::printTyped(uint32_t type, uint8_t const* data,
                                     uint32_t length) {
  std::ostream& out = *iv_pOut;
  switch (type) {
    case 1:
    case 2: {
      if (length != 4)
        corrupted(type == 1 ? "cos_trace_format:398" : "cos_trace_format:416",
                  type == 1 ? 398 : 416);
      int32_t level = valueOf<int32_t>(data, 4);
      if (level > kNestingMax || level < -kNestingMax)
        corrupted("cos_trace_format:nesting", __LINE__);
      iv_iNesting = level;
      if (iv_bShowNesting) {
        char const* text = type == 1 ? getMessage(192) : "Nesting level: ";
        out << (text ? text : "") << iv_iNesting;
      }
      return;
    }
    case 3:
      if (length != 0) corrupted("cos_trace_format:433", 433);
      return;
    case 6: {
      char const* text = getMessage(191);
      out << (text ? text : "");
      return;
    }
    case 10: out << (length > 0 && data[0] != 0 ? "TRUE" : "FALSE"); break;
    case 11:
    case 12: {
      uint8_t byte = length > 0 ? data[0] : 0;
      static char const hex[] = "0123456789ABCDEF";
      out << "0x";
      if (byte >= 16) out << hex[byte >> 4];
      out << hex[byte & 15] << "/";
      if (type == 11) out << (int)(int8_t)byte;
      else out << (unsigned)byte;
      if (isprint(byte)) out << "/'" << (char)byte << "'";
      break;
    }
    case 13: out << valueOf<int16_t>(data, length); break;
    case 14: out << valueOf<uint16_t>(data, length); break;
    case 15: out << valueOf<int32_t>(data, length); break;
    case 16: out << valueOf<uint32_t>(data, length); break;
    case 17: out << valueOf<int64_t>(data, length); break;
    case 18: out << valueOf<uint64_t>(data, length); break;
    case 19: out << valueOf<float>(data, length); break;
    case 20: out << valueOf<double>(data, length); break;
    case 21: out << valueOf<long double>(data, length); break;
    default: corrupted("cos_trace_format:541", 541);
  }
  if (iv_bShowHex) {
    newline();
    out << "HEX: " << CosClStrepHexDump(data, length).getAsCString();
  }
}
