// itl_index_update.hpp: one update transaction on an index
// (ItlClIndexUpdate), the object behind an index update handle.
//
// Documents are added or replaced (five formats), removed and given DATE,
// NUMBER and STRING attributes; then the transaction is processed and
// committed, or rolled back. The update picks the document parser, gets
// document numbers from the document-name mapping through the document
// id, opens the engine's creation work area on first need and tells the
// index files of the transaction's start, end and rollback; the commit
// runs through ItlClIndexCommit, the one commit of the index.
//
// States and the call behind each move:
//
//   idle --first document, removal or attribute--> open
//   open --attribute--> open with a document in progress (only the same
//          document may follow; a removal or process is refused, 6)
//   open --process--> processed --commit--> idle
//   idle --process--> processed, never started --commit--> idle
//   open / processed --rollback--> idle
//   any --error while a document is current, engine failure,
//          action Rollback--> rollback required --rollback--> idle
//
// Rules:
//   1. While rollback is required every call but rollback fails with 109
//      (action Rollback) before anything is touched.
//   2. After process, a document, removal or attribute call fails with 6
//      (action Rollback), also when process opened nothing.
//   3. An engine failure in a document, removal or process call has
//      cancelled the engine's cycle: the update becomes rollback-required
//      and the error carries action Rollback.
//   4. Every transaction start first finishes an interrupted commit
//      (ItlClIndexCommit::recover) before the engine is opened.
//   5. Destroying the object rolls back a started transaction.
// Failures are ItlClExceptions (return code 8); only init's reason 2 has a
// context line.
#ifndef ITL_INDEX_UPDATE_HPP
#define ITL_INDEX_UPDATE_HPP

#include <cstdint>

#include "itl_codes.hpp"
#include "itl_document_format.hpp"

class CosClCodePage2UTF8Converter;
class CosClLanguage;
class CosClMemoryPool;
class ItlClDocumentID;
class ItlClDocumentInputScanner;
class ItlClErrorInfo;
class ItlClException;
class ItlClIndex;
class ItlClParserFactory;
class ItlClTlDocument;

// Test hook: asked before each document is handed to the engine, with its
// number; a non-zero answer makes the engine's document call fail (the
// engine then cancels its cycle, as on any failure of its own). Null:
// none. For failure tests only.
using ItlUpdateEngineTestHook = int (*)(uint64_t number);
void itlSetUpdateEngineTestHook(ItlUpdateEngineTestHook hook);

class ItlClIndexUpdate {
 public:
  // Threshold of the update pool (bytes).
  static constexpr unsigned int POOL_THRESHOLD = 4096;
  // Longest string attribute value a caller may give (bytes), the item's
  // 16-bit length.
  static constexpr uint32_t MAX_STRING_ATTRIBUTE_BYTES = 65535;
  // A value longer than the engine takes in an item (128 UTF-8 bytes,
  // ItlClAttributeParserString::MAX_VALUE_BYTES) keeps its first whole
  // characters within them, with warning 36, as a parsed value does.

  // Borrows the index (loaded), its file manager, error info, models and
  // kernel interface; makes nothing yet.
  explicit ItlClIndexUpdate(ItlClIndex& index);
  // Rolls back a started transaction (failures ignored). Never throws.
  virtual ~ItlClIndexUpdate();
  ItlClIndexUpdate(ItlClIndexUpdate const&) = delete;
  ItlClIndexUpdate& operator=(ItlClIndexUpdate const&) = delete;

  // Makes the pool (MemoryPoolUpdateInitialSize/GrowthSize, threshold
  // 4096), the parser factory, the input scanner and the text document.
  // A pool without room: reason 2 with the context line "Memory Pool
  // (InitialSize/GrowthSize): (<initial>-<growth>)".
  void init();

  // Adds or replaces the document `id` from `length` bytes of `buffer`
  // (of `ccsid`; 0: the parser's guess, written back). `modelName` may be
  // null. REQUIRES: arguments checked by the caller.
  void updateDocument(ItlClDocumentID& id, ItlEnDocumentFormat format,
                      char const* modelName, void const* buffer,
                      uint32_t length, uint16_t& ccsid,
                      CosClLanguage const& language);
  // Removes document `id`. With name mapping a name the mapping does not
  // hold live fails with 303 before any engine call; the id is cleared.
  void removeDocument(ItlClDocumentID& id);
  void setDateAttribute(ItlClDocumentID& id, char const* name, uint16_t day,
                        uint16_t month, uint16_t year);
  void setNumberAttribute(ItlClDocumentID& id, char const* name,
                          double value);
  // `length` bytes of `value` in `ccsid` (0: UTF-8). More than 65,535
  // bytes: 25, nothing touched. More than 128 UTF-8 bytes: the whole
  // characters within the first 128, with warning 36.
  void setStringAttribute(ItlClDocumentID& id, char const* name,
                          char const* value, uint32_t length, uint16_t ccsid);
  void process();
  void commit();
  void rollback();
  // After every document and removal call and after a failed attribute
  // call: an error (return code 8, action below Rollback) recorded while a
  // document was current turns into a required rollback; the current
  // document is dropped, the pool emptied.
  void reset();
  void setRollbackRequired() { iv_bRollbackRequired = true; }

  bool isTransactionStarted() const { return iv_bStarted; }
  bool isRollbackRequired() const { return iv_bRollbackRequired; }
  bool isProcessed() const { return iv_bProcessed; }
  // A document is current (attributes set, or one being parsed).
  bool hasCurrentDocument() const { return iv_ui64Current != 0; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }
  ItlClIndex& getIndex() const { return iv_rclIndex; }

 private:
  // Rule 1, then rule 2, then the start (rule 4) when not yet started.
  void ensureTransactionStartedForUpdate();
  // The number of `id` (assigned through the mapping), with its new flag.
  uint64_t assignNumber(ItlClDocumentID& id);
  // The number of `id` made current: with a document in progress it must
  // be that one (6, action Rollback).
  void checkDocumentSequence(ItlClDocumentID& id);
  // Raises 109 at `origin` when rollback is required.
  void checkRollbackRequired(char const* origin, unsigned line) const;
  // Rule 3: after an engine call failed, the update is over when the
  // engine dropped its cycle.
  [[noreturn]] void rethrow(ItlClException const& e);
  // The attribute number of (name, type) and the document made current.
  uint16_t startAttribute(ItlClDocumentID& id, char const* name,
                          ItlEnAttributeType type);
  void parseDocument(ItlEnDocumentFormat format, char const* modelName,
                     void const* buffer, uint32_t length);

  ItlClIndex& iv_rclIndex;
  ItlClErrorInfo& iv_rclErrorInfo;
  CosClMemoryPool* iv_pclPool;               // owned
  ItlClParserFactory* iv_pclParsers;         // owned
  ItlClDocumentInputScanner* iv_pclScanner;  // owned
  ItlClTlDocument* iv_pclDocument;           // owned
  CosClCodePage2UTF8Converter* iv_pclConverter;  // string values, owned
  bool iv_bProcessed;
  bool iv_bDocumentInProgress;
  bool iv_bStarted;
  bool iv_bRollbackRequired;
  uint64_t iv_ui64Current;                   // current document, 0 none
};

#endif  // ITL_INDEX_UPDATE_HPP
