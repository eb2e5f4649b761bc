// itl_highlight_list.cpp: highlight elements, the highlight list and its
// iterator.
#include "itl_highlight_list.hpp"

#include <cassert>
#include <new>

#include "cos_memmgr.hpp"
#include "itl_error.hpp"

ItlClHighlightElement::~ItlClHighlightElement() = default;

ItlClHighlightList::ItlClHighlightList(ItlClErrorInfo& errorInfo,
                                       unsigned int capacity)
    : ItlClListABase(ItlEnListType_HighlightList, errorInfo),
      iv_ppclElements(nullptr),
      iv_uiCount(0),
      iv_uiCapacity(capacity) {
  if (capacity != 0) {
    iv_ppclElements = static_cast<ItlClHighlightElement**>(
        CosClMemoryManager::allocate(sizeof(ItlClHighlightElement*) *
                                     capacity));
    for (unsigned int i = 0; i < capacity; ++i) iv_ppclElements[i] = nullptr;
  }
}

ItlClHighlightList::~ItlClHighlightList() {
  for (uint32_t i = 0; i < iv_uiCapacity; ++i) {
    if (iv_ppclElements[i] != nullptr) {
      iv_ppclElements[i]->~ItlClHighlightElement();
      CosClMemoryManager::free(iv_ppclElements[i]);
    }
  }
  CosClMemoryManager::free(iv_ppclElements);
}

ItlClHighlightElement* ItlClHighlightList::newElement() {
  if (iv_uiCount >= iv_uiCapacity) return nullptr;
  void* memory = CosClMemoryManager::allocate(sizeof(ItlClHighlightElement));
  ItlClHighlightElement* element = new (memory) ItlClHighlightElement();
  iv_ppclElements[iv_uiCount++] = element;
  return element;
}

ItlClListABase::Iterator* ItlClHighlightList::getNewIterator() const {
  void* memory = CosClMemoryManager::allocate(sizeof(Iterator));
  return new (memory) Iterator(*this);
}

ItlClHighlightElement const& ItlClHighlightList::getElement(
    uint32_t index) const {
  assert(index < iv_uiCount);
  return *iv_ppclElements[index];
}

ItlClHighlightElement& ItlClHighlightList::getElement(uint32_t index) {
  assert(index < iv_uiCount);
  return *iv_ppclElements[index];
}

ItlClHighlightList::Iterator::Iterator(ItlClHighlightList const& list)
    : ItlClListABase::Iterator(list), iv_rclList(list), iv_uiIndex(0) {}

ItlClHighlightList::Iterator::~Iterator() = default;

void ItlClHighlightList::Iterator::checkList() const {
  if (!isListValid())
    ItlClException(ITL_SOURCE("source/itl_dl/itl_highlight_list"),
                   ItlEnReasonCode_Iterator_invalid)
        .raise();
}

bool ItlClHighlightList::Iterator::isValid() const {
  checkList();
  return iv_uiIndex < iv_rclList.iv_uiCount;
}

bool ItlClHighlightList::Iterator::isAtLastElement() const {
  checkList();
  return iv_rclList.iv_uiCount != 0 && iv_uiIndex == iv_rclList.iv_uiCount - 1;
}

bool ItlClHighlightList::Iterator::setToFirst() {
  iv_uiIndex = 0;
  return isValid();
}

bool ItlClHighlightList::Iterator::setToLast() {
  checkList();
  if (iv_rclList.iv_uiCount == 0) {
    iv_uiIndex = 0;
    return false;
  }
  iv_uiIndex = iv_rclList.iv_uiCount - 1;
  return true;
}

bool ItlClHighlightList::Iterator::setToNext(unsigned int steps) {
  checkList();
  // 64-bit sum: a huge step count never wraps back into the list.
  uint64_t target = static_cast<uint64_t>(iv_uiIndex) + steps;
  if (target >= iv_rclList.iv_uiCount) return false;
  iv_uiIndex = static_cast<uint32_t>(target);
  return true;
}

bool ItlClHighlightList::Iterator::setToPrevious(unsigned int steps) {
  if (steps > iv_uiIndex) return false;
  iv_uiIndex -= steps;
  return true;
}
