// itl_map_htab.cpp: map array and hash index of the name maps; see
// itl_map_htab.hpp.
#include "itl_map_htab.hpp"

#include <cstring>
#include <ostream>

#include "cos_memmgr.hpp"
#include "itl_error.hpp"

uint32_t itlMapHash(char const* name, uint32_t length) {
  uint32_t hash = 0;
  for (uint32_t i = 0; i < length; ++i)
    hash += static_cast<uint32_t>(static_cast<unsigned char>(name[i]))
            << (i % 23);
  return hash;
}

uint64_t itlMapHash64(char const* name, uint64_t length) {
  uint64_t hash = 0;
  for (uint64_t i = 0; i < length; ++i)
    hash += static_cast<uint64_t>(static_cast<unsigned char>(name[i]))
            << (i % 23);
  return hash;
}

void ItlStMapEntry::display(std::ostream& out) const {
  out << "\nvoid ItlStMapEntry::display(ostream & rclOs) \n";
  if (iv_pacName != nullptr) out << "\tiv_pacName: '" << iv_pacName << "'\n";
  out << "\tiv_uiNameLength: " << iv_uiNameLength << "\n"
      << "\tiv_tyNumber: " << iv_tyNumber << "\n"
      << "\tiv_ulHashValue: " << iv_ulHashValue << "\n";
}

// ---------------------------------------------------------------------------
// ItlClMapArray

ItlClMapArray::ItlClMapArray(uint32_t initialSize, uint32_t maxSize)
    : iv_pstEntries(nullptr),
      iv_uiArrayInitialSize(initialSize != 0 ? initialSize : 1),
      iv_uiArrayAllocated(0),
      iv_uiArrayMaxSize(maxSize),
      iv_uiNextNumber(1) {}

ItlClMapArray::~ItlClMapArray() {
  clearArray();
  CosClMemoryManager::free(iv_pstEntries);
}

void ItlClMapArray::createNewEntry(char const* name, uint32_t length,
                                   ItlStMapEntry** entry) {
  if (iv_uiNextNumber > iv_uiArrayMaxSize)
    ItlClException("source/itl_common/itl_map_htab:152", 152,
                   ItlEnReasonCode_Map_out_of_range)
        .raise();
  if (iv_uiNextNumber > iv_uiArrayAllocated) {
    uint32_t room = iv_uiArrayMaxSize - iv_uiArrayAllocated;
    uint32_t grow = iv_uiArrayInitialSize < room ? iv_uiArrayInitialSize : room;
    uint32_t count = iv_uiArrayAllocated + grow;
    iv_pstEntries = static_cast<ItlStMapEntry*>(CosClMemoryManager::realloc(
        iv_pstEntries, count * static_cast<uint32_t>(sizeof(ItlStMapEntry))));
    iv_uiArrayAllocated = count;
  }
  ItlStMapEntry& slot = iv_pstEntries[iv_uiNextNumber - 1];
  slot.iv_pacName = nullptr;
  if (length != 0) {
    slot.iv_pacName = static_cast<char*>(CosClMemoryManager::allocate(length));
    std::memcpy(slot.iv_pacName, name, length);
  }
  slot.iv_uiNameLength = length;
  slot.iv_tyNumber = iv_uiNextNumber++;
  slot.iv_ulHashValue = 0;
  *entry = &slot;
}

void ItlClMapArray::invalidateEntry(uint32_t number) {
  ItlStMapEntry& slot = getEntry(number);
  CosClMemoryManager::free(slot.iv_pacName);
  slot.iv_pacName = nullptr;
  slot.iv_uiNameLength = 0;
}

void ItlClMapArray::clearArray() {
  for (uint32_t n = 1; n < iv_uiNextNumber; ++n) {
    CosClMemoryManager::free(iv_pstEntries[n - 1].iv_pacName);
    iv_pstEntries[n - 1].iv_pacName = nullptr;
  }
  iv_uiNextNumber = 1;
}

void ItlClMapArray::display(std::ostream& out) const {
  out << "\nvoid ItlClMapArray::display(ostream & rclOs) \n"
      << "\tiv_uiArrayInitialSize: " << iv_uiArrayInitialSize << "\n"
      << "\tiv_uiArrayAllocated: " << iv_uiArrayAllocated << "\n"
      << "\tiv_uiArrayMaxSize: " << iv_uiArrayMaxSize << "\n";
  for (uint32_t n = 1; n < iv_uiNextNumber; ++n) getEntry(n).display(out);
}

// ---------------------------------------------------------------------------
// ItlClMapHashtable

ItlClMapHashtable::ItlClMapHashtable(uint32_t bucketCount)
    : iv_uiBucketCount(bucketCount != 0 ? bucketCount : 1),
      iv_ppstBuckets(nullptr) {}

ItlClMapHashtable::~ItlClMapHashtable() {
  clearHashtable();
  CosClMemoryManager::free(iv_ppstBuckets);
}

void ItlClMapHashtable::init() {
  if (iv_ppstBuckets == nullptr)
    iv_ppstBuckets = static_cast<Node**>(CosClMemoryManager::allocate(
        iv_uiBucketCount * static_cast<uint32_t>(sizeof(Node*))));
  else
    clearHashtable();
  for (uint32_t b = 0; b < iv_uiBucketCount; ++b) iv_ppstBuckets[b] = nullptr;
}

void ItlClMapHashtable::addNewEntry(ItlStMapEntry& entry, bool computeHash) {
  if (computeHash)
    entry.iv_ulHashValue = hashValue(entry.iv_pacName, entry.iv_uiNameLength);
  Node* node = static_cast<Node*>(CosClMemoryManager::allocate(sizeof(Node)));
  Node*& head = iv_ppstBuckets[entry.iv_ulHashValue % iv_uiBucketCount];
  node->number = entry.iv_tyNumber;
  node->next = head;
  head = node;
}

ItlStMapEntry* ItlClMapHashtable::getMapEntry(ItlClMapArray const& array,
                                              char const* name,
                                              uint32_t length) const {
  if (iv_ppstBuckets == nullptr || length == 0) return nullptr;
  uint32_t hash = hashValue(name, length);
  for (Node* node = iv_ppstBuckets[hash % iv_uiBucketCount]; node != nullptr;
       node = node->next) {
    ItlStMapEntry& entry = array.getEntry(node->number);
    if (entry.iv_ulHashValue == hash && entry.iv_uiNameLength == length &&
        std::memcmp(entry.iv_pacName, name, length) == 0)
      return &entry;
  }
  return nullptr;
}

uint32_t ItlClMapHashtable::queryEntry(ItlClMapArray const& array,
                                       char const* name,
                                       uint32_t length) const {
  ItlStMapEntry* entry = getMapEntry(array, name, length);
  return entry != nullptr ? entry->iv_tyNumber : 0;
}

void ItlClMapHashtable::clearHashtable() {
  if (iv_ppstBuckets == nullptr) return;
  for (uint32_t b = 0; b < iv_uiBucketCount; ++b) {
    Node* node = iv_ppstBuckets[b];
    while (node != nullptr) {
      Node* next = node->next;
      CosClMemoryManager::free(node);
      node = next;
    }
    iv_ppstBuckets[b] = nullptr;
  }
}

void ItlClMapHashtable::display(std::ostream& out) const {
  out << "\nvoid ItlClMapHashtable::display(ostream & rclOs)\n";
}
