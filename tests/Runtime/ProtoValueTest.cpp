#include "Runtime/ProtoValue.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

int ThrownCode(const std::function<void()>& f) {
  try {
    f();
  } catch (const ProtoValueException& e) {
    return e.code;
  }
  return 0;
}

TEST(ProtoValueTest, IndexingNullMakesArraysAndMaps) {
  ProtoValue array;
  array[0];
  EXPECT_EQ(array.type(), ProtoValue::Type::kArray);
  EXPECT_EQ(array.Count(), 1u);
  EXPECT_EQ(array[0].type(), ProtoValue::Type::kNull);

  ProtoValue result;
  result[L"curl"][L"code"] = 5;
  EXPECT_EQ(result.type(), ProtoValue::Type::kMap);
  EXPECT_EQ(result.Get(L"curl").Get(L"code").integer(), 5);
  EXPECT_TRUE(result.Has(L"curl"));
  EXPECT_FALSE(result.Has(L"Curl"));  // keys are case-sensitive
}

TEST(ProtoValueTest, WrongAccessesThrowTheirCodes) {
  struct Case {
    const char* what;
    std::function<void()> access;
    int code;
  };
  ProtoValue two;
  two.Append(1);
  two.Append(2);
  ProtoValue integer(42);
  ProtoValue text(L"abc");
  ProtoValue map;
  map[L"k"] = 1;
  const Case cases[] = {
      {"array[2] appends", [&] { two[2] = 3; }, 0},
      {"array[4] past the end", [&] { two[4]; }, 1},
      {"array[-1]", [&] { two[-1]; }, 1},
      {"integer[0]", [&] { integer[0]; }, 1},
      {"map[0]", [&] { map[0]; }, 1},
      {"map.Append", [&] { map.Append(1); }, 1},
      {"integer[key]", [&] { integer[L"k"]; }, 2},
      {"array[key]", [&] { two[L"k"]; }, 2},
      {"string.integer()", [&] { (void)text.integer(); }, 3},
      {"integer.string()", [&] { (void)integer.string(); }, 3},
  };
  for (const Case& c : cases) EXPECT_EQ(ThrownCode(c.access), c.code) << c.what;
  EXPECT_EQ(two.Count(), 3u);
}

TEST(ProtoValueTest, ExceptionsCarryTheirMessages) {
  ProtoValue integer(1);
  try {
    (void)integer.string();
    FAIL();
  } catch (const ProtoValueException& e) {
    EXPECT_EQ(e.message, L"ProtoValue::string wrong type");
  }
  try {
    integer[L"x"];
    FAIL();
  } catch (const ProtoValueException& e) {
    EXPECT_EQ(e.message, L"ProtoValue operator[string] wrong type");
  }
}

TEST(ProtoValueTest, ReadingNullGivesSharedDefaultsWithoutThrowing) {
  const ProtoValue null;
  EXPECT_EQ(null.integer(), 0);
  EXPECT_EQ(null.string(), L"");
  EXPECT_EQ(null.Count(), 0u);
  ProtoValue integer(3);
  EXPECT_EQ(integer.Get(L"x").type(), ProtoValue::Type::kNull);
  EXPECT_FALSE(integer.Has(L"x"));
  EXPECT_EQ(&null.Get(L"a"), &integer.Get(L"b"));         // one shared value
  EXPECT_EQ(integer.type(), ProtoValue::Type::kInteger);  // Get never inserts
}

TEST(ProtoValueTest, CopiesAreDeep) {
  ProtoValue source;
  source[L"list"].Append(L"one");
  source[L"n"] = 1;
  ProtoValue copy = source;
  copy[L"list"].Append(L"two");
  copy[L"n"] = 2;
  copy[L"new"] = 3;
  EXPECT_EQ(source.Count(), 2u);
  EXPECT_EQ(source.Get(L"list").Count(), 1u);
  EXPECT_EQ(source.Get(L"n").integer(), 1);
  EXPECT_EQ(copy.Get(L"list").Count(), 2u);
}

TEST(ProtoValueTest, AssigningAValueToItsOwnEntryKeepsBothValid) {
  ProtoValue map;
  map[L"a"] = L"text";
  map[L"self"] = map;
  EXPECT_EQ(map.Get(L"a").string(), L"text");
  EXPECT_EQ(map.Get(L"self").Get(L"a").string(), L"text");
  EXPECT_EQ(map.Get(L"self").Get(L"self").type(), ProtoValue::Type::kNull);

  // And the other way round: a value replaced by one of its own parts.
  ProtoValue outer;
  outer[L"inner"][L"x"] = 9;
  outer = outer.Get(L"inner");
  EXPECT_EQ(outer.Get(L"x").integer(), 9);

  ProtoValue list;
  list.Append(7);
  list.Append(list[0]);  // appending may move the element it copies
  EXPECT_EQ(list[1].integer(), 7);
}

TEST(ProtoValueTest, TypedConstructionAndClear) {
  struct Case {
    ProtoValue::Type type;
    size_t count;
  };
  for (const Case& c : {Case{ProtoValue::Type::kArray, 0}, Case{ProtoValue::Type::kMap, 0},
                        Case{ProtoValue::Type::kString, 0}, Case{ProtoValue::Type::kReal, 0},
                        Case{ProtoValue::Type::kString8, 0}}) {
    ProtoValue v(c.type);
    EXPECT_EQ(v.type(), c.type);
    EXPECT_EQ(v.Count(), c.count);
    v.Clear();
    EXPECT_EQ(v.type(), ProtoValue::Type::kNull);
  }
  EXPECT_EQ(ProtoValue(ProtoValue::Type::kString).string(), L"");
  ProtoValue big(int64_t{1} << 40);
  EXPECT_EQ(big.integer(), int64_t{1} << 40);
}

}  // namespace
