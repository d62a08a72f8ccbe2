#include "SkinUI/Utils/UIStringMap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {
namespace {

void* P(intptr_t v) {
  return reinterpret_cast<void*>(v);
}

std::vector<std::wstring> Order(const CUIStringMap& map) {
  std::vector<std::wstring> keys;
  for (int i = 0; i < map.GetSize(); ++i) keys.push_back(map.GetAt(i)->GetData());
  return keys;
}

TEST(UIStringMapTest, HashTakesCharactersFromTheLast) {
  EXPECT_EQ(CUIStringMap::Hash(L""), 0u);
  EXPECT_EQ(CUIStringMap::Hash(L"a"), 97u);
  // "ab": ('b') * 33 + 'a'
  EXPECT_EQ(CUIStringMap::Hash(L"ab"), 98u * 33 + 97);
  // Wraps in 32 bits.
  uint32_t expected = 0;
  const std::wstring key = L"btn_close000.png with a long tail";
  for (auto it = key.rbegin(); it != key.rend(); ++it) expected = expected * 33 + *it;
  EXPECT_EQ(CUIStringMap::Hash(key.c_str()), expected);
}

TEST(UIStringMapTest, InsertRefusesAndSetReplacesPresentKeys) {
  CUIStringMap map;
  EXPECT_TRUE(map.Insert(L"Button", P(1)));
  EXPECT_FALSE(map.Insert(L"Button", P(2)));
  EXPECT_EQ(map.Find(L"Button"), P(1));
  EXPECT_EQ(map.Find(L"button"), nullptr);  // case-sensitive
  EXPECT_EQ(map.Set(L"Button", P(3)), P(1));
  EXPECT_EQ(map.Find(L"Button"), P(3));
  EXPECT_EQ(map.Set(L"Label", P(4)), nullptr);
  EXPECT_EQ(map.GetSize(), 2);
  EXPECT_TRUE(map.Remove(L"Button"));
  EXPECT_FALSE(map.Remove(L"Button"));
  EXPECT_EQ(map.GetSize(), 1);
}

TEST(UIStringMapTest, LookupMovesTheEntryToTheFrontOfItsBucket) {
  CUIStringMap map(1);  // one bucket: the iteration order is the bucket order
  ASSERT_TRUE(map.Insert(L"a", P(1)));
  ASSERT_TRUE(map.Insert(L"b", P(2)));
  ASSERT_TRUE(map.Insert(L"c", P(3)));
  EXPECT_EQ(Order(map), (std::vector<std::wstring>{L"c", L"b", L"a"}));
  EXPECT_EQ(map.Find(L"a"), P(1));
  EXPECT_EQ(Order(map), (std::vector<std::wstring>{L"a", L"c", L"b"}));
  EXPECT_EQ(map.GetValueAt(0), P(1));
}

TEST(UIStringMapTest, IterationRunsFromTheLastBucket) {
  CUIStringMap map;  // 83 buckets
  // "a" hashes to 97 % 83 = 14, "b" to 15, "d" to 100 % 83 = 17.
  ASSERT_TRUE(map.Insert(L"a", P(1)));
  ASSERT_TRUE(map.Insert(L"d", P(3)));
  ASSERT_TRUE(map.Insert(L"b", P(2)));
  EXPECT_EQ(Order(map), (std::vector<std::wstring>{L"d", L"b", L"a"}));
  map.Resize(7);  // resizing empties it
  EXPECT_EQ(map.GetSize(), 0);
  EXPECT_EQ(map.GetAt(0), nullptr);
}

}  // namespace
}  // namespace SkinUI
