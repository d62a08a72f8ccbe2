#include "SkinUI/Utils/UIString.h"

#include <gtest/gtest.h>

#include <string>

namespace SkinUI {
namespace {

TEST(UIStringTest, MovesToTheHeapAt163Characters) {
  const std::wstring shortText(162, L'a');
  const std::wstring longText(163, L'b');
  CUIString s(shortText.c_str());
  EXPECT_FALSE(s.UsesHeap());
  EXPECT_EQ(s.GetLength(), 162);
  s = longText.c_str();
  EXPECT_TRUE(s.UsesHeap());
  EXPECT_EQ(std::wstring(s.GetData()), longText);
  s.Append(L"tail");
  EXPECT_EQ(s.GetLength(), 167);
  s = L"back";
  EXPECT_FALSE(s.UsesHeap());
  EXPECT_EQ(s, L"back");

  // Growing by appends crosses the limit the same way.
  CUIString grown(shortText.c_str());
  grown.Append(L'x');
  EXPECT_TRUE(grown.UsesHeap());
  const CUIString copy(grown);
  EXPECT_TRUE(copy.UsesHeap());
  EXPECT_EQ(copy, grown);
}

TEST(UIStringTest, AssignTakesAtMostTheGivenLength) {
  CUIString s;
  s.Assign(L"abcdef", 3);
  EXPECT_EQ(s, L"abc");
  s.Assign(L"ab", 10);  // clamped to the string
  EXPECT_EQ(s, L"ab");
  s.Assign(s.GetData() + 1);  // from itself
  EXPECT_EQ(s, L"b");
}

TEST(UIStringTest, ReplaceReturnsTheCount) {
  struct Case {
    const wchar_t* text;
    const wchar_t* from;
    const wchar_t* to;
    int count;
    const wchar_t* result;
  };
  const Case cases[] = {
      {L"a,b,c", L",", L";;", 2, L"a;;b;;c"}, {L"aaaa", L"aa", L"a", 2, L"aa"},
      {L"abc", L"x", L"y", 0, L"abc"},        {L"abc", L"", L"y", 0, L"abc"},
      {L"abcabc", L"abc", L"", 2, L""},
  };
  for (const Case& c : cases) {
    CUIString s(c.text);
    EXPECT_EQ(s.Replace(c.from, c.to), c.count) << c.text;
    EXPECT_EQ(s, c.result) << c.text;
  }
  // A replacement that pushes the text onto the heap.
  CUIString s(std::wstring(100, L'x').c_str());
  EXPECT_EQ(s.Replace(L"x", L"yy"), 100);
  EXPECT_EQ(s.GetLength(), 200);
  EXPECT_TRUE(s.UsesHeap());
}

TEST(UIStringTest, LeftMidRightClampToTheString) {
  const CUIString s(L"hello");
  EXPECT_EQ(s.Left(2), L"he");
  EXPECT_EQ(s.Left(99), L"hello");
  EXPECT_EQ(s.Left(-1), L"hello");
  EXPECT_EQ(s.Mid(1, 3), L"ell");
  EXPECT_EQ(s.Mid(3, 99), L"lo");
  EXPECT_EQ(s.Mid(9, 2), L"");
  EXPECT_EQ(s.Mid(-4, 2), L"he");
  EXPECT_EQ(s.Right(3), L"llo");
  EXPECT_EQ(s.Right(42), L"hello");
}

TEST(UIStringTest, FindGivesIndexOrMinusOne) {
  const CUIString s(L"a=b=c");
  EXPECT_EQ(s.Find(L'='), 1);
  EXPECT_EQ(s.Find(L'=', 2), 3);
  EXPECT_EQ(s.Find(L'=', 4), -1);
  EXPECT_EQ(s.Find(L"b=c"), 2);
  EXPECT_EQ(s.Find(L"x"), -1);
  EXPECT_EQ(s.Find(L'=', 99), -1);
  EXPECT_EQ(s.GetAt(4), L'c');
  EXPECT_EQ(s.GetAt(5), 0);
}

TEST(UIStringTest, FormatGrowsToTheWholeResult) {
  CUIString s;
  const std::wstring name(700, L'n');
  EXPECT_EQ(s.Format(L"file='%s' fade='%d'", name.c_str(), 128), 6 + 700 + 12);
  EXPECT_EQ(std::wstring(s.GetData()), L"file='" + name + L"' fade='128'");
  // Results exactly at the old buffer boundaries are not cut either.
  for (int length : {162, 163, 255, 256, 511, 512}) {
    const std::wstring text(length, L'q');
    EXPECT_EQ(s.Format(L"%s", text.c_str()), length);
    EXPECT_EQ(s.GetLength(), length);
  }
  EXPECT_EQ(s.Format(L""), 0);
  EXPECT_EQ(s, L"");
}

TEST(UIStringTest, SmallFormatCutsAt63Characters) {
  CUIString s;
  EXPECT_EQ(s.SmallFormat(L"%d,%d", 3, 4), 3);
  EXPECT_EQ(s, L"3,4");
  const std::wstring text(100, L'z');
  EXPECT_EQ(s.SmallFormat(L"%s", text.c_str()), 63);
  EXPECT_EQ(std::wstring(s.GetData()), std::wstring(63, L'z'));
}

}  // namespace
}  // namespace SkinUI
