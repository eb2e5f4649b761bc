// itl_kernel_interface.hpp: the index library's gateway to the engine for
// one index (ItlClKernelInterface).
//
// It makes every engine call of updating, merging, deleting, renaming,
// copying, moving and counting an index; fills the engine's creation and
// system parameter records from the index configuration; and collects one
// document at a time (its text converted to UTF-8, its field and segment
// boundaries, its attribute items) to hand it to the engine when the
// document ends. It belongs to one index object and is not an index file.
//
// Engine handles. The engine owns the creation handle from
// GTRcreateIndexInit on and frees it itself in every GTRcreateIndexTerm
// (commit or cancel, failing or not) and in every failing document, item,
// delete or flush call; it frees the merge handle in every
// VOZ_mergeIndexFinish. The kernel therefore forgets its handle exactly
// then, so that it never hands the engine a freed handle:
//
//   no handle --openForUpdate--> update open --processUpdate--> processed
//   update open / processed --commitUpdate, rollbackUpdate--> no handle
//   update open --failing document, item, delete or flush--> no handle
//   no merge --processMerge--> merge open (a failing merge leaves none)
//   merge open --commitMerge, rollbackMerge--> no merge
//
// A rollback without a handle calls nothing; a commit, flush, document or
// removal without one is refused with reason 6 before any engine call; a
// second open while one is open is refused with reason 6 (the open one
// stays). The destructor cancels whatever is still open.
//
// Document numbers reach the engine as signed 32-bit values: only
// 1..2147483646 are accepted; anything else raises 301
// (Docmap_invalid_docnumber) before any engine call, never truncated.
//
// Failures are ItlClExceptions (return code 8): engine failures through
// the engine-error handler with the origin of the call's line
// ("source/itl_index/itl_kernel_interface:<line>"), converter failures
// through the services-error handler, calling-sequence errors reason 6.
#ifndef ITL_KERNEL_INTERFACE_HPP
#define ITL_KERNEL_INTERFACE_HPP

#include <cstdint>
#include <string>

#include "itl_boundary_info.hpp"

class CosClCCSID;
class CosClCodePage2UTF8Converter;
class CosClConverterABase;
class CosClMemoryPool;
class ItlClErrorInfo;
class ItlClIndexConfig;
class ItlClIndexLocation;
struct GTRHCREATEPARM;
struct GTRSYSPARM;
struct REGISTITEM;

class ItlClKernelInterface {
 public:
  // Text buffer size when it is first allocated (bytes).
  static constexpr uint32_t INITIAL_BUFFER_SIZE = 16384;
  // Longest character item the engine takes (its length is signed 16-bit).
  static constexpr uint32_t MAX_STRING_ITEM_BYTES = 32767;
  // Highest document number the engine takes.
  static constexpr uint64_t MAX_DOCUMENT_NUMBER = 2147483646;

  // Keeps both references; they must outlive the object.
  ItlClKernelInterface(ItlClIndexLocation const& location,
                       ItlClIndexConfig const& config);
  // Cancels an open update and an open merge (their failures are ignored)
  // and frees the text buffer and the converters. Never throws.
  ~ItlClKernelInterface();
  ItlClKernelInterface(ItlClKernelInterface const&) = delete;
  ItlClKernelInterface& operator=(ItlClKernelInterface const&) = delete;

  // ---- switches (set by the index and the API)
  // Batch mode for the next update transaction.
  void setHighPerfMode(bool on) { iv_bHighPerf = on; }
  bool getHighPerfMode() const { return iv_bHighPerf; }
  // The engine logs its progress ('D' in the system parameters).
  void setDisplayLog(bool on) { iv_bDisplayLog = on; }
  bool getDisplayLog() const { return iv_bDisplayLog; }

  // ---- parameter records
  // Zeroes `record` and fills it from `config`: index type 2; code page 34
  // (UTF-8), 37 when the stop-word language is TR_TR; purpose 3 (text and
  // items); disable bit 1 without RespectCase, bit 2 without
  // SeparateSentences; word rule 1 unless TreatNumbersAsWords; block
  // threshold and size; the additional alphanumeric characters (at most
  // 16). No stop-word list.
  static void fillVozCreateParm(GTRHCREATEPARM& record,
                                ItlClIndexConfig const& config);
  // Zeroes `record` and fills it: pool size and growth in bytes, 500 work
  // files, 'D' with the display-log switch, else 'N'.
  void fillVozSysParm(GTRSYSPARM& record,
                      ItlClIndexConfig const& config) const;

  // ---- update transaction
  // Opens the engine's creation work area: always 'A' (add; the engine
  // builds a new index in place when it has none); 'B' (batch) with the
  // high-performance switch, else 'O'. `pool` is the transaction's pool
  // (borrowed until the next open); with `stopWords` the engine reads the
  // stop words of `stopWordFile`. Allocates the text buffer and the
  // converter on first use.
  void openForUpdate(CosClMemoryPool& pool, ItlClErrorInfo& errorInfo,
                     bool stopWords, char const* stopWordFile);
  // Marks document `number` deleted.
  void removeDocument(uint64_t number);
  // The engine's last call of the update (flush).
  void processUpdate();
  // Commits, resp. cancels, the update; the handle is gone afterwards
  // (also when the engine fails). Rollback without a handle does nothing.
  void commitUpdate();
  void rollbackUpdate();
  // The engine's half of the index's one commit (ItlClIndexCommit): the
  // update's new parts made durable and its journal written as the
  // engine's pending journal; nothing live moves. The handle is gone
  // afterwards, also when the engine fails (nothing pending then).
  void prepareCommitUpdate();
  bool isUpdateOpen() const { return iv_pvCreateHandle != nullptr; }

  // ---- merge
  // Merges the index's pending parts (system parameters filled first).
  void processMerge();
  // Commits, resp. cancels, the merge; the handle is gone afterwards.
  // Commit without a merge: reason 6, action Inform, context "Merge
  // operation: <index name>". Rollback without a merge does nothing.
  void commitMerge();
  void rollbackMerge();
  // The same for the merge (commit without a merge: as commitMerge).
  void prepareCommitMerge();
  bool isMergeOpen() const { return iv_pvMergeHandle != nullptr; }

  // ---- administration (engine files only; the index files follow)
  // Deletes both engine halves (missing halves are skipped).
  void clear();
  // The same, only when the engine has files of the index.
  void destroy();
  // Renames the engine's files to `newName`, resp. copies or moves them
  // into `targetDirectory`; nothing when the engine has no files.
  void rename(char const* newName);
  void copy(char const* targetDirectory) const;
  void move(char const* targetDirectory);
  // The document counts of the text index's two halves; both 0 when the
  // engine has no files of the index.
  void obtainNumberOfDocuments(uint64_t& count0, uint64_t& count1) const;
  // The documents the text index holds now: those of both halves'
  // document lists, removed and replaced ones left out (the halves'
  // counts above keep them until a merge). 0 when the engine has no files
  // of the index. Walks the lists: time grows with the documents.
  void obtainNumberOfLiveDocuments(uint64_t& count) const;
  // The engine has files of the index. Never raises.
  bool hasVozIndexFiles() const;

  // ---- the current document (update transaction open)
  // Starts document `number`, or continues it when it is current: text,
  // boundaries and items start empty; `isNew` tells the engine that the
  // number is not in the index yet. Another number while one is current:
  // reason 6, action Rollback. Numbers outside 1..2147483646: 301.
  void addingToDocument(uint64_t number, bool isNew);
  // Appends `units` UTF-16 units (a surrogate pair must not be split
  // between calls) converted to UTF-8; the buffer grows as needed.
  void addDocumentText(unsigned short const* text, unsigned int units);
  // Bytes of text so far: the position of the next boundary.
  uint32_t getBufferPosition() const { return iv_uiFill; }
  void addField(uint16_t field, uint32_t start, uint32_t end);
  void addSegmentBoundary(uint16_t delimiter, uint32_t position);
  // The public attribute-item push: puts `item` (pool memory, filled in)
  // at the front of the document's item list. A character item needs a
  // length of 1..32767 with a value, or 0: else reason 25.
  void addItemAtFront(REGISTITEM& item);
  // A numeric item (number or coded date) of attribute `attribute`.
  void addNumberItem(uint16_t attribute, double value);
  // A character item of attribute `attribute`: `length` bytes of `value`
  // in CCSID `ccsid`, converted to UTF-8 into the pool. More than 32767
  // bytes after conversion: reason 25, nothing added.
  void addStringItem(uint16_t attribute, CosClCCSID const& ccsid,
                     char const* value, uint32_t length);
  // Hands the document to the engine (text with its boundaries, then its
  // items, also when there are none), with paragraph recognition when
  // asked, and closes it. A failing engine call frees the engine's handle:
  // the update is then over and the document forgotten.
  void endDocument(bool paragraphRecognition);
  // Forgets the current document (number 0, no items).
  void rollbackCurrentDocument();
  uint64_t getCurrentDocument() const { return iv_ui64Document; }
  uint32_t getItemCount() const { return iv_uiItemCount; }

  // The transaction's pool; REQUIRES: an update was opened.
  CosClMemoryPool& getMemoryPool();
  // The converter from UCS-2 (13488) to UTF-8 (made on first use).
  CosClConverterABase const& getConverter();
  // The document text so far (UTF-8, getBufferPosition() bytes).
  uint8_t const* getText() const { return iv_pucBuffer; }
  ItlClBoundaryInfo const& getBoundaryInfo() const { return iv_clBoundaries; }

 private:
  struct ItemEntry {
    ItemEntry* next;
    REGISTITEM* item;
  };

  void ensureConverter();
  void requireCreateHandle(char const* origin, unsigned line) const;
  // Forgets the creation handle after the engine freed it, and removes the
  // update's work directory.
  void dropCreateHandle();
  // Forgets the merge handle after the engine freed it, and removes the
  // merge's work directory.
  void dropMergeHandle();
  // A new directory for one update or merge cycle of the engine inside the
  // index's working directory. The engine names its work files after the
  // index ("<name>.K00"), so two cycles on indexes of one name that share a
  // working directory (by default the temporary directory) would otherwise
  // write into each other's files. Empty when none can be made.
  std::string makeCycleWorkDirectory() const;
  // Makes room for `needed` more bytes of text.
  void growBuffer(uint32_t needed);

  ItlClIndexLocation const& iv_rclLocation;
  ItlClIndexConfig const& iv_rclConfig;
  void* iv_pvCreateHandle;   // engine's; null when no update is open
  void* iv_pvMergeHandle;    // engine's; null when no merge is open
  std::string iv_sUpdateWorkDir;  // the open update's work directory
  std::string iv_sMergeWorkDir;   // the open merge's work directory
  CosClMemoryPool* iv_pclPool;          // the open update's pool, borrowed
  CosClCodePage2UTF8Converter* iv_pclConverter;  // 13488 -> UTF-8, owned
  CosClCodePage2UTF8Converter* iv_pclItemConverter;  // item CCSID -> UTF-8
  uint8_t* iv_pucBuffer;     // document text, owned (memory manager)
  uint32_t iv_uiCapacity;    // bytes at iv_pucBuffer
  uint32_t iv_uiFill;        // bytes of text
  uint64_t iv_ui64Document;  // current document, 0 none
  int32_t iv_iStartPosition; // in/out start position of the engine
  ItlClBoundaryInfo iv_clBoundaries;
  ItemEntry* iv_pstItems;    // newest first
  uint32_t iv_uiItemCount;
  bool iv_bHighPerf;
  bool iv_bDisplayLog;
  uint16_t iv_usDocType;     // engine document type of the current one
};

#endif  // ITL_KERNEL_INTERFACE_HPP
