// Tests of the lists' validity marker (iterators that outlive their list,
// destruction in any order, the marker freed exactly once) and of the
// context holder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "cos_memmgr.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_list.hpp"

namespace {

// Counts what passes through the cos memory manager while installed.
struct CountingMemory {
  static int live;
  static void* allocate(unsigned int size) {
    ++live;
    return std::malloc(size);
  }
  static void* reallocate(void* p, unsigned int size) {
    if (p == nullptr) ++live;
    return std::realloc(p, size);
  }
  static void release(void* p) {
    if (p != nullptr) --live;
    std::free(p);
  }
  CountingMemory() {
    live = 0;
    CosClMemoryManager::setNewMemoryManager(allocate, reallocate, release);
  }
  ~CountingMemory() {
    CosClMemoryManager::setNewMemoryManager(
        CosClMemoryManager::systemAllocator,
        CosClMemoryManager::systemReallocator,
        CosClMemoryManager::systemDeallocator);
  }
};
int CountingMemory::live = 0;

// An array-based list of 32-bit values with a plain index iterator.
class IntList : public ItlClArrayBasedList {
 public:
  explicit IntList(ItlClErrorInfo& info)
      : ItlClArrayBasedList(ItlEnListType_ArrayBasedList, info) {}

  class Iter : public Iterator {
   public:
    explicit Iter(IntList const& list) : Iterator(list), iv_list(list) {}
    bool isAtFirstElement() const override { return iv_pos == 0; }
    bool isAtLastElement() const override {
      return iv_pos + 1 == iv_list.getNumberOfElements();
    }
    bool isValid() const override {
      return iv_pos < iv_list.getNumberOfElements();
    }
    bool setToFirst() override {
      iv_pos = 0;
      return isValid();
    }
    bool setToLast() override { return false; }
    bool setToNext(unsigned n) override {
      if (iv_pos + n >= iv_list.getNumberOfElements()) return false;
      iv_pos += n;
      return true;
    }
    bool setToPrevious(unsigned) override { return false; }
    void const* getCurrent() const override {
      return iv_list.getElement(iv_pos);
    }

   private:
    IntList const& iv_list;
    uint32_t iv_pos = 0;
  };

  Iterator* getNewIterator() const override {
    void* memory = CosClMemoryManager::allocate(sizeof(Iter));
    return new (memory) Iter(*this);
  }
};

void destroy(ItlClListABase::Iterator* it) {
  it->~Iterator();
  CosClMemoryManager::free(it);
}

IntList* newList(ItlClErrorInfo& info, uint32_t count) {
  void* memory = CosClMemoryManager::allocate(sizeof(IntList));
  IntList* list = new (memory) IntList(info);
  list->init();
  auto* values = static_cast<int32_t*>(
      CosClMemoryManager::allocate(count * 4 + 4));
  for (uint32_t i = 0; i < count; ++i) values[i] = static_cast<int32_t>(i * 10);
  list->initArray(values, count, 4);
  return list;
}

void destroy(ItlClListABase* list) {
  list->~ItlClListABase();
  CosClMemoryManager::free(list);
}

TEST(ItlLists, IteratorKeptAfterItsListSeesMarkerNotValid) {
  ItlClErrorInfo info;
  IntList* list = newList(info, 3);
  ItlClListABase::Iterator* it = list->getNewIterator();
  EXPECT_TRUE(it->isListValid());
  ASSERT_TRUE(it->setToNext(2));
  EXPECT_EQ(*static_cast<int32_t const*>(it->getCurrent()), 20);
  EXPECT_EQ(list->getValidityMarker()->getReferenceCount(), 2);
  destroy(list);
  EXPECT_FALSE(it->isListValid());
  destroy(it);
}

TEST(ItlLists, AnyDestructionOrderFreesTheMarkerOnce) {
  ItlClErrorInfo info;
  // Orders: list first, iterators after (two orders), iterators first.
  int const orders[][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}, {2, 0, 1}};
  for (auto const& order : orders) {
    CountingMemory memory;
    IntList* list = newList(info, 2);
    ItlClListABase::Iterator* a = list->getNewIterator();
    ItlClListABase::Iterator* b = list->getNewIterator();
    for (int step : order) {
      if (step == 0) destroy(list);
      if (step == 1) destroy(a);
      if (step == 2) destroy(b);
    }
    EXPECT_EQ(CountingMemory::live, 0) << order[0] << order[1] << order[2];
  }
}

TEST(ItlLists, InitAgainReleasesThePreviousMarker) {
  ItlClErrorInfo info;
  CountingMemory memory;
  IntList* list = newList(info, 1);
  ItlClListABase::Iterator* it = list->getNewIterator();
  list->init();  // the iterator keeps the old marker, still valid
  EXPECT_TRUE(it->isListValid());
  EXPECT_NE(list->getValidityMarker(), nullptr);
  destroy(it);
  destroy(list);
  EXPECT_EQ(CountingMemory::live, 0);
}

TEST(ItlLists, TypeAndEmptiness) {
  ItlClErrorInfo info;
  IntList empty(info);
  EXPECT_EQ(empty.getValidityMarker(), nullptr);  // before init
  EXPECT_TRUE(empty.isEmpty());
  EXPECT_TRUE(empty.matchesType(ItlEnListType_ArrayBasedList));
  for (ItlEnListType other :
       {ItlEnListType_ResultList, ItlEnListType_CallbackRankedResultList,
        ItlEnListType_HighlightList})
    EXPECT_FALSE(empty.matchesType(other));
  EXPECT_EQ(empty.getListType(), ItlEnListType_ArrayBasedList);
  EXPECT_EQ(&empty.getErrorInfo(), &info);
  IntList* full = newList(info, 5);
  EXPECT_FALSE(full->isEmpty());
  EXPECT_EQ(full->getNumberOfElements(), 5u);
  destroy(full);
}

// ---------------------------------------------------------------------------
// Context.

bool dateA(unsigned short const*, unsigned int, char const*, char const*,
           void*, unsigned short*, unsigned short*, unsigned short*, bool*,
           unsigned int*) {
  return true;
}
bool dateB(unsigned short const*, unsigned int, char const*, char const*,
           void*, unsigned short*, unsigned short*, unsigned short*, bool*,
           unsigned int*) {
  return false;
}
unsigned int rank(unsigned int v, void*) { return v; }

TEST(ItlContext, NewContextHasNothingRegistered) {
  ItlClErrorInfo info;
  ItlClContext context(info);
  EXPECT_EQ(&context.getErrorInfo(), &info);
  EXPECT_EQ(context.getRankingCallback(), nullptr);
  EXPECT_EQ(context.getRankingUserData(), nullptr);
  EXPECT_EQ(context.getSkipDocumentSetCallback(), nullptr);
  EXPECT_EQ(context.getDateCallback(), nullptr);
  EXPECT_FALSE(context.getDateFlag());
  EXPECT_EQ(context.getNumberCallback(), nullptr);
  EXPECT_FALSE(context.getNumberFlag());
  for (unsigned i = 0; i < ItlClContext::TIMING_COUNT; ++i)
    EXPECT_EQ(context.getTiming(i).iv_dTotal, 0.0);
}

TEST(ItlContext, RegistrationsOverwrite) {
  ItlClErrorInfo info;
  ItlClContext context(info);
  int a = 0, b = 0;
  context.registerDateCallback(dateA, true, &a);
  context.registerDateCallback(dateB, false, &b);
  EXPECT_EQ(context.getDateCallback(), &dateB);
  EXPECT_FALSE(context.getDateFlag());
  EXPECT_EQ(context.getDateUserData(), &b);
  context.registerRankingCallback(rank, ItlEnSortOrder_Descending, &a);
  context.registerRankingCallback(nullptr, ItlEnSortOrder_Descending, nullptr);
  EXPECT_EQ(context.getRankingCallback(), nullptr);
  EXPECT_EQ(context.getRankingSortOrder(), ItlEnSortOrder_Descending);
}

}  // namespace
