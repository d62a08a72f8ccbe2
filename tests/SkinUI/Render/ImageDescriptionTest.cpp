#include "SkinUI/Render/ImageDescription.h"

#include <gtest/gtest.h>

namespace SkinUI {
namespace {

const RECT kItem = {10, 20, 110, 70};

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(ImageDescriptionTest, BareNameIsTheWholeText) {
  const auto images = ParseImageDescription(L"install_0.png", nullptr, kItem);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].name, L"install_0.png");
  EXPECT_TRUE(Same(images[0].dest, kItem));
  EXPECT_TRUE(images[0].stretch);
  EXPECT_EQ(images[0].fade, 255);
}

TEST(ImageDescriptionTest, PairsSetTheirValues) {
  const auto images = ParseImageDescription(
      L"file='a.png' dest='0,4,16,200' source='5,5,189,49' corner='3,3,3,3' mask='#ff00ff00' "
      L"fade='300' hole='true' xtiled='true' ytiled='false' stretch='false' center='true' "
      L"roundcorner='2,3' gray='true' unknown='x'",
      nullptr, kItem);
  ASSERT_EQ(images.size(), 1u);
  const UIImageOptions& o = images[0];
  EXPECT_EQ(o.name, L"a.png");
  EXPECT_TRUE(Same(o.dest, RECT{10, 24, 26, 70}));  // bottom clipped to the item
  EXPECT_TRUE(Same(o.source, RECT{5, 5, 189, 49}));
  EXPECT_TRUE(Same(o.corner, RECT{3, 3, 3, 3}));
  EXPECT_EQ(o.mask, 0xFF00FF00u);
  EXPECT_EQ(o.fade, 255);  // clamped
  EXPECT_TRUE(o.hole);
  EXPECT_TRUE(o.xtiled);
  EXPECT_FALSE(o.ytiled);
  EXPECT_FALSE(o.stretch);
  EXPECT_TRUE(o.center);
  EXPECT_EQ(o.roundCorner.cx, 2);
  EXPECT_EQ(o.roundCorner.cy, 3);

  const auto r = ParseImageDescription(L"file='b.png' rdest='-20,-10,0,0'", nullptr, kItem);
  EXPECT_TRUE(Same(r[0].dest, RECT{90, 60, 110, 70}));
}

TEST(ImageDescriptionTest, ParsingStopsAtTheFirstMalformedPair) {
  struct Case {
    const wchar_t* text;
    int fade;
  };
  const Case cases[] = {
      {L"file='a.png' fade=\"10\"", 255},  // double quotes end the text
      {L"file='a.png' fade='10", 255},     // no closing apostrophe
      {L"file='a.png'  fade='10'", 10},    // extra blanks are skipped
      {L"file='a.png',fade='10'", 255},    // no space after the pair
      {L"file = 'a.png' fade = '10'", 10},
      {L"file='a.png' fade=''", 255},  // empty values are ignored
  };
  for (const Case& c : cases) {
    const auto images = ParseImageDescription(c.text, nullptr, kItem);
    ASSERT_EQ(images.size(), 1u) << c.text;
    EXPECT_EQ(images[0].name, L"a.png") << c.text;
    EXPECT_EQ(images[0].fade, c.fade) << c.text;
  }
}

TEST(ImageDescriptionTest, ModifyTextOverridesAndSeveralFilesCarryValuesOver) {
  auto images = ParseImageDescription(L"file='a.png' fade='40'", L"fade='128'", kItem);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].fade, 128);

  images =
      ParseImageDescription(L"file='a.png' dest='0,0,10,10' file='b.png' fade='9'", nullptr, kItem);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0].name, L"a.png");
  EXPECT_EQ(images[0].fade, 255);
  EXPECT_EQ(images[1].name, L"b.png");
  EXPECT_TRUE(Same(images[1].dest, RECT{10, 20, 20, 30}));
  EXPECT_EQ(images[1].fade, 9);

  // The file count restarts for the modify text: its first file replaces.
  images = ParseImageDescription(L"file='a.png'", L"file='hot.png'", kItem);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].name, L"hot.png");
}

}  // namespace
}  // namespace SkinUI
