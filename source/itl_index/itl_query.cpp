// itl_query.cpp: ItlClAlQuery: operands into the condition, ranking, scope
// and the search.
//
// process(result), in order:
//   1. the result hears the start (type, form, limit, rank entries; it lets
//      go of its previous engine result, which its lists keep);
//   2. the condition is compiled; the query is processed from then on;
//   3. without ranking a result limit L becomes the processing threshold
//      -L (documents) when none is set or a larger one is, for this search
//      only: the condition's threshold is restored afterwards, so raising
//      the limit later delivers more;
//   4. the engine's search; the result takes over the engine result handle
//      whatever the outcome, then an engine failure is raised;
//   5. the result hears the end; retrieval status bit 1 records warning
//      380, else bit 2 warning 381.
#include "itl_query.hpp"

#include <cstring>
#include <new>

#include "calls/voz_gtrsearch.hpp"
#include "cos_memmgr.hpp"
#include "cos_trace.hpp"
#include "itl_context.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_config.hpp"
#include "itl_index_normalizer.hpp"
#include "itl_normalization.hpp"
#include "itl_query_result.hpp"
#include "itl_search_attribute.hpp"
#include "itl_search_handle.hpp"
#include "itl_search_string.hpp"
#include "itl_search_term.hpp"
#include "itl_voz_interface.hpp"

namespace {

#define kQueryOrigin "source/itl_search/itl_qc_query"
constexpr uint8_t kSortAscendingFlag = 0x80;

}  // namespace

uint8_t ItlClAlQuery::rankFormulaCode(int32_t formula) {
  static uint8_t const codes[8] = {1, 1, 16, 32, 48, 17, 33, 49};
  return formula >= 0 && formula < 8 ? codes[formula] : 1;
}

ItlClAlQuery::ItlClAlQuery(ItlClIndexSearch& search)
    : iv_pclSearch(&search),
      iv_clCondition(search.getIndex().getConfig().getMaskResolutionLimit()),
      iv_pvSearchHandle(nullptr),
      iv_bDoRank(false),
      iv_bProcessed(false),
      iv_clCCSID(),
      iv_clLanguage(static_cast<char const*>(nullptr)),
      iv_pclNormalizer(nullptr) {
  std::memset(&iv_stStatus, 0, sizeof iv_stStatus);
  std::memset(&iv_stRank, 0, sizeof iv_stRank);
  // The operands resolve field and attribute names: those of the last
  // commit, also on a long-lived index handle.
  ItlClIndexCommit::refreshNameMaps(search.getIndex());
}

ItlClAlQuery::~ItlClAlQuery() {
  if (iv_pvSearchHandle != nullptr) {
    GTRSTATUS status;
    GTRsearchIndex_Release(&iv_pvSearchHandle, &status);
  }
  CosClMemoryManager::free(iv_stRank.pRankFuncInfo);
  iv_stRank.pRankFuncInfo = nullptr;
  if (iv_pclNormalizer != nullptr)
    ItlClNormalization::destroyNormalizer(iv_pclNormalizer);
}

ItlClErrorInfo& ItlClAlQuery::getErrorInfo() const {
  return iv_pclSearch->getErrorInfo();
}

ItlEnReasonCode ItlClAlQuery::setCCSIDAndLanguage(uint16_t ccsid,
                                                  char const* language) {
  ItlEnReasonCode reason =
      itlSetCCSIDAndLanguage(iv_clCCSID, iv_clLanguage, ccsid, language);
  if (reason != 0) return reason;
  iv_pclNormalizer =
      itlCreateNormalizer(iv_pclSearch->getIndex().getConfig(), iv_clCCSID,
                          iv_clLanguage, iv_pclNormalizer);
  return reason;
}

void ItlClAlQuery::addSearchTerm(ItlClAlSearchTerm& term) {
  if (iv_pclNormalizer == nullptr)
    itlRaise(ITL_SOURCE(kQueryOrigin), ItlEnReasonCode_Invalid_ccsid);
  RTRVWORD const& word =
      term.finalize(iv_clCCSID, iv_clLanguage, *iv_pclNormalizer,
                    *iv_pclSearch);
  iv_clCondition.addTermOperand(word);
}

void ItlClAlQuery::addStringAttribute(ItlClAlStringAttribute& attribute) {
  SEARCHITEM item =
      attribute.finalize(iv_clCCSID, iv_clLanguage, *iv_pclSearch);
  iv_clCondition.addAttributeOperand(item);
}

void ItlClAlQuery::addNumericAttributeCondition(
    ItlClAlNumericAttributeCondition& condition) {
  SEARCHITEM item =
      condition.finalize(iv_clCCSID, iv_clLanguage, *iv_pclSearch);
  iv_clCondition.addAttributeOperand(item);
}

void ItlClAlQuery::addBooleanOperator(ItlEnOperator op,
                                      ItlEnOperatorMode mode) {
  iv_clCondition.addOperator(op, mode);
}

void ItlClAlQuery::addProximityOperator(uint16_t distance,
                                        ItlEnOperatorMode mode) {
  iv_clCondition.addProximityOperator(distance, mode);
}

void ItlClAlQuery::doRank(bool on, int32_t formula) {
  iv_bDoRank = on;
  if (!on) return;
  iv_stRank.weight_option = rankFormulaCode(formula);
  ItlClContext& context = iv_pclSearch->getContext();
  if (context.getRankingCallback() == nullptr) {
    CosClMemoryManager::free(iv_stRank.pRankFuncInfo);
    iv_stRank.pRankFuncInfo = nullptr;
    return;
  }
  if (iv_stRank.pRankFuncInfo == nullptr) {
    void* memory = CosClMemoryManager::allocate(sizeof(GTRRANKFUNCINFO));
    std::memset(memory, 0, sizeof(GTRRANKFUNCINFO));
    iv_stRank.pRankFuncInfo = static_cast<GTRRANKFUNCINFO*>(memory);
  }
  GTRRANKFUNCINFO& info = *iv_stRank.pRankFuncInfo;
  // The caller's callback takes an unsigned document number, the engine's
  // a signed one: the engine calls rankThrough, which calls the callback
  // registered when doRank ran.
  iv_pfuRanking = context.getRankingCallback();
  iv_pvRankingUser = context.getRankingUserData();
  info.rank_function = &ItlClAlQuery::rankThrough;
  info.user_data = this;
  info.flags = context.getRankingSortOrder() == ItlEnSortOrder_Ascending
                   ? kSortAscendingFlag
                   : 0;
}

uint32_t ItlClAlQuery::rankThrough(int32_t document, void* query) {
  auto* self = static_cast<ItlClAlQuery*>(query);
  return self->iv_pfuRanking(static_cast<uint32_t>(document),
                             self->iv_pvRankingUser);
}

void ItlClAlQuery::setScope(ItlClQueryResult* result) {
  if (result == nullptr || !result->isSearchEnded())
    itlRaise(ITL_SOURCE(kQueryOrigin),
             ItlEnReasonCode_Invalid_search_scope_specified);
  iv_clCondition.setScope(&result->getRecord());
}

void ItlClAlQuery::releaseSearchHandle() {
  if (iv_pvSearchHandle == nullptr) return;
  GTRSTATUS status;
  GTRsearchIndex_Release(&iv_pvSearchHandle, &status);
  iv_pvSearchHandle = nullptr;
  ItlClVozInterface::handleVozError(
      ITL_SOURCE("./headers/itl_search/itl_qc_query"), status);
}

void ItlClAlQuery::setNewIndex(ItlClIndexSearch& search) {
  if (&search == iv_pclSearch) return;
  // The engine's handle holds the old index's files open.
  releaseSearchHandle();
  iv_pclSearch = &search;
}

void ItlClAlQuery::finalizeCondition() {
  iv_clCondition.finalize(&iv_pclSearch->getContext());
  iv_bProcessed = true;
}

void ItlClAlQuery::process(ItlClQueryResult& result) {
  CosClTrace trace(CosEnTraceDetail::HIGH, 3, kQueryOrigin);
  RTRVRANK* rank = iv_bDoRank ? &iv_stRank : nullptr;
  ItlClIndex& index = iv_pclSearch->getIndex();
  result.notifySearchStart(index, rank);
  finalizeCondition();

  int32_t threshold = iv_clCondition.getProcessingThreshold();
  uint64_t limit = result.getLimit();
  if (rank == nullptr && limit != 0) {
    if (threshold == 0 ||
        (threshold < 0 && static_cast<uint64_t>(-static_cast<int64_t>(
                              threshold)) > limit))
      iv_clCondition.setProcessingThreshold(-static_cast<int32_t>(limit));
  } else if (rank != nullptr && gs_pclCosTraceInstance != nullptr) {
    trace.dump(CosEnTraceDataType::INT32, "limit for ranked result: ",
               &iv_stRank.rankcount, 4);
    trace.dump(CosEnTraceDataType::UINT8, "rank formula: ",
               &iv_stRank.weight_option, 1);
    trace.dump(CosEnTraceDataType::UINT8, "strictness of operation: ",
               &iv_stRank.howto_operate, 1);
    trace.dump(CosEnTraceDataType::POINTER, "user function pointer:",
               &iv_stRank.pRankFuncInfo, sizeof iv_stRank.pRankFuncInfo);
  }

  std::memset(&iv_stStatus, 0, sizeof iv_stStatus);
  {
    // Never halfway through a commit's install (see itl_index_commit.hpp).
    // The names of the hits come from the maps of the same commit as the
    // engine's answer: opened again here when a commit replaced them.
    ItlClIndexCommitLock lock(index, false);
    bool const unchanged =
        lock.unchangedFor(ItlClKeptDirectory::DOCUMENT_NAMES);
    bool const checked =
        index.getDocumentNameMapping().refreshForRead(unchanged);
    if (!unchanged)
      lock.noteChecked(ItlClKeptDirectory::DOCUMENT_NAMES, checked);
    GTRsearchIndex(&iv_pvSearchHandle, index.getName(), index.getDirectory(),
                   index.getWorkingDirectory(), iv_clCondition.getCondition(),
                   rank, nullptr, nullptr, &result.getRecord(), &iv_stStatus);
  }
  iv_clCondition.setProcessingThreshold(threshold);
  result.adoptEngineResult();
  ItlClVozInterface::handleVozError(ITL_SOURCE(kQueryOrigin), iv_stStatus);

  result.notifySearchEnd(&iv_stStatus,
                         rank != nullptr && rank->pRankFuncInfo != nullptr);
  ItlClErrorInfo& errorInfo = getErrorInfo();
  // The status is a set of bits: 1 the search stopped at its threshold,
  // 2 it met stop words. Both at once give 380, since the list is cut
  // short; testing for equality gave no warning at all.
  if ((iv_stStatus.retrieve_status & 0x01) != 0)
    errorInfo.setError(kQueryOrigin, ItlEnReasonCode_Search_threshold_met,
                       ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  else if ((iv_stStatus.retrieve_status & 0x02) != 0)
    errorInfo.setError(kQueryOrigin,
                       ItlEnReasonCode_Query_contains_stop_words,
                       ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
}
