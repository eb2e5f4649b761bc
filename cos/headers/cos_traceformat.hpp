// cos_traceformat.hpp: reading a trace file back and printing it.
//
// CosClTraceFileEntry reads one record (header and texts; the data stays in
// the stream); CosClTraceFormatter prints every record that passes a
// CosClTraceFilter through a format string with placeholders:
//   %% "%"            %c component id       %d the record's data
//   %f function text  %l detail name        %m message text
//   %n newline + indentation                %p process id
//   %s time stamp     %t thread id          %x / %X short / long type name
// "\n" and "\t" in the format are a newline (with indentation) and a tab.
// The first %d of a format reads and prints the record's data (a further %d
// prints nothing); data that the format does not print is skipped, so
// formats without %d, the empty one included, read every record.
//
// Every failure (file missing, unexpected end, corrupted data) throws
// CosClExceptionFatal with TRACEFORMAT_COULD_NOT_OPEN, _UNEXPECTED_EOF or
// _FILE_CORRUPTED; what was printed before stays printed.
#ifndef COS_TRACEFORMAT_HPP
#define COS_TRACEFORMAT_HPP

#include <iosfwd>
#include <string>

#include "cos_trace.hpp"

class CosClMessage;
class CosClMessageCatalog;

// One record read from a trace file.
class CosClTraceFileEntry : public CosClTraceEntry {
 public:
  static constexpr unsigned TEXT_MAX = 511;

  explicit CosClTraceFileEntry(CosClTraceEnvironment& environment);
  ~CosClTraceFileEntry() override;

  // Reads header and texts (decompressed when bit 5 is set) and adds the
  // texts' expanded and stored lengths to the environment's counters.
  // False at the end of the file (the entry is then cleared). A record cut
  // inside its header or texts throws TRACEFORMAT_UNEXPECTED_EOF.
  bool read(std::istream& in);

  char const* getFunctionText() const { return iv_szFunction; }
  char const* getMessageText() const { return iv_szMessage; }
  unsigned getFunctionTextLength() const { return iv_uFunctionLength; }
  unsigned getMessageTextLength() const { return iv_uMessageLength; }

 private:
  void clear();
  char iv_szFunction[TEXT_MAX + 1];
  unsigned iv_uFunctionLength;
  char iv_szMessage[TEXT_MAX + 1];
  unsigned iv_uMessageLength;
};

// {type, short name, long name} of a data type. Throws CosClExceptionFatal
// (TRACEFORMAT_FILE_CORRUPTED, DATA_OUT_OF_BOUNDS) for a type above 21.
struct _CosStTraceFormatDescription {
  uint32_t type;
  char const* shortName;
  char const* longName;
};
_CosStTraceFormatDescription const& cosGetFormatDescription(uint32_t type);

class CosClTraceFormatter {
 public:
  // `filter` null: the filter of the environment's settings. Neither is
  // copied; both must outlive the formatter.
  CosClTraceFormatter(CosClTraceEnvironment& environment,
                      CosClTraceFilter const* filter = nullptr);
  ~CosClTraceFormatter();
  CosClTraceFormatter(CosClTraceFormatter const&) = delete;
  CosClTraceFormatter& operator=(CosClTraceFormatter const&) = delete;

  // Not copied: the texts must outlive the formatter.
  void setFormatString(char const* text) { iv_pszFormat = text; }
  void setDisplayIndentation(char const* text) { iv_pszIndent = text; }
  void setShowNestingLevel(bool on) { iv_bShowNesting = on; }
  void setShowFunctionRecords(bool on) { iv_bShowFunctionRecords = on; }
  void setShowFunctionOnEveryRecord(bool on) { iv_bFunctionEveryRecord = on; }
  void setShowHex(bool on) { iv_bShowHex = on; }

  // Takes texts 189 to 192 from `catalog` (not owned; must outlive this).
  void attachCosMessageCatalog(CosClMessageCatalog& catalog);
  char const* getMessage(unsigned number);
  static char const* getTypeAsShortCString(uint32_t type);
  static char const* getTypeAsLongCString(uint32_t type);

  // Prints the environment's trace file into `out`.
  void format(std::ostream& out);
  // Prints the next record of `in`; false at the end of the input.
  bool formatEntry(std::istream& in, char const* format);
  uint32_t getEntryCount() const { return iv_uCount; }

 private:
  void newline();
  void printData(std::istream& in, CosClTraceFileEntry const& entry);
  void printHexDump(std::istream& in, uint32_t length);
  void printTyped(uint32_t type, uint8_t const* data, uint32_t length);
  void printTypeName(CosClTraceFileEntry const& entry, bool longName);
  bool skipRecord(CosClTraceFileEntry const& entry) const;
  // Prints one record through `format`.
  void walkFormat(std::istream& in, char const* format,
                  CosClTraceFileEntry const& entry, bool printFunction);

  CosClTraceEnvironment& iv_rclEnvironment;
  CosClTraceFilter const& iv_rclFilter;
  CosClMessageCatalog* iv_pclCatalog;
  CosClMessage* iv_pclMessage;
  std::ostream* iv_pOut;
  uint32_t iv_uCount;
  int32_t iv_iNesting;
  char const* iv_pszFormat;
  char const* iv_pszIndent;
  bool iv_bShowNesting;
  bool iv_bShowFunctionRecords;
  bool iv_bFunctionEveryRecord;
  bool iv_bShowHex;
  bool iv_bDataRead;  // the current record's data has left the input
  std::string iv_strLastFunction;
};

#endif  // COS_TRACEFORMAT_HPP
