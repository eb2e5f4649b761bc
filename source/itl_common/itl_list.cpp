// itl_list.cpp: list base, validity marker and array-based list; see
// itl_list.hpp for the ownership rules of the marker.
#include "itl_list.hpp"

ItlClReferenceCounter::~ItlClReferenceCounter() = default;

ItlClListABase::ValidityMarker::~ValidityMarker() = default;

ItlClListABase::Iterator::Iterator(ItlClListABase const& list)
    : iv_rclList(list), iv_clMarker(list.getValidityMarker()) {}

ItlClListABase::Iterator::~Iterator() = default;

ItlClListABase::~ItlClListABase() {
  if (!iv_clMarker.isNull()) iv_clMarker->invalidate();
}

void ItlClListABase::init() {
  void* memory = CosClMemoryManager::allocate(sizeof(ValidityMarker));
  iv_clMarker.set(new (memory) ValidityMarker());
}

ItlClArrayBasedList::~ItlClArrayBasedList() {
  CosClMemoryManager::free(iv_pvArray);
}

void ItlClArrayBasedList::initArray(void* array, uint32_t count,
                                    uint32_t elementSize) {
  if (array != iv_pvArray) CosClMemoryManager::free(iv_pvArray);
  iv_pvArray = array;
  iv_uiCount = count;
  iv_uiElementSize = elementSize;
}
