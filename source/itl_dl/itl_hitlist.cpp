// itl_hitlist.cpp: hit records, hit lists and their cursor.
#include "itl_hitlist.hpp"

#include <cassert>
#include <new>

#include "cos_memmgr.hpp"

ItlClHitinfo::~ItlClHitinfo() = default;

ItlClHitlist::ItlClHitlist(unsigned int capacity)
    : iv_ppclHits(nullptr), iv_uiCount(0), iv_uiCapacity(capacity) {
  if (capacity != 0) {
    iv_ppclHits = static_cast<ItlClHitinfo**>(
        CosClMemoryManager::allocate(sizeof(ItlClHitinfo*) * capacity));
    for (unsigned int i = 0; i < capacity; ++i) iv_ppclHits[i] = nullptr;
  }
}

ItlClHitlist::~ItlClHitlist() {
  for (uint32_t i = 0; i < iv_uiCapacity; ++i) {
    if (iv_ppclHits[i] != nullptr) {
      iv_ppclHits[i]->~ItlClHitinfo();
      CosClMemoryManager::free(iv_ppclHits[i]);
    }
  }
  CosClMemoryManager::free(iv_ppclHits);
}

bool ItlClHitlist::add(ItlEnDocPartType type, unsigned int offset,
                       unsigned int length) {
  if (iv_uiCount >= iv_uiCapacity) return false;
  void* memory = CosClMemoryManager::allocate(sizeof(ItlClHitinfo));
  iv_ppclHits[iv_uiCount++] = new (memory) ItlClHitinfo(type, offset, length);
  return true;
}

ItlClHitinfo const& ItlClHitlist::get(uint32_t index) const {
  assert(index < iv_uiCount);
  return *iv_ppclHits[index];
}

ItlClHitlistIterator::~ItlClHitlistIterator() = default;
