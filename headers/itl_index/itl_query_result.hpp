// itl_query_result.hpp: the outcome of processing a query (ItlClQueryResult)
// and the lists a caller walks over it: ItlClResultList (list type 100002)
// over the engine's result handle, ItlClCBRankedResultList (100003) over the
// rank entries the engine filled for a ranking callback.
//
// The engine result handle lives in ItlClEngineResult, a reference-counted
// holder shared by the query result that made it and by every list and
// iterator made from it: it is opened for reading when the first iterator of
// a list with elements is made, and closed and released when its last owner
// lets go. So a list stays walkable after its query result is deleted or
// processed again (the result then holds a new engine result), and an
// engine handle is released exactly once.
//
// Lists copy what they need of the result when they are made (element
// count, data form); they never reach back into the query result. Document
// numbers are the engine's 32-bit numbers zero-extended to 64 bits.
//
// Failures are ItlClExceptions (return code 8, action Inform): engine
// errors mapped with the origins below, reason 46 for an iterator of a
// deleted list, and the memory manager's out-of-memory exception.
// Destructors never throw.
#ifndef ITL_QUERY_RESULT_HPP
#define ITL_QUERY_RESULT_HPP

#include <cstdint>

#include "files/voz_records_search.hpp"
#include "files/voz_status.hpp"
#include "itl_codes.hpp"
#include "itl_list.hpp"

class ItlClContext;
class ItlClIndex;

// The engine's result handle of one search and its open state.
class ItlClEngineResult : public ItlClReferenceCounter {
 public:
  // Takes over `handle` (may be null: a result without occurrences).
  explicit ItlClEngineResult(void* handle) : iv_pvHandle(handle) {}
  // Closes and releases what is left, ignoring engine errors.
  ~ItlClEngineResult() override;

  void* getHandle() const { return iv_pvHandle; }
  // Opens the handle for reading once; the engine's "already open" (125)
  // is no error. Engine errors are raised with `origin`.
  void open(char const* origin, unsigned line);
  // Closes (when open; "not open", 126, is no error) and releases the
  // handle now and forgets it; the first engine error is raised with
  // `origin` after both steps ran.
  void closeAndRelease(char const* origin, unsigned line);

 private:
  void* iv_pvHandle;   // owned; null once released
  bool iv_bOpen = false;
};

// Drops `link`; when it was the last owner of the engine result, that is
// closed and released first and its failure raised (the link is dropped in
// every case).
void itlDropEngineResult(ItlClRefCountLink<ItlClEngineResult>& link,
                         char const* origin, unsigned line);

class ItlClQueryResult {
 public:
  static constexpr int32_t MEMORY_SIZE_DEFAULT = 65536;
  static constexpr int32_t TERM_COUNTS_MAX = 1000;
  static constexpr uint32_t RANK_ENTRY_SIZE = 20;
  static constexpr uint64_t LIMIT_MAX = 2147483647;

  // REQUIRES: `context` outlives the result.
  explicit ItlClQueryResult(ItlClContext const& context);
  // Frees the rank entries and the per-term counts and lets go of the
  // engine result (released when no list holds it); never throws.
  ~ItlClQueryResult();
  ItlClQueryResult(ItlClQueryResult const&) = delete;
  ItlClQueryResult& operator=(ItlClQueryResult const&) = delete;

  // ---- options, set before processing (checked by the caller)
  void setLimit(uint64_t limit) { iv_ui64Limit = limit; }
  void setMemorySize(uint32_t bytes) {
    iv_stResult.res_handle_memory = static_cast<int32_t>(bytes);
  }
  void setDataForm(uint32_t form) { iv_uiDataForm = form; }
  void setStatisticsOnly(bool on) { iv_bStatisticsOnly = on; }
  // REQUIRES: null or at most GTR_RES_FNAME_LEN - 1 bytes. Null or empty
  // clears the name.
  void setSaveToFile(char const* name);
  void setDocCountByTerm(bool on) { iv_bTermCounts = on; }

  // ---- the search (called by ItlClAlQuery::process)
  // Remembers the index, lets go of the previous engine result (lists made
  // from it keep it), sets result type and form, the per-term counts and,
  // with `rank`, its count and a fresh array of rank entries.
  void notifySearchStart(ItlClIndex const& index, RTRVRANK* rank);
  // Takes over the engine result handle the search left in the record (a
  // failed search may leave one too).
  void adoptEngineResult();
  // Stores the retrieval status, marks the search ended and whether it was
  // ranked with a ranking callback.
  void notifySearchEnd(GTRSTATUS const* status, bool rankedWithCallback);

  // A new list over the last search (the caller destroys and frees it
  // through the memory manager): a callback-ranked list when the context
  // has a ranking callback, the search was ranked with it and a limit is
  // set; otherwise a result list.
  ItlClListABase* getNewResultList();

  // Lets go of the engine result now; when this result was its last owner
  // the close or release failure is raised (origin of the result's
  // destruction). Idempotent.
  void releaseEngineResult();

  // ---- what the search left
  GTRSEARCH_RES& getRecord() { return iv_stResult; }
  GTRSEARCH_RES const& getRecord() const { return iv_stResult; }
  uint64_t getLimit() const { return iv_ui64Limit; }
  uint32_t getDataForm() const { return iv_uiDataForm; }
  bool isStatisticsOnly() const { return iv_bStatisticsOnly; }
  bool isSearchEnded() const { return iv_bSearchEnded; }
  uint32_t getStatus() const { return static_cast<uint32_t>(iv_iStatus); }
  int32_t getTermCount() const;
  // REQUIRES: 0 <= offset < getTermCount().
  int32_t getTermDocCount(int32_t offset) const {
    return iv_stResult.term_docnum[offset];
  }
  ItlClContext const& getContext() const { return iv_rclContext; }
  ItlClErrorInfo& getErrorInfo() const;

 private:
  void freeRankEntries();

  GTRSEARCH_RES iv_stResult;          // res_handle mirrors the holder's
  ItlClIndex const* iv_pclIndex;      // of the last search
  uint64_t iv_ui64Limit;              // 0 = none
  uint32_t iv_uiDataForm;             // 0 or 1
  int32_t iv_iStatus;                 // retrieval status of the last search
  bool iv_bStatisticsOnly;
  bool iv_bTermCounts;
  bool iv_bRankedWithCallback;
  bool iv_bSearchEnded;
  GTRRANKDOC* iv_pstRankEntries;      // owned until a ranked list takes it
  uint32_t iv_uiRankEntryCount;
  ItlClRefCountLink<ItlClEngineResult> iv_clEngine;
  ItlClContext const& iv_rclContext;
};

// The documents of an engine result in the engine's order.
class ItlClResultList : public ItlClListABase {
 public:
  class Iterator : public ItlClListABase::Iterator {
   public:
    explicit Iterator(ItlClResultList const& list);
    bool isAtFirstElement() const override { return iv_uiPosition == 0; }
    bool isAtLastElement() const override {
      return iv_uiPosition + 1 == iv_uiCount;
    }
    bool isValid() const override { return iv_uiPosition < iv_uiCount; }
    bool setToFirst() override;
    bool setToLast() override;
    bool setToNext(unsigned int steps) override;
    bool setToPrevious(unsigned int steps) override;
    // There is no element in memory to point to: null.
    void const* getCurrent() const override { return nullptr; }

    // The current element: its document number, occurrence count and the
    // engine's score (each may be null). 46 when the list is gone or the
    // position is past the end.
    void obtainCurrent(uint64_t* number, int32_t* count, double* rank) const;

   private:
    uint32_t iv_uiPosition;
    uint32_t iv_uiCount;
    ItlClRefCountLink<ItlClEngineResult> iv_clEngine;
  };

  // Elements: `count`; the holder may be null only when count is 0.
  ItlClResultList(ItlClErrorInfo& errorInfo, ItlClEngineResult* engine,
                  uint32_t count);
  ~ItlClResultList() override;

  uint32_t getNumberOfElements() const override { return iv_uiCount; }
  bool matchesType(ItlEnListType type) const override {
    return type == ItlEnListType_ResultList;
  }
  // Opens the engine result when the list has elements.
  ItlClListABase::Iterator* getNewIterator() const override;
  ItlClEngineResult* getEngineResult() const { return iv_clEngine.get(); }

 private:
  ItlClRefCountLink<ItlClEngineResult> iv_clEngine;
  uint32_t iv_uiCount;
};

// The rank entries (GTRRANKDOC, 20 bytes each) of a search ranked with the
// caller's ranking callback, in the engine's order.
class ItlClCBRankedResultList : public ItlClArrayBasedList {
 public:
  class Iterator : public ItlClListABase::Iterator {
   public:
    explicit Iterator(ItlClCBRankedResultList const& list);
    bool isAtFirstElement() const override { return iv_uiPosition == 0; }
    bool isAtLastElement() const override {
      return iv_uiPosition + 1 == iv_uiCount;
    }
    bool isValid() const override { return iv_uiPosition < iv_uiCount; }
    bool setToFirst() override;
    bool setToLast() override;
    bool setToNext(unsigned int steps) override;
    bool setToPrevious(unsigned int steps) override;
    // The current rank entry; null past the end or once the list is gone.
    void const* getCurrent() const override;

    // Document number, count (1 unless the data form is 0, then read from
    // the engine), rank and the callback's score; each may be null.
    void obtainCurrent(uint64_t* number, int32_t* count, double* rank,
                       double* score) const;

   private:
    uint32_t iv_uiPosition;
    uint32_t iv_uiCount;
    ItlClRefCountLink<ItlClEngineResult> iv_clEngine;
  };

  ItlClCBRankedResultList(ItlClErrorInfo& errorInfo,
                          ItlClEngineResult* engine, uint32_t dataForm);
  ~ItlClCBRankedResultList() override;

  bool matchesType(ItlEnListType type) const override {
    return type == ItlEnListType_CallbackRankedResultList ||
           type == ItlEnListType_ArrayBasedList;
  }
  ItlClListABase::Iterator* getNewIterator() const override;
  ItlClEngineResult* getEngineResult() const { return iv_clEngine.get(); }
  uint32_t getDataForm() const { return iv_uiDataForm; }

 private:
  ItlClRefCountLink<ItlClEngineResult> iv_clEngine;
  uint32_t iv_uiDataForm;
};

#endif  // ITL_QUERY_RESULT_HPP
