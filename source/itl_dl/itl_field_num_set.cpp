// itl_field_num_set.cpp: the field number set.
#include "itl_field_num_set.hpp"

#include "cos_memmgr.hpp"

ItlClFieldNumSet::ItlClFieldNumSet(unsigned int capacity)
    : iv_pusNumbers(nullptr), iv_uiCount(0), iv_uiCapacity(0) {
  if (capacity != 0) {
    iv_pusNumbers = static_cast<unsigned short*>(
        CosClMemoryManager::allocate(capacity * sizeof(unsigned short)));
    iv_uiCapacity = capacity;
  }
}

ItlClFieldNumSet::~ItlClFieldNumSet() {
  CosClMemoryManager::free(iv_pusNumbers);
}

bool ItlClFieldNumSet::contains(unsigned short number) const {
  for (uint32_t i = 0; i < iv_uiCount; ++i)
    if (iv_pusNumbers[i] == number) return true;
  return false;
}

void ItlClFieldNumSet::add(unsigned short number) {
  if (contains(number)) return;
  if (iv_uiCount >= iv_uiCapacity) {
    // Computed in single precision and truncated: 0 -> 2, 2 -> 5, 10 -> 17.
    uint32_t capacity = static_cast<uint32_t>(
        static_cast<float>(iv_uiCapacity) * 1.5f + 2.0f);
    iv_pusNumbers = static_cast<unsigned short*>(CosClMemoryManager::realloc(
        iv_pusNumbers, capacity * sizeof(unsigned short)));
    iv_uiCapacity = capacity;
  }
  iv_pusNumbers[iv_uiCount++] = number;
}
