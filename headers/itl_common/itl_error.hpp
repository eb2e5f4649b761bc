// itl_error.hpp: the error model of the index library.
//
// Every failure inside the index library is one error record
// (ItlClErrorData): a return code, a reason code, an action and a context
// text of at most 512 bytes made of labelled lines. Three classes carry it:
//   - ItlClErrorData: the record itself;
//   - ItlClErrorInfo: the record behind a caller's error-info handle, with
//     the origin of the last error, a warning counter and threshold and the
//     caller's error callback;
//   - ItlClException: what every index-library operation throws (by value;
//     caught by reference; copyable so that a handler can throw it on).
//
// Raising: build an ItlClException with its source position, add context
// lines with context(id) << ": " << value, then raise() it (which traces it
// when the trace is on and throws a copy). itlRaise() does this for the
// common case of one line. Source positions are literals of the form
// "source/itl_common/itl_map_abase:370" with the line given separately;
// ITL_SOURCE(path) makes both from the line where it stands.
//
// Context lines: every line is a label from the built-in message table
// (gs_aszMessageStringTable, 147 entries counted by its signature) followed
// by what the caller writes, usually ": " and the value. Lines after the
// first start on a new line. A context that would pass 512 bytes is cut and
// ends in "..." (bytes 509-511); later writes are dropped without error.
//
// Memory: the catalogue and the engine status copy are allocated lazily
// through CosClMemoryManager; a failure there throws CosClExceptionFatal.
#ifndef ITL_ERROR_HPP
#define ITL_ERROR_HPP

#include <cstdint>
#include <ostream>
#include <streambuf>

#include "cos_exception.hpp"
#include "itl_codes.hpp"

struct GTRSTATUS;
class CosClMessageCatalog;
class ItlClException;

// "file:line" and the line, for the first two arguments of a raise.
#define ITL_SOURCE(path) path ":" COS_STRINGIFY(__LINE__), __LINE__

// The built-in message table: entry 0 "[COS_MSGTAB_SIGNATURE] 147",
// entries 1..146 the texts, entry 147 the bare signature.
constexpr unsigned ITL_MESSAGE_TABLE_COUNT = 147;
extern char const* const gs_aszMessageStringTable[ITL_MESSAGE_TABLE_COUNT + 1];

// Stream buffer over the 512 text bytes of a context. It never writes past
// its end: the first character that does not fit puts "..." into the last
// three bytes and fails the write, so the stream drops everything after.
class ItlClContextBuffer : public std::streambuf {
 public:
  static constexpr unsigned SIZE = 512;

  // REQUIRES: text holds SIZE + 1 bytes.
  explicit ItlClContextBuffer(char* text) : iv_pcText(text) { rewind(0); }
  ItlClContextBuffer(ItlClContextBuffer const&) = delete;
  ItlClContextBuffer& operator=(ItlClContextBuffer const&) = delete;

  // Moves the write position to `position` (at most SIZE).
  void rewind(unsigned position);
  // Bytes written so far (0..SIZE).
  unsigned position() const {
    return static_cast<unsigned>(pptr() - pbase());
  }
  // Puts "..." into bytes 509-511 (the text is full).
  void markCut();

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(char const* s, std::streamsize n) override;

 private:
  char* iv_pcText;
};

// The error record: return code, reason, action, context text.
class ItlClErrorData {
 public:
  static constexpr unsigned CONTEXT_SIZE = ItlClContextBuffer::SIZE;

  ItlClErrorData(ItlEnReturnCode rc = ItlEnReturnCode_Success,
                 ItlEnReasonCode reason = ItlEnReasonCode_Success,
                 ItlEnErrorAction action = ItlEnErrorAction_Inform);
  // A fresh stream, no catalogue, no status copy; then operator=.
  ItlClErrorData(ItlClErrorData const& other);
  // Copies codes, the 513 text bytes and the stream position (clamped to
  // 0..512; a failed stream counts as 512), and the engine status copy
  // (zero-filling its own when the source has none). The catalogue stays.
  ItlClErrorData& operator=(ItlClErrorData const& other);
  virtual ~ItlClErrorData();

  // Zeroes the text and rewinds the stream; a non-null `text` is written
  // followed by a line end.
  void resetContext(char const* text);
  // Starts context line `id` (message table number, up to three inserts for
  // %1..%3, null for none) and returns the stream on which the caller
  // writes the value. A full context drops the line and what follows.
  std::ostream& context(int id, char const* insert1 = nullptr,
                        char const* insert2 = nullptr,
                        char const* insert3 = nullptr);
  // Creates the catalogue on first use; writes a line end when the text is
  // not empty, so that every context line after the first starts anew.
  void loadMessageCatalog();

  // The engine status copy: allocated and zero-filled when there is none;
  // zero-filled first while the return code is 0. Never null.
  GTRSTATUS* getVozStatus() const;
  // Stores a copy of the whole record (allocated when needed).
  void setVozStatus(GTRSTATUS const& status);
  // The copy as it stands, null when none was ever made.
  GTRSTATUS const* peekVozStatus() const { return iv_pstVozStatus; }

  ItlEnReturnCode getReturnCode() const { return iv_enReturnCode; }
  ItlEnReasonCode getReasonCode() const { return iv_enReasonCode; }
  ItlEnErrorAction getAction() const { return iv_enAction; }
  // The context text, NUL-terminated (at most 512 bytes).
  char const* getContext() const { return iv_acContext; }
  // The stream position: bytes of context written (0..512).
  unsigned getContextLength() const { return iv_clBuffer.position(); }

 protected:
  // Zero-fills the status copy when there is one.
  void clearVozStatus();
  void setCodes(ItlEnReturnCode rc, ItlEnReasonCode reason,
                ItlEnErrorAction action) {
    iv_enReturnCode = rc;
    iv_enReasonCode = reason;
    iv_enAction = action;
  }

  ItlEnReturnCode iv_enReturnCode;
  ItlEnReasonCode iv_enReasonCode;
  ItlEnErrorAction iv_enAction;
  char iv_acContext[CONTEXT_SIZE + 1];    // 512 text bytes, terminator
  ItlClContextBuffer iv_clBuffer;         // writes into iv_acContext
  std::ostream iv_clStream;               // over iv_clBuffer
  CosClMessageCatalog* iv_pclCatalog;     // owned, null until first line
  mutable GTRSTATUS* iv_pstVozStatus;     // owned, null until asked or set
};

// The error info behind a caller's error-info handle. Not copyable.
class ItlClErrorInfo : public ItlClErrorData {
 public:
  // The callback form ItlTyErrorCallback (itl_codes.h) is called with the
  // error info and the user data on every recording.

  // Return code 0, reason 0, action Inform, empty context, no callback,
  // threshold 0 (no limit).
  ItlClErrorInfo();
  ~ItlClErrorInfo() override;
  ItlClErrorInfo(ItlClErrorInfo const&) = delete;
  ItlClErrorInfo& operator=(ItlClErrorInfo const&) = delete;

  // Records origin (a literal that must outlive the error info), reason,
  // return code and action; zero-fills the engine status copy; calls the
  // callback. A warning (4) is counted: when a non-zero threshold is
  // reached, the context, return code and count are cleared and an
  // ItlClException (8, Too_many_warnings, Inform) is thrown. Returns the
  // return code.
  ItlEnReturnCode setError(char const* origin, ItlEnReasonCode reason,
                           ItlEnReturnCode rc, ItlEnErrorAction action);
  // Records a cos exception: mapped reason, return code 8 (also for error
  // id 0, which is still a failure), action Inform, context = the cause and,
  // for an unmapped id, the lines "COS Error Id" and "COS Error class".
  ItlEnReturnCode setError(CosClException const& e);
  // Records an index-library exception with its context, origin and engine
  // status copy; return code 0 records reason 0, action Ignore, no text.
  ItlEnReturnCode setError(ItlClException const& e);

  void setCallback(ItlTyErrorCallback callback, void* userData) {
    iv_pfuCallback = callback;
    iv_pvCallbackUserData = userData;
  }
  void resetCallback() { setCallback(nullptr, nullptr); }
  void execCallback();

  // What every exported call does on entry: return code and warning count
  // to 0; reason, action, context and origin stay.
  void reset() {
    iv_enReturnCode = ItlEnReturnCode_Success;
    iv_uiWarningCount = 0;
  }
  // 0 means no limit.
  void setWarningThreshold(uint32_t threshold) {
    iv_uiWarningThreshold = threshold;
  }

  char const* getOrigin() const { return iv_pszOrigin; }
  uint32_t getWarningCount() const { return iv_uiWarningCount; }
  uint32_t getWarningThreshold() const { return iv_uiWarningThreshold; }
  ItlTyErrorCallback getCallback() const { return iv_pfuCallback; }
  void* getCallbackUserData() const { return iv_pvCallbackUserData; }

 private:
  // The central setter behind the three forms (status copy untouched).
  ItlEnReturnCode record(char const* origin, ItlEnReasonCode reason,
                         ItlEnReturnCode rc, ItlEnErrorAction action);
  void traceRecord(char const* function) const;

  char const* iv_pszOrigin;        // not owned; null until the first error
  uint32_t iv_uiWarningCount;      // warnings since the last reset
  ItlTyErrorCallback iv_pfuCallback;
  void* iv_pvCallbackUserData;
  uint32_t iv_uiWarningThreshold;  // 0 = no limit
};

// The exception of the index library.
class ItlClException : public CosClExceptionABase, public ItlClErrorData {
 public:
  // Return code, reason and action with an empty context and cause.
  // `sourceFile` is a literal "path:line" that must outlive the exception.
  ItlClException(char const* sourceFile, unsigned line,
                 ItlEnReasonCode reason,
                 ItlEnReturnCode rc = ItlEnReturnCode_Error,
                 ItlEnErrorAction action = ItlEnErrorAction_Inform);
  ItlClException(ItlClException const& other);
  ItlClException& operator=(ItlClException const& other) = default;
  ~ItlClException() override;

  bool isCosException() const override { return false; }
  char const* getSourceFile() const { return iv_pszSourceFile; }
  unsigned getLine() const { return iv_uiLine; }

  // Traces the exception when the trace is on (position, "ItlClException",
  // the context text) and throws a copy.
  [[noreturn]] void raise() const;

 private:
  char const* iv_pszSourceFile;  // not owned
  unsigned iv_uiLine;
};

// Raises reason `reason` (return code 8, action Inform) with, when
// `messageId` is not 0, the one context line: label, ": ", `value`.
[[noreturn]] void itlRaise(char const* sourceFile, unsigned line,
                           ItlEnReasonCode reason, int messageId = 0,
                           char const* value = nullptr);

#endif  // ITL_ERROR_HPP
