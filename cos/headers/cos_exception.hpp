// cos_exception.hpp: how the services library describes and reports failures.
//
// Every failure is four numbers: an error identifier (CosEnErrorId), an error
// class (CosEnErrorClass), a severity (CosEnErrorSeverity) and a recommended
// action (CosEnErrorAction). A failure travels either
//   - as a thrown CosClException (memory exhaustion: CosClExceptionFatal),
//     thrown by value and caught by reference, or
//   - as an error record (_CosStError, _CosStUserError) that objects such as
//     files, directories, processes and converters keep as their last error;
//     a success clears it back to 0/0.
//
// The numbers of the four enumerations are fixed: they map one-to-one onto
// the message numbers of the library's own message table (the
// cosErrorGet...AsMessageId lookups below) and callers map them onto their
// own reason codes. Never renumber them.
//
// Exceptions hold pointers to their texts (cause, source position); nothing
// is copied, so those texts must outlive the exception (use literals).
//
// Also here: the translation of ICU status codes (CosClIcuInterface) and the
// assertion routine cos__assert with its macros.
#ifndef COS_EXCEPTION_HPP
#define COS_EXCEPTION_HPP

#include <cstdint>

#include <unicode/utypes.h>

// ---------------------------------------------------------------------------
// Error identifiers, in families numbered from a base.
enum class CosEnErrorId : uint32_t {
  NO_ERROR = 0,

  CONUI_USAGE = 201,
  CONUI_ARG_MISSING = 202,
  CONUI_ARG_EXPECTING_VALUE = 203,
  CONUI_ARG_VALUE_TYPE_MISMATCH = 204,
  CONUI_MSGCAT_CORRUPTED = 205,

  INIFILE_INVAL_SECTION = 1000001,
  INIFILE_INVAL_OPTION = 1000002,
  INIFILE_INVAL_WHITESPACE = 1000003,

  DIRECTORY_EXPANSION_FAILED = 1000101,
  DIRECTORY_COULD_NOT_CHANGE = 1000102,
  DIRECTORY_COULD_NOT_CREATE = 1000103,
  DIRECTORY_COULD_NOT_REMOVE = 1000104,
  DIRECTORY_COULD_NOT_DETACH = 1000105,

  PROCESS_COULD_NOT_KILL = 1000201,
  PROCESS_COULD_NOT_LAUNCH = 1000202,

  THREAD_COULD_NOT_KILL = 1000301,
  THREAD_COULD_NOT_LAUNCH = 1000302,
  THREAD_COULD_NOT_SUSPEND = 1000303,
  THREAD_COULD_NOT_RESUME = 1000304,

  FILE_COULD_NOT_COPY = 1000401,
  FILE_COULD_NOT_REMOVE = 1000402,
  FILE_COULD_NOT_COPY_SELF = 1000403,
  FILE_COULD_NOT_RENAME = 1000404,

  DIRWALK_COULD_NOT_INIT = 1000601,
  DIRWALK_NO_CONTINUATION = 1000602,

  TRACEFORMAT_COULD_NOT_OPEN = 1000701,
  TRACEFORMAT_UNEXPECTED_EOF = 1000702,
  TRACEFORMAT_FILE_CORRUPTED = 1000703,

  MEMORYPOOL_COULD_NOT_GROW = 1000801,
  MEMORYPOOL_CHUNK_TOO_BIG = 1000802,

  CPCONVERTER_UNSUPPORTED = 1000901,
  CPCONVERTER_INVALID_SEQ = 1000902,
  CPCONVERTER_TOO_BIG = 1000903,
  CPCONVERTER_INCOMPLETE = 1000904,
  CPCONVERTER_BAD_DESCR = 1000905,
  CPCONVERTER_NO_TMP_BUFFER = 1000906,

  MEMMGR_USER_OUT_OF_MEMORY = 1001001,
  MEMMGR_RUNTIME_OUT_OF_MEMORY = 1001002,
  MEMMGR_NO_USER_REALLOC_FUNC = 1001003,
  MEMMGR_ZERO_SIZE_OBJECT = 1001004,

  ICU_UNEXPECTED_ICU_ERROR = 1001101,
  ICU_ILLEGAL_ARGUMENT_ERROR = 1001102,
  ICU_MISSING_RESOURCE_ERROR = 1001103,
  ICU_INVALID_FORMAT_ERROR = 1001104,
  ICU_FILE_ACCESS_ERROR = 1001105,
  ICU_INTERNAL_PROGRAM_ERROR = 1001106,
  ICU_MESSAGE_PARSE_ERROR = 1001107,
  ICU_MEMORY_ALLOCATION_ERROR = 1001108,
  ICU_INDEX_OUTOFBOUNDS_ERROR = 1001109,
  ICU_PARSE_ERROR = 1001110,
  ICU_INVALID_TABLE_FORMAT = 1001111,
  ICU_INVALID_TABLE_FILE = 1001112,
  ICU_UNSUPPORTED_ERROR = 1001113,
  ICU_RESOURCE_TYPE_MISMATCH = 1001114,
  ICU_ILLEGAL_ESCAPE_SEQUENCE = 1001115,
  ICU_UNSUPPORTED_ESCAPE_SEQ = 1001116,
  ICU_NO_SPACE_AVAILABLE = 1001117,
  ICU_ERROR_LIMIT = 1001118,
};

// Error classes: what kind of failure.
enum class CosEnErrorClass : uint32_t {
  UNKNOWN = 0,
  FUNCTION_NOT_SUPPORTED = 1,
  FUNCTION_NOT_ENABLED = 2,
  USER_ERROR = 100,
  USER_DATA_ERROR = 101,
  OUT_OF_MEMORY = 200,
  RESOURCE_EXHAUSTED = 201,
  INVALID_DATA = 202,
  DATA_OUT_OF_BOUNDS = 203,
  INVALID_POINTER = 204,
  UNKNOWN_PROCESS = 205,
  RESOURCE_MISSING = 206,
  LOGIC = 300,
  INCONSISTENT_SITUATION = 301,
  COMMUNICATION_PROBLEM = 400,
  IO_PROBLEM = 500,
  IO_WRITE_PROBLEM = 501,
  IO_READ_PROBLEM = 502,
  IO_PERMISSION_DENIED = 503,
  IO_NOT_EXISTENT = 504,
  IO_ALREADY_IN_USE = 505,
  IO_STILL_IN_USE = 506,
  IO_INVALID_NAME = 507,
  HARDWARE_PROBLEM = 900,
  HARDWARE_SETUP = 901,
  HARDWARE_PERFORMANCE = 902,
  HARDWARE_NOT_SUPPORTED = 903,
};

// Severities: how bad the failure is.
enum class CosEnErrorSeverity : uint32_t {
  NONE = 0,
  INFO = 1,
  WARNING = 2,
  NORMAL = 5,
  FATAL = 6,
  INTERNAL = 7,
  CRITICAL = 8,
  PANIC = 10,
};

// Recommended actions for whoever handles the failure.
enum class CosEnErrorAction : uint32_t {
  IGNORE = 0,
  INFORM = 1,
  WARN = 2,
  RETRY = 3,
  RETRYDELAY = 4,
  USER = 5,
  TERMINATE = 6,
  ABORT = 8,
  PANIC = 10,
};

// ---------------------------------------------------------------------------
// Error records. A default-built record is 0/0 (no error).

// Last error of files, directories, walks, processes, libraries, converters.
struct _CosStError {
  CosEnErrorId id = CosEnErrorId::NO_ERROR;            // identifier
  CosEnErrorClass errClass = CosEnErrorClass::UNKNOWN;  // class

  _CosStError() = default;
  _CosStError(CosEnErrorId i, CosEnErrorClass c) : id(i), errClass(c) {}

  // Sets identifier and class.
  void set(CosEnErrorId i, CosEnErrorClass c) { id = i; errClass = c; }
  // Back to "no error" (what a success leaves).
  void clear() { id = CosEnErrorId::NO_ERROR; errClass = CosEnErrorClass::UNKNOWN; }
  // True when the record holds a failure (identifier not 0).
  bool isError() const { return id != CosEnErrorId::NO_ERROR; }
};

// An error record with severity and action: identifier, class, severity,
// action, in this order.
struct _CosStUserError : _CosStError {
  CosEnErrorSeverity severity = CosEnErrorSeverity::NONE;
  CosEnErrorAction action = CosEnErrorAction::IGNORE;

  _CosStUserError() = default;
  _CosStUserError(CosEnErrorId i, CosEnErrorClass c, CosEnErrorSeverity s,
                  CosEnErrorAction a)
      : _CosStError(i, c), severity(s), action(a) {}

  void clear() { _CosStError::clear(); severity = CosEnErrorSeverity::NONE;
                 action = CosEnErrorAction::IGNORE; }
};

// ---------------------------------------------------------------------------
// Exceptions.

// Root of the exceptions of the services library. Holds the cause text
// (never null; "" when there is none).
class CosClExceptionABase {
 public:
  explicit CosClExceptionABase(char const* cause = "")
      : m_pszCause(cause ? cause : "") {}
  CosClExceptionABase(CosClExceptionABase const&) = default;
  CosClExceptionABase& operator=(CosClExceptionABase const&) = default;
  virtual ~CosClExceptionABase();

  virtual bool isCosException() const = 0;
  virtual char const* getCause() const { return m_pszCause; }

 private:
  char const* m_pszCause;  // not owned
};

// A failure of the services library: cause, source position ("file:line"
// text and line number), identifier, class, severity and action. A
// default-built exception has cause "" and zeros elsewhere (position "").
class CosClException : public CosClExceptionABase {
 public:
  CosClException() : CosClExceptionABase(""), m_pszLocation(""), m_iLine(0) {}
  CosClException(char const* cause, char const* location, int line,
                 CosEnErrorId id, CosEnErrorClass errClass,
                 CosEnErrorSeverity severity, CosEnErrorAction action)
      : CosClExceptionABase(cause), m_pszLocation(location ? location : ""),
        m_iLine(line), m_stError(id, errClass, severity, action) {}
  CosClException(char const* cause, char const* location, int line,
                 _CosStUserError const& error)
      : CosClExceptionABase(cause), m_pszLocation(location ? location : ""),
        m_iLine(line), m_stError(error) {}
  CosClException(CosClException const&) = default;
  CosClException& operator=(CosClException const&) = default;
  ~CosClException() override;

  bool isCosException() const override { return true; }

  char const* getLocation() const { return m_pszLocation; }  // "file:line"
  int getLine() const { return m_iLine; }
  CosEnErrorId getErrorId() const { return m_stError.id; }
  CosEnErrorClass getErrorClass() const { return m_stError.errClass; }
  CosEnErrorSeverity getSeverity() const { return m_stError.severity; }
  CosEnErrorAction getAction() const { return m_stError.action; }
  // The four numbers as one record.
  _CosStUserError const& getError() const { return m_stError; }

 private:
  char const* m_pszLocation;  // not owned
  int m_iLine;
  _CosStUserError m_stError;
};

// Memory exhaustion and the other failures after which the process should
// stop (thrown by the memory manager). Caught by handlers of CosClException.
class CosClExceptionFatal : public CosClException {
 public:
  using CosClException::CosClException;
  CosClExceptionFatal() = default;
  CosClExceptionFatal(CosClExceptionFatal const&) = default;
  CosClExceptionFatal& operator=(CosClExceptionFatal const&) = default;
  ~CosClExceptionFatal() override;
};

// ---------------------------------------------------------------------------
// Raising with the source position.

#define COS_STRINGIFY_(x) #x
#define COS_STRINGIFY(x) COS_STRINGIFY_(x)
// "file:line" of the place where it is written, as a literal.
#define COS_SOURCE_POSITION __FILE__ ":" COS_STRINGIFY(__LINE__)

// Throws CosClException / CosClExceptionFatal. Never return. `cause` and
// `location` must outlive the exception (literals).
[[noreturn]] void cosThrowException(char const* cause, char const* location,
                                    int line, CosEnErrorId id,
                                    CosEnErrorClass errClass,
                                    CosEnErrorSeverity severity,
                                    CosEnErrorAction action);
[[noreturn]] void cosThrowException(char const* cause, char const* location,
                                    int line, _CosStUserError const& error);
[[noreturn]] void cosThrowExceptionFatal(char const* cause,
                                         char const* location, int line,
                                         CosEnErrorId id,
                                         CosEnErrorClass errClass,
                                         CosEnErrorSeverity severity,
                                         CosEnErrorAction action);

// Throws a CosClException that carries the position where the macro stands.
// Use: COS_THROW("cause", CosEnErrorId::X, CosEnErrorClass::Y,
//                CosEnErrorSeverity::Z, CosEnErrorAction::W);
#define COS_THROW(cause, id, errClass, severity, action)                    \
  cosThrowException((cause), COS_SOURCE_POSITION, __LINE__, (id), (errClass), \
                    (severity), (action))
// Same with a _CosStUserError.
#define COS_THROW_ERROR(cause, userError) \
  cosThrowException((cause), COS_SOURCE_POSITION, __LINE__, (userError))
// Same, as CosClExceptionFatal.
#define COS_THROW_FATAL(cause, id, errClass, severity, action)                 \
  cosThrowExceptionFatal((cause), COS_SOURCE_POSITION, __LINE__, (id),        \
                         (errClass), (severity), (action))

// ---------------------------------------------------------------------------
// Message numbers of the names. Each returns the number of the message (in
// the library's own message table) whose text is the value's name, or 0 for
// a value that is not one of the enumeration's.
unsigned int cosErrorGetIdAsMessageId(uint32_t id);
unsigned int cosErrorGetClassAsMessageId(uint32_t errClass);
unsigned int cosErrorGetSeverityAsMessageId(uint32_t severity);
unsigned int cosErrorGetActionAsMessageId(uint32_t action);

inline unsigned int cosErrorGetIdAsMessageId(CosEnErrorId id) {
  return cosErrorGetIdAsMessageId(static_cast<uint32_t>(id));
}
inline unsigned int cosErrorGetClassAsMessageId(CosEnErrorClass c) {
  return cosErrorGetClassAsMessageId(static_cast<uint32_t>(c));
}
inline unsigned int cosErrorGetSeverityAsMessageId(CosEnErrorSeverity s) {
  return cosErrorGetSeverityAsMessageId(static_cast<uint32_t>(s));
}
inline unsigned int cosErrorGetActionAsMessageId(CosEnErrorAction a) {
  return cosErrorGetActionAsMessageId(static_cast<uint32_t>(a));
}

// ---------------------------------------------------------------------------
// ICU status codes.

// One row of the translation table.
struct _CosStIcuErrorEntry {
  int32_t icuCode;  // UErrorCode value
  CosEnErrorId id;
  CosEnErrorClass errClass;
  CosEnErrorAction action;
  CosEnErrorSeverity severity;
};

// Translates ICU status codes into the library's four numbers. Success (0)
// maps to 0/0/0/0; ICU warnings (negative codes) are not failures.
class CosClIcuInterface {
 public:
  // The table row of `code`. Throws CosClException (cause "Unexpected ICU
  // error", ICU_UNEXPECTED_ICU_ERROR, UNKNOWN, INTERNAL, ABORT) for a code
  // that the table does not hold.
  static _CosStIcuErrorEntry const& getCosEntryForIcuError(UErrorCode code);

  // One column of that row; throw as above.
  static CosEnErrorId getCosErrorIdForIcuError(UErrorCode code);
  static CosEnErrorClass getCosErrorClassForIcuError(UErrorCode code);
  static CosEnErrorAction getCosErrorActionForIcuError(UErrorCode code);
  static CosEnErrorSeverity getCosErrorSeverityForIcuError(UErrorCode code);

  // Fill identifier and class (and severity and action); throw as above.
  static void mapIcuError(_CosStError& error, UErrorCode code);
  static void mapIcuError(_CosStUserError& error, UErrorCode code);

  // A failing code (> 0) is thrown as CosClException with its four mapped
  // numbers and an empty cause; success and warnings (<= 0) return.
  static void handleIcuErrorCode(UErrorCode code);

  // The whole table, for inspection (rows in search order).
  static _CosStIcuErrorEntry const* getTable(unsigned int* rowCount);
};

// ---------------------------------------------------------------------------
// Assertions.

// Reports a failed assertion on standard error and aborts the process:
//   "\n*** INTERNAL ERROR OCCURED ***\n*** ASSERTION FAILED: <expression>"
//   "\n***             LINE: <line>\n***           MODULE: <file>"
//   "\n***       PROCESS ID: <pid>\n\n"
// A second assertion while one is being reported still writes its text.
[[noreturn]] void cos__assert(char const* expression, char const* file,
                              int line);
// Same, with "*** <message> ***\n" after the first line when `message` is
// given, then "***         FUNCTION: <function>\n" if `function` is given too.
[[noreturn]] void cos__assert_msg(char const* expression, char const* file,
                                  int line, char const* function,
                                  char const* message);

// Assertion macros; like assert(), they vanish under NDEBUG.
#ifdef NDEBUG
#define COS_ASSERT(expr) ((void)0)
#define COS_ASSERT_MSG(expr, message) ((void)0)
#else
#define COS_ASSERT(expr) \
  ((expr) ? (void)0 : cos__assert(#expr, __FILE__, __LINE__))
#define COS_ASSERT_MSG(expr, message)                                   \
  ((expr) ? (void)0                                                     \
          : cos__assert_msg(#expr, __FILE__, __LINE__, __func__, (message)))
#endif

#endif  // COS_EXCEPTION_HPP
