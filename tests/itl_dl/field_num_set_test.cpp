// Tests of the field number set: order, duplicates, growth.
#include <gtest/gtest.h>

#include <vector>

#include "itl_field_num_set.hpp"

namespace {

std::vector<unsigned short> contents(ItlClFieldNumSet const& s) {
  std::vector<unsigned short> v;
  for (uint32_t i = 0; i < s.getCount(); ++i) v.push_back(s.get(i));
  return v;
}

TEST(FieldNumSet, KeepsOrderWithoutDuplicates) {
  for (unsigned capacity : {0u, 1u, 10u}) {
    ItlClFieldNumSet s(capacity);
    s.add(7);
    s.add(3);
    s.add(7);
    EXPECT_EQ(contents(s), (std::vector<unsigned short>{7, 3})) << capacity;
    EXPECT_TRUE(s.contains(3));
    EXPECT_FALSE(s.contains(4));
  }
}

TEST(FieldNumSet, GrowsByHalfPlusTwo) {
  ItlClFieldNumSet s(0);
  EXPECT_EQ(s.getCapacity(), 0u);
  std::vector<uint32_t> capacities;
  for (unsigned short n = 0; n < 30; ++n) {
    s.add(n);
    if (capacities.empty() || capacities.back() != s.getCapacity())
      capacities.push_back(s.getCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<uint32_t>{2, 5, 9, 15, 24, 38}));
  ItlClFieldNumSet t(10);
  for (unsigned short n = 0; n < 11; ++n) t.add(n);
  EXPECT_EQ(t.getCapacity(), 17u);
}

TEST(FieldNumSet, ExtremeNumbersAreOrdinary) {
  ItlClFieldNumSet s(2);
  s.add(0);
  s.add(65535);
  EXPECT_TRUE(s.contains(0));
  EXPECT_TRUE(s.contains(65535));
  EXPECT_EQ(s.getCount(), 2u);
}

}  // namespace
