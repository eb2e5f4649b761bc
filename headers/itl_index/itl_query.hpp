// itl_query.hpp: one query against one index search handle (ItlClAlQuery):
// its search condition, CCSID, language and normaliser, its ranking request
// and the engine's search handle.
//
// Operands are finalised (turned into the engine's RTRVWORD or SEARCHITEM
// with the query's CCSID, language and normaliser, and the index's name
// maps and configuration) and then copied into the condition; an operand
// whose finalisation fails is not added and the condition keeps what it
// had. `process` compiles the condition and runs the engine's search into a
// query result.
//
// Names the index does not know (fields of a term, the attribute of a
// condition) give warning 403 and make the operand match nothing; they are
// never searched as field or attribute 1.
//
// States: under construction until the first `process` reaches the
// condition's compilation; processed from then on (a reset keeps it).
// Failures are ItlClExceptions (return code 8, action Inform); warnings
// (369, 380, 381, 403) go to the query's error info with return code 4.
#ifndef ITL_QUERY_HPP
#define ITL_QUERY_HPP

#include <cstdint>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "files/voz_records_search.hpp"
#include "files/voz_status.hpp"
#include "itl_codes.hpp"
#include "itl_search_condition.hpp"

class ItlClAlNumericAttributeCondition;
class ItlClAlSearchTerm;
class ItlClAlStringAttribute;
class ItlClErrorInfo;
class ItlClIndexSearch;
class ItlClNormalization;
class ItlClQueryResult;

class ItlClAlQuery {
 public:
  // The proximity distances an operator accepts: 0, 1 and 5..32.
  static bool isValidDistance(uint16_t distance) {
    return distance <= 1 || (distance >= 5 && distance <= 32);
  }
  // weight_option of a rank formula 0..7.
  static uint8_t rankFormulaCode(int32_t formula);

  // REQUIRES: `search` outlives the query (or is replaced by setNewIndex).
  // CCSID and language unset; setCCSIDAndLanguage completes the query.
  explicit ItlClAlQuery(ItlClIndexSearch& search);
  // Releases the engine search handle (errors ignored), the ranking
  // record, the normaliser and every operand copy.
  virtual ~ItlClAlQuery();
  ItlClAlQuery(ItlClAlQuery const&) = delete;
  ItlClAlQuery& operator=(ItlClAlQuery const&) = delete;

  // Stores both and makes the normaliser for them; returns 8 for an
  // unknown language or territory, else 10 for an invalid CCSID (both
  // stay stored), else 0.
  ItlEnReasonCode setCCSIDAndLanguage(uint16_t ccsid, char const* language);

  // Finalise and add an operand (see the file comment).
  void addSearchTerm(ItlClAlSearchTerm& term);
  void addStringAttribute(ItlClAlStringAttribute& attribute);
  void addNumericAttributeCondition(ItlClAlNumericAttributeCondition& cond);
  void addBooleanOperator(ItlEnOperator op, ItlEnOperatorMode mode);
  void addProximityOperator(uint16_t distance, ItlEnOperatorMode mode);

  // Unit 0 stores minus the threshold (documents), 1 the threshold.
  void setProcessingThreshold(int32_t threshold) {
    iv_clCondition.setProcessingThreshold(threshold);
  }
  // REQUIRES: formula 0..7. With `on`, the formula's code and, when the
  // context has a ranking callback, the ranking-callback record.
  void doRank(bool on, int32_t formula);
  // 367 for a result whose search has not ended.
  virtual void setScope(ItlClQueryResult* result);
  // Runs the search into `result` (see the implementation's steps).
  void process(ItlClQueryResult& result);
  // REQUIRES: processed. Searches through `search` from now on.
  void setNewIndex(ItlClIndexSearch& search);
  // REQUIRES: processed. Empties the condition; threshold, scope, ranking,
  // CCSID and language stay.
  void resetToDefault() { iv_clCondition.clear(); }

  bool isProcessed() const { return iv_bProcessed; }
  ItlClIndexSearch& getIndexSearch() const { return *iv_pclSearch; }
  ItlClErrorInfo& getErrorInfo() const;
  ItlClSearchCondition& getCondition() { return iv_clCondition; }
  RTRVRANK const& getRank() const { return iv_stRank; }
  bool getDoRank() const { return iv_bDoRank; }
  CosClCCSID const& getCCSID() const { return iv_clCCSID; }
  CosClLanguage const& getLanguage() const { return iv_clLanguage; }

 protected:
  // Compiles the condition with the context's callbacks; the query is
  // processed from then on.
  void finalizeCondition();
  // The engine's status record of the last engine call.
  GTRSTATUS& getStatus() { return iv_stStatus; }

 private:
  void releaseSearchHandle();
  // The engine's ranking function: the caller's callback with its data.
  static uint32_t rankThrough(int32_t document, void* query);

  ItlClIndexSearch* iv_pclSearch;
  ItlClSearchCondition iv_clCondition;
  void* iv_pvSearchHandle;        // the engine's; null until a search
  GTRSTATUS iv_stStatus;
  RTRVRANK iv_stRank;             // pRankFuncInfo owned
  bool iv_bDoRank;
  bool iv_bProcessed;
  CosClCCSID iv_clCCSID;
  CosClLanguage iv_clLanguage;
  ItlClNormalization* iv_pclNormalizer;  // owned; null until set
  ItlTyRankingCallback iv_pfuRanking = nullptr;  // as doRank found it
  void* iv_pvRankingUser = nullptr;
};

#endif  // ITL_QUERY_HPP
