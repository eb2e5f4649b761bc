// cos_trace.hpp: the trace facility of the process.
//
// A traced function tests the exported pointer gs_pclCosTraceInstance
// first; only when it is set does it build a record. Records (function
// entries and exits, messages, typed data) go through the instance's dump
// function: by default into a private ring buffer whose unsaved bytes are
// appended to the trace file whenever the ring wraps and at each flush, so
// the trace file receives every record once, whole and in order.
//
// Configuration comes from environment variables named by the trace key in
// upper case followed by a suffix ("<KEY>_TRACE_ACTIVE", "_DETAIL",
// "_FILE", "_BUFSIZE", "_FORMAT", "_COMPSET", "_AUTOFLUSH", "_AUTOCLEAR",
// "_AUTOSAVE", "_COMPRESS", "_VERBOSE"), read once when the instance is
// built. There is one instance per process (CosClTraceInstance); it is
// deleted at process exit, which flushes the buffer into the trace file.
//
// Nothing here is locked: the process has no threads. Memory comes from
// CosClMemoryManager; allocation failures throw CosClExceptionFatal.
//
// Trace record, the same in the ring and in the trace file (integers in the
// machine's byte order):
//   off size  field
//     0    1  bits 0-4 data type; bit 5 texts compressed; bits 6-7 detail
//     1    1  component id, low 8 bits
//     2    1  stored length of the message text (0..255)
//     3    1  stored length of the function text (0..255)
//     4    4  time stamp (always 0)
//     8    4  process id
//    12    4  thread id (always 0)
//    16    4  data length in bytes
//    20    *  message text, function text, data (no terminators)
#ifndef COS_TRACE_HPP
#define COS_TRACE_HPP

#include <cstdint>

#include "cos_filename.hpp"

// Detail levels; the names "OFF", "LOW", "MED", "HIGH" are used in the
// "_TRACE_DETAIL" variable and by the formatter. Written to disk (bits 6-7
// of a record); never renumber.
enum class CosEnTraceDetail : uint32_t { OFF = 0, LOW = 1, MED = 2, HIGH = 3 };

// Data types of a record. Written to disk (bits 0-4); never renumber.
enum class CosEnTraceDataType : uint32_t {
  NONE = 0,
  FUNCTION_ENTRY = 1,  // data: nesting level after entry (4 bytes)
  FUNCTION_EXIT = 2,   // data: nesting level after exit (4 bytes)
  NO_DATA = 3,         // message only
  DATA = 4,            // raw bytes
  DATA_CLIPPED = 5,    // raw bytes cut to the ring size (set by the record)
  DATA_NULL = 6,       // the caller passed a null pointer (set by the record)
  POINTER = 7,         // an address (8 bytes here; the formatter reads 4 or 8)
  CSTRING = 8,         // characters
  UNICODE = 9,         // UTF-16 text, shown as bytes
  BOOL = 10,           // one byte
  INT8 = 11,
  UINT8 = 12,
  INT16 = 13,
  UINT16 = 14,
  INT32 = 15,
  UINT32 = 16,
  INT64 = 17,
  UINT64 = 18,
  FLOAT = 19,
  DOUBLE = 20,
  LONG_DOUBLE = 21,
};
constexpr uint32_t COS_TRACE_MAX_TYPE = 21;

// Size of a record header and the room for both stored texts.
constexpr unsigned COS_TRACE_RECORD_HEADER_SIZE = 20;
constexpr unsigned COS_TRACE_TEXT_MAX = 255;

// Size of the ring-buffer header: marker, ring size and four addresses.
constexpr unsigned COS_TRACE_BUFFER_HEADER_SIZE = 8 + 4 * sizeof(void*);
// Bounds and default of the buffer size (header included), in bytes.
constexpr uint32_t COS_TRACE_BUFSIZE_MIN = 4096;
constexpr uint32_t COS_TRACE_BUFSIZE_MAX = 16777216;
constexpr uint32_t COS_TRACE_BUFSIZE_DEFAULT = 65535;

class CosClTraceEnvironment;
class CosClTraceInstance;

// The dump function through which every record passes: user context,
// detail, component id, data type, function text, message text, data,
// data length.
typedef void (*CosPfuTraceDump)(void* context, CosEnTraceDetail detail,
                                uint16_t componentId, CosEnTraceDataType type,
                                char const* functionText,
                                char const* messageText, void const* data,
                                uint32_t length);

// The current instance while tracing is enabled, else null. Every traced
// function tests it before building a record.
extern CosClTraceInstance* gs_pclCosTraceInstance;

// ---------------------------------------------------------------------------
// Resource key: "prefix:key:instance" with every character of key and
// instance mapped into a-z A-Z 0-9 _ - @ ('/' becomes ':', any other byte c
// the character at (c mod 65) of that set). The prefix is kept as given.
class CosClResourceKeyABase {
 public:
  static constexpr unsigned MAX_TEXT = 255;  // characters, without the zero

  CosClResourceKeyABase(char const* prefix, char const* key,
                        char const* instance);
  CosClResourceKeyABase(CosClResourceKeyABase const& other);
  CosClResourceKeyABase& operator=(CosClResourceKeyABase const& other);
  virtual ~CosClResourceKeyABase();

  char const* getAsCString() const { return iv_szText; }
  // The text from the key on (after the prefix and its ':').
  char const* getKey() const { return iv_pszKey; }
  uint32_t getLength() const { return iv_uLength; }
  // The first getLength() bytes of the text equal those of `text`.
  bool matches(char const* text) const;

 protected:
  // Appends ':' (unless empty) and the mapped characters of `part`; what
  // passes MAX_TEXT is cut.
  void add(char const* part);

 private:
  uint32_t iv_uLength;
  char iv_szText[MAX_TEXT + 1];
  char* iv_pszKey;  // into iv_szText
};

// Names the trace buffer's access guard: prefix "???".
class CosClResourceKeySemaphore : public CosClResourceKeyABase {
 public:
  CosClResourceKeySemaphore(char const* key, char const* instance)
      : CosClResourceKeyABase("???", key, instance) {}
};

// ---------------------------------------------------------------------------
// Which records are kept or shown.
class CosClTraceFilter {
 public:
  CosClTraceFilter();

  // "HIGH", "MED", "LOW" at the start of `text` (ignoring case) give 3, 2,
  // 1; anything else 0.
  void setDetail(char const* text);
  void setDetail(CosEnTraceDetail level) { iv_uDetail = (uint32_t)level; }
  CosEnTraceDetail getDetail() const { return (CosEnTraceDetail)iv_uDetail; }
  // "OFF", "LOW", "MED", "HIGH" for 0..3, null otherwise.
  static char const* getDetailAsCString(uint32_t level);

  void enableAllComponentIds();
  void disableAllComponentIds();
  void enableComponentId(uint8_t id);
  void disableComponentId(uint8_t id);
  bool isComponentIdEnabled(uint8_t id) const {
    return (iv_aucCompIds[id / 8] >> (id % 8)) & 1;
  }
  // Enables or disables low..high (high 0: low only; clamped to 255);
  // nothing when low is 0.
  void setComponentIdSet(uint32_t low, uint32_t high, bool enable);
  // Parses "5,10.20,-12", "*" etc.: digits give a bound ('.' switches to
  // the upper one), '*' is 1..255, '+'/'-' choose enabling or disabling,
  // ',' applies the item. Id 0 is never changed.
  void enableComponentIds(char const* text);
  // True when any id from 1 to 255 is disabled.
  bool usesCompIdFilter() const;

  void setProcessId(char const* text);  // decimal; 0 = any
  void setThreadId(char const* text);   // decimal; 0 = any
  uint32_t getProcessId() const { return iv_uProcessId; }
  uint32_t getThreadId() const { return iv_uThreadId; }

  // Whether a record of this detail and component id passes (process and
  // thread ids not checked).
  bool passes(uint32_t detail, uint8_t componentId) const {
    return detail <= iv_uDetail &&
           (componentId == 0 || isComponentIdEnabled(componentId));
  }

 private:
  uint32_t iv_uDetail;         // 0..3, default 1
  uint32_t iv_uProcessId;      // 0 = any
  uint32_t iv_uThreadId;       // 0 = any
  uint8_t iv_aucCompIds[32];   // bit (id mod 8) of byte id/8
};

// Flag bits of the settings block.
enum : uint32_t {
  COS_TRACE_FLAG_COMPRESS = 1,
  COS_TRACE_FLAG_AUTOSAVE = 2,
  COS_TRACE_FLAG_AUTOCLEAR = 4,
  COS_TRACE_FLAG_AUTOFLUSH = 8,
  COS_TRACE_FLAG_VERBOSE = 16,
};

// Settings block: marker 17231 (0x434F), flags, filter.
struct _CosStTraceSettingsBlock {
  uint32_t marker;
  uint32_t flags;
  CosClTraceFilter filter;
};

class CosClTraceSettings {
 public:
  static constexpr uint32_t MARKER = 17231;

  CosClTraceSettings();                                 // embedded block
  explicit CosClTraceSettings(_CosStTraceSettingsBlock* block);
  CosClTraceSettings(CosClTraceSettings const&) = delete;
  CosClTraceSettings& operator=(CosClTraceSettings const&) = delete;

  // Marker, flags = compress | autosave.
  void init();
  void setDetailLevel(char const* text) { filter().setDetail(text); }
  // A non-empty text disables all ids first, then enables per `text`.
  void initComponentIds(char const* text);

  CosClTraceFilter& filter() { return iv_pstBlock->filter; }
  CosClTraceFilter const& filter() const { return iv_pstBlock->filter; }
  uint32_t getFlags() const { return iv_pstBlock->flags; }
  void setFlag(uint32_t flag) { iv_pstBlock->flags |= flag; }
  bool hasFlag(uint32_t flag) const { return (iv_pstBlock->flags & flag) != 0; }

 private:
  _CosStTraceSettingsBlock* iv_pstBlock;
  _CosStTraceSettingsBlock iv_stBlock;
};

// ---------------------------------------------------------------------------
// One record being built (header, stored texts; the data is not copied).
class CosClTraceEntry {
 public:
  CosClTraceEntry(CosClTraceEnvironment& environment, CosEnTraceDetail detail,
                  uint16_t componentId, CosEnTraceDataType type,
                  char const* functionText, char const* messageText,
                  void const* data, uint32_t length);
  virtual ~CosClTraceEntry();

  uint32_t getType() const { return iv_aucRecord[0] & 0x1F; }
  uint32_t getDetail() const { return iv_aucRecord[0] >> 6; }
  bool isCompressed() const { return (iv_aucRecord[0] & 0x20) != 0; }
  void setType(uint32_t type) {
    iv_aucRecord[0] = (uint8_t)((iv_aucRecord[0] & 0xE0) | (type & 0x1F));
  }
  void setDetail(uint32_t level) {
    iv_aucRecord[0] = (uint8_t)((iv_aucRecord[0] & 0x3F) | ((level & 3) << 6));
  }
  uint8_t getComponentId() const { return iv_aucRecord[1]; }
  uint32_t getMessageLength() const { return iv_aucRecord[2]; }  // stored
  uint32_t getFunctionLength() const { return iv_aucRecord[3]; }  // stored
  uint32_t getTimeStamp() const { return getField(4); }
  uint32_t getProcessId() const { return getField(8); }
  uint32_t getThreadId() const { return getField(12); }
  uint32_t getDataLength() const { return getField(16); }

  // Header and stored texts, and their length.
  uint8_t const* getRecord() const { return iv_aucRecord; }
  uint32_t getRecordLength() const { return iv_uRecordLength; }
  void const* getData() const { return iv_pvData; }

  // Packs `text` at 6 bits per character of the alphabet
  // " ,&*:_~()<>A-Za-z" (other bytes: code 63 and 8 bits), the last byte
  // filled with ones, into at most `limit` bytes; returns the bytes used.
  static unsigned compressCString(uint8_t* out, char const* text,
                                  unsigned limit);
  // Unpacks `storedLength` bytes into `out` (room for 341 characters and
  // the zero) and returns the text's length.
  static unsigned deCompressCString(char* out, uint8_t const* in,
                                    unsigned storedLength);

 protected:
  // A reading entry (trace-file reader).
  explicit CosClTraceEntry(CosClTraceEnvironment& environment);
  uint32_t getField(unsigned offset) const;
  void setField(unsigned offset, uint32_t value);

  CosClTraceEnvironment& iv_rclEnvironment;
  uint8_t iv_aucRecord[COS_TRACE_RECORD_HEADER_SIZE + 2 * COS_TRACE_TEXT_MAX];
  uint32_t iv_uRecordLength;  // header + both stored texts
  void const* iv_pvData;      // caller's data; not owned
};

// What the overflow handler receives: up to two spans of unsaved bytes.
struct _CosStTraceBufferCallBackInfo {
  void* data;
  uint8_t const* firstStart;
  uint32_t firstLength;
  uint8_t const* secondStart;
  uint32_t secondLength;
};
typedef void (*CosPfuTraceBufferOverflow)(_CosStTraceBufferCallBackInfo& info);

// The ring buffer over caller-supplied memory. Buffer header (in memory):
//   off size  field
//     0    4  marker 0x54534F43 ("COST" in memory order)
//     4    4  ring size (buffer size - COS_TRACE_BUFFER_HEADER_SIZE)
//     8    8  ring start address
//    16    8  ring last address (start + ring size - 1)
//    24    8  saved position (bytes before it were handed to the handler)
//    32    8  write position
// Not copyable; the memory belongs to the caller.
class CosClTraceBufferManager {
 public:
  static constexpr uint32_t MARKER = 0x54534F43;

  // Initialises the header unless the marker is already there.
  // REQUIRES: bufferSize > COS_TRACE_BUFFER_HEADER_SIZE + 530.
  CosClTraceBufferManager(CosClResourceKeyABase const& key, void* buffer,
                          uint32_t bufferSize);
  CosClTraceBufferManager(CosClTraceBufferManager const&) = delete;
  CosClTraceBufferManager& operator=(CosClTraceBufferManager const&) = delete;

  void setOverflowHandler(CosPfuTraceBufferOverflow handler, void* data) {
    iv_pfuHandler = handler;
    iv_pvHandlerData = data;
  }
  // Writes header and texts, then the data.
  void write(CosClTraceEntry const& entry);
  // Hands the unsaved bytes to the handler when a record was written since
  // the last flush.
  void flush();
  // Hands the unsaved spans to the handler (nothing without one).
  void overflow();

  uint32_t getRingSize() const;
  // Offsets of the positions from the ring start (inspection).
  uint32_t getWriteOffset() const;
  uint32_t getSavedOffset() const;

 private:
  struct Header;
  Header* header() const;
  void write(uint8_t const* bytes, uint32_t n);

  CosClResourceKeyABase const& iv_rclKey;
  uint8_t* iv_pucBuffer;
  CosPfuTraceBufferOverflow iv_pfuHandler;
  void* iv_pvHandlerData;
  bool iv_bPending;
};

// The autosave handler: appends both spans to the environment's trace file
// (`info.data` is the CosClTraceEnvironment).
void cosTraceBufferOverflowHandler(_CosStTraceBufferCallBackInfo& info);

// ---------------------------------------------------------------------------
// The trace environment of an instance: settings, buffer, trace file.
class CosClTraceEnvironment {
 public:
  static constexpr unsigned FORMAT_MAX = 512;
  static char const* const DEFAULT_INSTANCE_NAME;  // "COSTRACEINSTANCE0"
  static char const* const DEFAULT_FORMAT;

  // Reads the environment variables of `key`, allocates the buffer; with
  // autoclear (and not a controller's) removes the trace file. Throws
  // CosClExceptionFatal when memory runs out.
  CosClTraceEnvironment(char const* key, char const* instanceName,
                        bool controller);
  ~CosClTraceEnvironment();
  CosClTraceEnvironment(CosClTraceEnvironment const&) = delete;
  CosClTraceEnvironment& operator=(CosClTraceEnvironment const&) = delete;

  void activate() { iv_bActive = true; }
  bool isActive() const { return iv_bActive; }
  void flush();
  // Writes the record into the ring; with autoflush, flushes.
  void add(CosClTraceEntry const& entry);

  // The ring size: buffer size minus the buffer header.
  uint32_t getBufferSize() const {
    return iv_uBufferSize - COS_TRACE_BUFFER_HEADER_SIZE;
  }
  uint32_t getTotalBufferSize() const { return iv_uBufferSize; }
  uint32_t getProcessId() const { return iv_uProcessId; }
  CosClFilename const& getFileName() const { return iv_clFileName; }
  void setFileName(char const* name) { iv_clFileName.init(name); }
  char const* getFormatString() const { return iv_szFormat; }
  void setFormatString(char const* text);
  CosClTraceSettings& getSettings() { return *iv_pclSettings; }
  CosClTraceSettings const& getSettings() const { return *iv_pclSettings; }
  CosClResourceKeyABase const& getResourceKey() const { return iv_clKey; }
  CosClTraceBufferManager* getBufferManager() { return iv_pclBufferManager; }
  bool usesSharedMemory() const { return iv_bShared; }
  bool isController() const { return iv_bController; }

  void recordCompressionRate(uint32_t expanded, uint32_t stored) {
    iv_uExpanded += expanded;
    iv_uStored += stored;
  }
  // Stored bytes / expanded bytes of all texts read; 0.0 when none.
  double getCompressionRate() const;

 private:
  void determineSettingsFromEnvVars(char const* key);
  void reportSettings(char const* key) const;

  CosClResourceKeySemaphore iv_clKey;
  CosClTraceBufferManager* iv_pclBufferManager;
  CosClTraceSettings* iv_pclSettings;
  uint32_t iv_uBufferSize;  // bytes, buffer header included
  uint32_t iv_uProcessId;
  CosClFilename iv_clFileName;
  char iv_szFormat[FORMAT_MAX + 1];
  uint8_t* iv_pucBuffer;
  bool iv_bActive;
  bool iv_bShared;
  bool iv_bController;
  uint32_t iv_uExpanded;
  uint32_t iv_uStored;
};

// ---------------------------------------------------------------------------
// The process's trace instance.
class CosClTraceInstance {
 public:
  // The singleton, built on the first call (later arguments are ignored).
  // Throws CosClExceptionFatal when memory runs out.
  static CosClTraceInstance* createInstance(char const* key,
                                            char const* instanceName);
  // The same for a trace controller (never removes the trace file).
  static CosClTraceInstance* createControllerInstance(char const* key,
                                                      char const* instanceName);
  // Destroys the singleton (flushing its buffer); null afterwards.
  static void deleteInstance();
  // gs_pclCosTraceInstance.
  static CosClTraceInstance* getInstance() { return gs_pclCosTraceInstance; }
  static CosClTraceInstance* getSingleton() { return cv_pclSingletonInstance; }

  CosClTraceInstance(char const* key, char const* instanceName,
                     bool controller);
  ~CosClTraceInstance();
  CosClTraceInstance(CosClTraceInstance const&) = delete;
  CosClTraceInstance& operator=(CosClTraceInstance const&) = delete;

  // Sets the current pointer when active; returns the active flag.
  bool enable();
  // Flushes and clears the current pointer.
  void disable();
  void activate() { iv_pclEnvironment->activate(); }
  bool isEnabled() const { return gs_pclCosTraceInstance != nullptr; }
  bool isActive() const { return iv_pclEnvironment->isActive(); }
  void flush();

  // Records go to `function` with `context` instead of the ring buffer.
  void registerUserCallback(CosPfuTraceDump function, void* context);
  bool usesCosBackEnd() const { return iv_pfuDump == &dumpImp; }

  // The default back end: filters, builds the record, adds it to the ring.
  static void dumpImp(void* context, CosEnTraceDetail detail,
                      uint16_t componentId, CosEnTraceDataType type,
                      char const* functionText, char const* messageText,
                      void const* data, uint32_t length);
  // Function entry (type 1) or exit: adjusts the nesting level, passes LOW
  // as OFF, and dumps the level.
  void dumpFunction(CosEnTraceDetail detail, uint16_t componentId,
                    CosEnTraceDataType type, char const* functionText);
  // Any record through the dump function.
  void dump(CosEnTraceDetail detail, uint16_t componentId,
            CosEnTraceDataType type, char const* functionText,
            char const* messageText, void const* data, uint32_t length) {
    iv_pfuDump(iv_pvContext, detail, componentId, type, functionText,
               messageText, data, length);
  }

  CosClTraceEnvironment& getEnvironment() { return *iv_pclEnvironment; }
  int32_t getNestingLevel() const { return iv_iNesting; }

 private:
  static CosClTraceInstance* create(char const* key, char const* instanceName,
                                    bool controller);
  static CosClTraceInstance* cv_pclSingletonInstance;

  CosClTraceEnvironment* iv_pclEnvironment;
  CosPfuTraceDump iv_pfuDump;
  void* iv_pvContext;
  int32_t iv_iNesting;
};

// ---------------------------------------------------------------------------
// Plain functions for the engine and the other libraries. Call cosTraceDump
// and cosTraceFlush only while gs_pclCosTraceInstance is set.
extern "C" CosClTraceInstance* CosClTraceInstance_getInstance();
void cosTraceDump(CosEnTraceDetail detail, uint16_t componentId,
                  CosEnTraceDataType type, char const* functionText,
                  char const* messageText, void const* data, uint32_t length);
void cosTraceFlush();
bool cosTraceIsEnabled();
CosClTraceInstance* cosTraceCreateInstance(char const* key,
                                           char const* instanceName);
void cosTraceDeleteInstance();

// ---------------------------------------------------------------------------
// The trace guard: an entry record at construction, an exit record at
// destruction, both only when tracing was enabled at construction. Callers
// pass their source position ("file:line") as the function text, which must
// outlive the guard.
class CosClTrace {
 public:
  CosClTrace(CosEnTraceDetail detail, uint16_t componentId,
             char const* functionText)
      : iv_pclInstance(gs_pclCosTraceInstance), iv_eDetail(detail),
        iv_usComponentId(componentId), iv_pszFunction(functionText) {
    if (iv_pclInstance != nullptr)
      iv_pclInstance->dumpFunction(iv_eDetail, iv_usComponentId,
                                   CosEnTraceDataType::FUNCTION_ENTRY,
                                   iv_pszFunction);
  }
  ~CosClTrace() {
    if (iv_pclInstance != nullptr)
      iv_pclInstance->dumpFunction(iv_eDetail, iv_usComponentId,
                                   CosEnTraceDataType::FUNCTION_EXIT,
                                   iv_pszFunction);
  }
  CosClTrace(CosClTrace const&) = delete;
  CosClTrace& operator=(CosClTrace const&) = delete;

  // A message or data record under this guard's detail and component.
  void dump(CosEnTraceDataType type, char const* messageText,
            void const* data, uint32_t length) const {
    if (iv_pclInstance != nullptr && gs_pclCosTraceInstance != nullptr)
      iv_pclInstance->dump(iv_eDetail, iv_usComponentId, type, iv_pszFunction,
                           messageText, data, length);
  }

 private:
  CosClTraceInstance* iv_pclInstance;
  CosEnTraceDetail iv_eDetail;
  uint16_t iv_usComponentId;
  char const* iv_pszFunction;
};

#endif  // COS_TRACE_HPP
