// itl_query_result.cpp: the query result, its engine result holder and the
// making of its lists (the lists themselves: itl_result_list.cpp).
#include "itl_query_result.hpp"

#include <cstring>
#include <new>

#include "calls/voz_gtrresult.hpp"
#include "cos_memmgr.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_kernel_interface.hpp"
#include "itl_managed_object.hpp"
#include "itl_voz_interface.hpp"

namespace {

constexpr int32_t RC_ALREADY_OPEN = 125;
constexpr int32_t RC_NOT_OPEN = 126;
// Rank entries of one search: 20 bytes each must stay far below the
// memory manager's 32-bit sizes.
constexpr uint64_t MAX_RANK_ENTRIES = 50000000;
// Up to this many rank entries (80 KB) are allocated as the limit asks,
// without asking the engine how many documents the index holds: that
// costs a lock and a read of the index header on every ranked search, and
// the engine ranks no more documents than it finds whatever room it has.
constexpr uint64_t RANK_ENTRIES_WITHOUT_COUNT = 4096;

}  // namespace

// ---- ItlClEngineResult

ItlClEngineResult::~ItlClEngineResult() {
  if (iv_pvHandle == nullptr) return;
  GTRSTATUS status;
  if (iv_bOpen) GTRsearchIndex_CloseResult(iv_pvHandle, nullptr, &status);
  GTRsearchIndex_ReleaseResult(iv_pvHandle, &status);
}

void ItlClEngineResult::open(char const* origin, unsigned line) {
  if (iv_pvHandle == nullptr || iv_bOpen) return;
  GTRSTATUS status;
  GTRsearchIndex_OpenResult(iv_pvHandle, nullptr, &status);
  if (status.retcode == RC_ALREADY_OPEN) std::memset(&status, 0, sizeof status);
  ItlClVozInterface::handleVozError(origin, line, status);
  iv_bOpen = true;
}

void ItlClEngineResult::closeAndRelease(char const* origin, unsigned line) {
  void* handle = iv_pvHandle;
  if (handle == nullptr) return;
  iv_pvHandle = nullptr;
  GTRSTATUS closeStatus;
  std::memset(&closeStatus, 0, sizeof closeStatus);
  if (iv_bOpen) {
    GTRsearchIndex_CloseResult(handle, nullptr, &closeStatus);
    if (closeStatus.retcode == RC_NOT_OPEN)
      std::memset(&closeStatus, 0, sizeof closeStatus);
    iv_bOpen = false;
  }
  GTRSTATUS releaseStatus;
  GTRsearchIndex_ReleaseResult(handle, &releaseStatus);
  ItlClVozInterface::handleVozError(origin, line, closeStatus);
  ItlClVozInterface::handleVozError(origin, line, releaseStatus);
}

void itlDropEngineResult(ItlClRefCountLink<ItlClEngineResult>& link,
                         char const* origin, unsigned line) {
  ItlClEngineResult* engine = link.get();
  if (engine == nullptr) return;
  if (engine->getReferenceCount() != 1) {
    link.release();
    return;
  }
  try {
    engine->closeAndRelease(origin, line);
  } catch (...) {
    link.release();
    throw;
  }
  link.release();
}

// ---- ItlClQueryResult

ItlClQueryResult::ItlClQueryResult(ItlClContext const& context)
    : iv_pclIndex(nullptr),
      iv_ui64Limit(0),
      iv_uiDataForm(1),
      iv_iStatus(0),
      iv_bStatisticsOnly(false),
      iv_bTermCounts(false),
      iv_bRankedWithCallback(false),
      iv_bSearchEnded(false),
      iv_pstRankEntries(nullptr),
      iv_uiRankEntryCount(0),
      iv_rclContext(context) {
  std::memset(&iv_stResult, 0, sizeof iv_stResult);
  iv_stResult.res_handle_memory = MEMORY_SIZE_DEFAULT;
}

ItlClQueryResult::~ItlClQueryResult() {
  freeRankEntries();
  CosClMemoryManager::free(iv_stResult.term_docnum);
  iv_stResult.term_docnum = nullptr;
  iv_stResult.res_handle = nullptr;
  iv_clEngine.release();  // the holder releases the engine's handle
}

ItlClErrorInfo& ItlClQueryResult::getErrorInfo() const {
  return iv_rclContext.getErrorInfo();
}

void ItlClQueryResult::setSaveToFile(char const* name) {
  std::memset(iv_stResult.res_fname, 0, sizeof iv_stResult.res_fname);
  if (name == nullptr) return;
  size_t length = std::strlen(name);
  if (length >= sizeof iv_stResult.res_fname)
    length = sizeof iv_stResult.res_fname - 1;
  std::memcpy(iv_stResult.res_fname, name, length);
}

int32_t ItlClQueryResult::getTermCount() const {
  if (iv_stResult.term_docnum == nullptr) return 0;
  int32_t count = iv_stResult.term_docnum_count;
  if (count < 0) return 0;
  return count < iv_stResult.term_docnum_max ? count
                                             : iv_stResult.term_docnum_max;
}

void ItlClQueryResult::freeRankEntries() {
  CosClMemoryManager::free(iv_pstRankEntries);
  iv_pstRankEntries = nullptr;
  iv_uiRankEntryCount = 0;
}

void ItlClQueryResult::notifySearchStart(ItlClIndex const& index,
                                         RTRVRANK* rank) {
  iv_pclIndex = &index;
  // The lists of the previous search keep their own links to its engine
  // result; this result forgets it.
  iv_stResult.res_handle = nullptr;
  iv_clEngine.release();
  iv_stResult.result_docnum = 0;
  iv_stResult.result_occnum = 0;
  iv_stResult.res_flag = 0;
  iv_stResult.term_docnum_count = 0;
  iv_iStatus = 0;
  iv_bRankedWithCallback = false;

  if (iv_bStatisticsOnly)
    iv_stResult.res_type = GTR_RES_NONE;
  else if (iv_stResult.res_fname[0] == '\0')
    iv_stResult.res_type = GTR_RES_HANDLE;
  else
    iv_stResult.res_type = GTR_RES_FILE_HEADER;
  iv_stResult.res_dataform = iv_uiDataForm == 0 ? 1 : 2;

  if (iv_bTermCounts) {
    if (iv_stResult.term_docnum == nullptr) {
      iv_stResult.term_docnum = static_cast<int32_t*>(
          CosClMemoryManager::allocate(TERM_COUNTS_MAX * sizeof(int32_t)));
      std::memset(iv_stResult.term_docnum, 0,
                  TERM_COUNTS_MAX * sizeof(int32_t));
    }
    iv_stResult.term_docnum_max = TERM_COUNTS_MAX;
  } else {
    CosClMemoryManager::free(iv_stResult.term_docnum);
    iv_stResult.term_docnum = nullptr;
    iv_stResult.term_docnum_max = 0;
  }

  if (rank != nullptr) {
    freeRankEntries();
    rank->rankdoc = nullptr;
    // No search ranks more documents than the index holds: the entries
    // are sized by that, not by a limit that may reach 2^31 - 1.
    uint64_t entries = iv_ui64Limit;
    if (entries > RANK_ENTRIES_WITHOUT_COUNT) {
      uint64_t count0 = 0, count1 = 0;
      index.getKernelInterface().obtainNumberOfDocuments(count0, count1);
      uint64_t documents = count0 + count1 > 0 ? count0 + count1 : 1;
      if (entries > documents) entries = documents;
      if (entries > MAX_RANK_ENTRIES) entries = MAX_RANK_ENTRIES;
    }
    rank->rankcount = static_cast<int32_t>(entries);
    if (entries != 0) {
      size_t bytes = static_cast<size_t>(entries) * RANK_ENTRY_SIZE;
      iv_pstRankEntries = static_cast<GTRRANKDOC*>(
          CosClMemoryManager::allocate(static_cast<unsigned>(bytes)));
      std::memset(iv_pstRankEntries, 0, bytes);
      iv_uiRankEntryCount = static_cast<uint32_t>(entries);
      rank->rankdoc = iv_pstRankEntries;
    }
  }
  iv_bSearchEnded = false;
}

void ItlClQueryResult::adoptEngineResult() {
  void* handle = iv_stResult.res_handle;
  if (handle == nullptr || (!iv_clEngine.isNull() &&
                            iv_clEngine->getHandle() == handle))
    return;
  void* memory = CosClMemoryManager::allocate(sizeof(ItlClEngineResult));
  iv_clEngine.set(new (memory) ItlClEngineResult(handle));
}

void ItlClQueryResult::notifySearchEnd(GTRSTATUS const* status,
                                       bool rankedWithCallback) {
  iv_iStatus = status != nullptr ? status->retrieve_status : 0;
  iv_bRankedWithCallback = rankedWithCallback;
  iv_bSearchEnded = true;
}

void ItlClQueryResult::releaseEngineResult() {
  iv_stResult.res_handle = nullptr;
  itlDropEngineResult(iv_clEngine, ITL_SOURCE("source/itl_search/itl_qresult"));
}

ItlClListABase* ItlClQueryResult::getNewResultList() {
  ItlClErrorInfo& errorInfo = getErrorInfo();
  int32_t found = iv_stResult.result_docnum > 0 ? iv_stResult.result_docnum
                                                : 0;
  if (iv_rclContext.getRankingCallback() != nullptr &&
      iv_bRankedWithCallback && iv_ui64Limit != 0) {
    ItlClCBRankedResultList* list = itlNewObject<ItlClCBRankedResultList>(
        errorInfo, iv_clEngine.get(), iv_uiDataForm);
    try {
      list->init();
      uint32_t count = iv_uiRankEntryCount;
      if (static_cast<uint32_t>(found) < count) count = found;
      if (count != 0) {
        // The list owns an array of exactly its elements.
        void* entries = CosClMemoryManager::allocate(count * RANK_ENTRY_SIZE);
        std::memcpy(entries, iv_pstRankEntries, count * RANK_ENTRY_SIZE);
        list->initArray(entries, count, RANK_ENTRY_SIZE);
      }
    } catch (...) {
      itlDeleteObject(list);
      throw;
    }
    freeRankEntries();
    return list;
  }
  uint32_t count = static_cast<uint32_t>(found);
  if (iv_ui64Limit != 0 && iv_ui64Limit < count)
    count = static_cast<uint32_t>(iv_ui64Limit);
  if (iv_clEngine.isNull()) count = 0;  // nothing to read the elements from
  ItlClResultList* list =
      itlNewObject<ItlClResultList>(errorInfo, iv_clEngine.get(), count);
  try {
    list->init();
  } catch (...) {
    itlDeleteObject(list);
    throw;
  }
  return list;
}
