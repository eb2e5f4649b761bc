// itl_selectivity_query.cpp: ItlClSelectivityQuery: the engine's selectivity
// estimate of a query's condition.
#include "itl_selectivity_query.hpp"

#include <cstring>

#include "calls/voz_gtrsearch.hpp"
#include "cos_trace.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_search_handle.hpp"
#include "itl_voz_interface.hpp"

namespace {

#define kEstimateOrigin "source/itl_index/itl_selectivity_query"

}  // namespace

ItlClSelectivityQuery::~ItlClSelectivityQuery() {
  if (iv_pvSelectivity != nullptr) {
    GTRSTATUS status;
    std::memset(&status, 0, sizeof status);
    GTRreleaseSelectivity(&iv_pvSelectivity, &status);
  }
}

void ItlClSelectivityQuery::setScope(ItlClQueryResult*) {}

void ItlClSelectivityQuery::releaseSelectivityHandle() {
  if (iv_pvSelectivity == nullptr) return;
  GTRSTATUS status;
  std::memset(&status, 0, sizeof status);
  GTRreleaseSelectivity(&iv_pvSelectivity, &status);
  iv_pvSelectivity = nullptr;
  ItlClVozInterface::handleVozError(ITL_SOURCE(kEstimateOrigin), status);
}

ItlClSelectivityQuery::Estimate ItlClSelectivityQuery::estimate(
    uint64_t maximum) {
  CosClTrace trace(CosEnTraceDetail::HIGH, 3, kEstimateOrigin);
  GTRSELECTIVITY record;
  std::memset(&record, 0, sizeof record);
  finalizeCondition();

  ItlClIndex& index = getIndexSearch().getIndex();
  // The engine takes the condition by address; the copy keeps the
  // compiled condition as the query holds it.
  GTRSEARCH_COND condition = getCondition().getCondition();
  GTRSTATUS& status = getStatus();
  std::memset(&status, 0, sizeof status);
  {
    // Never halfway through a commit's install (see itl_index_commit.hpp).
    ItlClIndexCommitLock lock(index, false);
    GTRgetSelectivity(&iv_pvSelectivity, index.getName(),
                      index.getDirectory(), nullptr, &condition, &record,
                      &status);
  }
  ItlClVozInterface::handleVozError(ITL_SOURCE(kEstimateOrigin), status);

  // The engine's counts are read as unsigned 32-bit numbers.
  uint64_t selected = static_cast<uint32_t>(record.sel_docnum);
  Estimate result;
  result.selected =
      maximum == 0 || selected < maximum ? selected : maximum;
  result.second = static_cast<uint32_t>(record.idx_docnum);
  return result;
}
