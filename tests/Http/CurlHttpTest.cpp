#include "Http/CurlHttp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

namespace {

TEST(CurlHttpTest, HeaderLinesSplitIntoTrimmedNameAndValue) {
  struct Case {
    std::string line;
    bool accepted;
    std::wstring name, value;
  };
  const Case cases[] = {
      {"Content-Length: 5000\r\n", true, L"Content-Length", L"5000"},
      {"X-Empty:\r\n", true, L"X-Empty", L""},
      {"X-Blank:   \r\n", true, L"X-Blank", L""},
      {"Location: http://a/b:c\r\n", true, L"Location", L"http://a/b:c"},
      {": starts with a colon\r\n", false, L"", L""},
      {"HTTP/1.1 200 OK\r\n", false, L"", L""},
      {"no colon at all", false, L"", L""},
  };
  for (const Case& c : cases) {
    std::wstring name, value;
    EXPECT_EQ(SplitHeaderLine(c.line, name, value), c.accepted) << c.line;
    if (c.accepted) {
      EXPECT_EQ(name, c.name) << c.line;
      EXPECT_EQ(value, c.value) << c.line;
    }
  }
}

TEST(CurlHttpTest, ContentLengthIsAPlainDecimal) {
  struct Case {
    std::wstring text;
    int64_t length;
  };
  const Case cases[] = {
      {L"0", 0},
      {L"5000", 5000},
      {L"268435456", 268435456},
      {L"999999999999999999", 999999999999999999},
      {L"9999999999999999999", -1},  // would overflow
      {L"-5", -1},
      {L"12abc", -1},
      {L"", -1},
      {L" 5", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseContentLength(c.text), c.length);
}

// Seeded random mutations of real header lines: none may crash, hang or
// produce a name with a colon in it.
TEST(CurlHttpTest, MutatedHeaderLinesNeverBreakTheParser) {
  const std::string seeds[] = {
      "Content-Length: 5000\r\n",
      "Content-Range: bytes 1000-4999/5000\r\n",
      "Location: http://127.0.0.1:8080/kdinstall.txt\r\n",
      "Set-Cookie: a=b; path=/\r\n",
      "\r\n",
  };
  std::mt19937 random(20261211);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int parsed = 0;
  for (int i = 0; i < 100000 && std::chrono::steady_clock::now() < deadline; ++i) {
    std::string line = seeds[random() % std::size(seeds)];
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = line.empty() ? 0 : random() % line.size();
      switch (random() % 4) {
        case 0:
          if (!line.empty()) line[at] = static_cast<char>(random());
          break;
        case 1:
          line.insert(at, 1, static_cast<char>(random()));
          break;
        case 2:
          if (!line.empty()) line.erase(at, 1 + random() % 4);
          break;
        default:
          line.insert(at, std::string(random() % 64, static_cast<char>(random())));
          break;
      }
    }
    std::wstring name, value;
    if (SplitHeaderLine(line, name, value)) {
      ++parsed;
      ASSERT_EQ(name.find(L':'), std::wstring::npos) << line;
      (void)ParseContentLength(value);
    }
  }
  EXPECT_GT(parsed, 1000);
}

}  // namespace
