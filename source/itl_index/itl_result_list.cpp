// itl_result_list.cpp: the result list over an engine result and the
// callback-ranked list over the rank entries, with their iterators.
//
// Both iterators keep a position p and the element count c of their list
// at creation: setToFirst p := 0 (true while c > 0); setToLast p := c - 1
// (false and p := 0 for an empty list); setToNext(n) and setToPrevious(n)
// move only when the new position lies in 0..c-1 (a step of 0 answers
// whether p is valid, resp. true).
#include <cstring>

#include "calls/voz_gtrresult.hpp"
#include "itl_error.hpp"
#include "itl_managed_object.hpp"
#include "itl_query_result.hpp"
#include "itl_voz_interface.hpp"

namespace {

// The shared moves of both iterators.
bool moveFirst(uint32_t& position, uint32_t count) {
  position = 0;
  return count > 0;
}
bool moveLast(uint32_t& position, uint32_t count) {
  position = count > 0 ? count - 1 : 0;
  return count > 0;
}
bool moveNext(uint32_t& position, uint32_t count, unsigned steps) {
  uint64_t target = static_cast<uint64_t>(position) + steps;
  if (target >= count) return false;
  position = static_cast<uint32_t>(target);
  return true;
}
bool movePrevious(uint32_t& position, unsigned steps) {
  if (position < steps) return false;
  position -= steps;
  return true;
}

[[noreturn]] void raiseInvalidIterator(char const* origin, unsigned line) {
  ItlClException(origin, line, ItlEnReasonCode_Iterator_invalid).raise();
}

// One document of the engine result at `offset`.
void lookDocument(ItlClEngineResult* engine, uint32_t offset,
                  int32_t* number, int32_t* count, float* score,
                  char const* origin, unsigned line) {
  if (engine == nullptr || engine->getHandle() == nullptr)
    raiseInvalidIterator(origin, line);
  OCC* occ = nullptr;
  int32_t occurrences = 0;
  GTRSTATUS status;
  GTRsearchIndex_LookResult_Doc(engine->getHandle(),
                                static_cast<int32_t>(offset), &occ,
                                &occurrences, score, nullptr, &status);
  ItlClVozInterface::handleVozError(origin, line, status);
  if (number != nullptr) *number = occ != nullptr ? occ->docno : 0;
  if (count != nullptr) *count = occurrences;
}

}  // namespace

// ---- ItlClResultList

ItlClResultList::ItlClResultList(ItlClErrorInfo& errorInfo,
                                 ItlClEngineResult* engine, uint32_t count)
    : ItlClListABase(ItlEnListType_ResultList, errorInfo),
      iv_clEngine(engine),
      iv_uiCount(count) {}

ItlClResultList::~ItlClResultList() {
  // The holder closes and releases the engine result with its last owner.
}

ItlClListABase::Iterator* ItlClResultList::getNewIterator() const {
  if (iv_uiCount != 0)
    iv_clEngine->open(ITL_SOURCE("source/itl_search/itl_result_list"));
  return itlNewObject<Iterator>(*this);
}

ItlClResultList::Iterator::Iterator(ItlClResultList const& list)
    : ItlClListABase::Iterator(list),
      iv_uiPosition(0),
      iv_uiCount(list.getNumberOfElements()),
      iv_clEngine(list.getEngineResult()) {}

bool ItlClResultList::Iterator::setToFirst() {
  return moveFirst(iv_uiPosition, iv_uiCount);
}
bool ItlClResultList::Iterator::setToLast() {
  return moveLast(iv_uiPosition, iv_uiCount);
}
bool ItlClResultList::Iterator::setToNext(unsigned int steps) {
  return moveNext(iv_uiPosition, iv_uiCount, steps);
}
bool ItlClResultList::Iterator::setToPrevious(unsigned int steps) {
  return movePrevious(iv_uiPosition, steps);
}

void ItlClResultList::Iterator::obtainCurrent(uint64_t* number,
                                              int32_t* count,
                                              double* rank) const {
  if (!isListValid() || iv_uiPosition >= iv_uiCount)
    raiseInvalidIterator(ITL_SOURCE("source/itl_search/itl_result_list"));
  int32_t document = 0;
  float score = 0.0f;
  lookDocument(iv_clEngine.get(), iv_uiPosition, &document, count,
               rank != nullptr ? &score : nullptr,
               ITL_SOURCE("source/itl_search/itl_result_list"));
  if (number != nullptr) *number = static_cast<uint32_t>(document);
  if (rank != nullptr) *rank = score;
}

// ---- ItlClCBRankedResultList

ItlClCBRankedResultList::ItlClCBRankedResultList(ItlClErrorInfo& errorInfo,
                                                 ItlClEngineResult* engine,
                                                 uint32_t dataForm)
    : ItlClArrayBasedList(ItlEnListType_CallbackRankedResultList, errorInfo),
      iv_clEngine(engine),
      iv_uiDataForm(dataForm) {}

ItlClCBRankedResultList::~ItlClCBRankedResultList() {}

ItlClListABase::Iterator* ItlClCBRankedResultList::getNewIterator() const {
  if (getNumberOfElements() != 0 && iv_uiDataForm == 0 &&
      !iv_clEngine.isNull())
    iv_clEngine->open(
        ITL_SOURCE("source/itl_search/itl_cb_ranked_result_list"));
  return itlNewObject<Iterator>(*this);
}

ItlClCBRankedResultList::Iterator::Iterator(
    ItlClCBRankedResultList const& list)
    : ItlClListABase::Iterator(list),
      iv_uiPosition(0),
      iv_uiCount(list.getNumberOfElements()),
      iv_clEngine(list.getEngineResult()) {}

bool ItlClCBRankedResultList::Iterator::setToFirst() {
  return moveFirst(iv_uiPosition, iv_uiCount);
}
bool ItlClCBRankedResultList::Iterator::setToLast() {
  return moveLast(iv_uiPosition, iv_uiCount);
}
bool ItlClCBRankedResultList::Iterator::setToNext(unsigned int steps) {
  return moveNext(iv_uiPosition, iv_uiCount, steps);
}
bool ItlClCBRankedResultList::Iterator::setToPrevious(unsigned int steps) {
  return movePrevious(iv_uiPosition, steps);
}

void const* ItlClCBRankedResultList::Iterator::getCurrent() const {
  if (!isListValid() || iv_uiPosition >= iv_uiCount) return nullptr;
  auto const& list = static_cast<ItlClCBRankedResultList const&>(getList());
  return list.getElement(iv_uiPosition);
}

void ItlClCBRankedResultList::Iterator::obtainCurrent(uint64_t* number,
                                                      int32_t* count,
                                                      double* rank,
                                                      double* score) const {
  auto const* entry = static_cast<GTRRANKDOC const*>(getCurrent());
  if (entry == nullptr)
    raiseInvalidIterator(
        ITL_SOURCE("source/itl_search/itl_cb_ranked_result_list"));
  if (count != nullptr) {
    auto const& list =
        static_cast<ItlClCBRankedResultList const&>(getList());
    if (list.getDataForm() != 0 || iv_clEngine.isNull()) {
      *count = 1;
    } else {
      lookDocument(iv_clEngine.get(), iv_uiPosition, nullptr, count, nullptr,
                   ITL_SOURCE("source/itl_search/itl_cb_ranked_result_list"));
    }
  }
  if (number != nullptr) *number = static_cast<uint32_t>(entry->docno);
  if (rank != nullptr) *rank = entry->score;
  if (score != nullptr) *score = entry->user_value;
}
