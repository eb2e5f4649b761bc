// itl_search_condition.hpp: the search condition of one query
// (ItlClSearchCondition): operands and operators collected in postfix order
// and written by `finalize` as the engine's expression string.
//
// The condition is the engine's mixed form (GTRSEARCH_COND, cond_type 5):
// `mix` holds one GTRSEARCHMIX per operand (mix_type 1 a search term with
// its RTRVWORD, 2 an attribute condition with its SEARCHITEM), operand n
// being element n-1; `mix_order` the expression; code page 34 (UTF-8),
// word_limit the index's MaskResolutionLimit, every other field zero but
// the scope and the processing threshold (discon_count) the query sets.
//
// Expression (written by finalize): operands by number in decimal,
// operators inside "( " and " )": " *S " AND, " +F " OR, " -P " AND-NOT
// with the mode letter S (0), F (1) or P (2), " *5F " a distance of 5
// (proximity modes are F for 1 and S otherwise). A negated operand or
// bracket is prefixed "!S " or "!F "; when the text so far ends in an AND
// (" *X "), the AND becomes an AND-NOT (" -X ", the letter F for mode 1)
// instead. "( 1 )" for a single operand.
//
// Collecting: NOT (3) negates the operand or operator added last; applied
// twice it cancels. Any other operator takes the two entries on top of the
// operand stack as its sides. Refused without touching anything (reason
// 6, Invalid_calling_sequence): a binary or proximity operator with fewer
// than two stack entries, NOT before any addition.
//
// Every table lives in the cos memory manager and grows by 10 entries; the
// operand copies (word, field ranges, field weights, character values) are
// owned by the condition. Failures are ItlClExceptions (return code 8,
// action Inform) or the memory manager's out-of-memory exception.
#ifndef ITL_SEARCH_CONDITION_HPP
#define ITL_SEARCH_CONDITION_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "itl_codes.hpp"

class CosClTrace;
class ItlClContext;

// One operator of the operator table.
struct _ItlOperatorEntry {
  uint8_t boolean;           // 1 boolean operator, 0 proximity
  ItlEnOperator op;          // boolean only
  uint16_t distance;         // proximity only
  ItlEnOperatorMode mode;
};

class ItlClSearchCondition {
 public:
  static constexpr uint8_t CODEPAGE_UTF8 = 34;
  static constexpr uint32_t INITIAL_CAPACITY = 20;
  static constexpr uint32_t GROWTH = 10;

  explicit ItlClSearchCondition(int32_t maskResolutionLimit = 0);
  ~ItlClSearchCondition();
  ItlClSearchCondition(ItlClSearchCondition const&) = delete;
  ItlClSearchCondition& operator=(ItlClSearchCondition const&) = delete;

  // Adds the next operand: a copy of the record whose word (wordlen bytes),
  // field ranges (fld_number entries, when pFieldRange is set) and field
  // weights (`weight` entries, when pFieldWeight is set) are copied into
  // buffers the condition owns.
  void addTermOperand(RTRVWORD const& word);
  // The same for an attribute condition; its character value (char_len
  // bytes, when char_ptr is set) is copied.
  void addAttributeOperand(SEARCHITEM const& item);
  // NOT negates the last addition (6 before any); any other value joins
  // the two top entries (6 with fewer); the value is checked by finalize.
  void addOperator(ItlEnOperator op, ItlEnOperatorMode mode);
  void addProximityOperator(uint16_t distance, ItlEnOperatorMode mode);

  // Writes the skip record (when the context has a skip callback) and the
  // expression. 371 without an operand or with several and no operator,
  // 362 with operands left under the last operator, 363 for an operator
  // value outside 0-2. May run again after more additions.
  void finalize(ItlClContext* context);
  // Frees every operand copy, empties the tables, frees the expression and
  // the skip record; scope, threshold and limit stay.
  void clear();

  GTRSEARCH_COND const& getCondition() const { return iv_stCond; }
  // The expression of the last finalize; null before.
  char const* getExpression() const { return iv_stCond.mix_order; }
  int32_t getOperandCount() const { return iv_stCond.mix_num; }
  uint32_t getOperatorCount() const { return iv_uiOperatorCount; }
  void setScope(GTRSEARCH_RES* scope) { iv_stCond.scope = scope; }
  int32_t getProcessingThreshold() const { return iv_stCond.discon_count; }
  void setProcessingThreshold(int32_t threshold) {
    iv_stCond.discon_count = threshold;
  }
  void setMaskResolutionLimit(int32_t limit) { iv_stCond.word_limit = limit; }

  // The trace records of the condition (while a trace is current).
  void traceSearchCondition(CosClTrace& trace) const;

 private:
  struct NegationEntry {
    ItlEnOperatorMode mode;
    uint8_t negated;
  };
  struct StackEntry {
    uint8_t isOperand;       // 1 operand number, 0 operator index
    uint32_t index;
  };
  struct OperatorEntry {
    uint8_t negated;
    ItlEnOperatorMode negationMode;
    _ItlOperatorEntry entry;
    uint8_t leftIsOperand;
    uint32_t left;
    uint8_t rightIsOperand;
    uint32_t right;
  };

  void checkSpace();
  GTRSEARCHMIX& nextOperand();
  void pushOperand();
  void addBinary(_ItlOperatorEntry const& entry);
  void writeExpression(char** cursor, long operatorIndex);
  void writeOperator(char** cursor, _ItlOperatorEntry& entry);
  void writeSide(char** cursor, uint8_t isOperand, uint32_t index);
  void writeNegation(char** cursor, ItlEnOperatorMode mode);
  // The bytes an expression of the current tables needs, terminator
  // included.
  size_t expressionSize() const;
  void freeOperandBuffers(uint32_t from, uint32_t to);
  void freeTables();

  GTRSEARCH_COND iv_stCond;
  uint32_t iv_uiOperandCapacity;
  NegationEntry* iv_pstNegation;    // per operand slot
  StackEntry* iv_pstStack;          // per operand slot
  uint32_t iv_uiStackCount;
  OperatorEntry* iv_pstOperators;
  uint32_t iv_uiOperatorCapacity;
  uint32_t iv_uiOperatorCount;
  uint8_t iv_ucLastWasOperand;      // 1 operand, 0 operator
  char* iv_pcWriteStart;            // the expression being written
};

#endif  // ITL_SEARCH_CONDITION_HPP
