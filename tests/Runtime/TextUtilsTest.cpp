#include "Runtime/TextUtils.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TextUtilsTest, Utf8RoundTripsCjkAndSurrogatePairs) {
  const std::wstring texts[] = {
      L"安装Lumora2",
      L"剩余%s @ %s/s",
      L"\U0001F600 emoji and \U00020000 ext-B",  // two surrogate pairs
      L"plain ascii",
  };
  for (const std::wstring& text : texts) EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(L"\U0001F600").size(), 4u);
}

TEST(TextUtilsTest, SixUtf8BytesOfTwoChineseCharactersAreTwoUnits) {
  const std::wstring wide = FromUtf8("\xE5\xAE\x89\xE8\xA3\x85");
  EXPECT_EQ(wide, L"安装");
  EXPECT_EQ(wide.size(), 2u);
}

TEST(TextUtilsTest, EmptyInputsGiveEmptyOutputs) {
  EXPECT_EQ(ToAnsi(L""), "");
  EXPECT_EQ(FromAnsi(""), L"");
  EXPECT_EQ(ToUtf8(L""), "");
  EXPECT_EQ(FromUtf8(""), L"");
}

TEST(TextUtilsTest, AnsiReplacesUnmappableCharactersWithASpace) {
  // Thai has no equivalent (and no best fit) in the Western or Chinese code
  // pages the installer meets.
  EXPECT_EQ(ToAnsi(L"a\u0E01b"), "a b");
  const std::wstring url = L"http://127.0.0.1:8080/kdinstall.txt?x=1";
  EXPECT_EQ(ToAnsi(url), "http://127.0.0.1:8080/kdinstall.txt?x=1");
  EXPECT_EQ(FromAnsi(ToAnsi(url)), url);
}

TEST(TextUtilsTest, AnsiRoundTripsTheCodePagesOwnCharacters) {
  // Every character of the code page above ASCII that maps back to itself.
  std::string bytes;
  for (int c = 0xA0; c <= 0xFF; ++c) bytes.push_back(static_cast<char>(c));
  const std::wstring wide = FromAnsi(bytes);
  ASSERT_FALSE(wide.empty());
  EXPECT_EQ(FromAnsi(ToAnsi(wide)), wide) << "code page " << ::GetACP();
  // A long text is measured, not guessed: no truncation, no padding.
  const std::wstring longText(100000, L'z');
  EXPECT_EQ(ToAnsi(longText), std::string(100000, 'z'));
}

TEST(TextUtilsTest, FormatWideReadsWideStringsAndSizesExactly) {
  EXPECT_EQ(FormatWide(L"%s\\%s", L"C:\\Games", L"kdinstall.ini"), L"C:\\Games\\kdinstall.ini");
  EXPECT_EQ(FormatWide(L"(%d,%d)", 4, 404), L"(4,404)");
  EXPECT_EQ(FormatWide(L"%lld", 1LL << 40), L"1099511627776");
  const std::wstring big(5000, L'安');
  EXPECT_EQ(FormatWide(L"[%s]", big.c_str()), L"[" + big + L"]");
  EXPECT_EQ(FormatWide(nullptr), L"");
  EXPECT_EQ(FormatWide(L""), L"");
}

TEST(TextUtilsTest, ToLowerLowersEveryUnit) {
  EXPECT_EQ(ToLower(L"Content-LENGTH: 5"), L"content-length: 5");
}

TEST(TextUtilsTest, TrimRemovesOuterWhiteSpaceOnly) {
  struct Case {
    std::wstring in, out;
  };
  const Case cases[] = {
      {L"bytes 0-99/100\r\n", L"bytes 0-99/100"},
      {L"  \tvalue with  inner space \t", L"value with  inner space"},
      {L"x", L"x"},
      {L"", L""},
      {L" \r\n ", L" \r\n "},  // all blank: left as it is
  };
  for (const Case& c : cases) {
    std::wstring text = c.in;
    Trim(text);
    EXPECT_EQ(text, c.out);
  }
}

TEST(TextUtilsTest, ReplaceAllReplacesEveryOccurrenceWithoutOverlap) {
  const std::wstring url = L"http://abcde/x/abcde";
  const std::wstring replaced = ReplaceAll(url, L"abcde", L"192.168.1.1");
  EXPECT_EQ(replaced, L"http://192.168.1.1/x/192.168.1.1");
  EXPECT_EQ(replaced.size(), url.size() + 12);
  EXPECT_EQ(ReplaceAll(L"aaaa", L"aa", L"b"), L"bb");
  EXPECT_EQ(ReplaceAll(L"aaa", L"aa", L"aaa"), L"aaaa");
  EXPECT_EQ(ReplaceAll(L"abc", L"", L"x"), L"abc");  // empty pattern: a copy
  EXPECT_EQ(ReplaceAll(L"abc", L"abc", L""), L"");
}

TEST(TextUtilsTest, SplitListKeepsEveryPiece) {
  struct Case {
    std::wstring text;
    std::vector<std::wstring> pieces;
  };
  const Case cases[] = {
      {L"1.2.3.4;5.6.7.8;", {L"1.2.3.4", L"5.6.7.8", L""}},
      {L"a;;b", {L"a", L"", L"b"}},
      {L"", {L""}},
      {L"single", {L"single"}},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> list = {L"stale"};
    SplitList(c.text, list);
    EXPECT_EQ(list, c.pieces);
  }
}

}  // namespace
