// Hit lists and highlight lists: capacity limits, ownership, and the
// highlight list's iterator walked against a plain index model, also after
// the list is gone.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "cos_memmgr.hpp"
#include "dl_test_util.hpp"
#include "itl_error.hpp"
#include "itl_highlight_list.hpp"
#include "itl_hitlist.hpp"
#include "ti_test_util.hpp"

namespace {

struct IterDeleter {
  void operator()(ItlClListABase::Iterator* it) const {
    it->~Iterator();
    CosClMemoryManager::free(it);
  }
};
using IterPtr = std::unique_ptr<ItlClListABase::Iterator, IterDeleter>;

ItlClHighlightList::Iterator& asHl(IterPtr const& p) {
  return static_cast<ItlClHighlightList::Iterator&>(*p);
}

TEST(HitList, KeepsHitsInOrderAndRefusesBeyondCapacity) {
  ItlClHitlist list(3);
  EXPECT_EQ(list.getCount(), 0u);
  EXPECT_TRUE(list.add(ItlEnDocPartType_None, 4, 2));
  EXPECT_TRUE(list.add(ItlEnDocPartType_Comment, 9, 1));
  EXPECT_TRUE(list.add(ItlEnDocPartType_Text, 0xFFFFFFFFu, 7));
  EXPECT_FALSE(list.add(ItlEnDocPartType_Text, 20, 1));
  ASSERT_EQ(list.getCount(), 3u);
  EXPECT_EQ(list.get(1).getPartType(), ItlEnDocPartType_Comment);
  EXPECT_EQ(list.get(1).getOffset(), 9u);
  EXPECT_EQ(list.get(2).getOffset(), 0xFFFFFFFFu);
  EXPECT_EQ(list.get(2).getLength(), 7u);

  ItlClHitlistIterator it(list);
  std::vector<uint32_t> offsets;
  for (; !it.isAtEnd(); it.next()) offsets.push_back(it.current().getOffset());
  EXPECT_EQ(offsets, (std::vector<uint32_t>{4, 9, 0xFFFFFFFFu}));
}

TEST(HitList, EmptyListHasNoRoom) {
  ItlClHitlist list(0);
  EXPECT_FALSE(list.add(ItlEnDocPartType_Text, 0, 1));
  ItlClHitlistIterator it(list);
  EXPECT_TRUE(it.isAtEnd());
}

TEST(HighlightList, TypeElementsAndCapacity) {
  ItlClErrorInfo info;
  ItlClHighlightList list(info, 2);
  list.init();
  EXPECT_TRUE(list.isEmpty());
  EXPECT_TRUE(list.matchesType(ItlEnListType_HighlightList));
  EXPECT_FALSE(list.matchesType(static_cast<ItlEnListType>(100001)));
  EXPECT_FALSE(list.matchesType(ItlEnListType_ArrayBasedList));
  EXPECT_EQ(list.getListType(), ItlEnListType_HighlightList);
  ItlClHighlightElement* e = list.newElement();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->iv_enPartType, ItlEnDocPartType_None);
  EXPECT_EQ(e->iv_uiHitStart + e->iv_uiHitEnd + e->iv_uiContextStart +
                e->iv_uiContextEnd,
            0u);
  e->iv_uiHitStart = 6;
  ASSERT_NE(list.newElement(), nullptr);
  EXPECT_EQ(list.newElement(), nullptr);
  EXPECT_EQ(list.getNumberOfElements(), 2u);
  EXPECT_EQ(list.getElement(0).iv_uiHitStart, 6u);
}

TEST(HighlightList, IteratorEdges) {
  ItlClErrorInfo info;
  ItlClHighlightList empty(info, 1);
  empty.init();
  IterPtr e(empty.getNewIterator());
  EXPECT_FALSE(asHl(e).setToLast());
  EXPECT_EQ(asHl(e).getIndex(), 0u);
  EXPECT_FALSE(e->setToFirst());
  EXPECT_FALSE(e->isAtLastElement());
  EXPECT_FALSE(e->setToNext(0));
  EXPECT_EQ(e->getCurrent(), nullptr);

  ItlClHighlightList list(info, 3);
  list.init();
  for (int i = 0; i < 3; ++i) list.newElement();
  IterPtr it(list.getNewIterator());
  EXPECT_TRUE(it->setToLast());
  EXPECT_FALSE(it->setToNext(1));  // on the last element: stays
  EXPECT_TRUE(it->isAtLastElement());
  EXPECT_FALSE(it->setToNext(0xFFFFFFFFu));  // never wraps
  EXPECT_EQ(asHl(it).getIndex(), 2u);
  EXPECT_TRUE(it->setToPrevious(1));
  EXPECT_FALSE(it->setToPrevious(2));  // at index 1: stays
  EXPECT_EQ(asHl(it).getIndex(), 1u);
  EXPECT_TRUE(it->setToPrevious(1));
  EXPECT_TRUE(it->isAtFirstElement());
}

// Random moves against an index model; then the list goes and the
// iterator's checked operations throw 46 while the unchecked ones answer.
TEST(HighlightList, IteratorAgreesWithModelAndOutlivesList) {
  std::mt19937 rng(testSeed());
  ItlClErrorInfo info;
  for (int round = 0; round < 50; ++round) {
    uint32_t count = rng() % 6;
    auto* list = new ItlClHighlightList(info, count);
    list->init();
    for (uint32_t i = 0; i < count; ++i) list->newElement();
    IterPtr it(list->getNewIterator());
    uint32_t model = 0;
    for (int step = 0; step < 40; ++step) {
      unsigned n = rng() % 4;
      switch (rng() % 5) {
        case 0: {
          bool ok = model + n < count;
          EXPECT_EQ(it->setToNext(n), ok);
          if (ok) model += n;
          break;
        }
        case 1: {
          bool ok = n <= model;
          EXPECT_EQ(it->setToPrevious(n), ok);
          if (ok) model -= n;
          break;
        }
        case 2:
          EXPECT_EQ(it->setToFirst(), count > 0);
          model = 0;
          break;
        case 3:
          EXPECT_EQ(it->setToLast(), count > 0);
          model = count ? count - 1 : 0;
          break;
        default:
          break;
      }
      ASSERT_EQ(asHl(it).getIndex(), model);
      EXPECT_EQ(it->isValid(), model < count);
      EXPECT_EQ(it->isAtFirstElement(), model == 0);
      EXPECT_EQ(it->isAtLastElement(), count > 0 && model == count - 1);
    }
    delete list;
    EXPECT_FALSE(it->isListValid());
    EXPECT_EQ(it->isAtFirstElement(), model == 0);
    EXPECT_EQ(catchItl([&] { it->isValid(); }).reason, 46);
    EXPECT_EQ(catchItl([&] { it->isAtLastElement(); }).reason, 46);
    EXPECT_EQ(catchItl([&] { it->setToLast(); }).reason, 46);
    EXPECT_EQ(catchItl([&] { it->setToNext(1); }).reason, 46);
    Caught c = catchItl([&] { it->setToFirst(); });
    EXPECT_EQ(c.reason, 46);
    EXPECT_EQ(c.rc, 8);
    EXPECT_EQ(it->setToPrevious(model + 1), false);
  }
}

}  // namespace
