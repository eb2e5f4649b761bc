// itl_selectivity_query.hpp: a query estimate (ItlClSelectivityQuery): a
// query whose processing asks the engine how many documents its condition
// would select, without building a result list.
//
// The condition is built as for any query (ItlClAlQuery's operand and
// operator functions, its reset). `estimate` finalises it and calls the
// engine's selectivity estimate; the engine's selectivity handle is made
// by the first estimate, kept for the next ones and released by
// `releaseSelectivityHandle` or the destructor. A scope has no effect on
// an estimate.
#ifndef ITL_SELECTIVITY_QUERY_HPP
#define ITL_SELECTIVITY_QUERY_HPP

#include <cstdint>

#include "itl_query.hpp"

class ItlClSelectivityQuery : public ItlClAlQuery {
 public:
  // The two counts of one estimate.
  struct Estimate {
    uint64_t selected;  // documents the condition selects, bounded
    uint64_t second;    // the engine's second count (documents of the
                        // text sub-index), as the engine gave it
  };

  // REQUIRES: `search` outlives the estimate (or is replaced by
  // setNewIndex).
  explicit ItlClSelectivityQuery(ItlClIndexSearch& search)
      : ItlClAlQuery(search) {}
  // Releases the selectivity handle (errors ignored), then everything a
  // query owns.
  ~ItlClSelectivityQuery() override;

  // Does nothing: a scope does not restrict an estimate.
  void setScope(ItlClQueryResult* result) override;

  // Finalises the condition (the query is processed from then on) and
  // asks the engine. `maximum` 0 leaves the engine's count as it is;
  // otherwise the count is at most `maximum`. An engine failure is raised
  // as an ItlClException and nothing is returned.
  Estimate estimate(uint64_t maximum);

  // Releases the engine's selectivity handle when there is one; a failed
  // release is raised (the handle is gone either way).
  void releaseSelectivityHandle();

  // The engine's handle; null before the first estimate.
  void const* getSelectivityHandle() const { return iv_pvSelectivity; }

 private:
  void* iv_pvSelectivity = nullptr;
};

#endif  // ITL_SELECTIVITY_QUERY_HPP
