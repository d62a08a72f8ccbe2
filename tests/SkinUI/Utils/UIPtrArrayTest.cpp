#include "SkinUI/Utils/UIPtrArray.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace SkinUI {
namespace {

void* P(intptr_t v) {
  return reinterpret_cast<void*>(v);
}

TEST(UIPtrArrayTest, CapacityGrowsFrom0To11To22) {
  CUIPtrArray array;
  EXPECT_EQ(array.GetCapacity(), 0);
  ASSERT_TRUE(array.Add(P(1)));
  EXPECT_EQ(array.GetCapacity(), 11);
  for (intptr_t i = 2; i <= 10; ++i) ASSERT_TRUE(array.Add(P(i)));
  EXPECT_EQ(array.GetCapacity(), 11);  // count 10
  ASSERT_TRUE(array.Add(P(11)));       // the count reaches the capacity
  EXPECT_EQ(array.GetCapacity(), 22);
  for (intptr_t i = 12; i <= 22; ++i) ASSERT_TRUE(array.Add(P(i)));
  EXPECT_EQ(array.GetCapacity(), 44);
  EXPECT_EQ(array.GetSize(), 22);
  for (int i = 0; i < 22; ++i) EXPECT_EQ(array[i], P(i + 1));
}

TEST(UIPtrArrayTest, InsertAndRemoveRespectTheirBounds) {
  CUIPtrArray array;
  EXPECT_FALSE(array.InsertAt(1, P(9)));  // past the count
  EXPECT_FALSE(array.InsertAt(-1, P(9)));
  ASSERT_TRUE(array.InsertAt(0, P(2)));  // at the count
  ASSERT_TRUE(array.InsertAt(0, P(1)));
  ASSERT_TRUE(array.InsertAt(2, P(3)));
  ASSERT_EQ(array.GetSize(), 3);
  EXPECT_EQ(array[0], P(1));
  EXPECT_EQ(array[1], P(2));
  EXPECT_EQ(array[2], P(3));

  EXPECT_FALSE(array.Remove(3));
  EXPECT_FALSE(array.Remove(-1));
  EXPECT_TRUE(array.Remove(0));
  EXPECT_EQ(array.GetSize(), 2);
  EXPECT_EQ(array[0], P(2));
  EXPECT_EQ(array.Find(P(3)), 1);
  EXPECT_EQ(array.Find(P(1)), -1);
  EXPECT_EQ(array.GetAt(2), nullptr);  // at the count
  EXPECT_EQ(array.GetAt(-1), nullptr);
}

}  // namespace
}  // namespace SkinUI
