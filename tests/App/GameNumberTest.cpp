#include "App/GameNumber.h"

#include <gtest/gtest.h>

namespace {

TEST(GameNumberTest, ReadsLikeWtoiKeepingTheLow16Bits) {
  struct Case {
    const wchar_t* commandLine;
    uint16_t gameNumber;
  };
  const Case cases[] = {
      {nullptr, 0},   {L"", 0},        {L"21", 21},      {L"  21 other words", 21},
      {L"\t+21", 21}, {L"letters", 0}, {L"70000", 4464}, {L"-1", 65535},
      {L"65536", 0},  {L"5x", 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseGameNumber(c.commandLine), c.gameNumber)
        << (c.commandLine ? c.commandLine : L"(null)");
  }
}

}  // namespace
