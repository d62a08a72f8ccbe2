#include "SkinUI/Utils/AttributeValues.h"

#include <gtest/gtest.h>

#include <string>

namespace SkinUI {
namespace {

TEST(AttributeValuesTest, NumbersStopAtTheEndOfTheText) {
  struct Case {
    const wchar_t* text;
    long expected[4];
    int supplied;
  };
  const Case cases[] = {
      {L"1,2,3,4", {1, 2, 3, 4}, 4}, {L"5 6 7 8", {5, 6, 7, 8}, 4},  // any one character separates
      {L"-3,-4", {-3, -4, 0, 0}, 2}, {L"9", {9, 0, 0, 0}, 1},
      {L"", {0, 0, 0, 0}, 0},        {L"1,", {1, 0, 0, 0}, 1},
  };
  for (const Case& c : cases) {
    long values[4] = {7, 7, 7, 7};
    EXPECT_EQ(ReadNumbers(c.text, values, 4), c.supplied) << c.text;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(values[i], c.expected[i]) << c.text << " #" << i;
  }
}

TEST(AttributeValuesTest, NumbersNeverReadPastTheTerminator) {
  // Whatever follows the terminator must not be read as the next number.
  const wchar_t buffer[] = {L'1', L',', L'2', 0, L'3', L'3', 0};
  long values[3];
  ReadNumbers(buffer, values, 3);
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], 2);
  EXPECT_EQ(values[2], 0);
}

TEST(AttributeValuesTest, ColoursAndBooleans) {
  EXPECT_EQ(ReadColor(L"#ff444343"), 0xFF444343u);
  EXPECT_EQ(ReadColor(L"00C0C0C0"), 0x00C0C0C0u);
  EXPECT_EQ(ToColorRef(0xFF112233u), RGB(0x11, 0x22, 0x33));
  EXPECT_TRUE(ReadBool(L"true"));
  EXPECT_FALSE(ReadBool(L"True"));
  EXPECT_FALSE(ReadBool(L"1"));
  const RECT r = ReadRect(L"5,4,5,6");
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.bottom, 6);
}

}  // namespace
}  // namespace SkinUI
