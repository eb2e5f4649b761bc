// itl_search_condition.cpp: ItlClSearchCondition (itl_search_condition.hpp).
#include "itl_search_condition.hpp"

#include <cstdio>
#include <cstring>

#include "cos_memmgr.hpp"
#include "cos_trace.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"

namespace {

// Origins of the compiler's refusals.
constexpr char kOriginEmpty[] = "source/itl_search/itl_qc_voz_wrapper:370";
constexpr char kOriginOperator[] = "source/itl_search/itl_qc_voz_wrapper:260";

constexpr uint16_t kTraceComponent = 3;

template <class T>
T* allocateZeroed(uint32_t count) {
  size_t bytes = static_cast<size_t>(count) * sizeof(T);
  if (bytes == 0 || bytes > 0xFFFFFFFFu)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                    COS_MEMMGR_HEADER_LINE,
                                    static_cast<unsigned>(bytes));
  void* p = CosClMemoryManager::allocate(static_cast<unsigned>(bytes));
  std::memset(p, 0, bytes);
  return static_cast<T*>(p);
}

// A zeroed table of `capacity` entries holding the first `used` of `old`,
// which is freed.
template <class T>
T* grow(T* old, uint32_t used, uint32_t capacity) {
  T* table = allocateZeroed<T>(capacity);
  if (used > 0) std::memcpy(static_cast<void*>(table), old, used * sizeof(T));
  CosClMemoryManager::free(old);
  return table;
}

// A copy of `bytes` bytes, or null for none.
template <class T>
T* copyOf(T const* source, size_t count) {
  if (source == nullptr || count == 0) return nullptr;
  size_t bytes = count * sizeof(T);
  if (bytes > 0xFFFFFFFFu)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                    COS_MEMMGR_HEADER_LINE, 0xFFFFFFFFu);
  void* p = CosClMemoryManager::allocate(static_cast<unsigned>(bytes));
  std::memcpy(p, source, bytes);
  return static_cast<T*>(p);
}

[[noreturn]] void raise(char const* origin, unsigned line,
                        ItlEnReasonCode reason) {
  ItlClException(origin, line, reason).raise();
}

void put(char** cursor, char const* text) {
  size_t n = std::strlen(text);
  std::memcpy(*cursor, text, n);
  *cursor += n;
}

}  // namespace

ItlClSearchCondition::ItlClSearchCondition(int32_t maskResolutionLimit)
    : iv_stCond(),
      iv_uiOperandCapacity(0),
      iv_pstNegation(nullptr),
      iv_pstStack(nullptr),
      iv_uiStackCount(0),
      iv_pstOperators(nullptr),
      iv_uiOperatorCapacity(0),
      iv_uiOperatorCount(0),
      iv_ucLastWasOperand(0),
      iv_pcWriteStart(nullptr) {
  iv_stCond.codepage = CODEPAGE_UTF8;
  iv_stCond.cond_type = GTR_COND_MIX;
  iv_stCond.word_limit = maskResolutionLimit;
  try {
    iv_stCond.mix = allocateZeroed<GTRSEARCHMIX>(INITIAL_CAPACITY);
    iv_pstNegation = allocateZeroed<NegationEntry>(INITIAL_CAPACITY);
    iv_pstStack = allocateZeroed<StackEntry>(INITIAL_CAPACITY);
    iv_uiOperandCapacity = INITIAL_CAPACITY;
    iv_pstOperators = allocateZeroed<OperatorEntry>(INITIAL_CAPACITY);
    iv_uiOperatorCapacity = INITIAL_CAPACITY;
  } catch (...) {
    freeTables();
    throw;
  }
}

ItlClSearchCondition::~ItlClSearchCondition() {
  freeOperandBuffers(0, static_cast<uint32_t>(iv_stCond.mix_num));
  freeTables();
}

void ItlClSearchCondition::freeTables() {
  CosClMemoryManager::free(iv_stCond.mix);
  CosClMemoryManager::free(iv_pstNegation);
  CosClMemoryManager::free(iv_pstStack);
  CosClMemoryManager::free(iv_pstOperators);
  CosClMemoryManager::free(iv_stCond.mix_order);
  CosClMemoryManager::free(iv_stCond.pSkipFuncInfo);
  iv_stCond.mix = nullptr;
  iv_pstNegation = nullptr;
  iv_pstStack = nullptr;
  iv_pstOperators = nullptr;
  iv_stCond.mix_order = nullptr;
  iv_stCond.pSkipFuncInfo = nullptr;
}

void ItlClSearchCondition::freeOperandBuffers(uint32_t from, uint32_t to) {
  for (uint32_t i = from; i < to; ++i) {
    GTRSEARCHMIX& m = iv_stCond.mix[i];
    if (m.mix_type == GTR_MIX_WORD) {
      CosClMemoryManager::free(m.word.wordp);
      CosClMemoryManager::free(m.word.pFieldRange);
      CosClMemoryManager::free(m.word.pFieldWeight);
    } else if (m.mix_type == GTR_MIX_ITEM) {
      CosClMemoryManager::free(m.item.char_ptr);
    }
    std::memset(static_cast<void*>(&m), 0, sizeof m);
  }
}

void ItlClSearchCondition::clear() {
  freeOperandBuffers(0, static_cast<uint32_t>(iv_stCond.mix_num));
  std::memset(iv_pstNegation, 0, iv_uiOperandCapacity * sizeof(NegationEntry));
  std::memset(iv_pstStack, 0, iv_uiOperandCapacity * sizeof(StackEntry));
  std::memset(static_cast<void*>(iv_pstOperators), 0,
              iv_uiOperatorCapacity * sizeof(OperatorEntry));
  iv_stCond.mix_num = 0;
  iv_uiStackCount = 0;
  iv_uiOperatorCount = 0;
  iv_ucLastWasOperand = 0;
  CosClMemoryManager::free(iv_stCond.mix_order);
  CosClMemoryManager::free(iv_stCond.pSkipFuncInfo);
  iv_stCond.mix_order = nullptr;
  iv_stCond.pSkipFuncInfo = nullptr;
}

void ItlClSearchCondition::checkSpace() {
  uint32_t operands = static_cast<uint32_t>(iv_stCond.mix_num);
  if (iv_uiOperandCapacity - 1 <= operands) {
    uint32_t capacity = iv_uiOperandCapacity + GROWTH;
    // Each table is replaced only once its successor exists, so a failed
    // allocation leaves the condition whole.
    GTRSEARCHMIX* mix = allocateZeroed<GTRSEARCHMIX>(capacity);
    NegationEntry* negation = nullptr;
    StackEntry* stack = nullptr;
    try {
      negation = allocateZeroed<NegationEntry>(capacity);
      stack = allocateZeroed<StackEntry>(capacity);
    } catch (...) {
      CosClMemoryManager::free(mix);
      CosClMemoryManager::free(negation);
      throw;
    }
    std::memcpy(static_cast<void*>(mix), iv_stCond.mix,
                operands * sizeof(GTRSEARCHMIX));
    std::memcpy(negation, iv_pstNegation, operands * sizeof(NegationEntry));
    std::memcpy(stack, iv_pstStack, iv_uiStackCount * sizeof(StackEntry));
    CosClMemoryManager::free(iv_stCond.mix);
    CosClMemoryManager::free(iv_pstNegation);
    CosClMemoryManager::free(iv_pstStack);
    iv_stCond.mix = mix;
    iv_pstNegation = negation;
    iv_pstStack = stack;
    iv_uiOperandCapacity = capacity;
  }
  if (iv_uiOperatorCapacity - 1 <= iv_uiOperatorCount) {
    iv_pstOperators = grow(iv_pstOperators, iv_uiOperatorCount,
                           iv_uiOperatorCapacity + GROWTH);
    iv_uiOperatorCapacity += GROWTH;
  }
}

GTRSEARCHMIX& ItlClSearchCondition::nextOperand() {
  checkSpace();
  return iv_stCond.mix[iv_stCond.mix_num];
}

void ItlClSearchCondition::pushOperand() {
  iv_pstStack[iv_uiStackCount].isOperand = 1;
  iv_pstStack[iv_uiStackCount].index =
      static_cast<uint32_t>(iv_stCond.mix_num) + 1;
  ++iv_uiStackCount;
  ++iv_stCond.mix_num;
  iv_ucLastWasOperand = 1;
}

void ItlClSearchCondition::addTermOperand(RTRVWORD const& word) {
  GTRSEARCHMIX& m = nextOperand();
  RTRVWORD copy = word;
  copy.wordp = nullptr;
  copy.pFieldRange = nullptr;
  copy.pFieldWeight = nullptr;
  try {
    copy.wordp = copyOf(word.wordp, word.wordlen > 0 ? word.wordlen : 0);
    if (word.pFieldRange != nullptr)
      copy.pFieldRange = copyOf(word.pFieldRange,
                                word.fld_number > 0 ? word.fld_number : 0);
    if (word.pFieldWeight != nullptr)
      copy.pFieldWeight =
          copyOf(word.pFieldWeight, word.weight > 0 ? word.weight : 0);
  } catch (...) {
    CosClMemoryManager::free(copy.wordp);
    CosClMemoryManager::free(copy.pFieldRange);
    throw;
  }
  std::memset(static_cast<void*>(&m), 0, sizeof m);
  m.mix_type = GTR_MIX_WORD;
  m.word = copy;
  pushOperand();
}

void ItlClSearchCondition::addAttributeOperand(SEARCHITEM const& item) {
  GTRSEARCHMIX& m = nextOperand();
  SEARCHITEM copy = item;
  copy.char_ptr = copyOf(item.char_ptr, item.char_len > 0 ? item.char_len : 0);
  std::memset(static_cast<void*>(&m), 0, sizeof m);
  m.mix_type = GTR_MIX_ITEM;
  m.item = copy;
  pushOperand();
}

void ItlClSearchCondition::addOperator(ItlEnOperator op,
                                       ItlEnOperatorMode mode) {
  if (op != ItlEnOperator_Not) {
    _ItlOperatorEntry entry{1, op, 0, mode};
    addBinary(entry);
    return;
  }
  if (iv_stCond.mix_num == 0 && iv_uiOperatorCount == 0)
    raise(ITL_SOURCE("source/itl_index/itl_search_condition"),
          ItlEnReasonCode_Invalid_calling_sequence);
  // A second NOT on the same addition cancels the first.
  if (iv_ucLastWasOperand) {
    NegationEntry& n = iv_pstNegation[iv_stCond.mix_num - 1];
    n.negated = n.negated ? 0 : 1;
    n.mode = mode;
  } else {
    OperatorEntry& o = iv_pstOperators[iv_uiOperatorCount - 1];
    o.negated = o.negated ? 0 : 1;
    o.negationMode = mode;
  }
}

void ItlClSearchCondition::addProximityOperator(uint16_t distance,
                                                ItlEnOperatorMode mode) {
  _ItlOperatorEntry entry{0, ItlEnOperator_And, distance, mode};
  addBinary(entry);
}

void ItlClSearchCondition::addBinary(_ItlOperatorEntry const& entry) {
  if (iv_uiStackCount < 2)
    raise(ITL_SOURCE("source/itl_index/itl_search_condition"),
          ItlEnReasonCode_Invalid_calling_sequence);
  checkSpace();
  OperatorEntry& o = iv_pstOperators[iv_uiOperatorCount];
  std::memset(static_cast<void*>(&o), 0, sizeof o);
  o.entry = entry;
  StackEntry const& right = iv_pstStack[iv_uiStackCount - 1];
  StackEntry const& left = iv_pstStack[iv_uiStackCount - 2];
  o.rightIsOperand = right.isOperand;
  o.right = right.index;
  o.leftIsOperand = left.isOperand;
  o.left = left.index;
  iv_uiStackCount -= 2;
  iv_pstStack[iv_uiStackCount].isOperand = 0;
  iv_pstStack[iv_uiStackCount].index = iv_uiOperatorCount;
  ++iv_uiStackCount;
  ++iv_uiOperatorCount;
  iv_ucLastWasOperand = 0;
}

size_t ItlClSearchCondition::expressionSize() const {
  // Operand: "!F " and up to 10 digits with a blank; operator: "!F ",
  // "( ", " )" and at most " *65535F " (9 bytes).
  return 8 + static_cast<size_t>(iv_stCond.mix_num) * 14 +
         static_cast<size_t>(iv_uiOperatorCount) * 17 + 1;
}

void ItlClSearchCondition::finalize(ItlClContext* context) {
  int32_t operands = iv_stCond.mix_num;
  if (operands == 0 || (operands > 1 && iv_uiOperatorCount == 0))
    raise(kOriginEmpty, 370, ItlEnReasonCode_Empty_query);
  if (iv_uiStackCount > 1)
    raise(kOriginEmpty, 370, ItlEnReasonCode_Too_many_operands_for_operator);

  size_t size = expressionSize();
  char* buffer = static_cast<char*>(
      CosClMemoryManager::allocate(static_cast<unsigned>(size)));
  std::memset(buffer, 0, size);
  GTRSKIPFUNCINFO* skip = nullptr;
  try {
    if (context != nullptr && context->getSkipDocumentSetCallback() != nullptr) {
      skip = allocateZeroed<GTRSKIPFUNCINFO>(1);
      // The engine calls the caller's callback itself with its skip record.
      skip->skip_function = reinterpret_cast<GTRSKIPFUNC>(
          context->getSkipDocumentSetCallback());
      skip->flags = 1;
      skip->user_data = context->getSkipDocumentSetUserData();
    }
    char* cursor = buffer;
    iv_pcWriteStart = buffer;
    if (operands == 1) {
      put(&cursor, "( ");
      writeSide(&cursor, 1, 1);
      put(&cursor, " )");
    } else {
      writeExpression(&cursor, static_cast<long>(iv_uiOperatorCount) - 1);
    }
  } catch (...) {
    CosClMemoryManager::free(buffer);
    CosClMemoryManager::free(skip);
    throw;
  }
  CosClMemoryManager::free(iv_stCond.mix_order);
  CosClMemoryManager::free(iv_stCond.pSkipFuncInfo);
  iv_stCond.mix_order = buffer;
  iv_stCond.pSkipFuncInfo = skip;
  if (gs_pclCosTraceInstance != nullptr) {
    static char const kFunction[] =
        "source/itl_search/itl_qc_voz_wrapper:" COS_STRINGIFY(__LINE__);
    CosClTrace trace(CosEnTraceDetail::HIGH, kTraceComponent, kFunction);
    traceSearchCondition(trace);
  }
}

void ItlClSearchCondition::writeNegation(char** cursor,
                                         ItlEnOperatorMode mode) {
  char* c = *cursor;
  if (c - iv_pcWriteStart > 4 && c[-3] == '*') {
    // The text ends in an AND: it becomes an AND-NOT.
    c[-3] = '-';
    if (mode == ItlEnOperatorMode_Fuzzy) c[-2] = 'F';
    return;
  }
  put(cursor, mode == ItlEnOperatorMode_Fuzzy ? "!F " : "!S ");
}

void ItlClSearchCondition::writeSide(char** cursor, uint8_t isOperand,
                                     uint32_t index) {
  if (!isOperand) {
    writeExpression(cursor, static_cast<long>(index));
    return;
  }
  NegationEntry const& n = iv_pstNegation[index - 1];
  if (n.negated) writeNegation(cursor, n.mode);
  *cursor += std::sprintf(*cursor, "%u", index);
}

void ItlClSearchCondition::writeExpression(char** cursor, long operatorIndex) {
  OperatorEntry& o = iv_pstOperators[operatorIndex];
  if (o.negated) writeNegation(cursor, o.negationMode);
  put(cursor, "( ");
  writeSide(cursor, o.leftIsOperand, o.left);
  writeOperator(cursor, o.entry);
  writeSide(cursor, o.rightIsOperand, o.right);
  put(cursor, " )");
}

void ItlClSearchCondition::writeOperator(char** cursor,
                                         _ItlOperatorEntry& entry) {
  if (!entry.boolean) {
    *cursor += std::sprintf(*cursor, " *%u%c ",
                            static_cast<unsigned>(entry.distance),
                            entry.mode == ItlEnOperatorMode_Fuzzy ? 'F' : 'S');
    return;
  }
  char sign;
  switch (entry.op) {
    case ItlEnOperator_And: sign = '*'; break;
    case ItlEnOperator_Or: sign = '+'; break;
    case ItlEnOperator_AndNot: sign = '-'; break;
    default: raise(kOriginOperator, 260, ItlEnReasonCode_Invalid_operator);
  }
  char letter = entry.mode == ItlEnOperatorMode_Fuzzy       ? 'F'
                : entry.mode == ItlEnOperatorMode_Proximity ? 'P'
                                                            : 'S';
  char text[5] = {' ', sign, letter, ' ', '\0'};
  put(cursor, text);
}

// ---- trace -------------------------------------------------------------------

namespace {

void traceInt(CosClTrace& t, char const* label, int32_t value) {
  t.dump(CosEnTraceDataType::INT32, label, &value, 4);
}
void traceChar(CosClTrace& t, char const* label, char value) {
  t.dump(CosEnTraceDataType::DATA, label, &value, 1);
}
void traceDouble(CosClTrace& t, char const* label, double value) {
  t.dump(CosEnTraceDataType::DOUBLE, label, &value, 8);
}

void traceWord(CosClTrace& t, RTRVWORD const& w) {
  traceChar(t, "korean boundary: ", w.start_option);
  traceChar(t, "case sensitive: ", w.casesens);
  traceInt(t, "stemming: ", w.stemming);
  t.dump(CosEnTraceDataType::DATA, "word string: ", w.wordp,
         w.wordp != nullptr && w.wordlen > 0 ? static_cast<uint32_t>(w.wordlen) : 0);
  traceInt(t, "word length: ", w.wordlen);
  traceInt(t, "precision: ", w.precision);
  if (w.pFieldRange == nullptr) {
    traceInt(t, "field number: ", w.fld_number);
  } else {
    traceInt(t, "field count: ", w.fld_number);
    for (int32_t i = 0; i < w.fld_number; ++i) {
      traceInt(t, "start field number: ", w.pFieldRange[i].fld_start_num);
      traceInt(t, "end field number: ", w.pFieldRange[i].fld_end_num);
    }
  }
  t.dump(CosEnTraceDataType::DATA, "masks: ", w.mask, 2);
  if (w.pFieldWeight == nullptr) {
    traceInt(t, "term weight: ", w.weight);
  } else {
    traceInt(t, "field weight count: ", w.weight);
    for (int32_t i = 0; i < w.weight; ++i) {
      traceInt(t, "start field number: ", w.pFieldWeight[i].fld_start_num);
      traceInt(t, "end field number: ", w.pFieldWeight[i].fld_end_num);
      traceInt(t, "field weight:", w.pFieldWeight[i].weight);
    }
  }
  traceInt(t, "prefer mask: ", w.search_flag);
}

void traceItem(CosClTrace& t, SEARCHITEM const& s) {
  traceChar(t, "query type: ", s.item_type);
  traceInt(t, "field number: ", s.item_number);
  if (s.item_type == 'C') {
    traceInt(t, "string value length: ", s.char_len);
    traceChar(t, "case sensitive: ", s.char_casesens);
    t.dump(CosEnTraceDataType::DATA, "masks: ", s.char_mask, 2);
    t.dump(CosEnTraceDataType::DATA, "string value: ", s.char_ptr,
           s.char_ptr != nullptr && s.char_len > 0 ? static_cast<uint32_t>(s.char_len) : 0);
  } else {
    traceDouble(t, "minimum value: ", s.num_min_value);
    traceChar(t, "minimum comparison: ", s.num_min_equal);
    traceDouble(t, "maximum value: ", s.num_max_value);
    traceChar(t, "maximum comparison: ", s.num_max_equal);
  }
}

}  // namespace

void ItlClSearchCondition::traceSearchCondition(CosClTrace& trace) const {
  if (gs_pclCosTraceInstance == nullptr) return;
  traceInt(trace, "Masked word resolution limit: ", iv_stCond.word_limit);
  for (int32_t i = 0; i < iv_stCond.mix_num; ++i) {
    traceInt(trace, "operand number:", i + 1);
    GTRSEARCHMIX const& m = iv_stCond.mix[i];
    if (m.mix_type == GTR_MIX_WORD)
      traceWord(trace, m.word);
    else
      traceItem(trace, m.item);
  }
  char const* expression =
      iv_stCond.mix_order != nullptr ? iv_stCond.mix_order : "";
  trace.dump(CosEnTraceDataType::CSTRING, "Query operand string: ", expression,
             static_cast<uint32_t>(std::strlen(expression)));
}
