#include "SkinUI/Render/Renderer.h"

#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "SkinFixtures.h"
#include "SkinUI/Core/PaintManager.h"
#include "SkinUI/Render/DibCanvas.h"
#include "SkinUI/Render/Msimg32.h"
#include "SkinUI/Render/UIImageRecord.h"
#include "support/TempDir.h"

namespace SkinUI {
namespace {

constexpr uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, W = 0xFFFFFFFF, K = 0xFF000000;

uint32_t Rgb(uint32_t pixel) {
  return pixel & 0x00FFFFFF;
}
int Channel(uint32_t pixel, int shift) {
  return static_cast<int>((pixel >> shift) & 0xFF);
}

// Images in a resource folder of their own, a manager that caches them, and
// a canvas to draw on.
class RendererTest : public skin_fixtures::ResourceSettingsTest {
 protected:
  void SetUp() override {
    ResourceSettingsTest::SetUp();
    CPaintManager::SetResourceFolder(dir_.Path().c_str());
    manager_ = std::make_unique<CPaintManager>();
  }
  void TearDown() override {
    CMsimg32::HideForTesting(false);
    manager_.reset();
    ResourceSettingsTest::TearDown();
  }

  void Image(const wchar_t* name, int width, int height, const std::vector<uint32_t>& argb) {
    WriteFileBytes(dir_.File(name), skin_fixtures::EncodePng(width, height, argb));
  }

  // Draws `description` over a canvas of `w` x `h` filled with `background`; the
  // item and paint rectangles are the whole canvas.
  std::unique_ptr<CDibCanvas> Draw(int w, int h, uint32_t background, const wchar_t* description,
                                   const wchar_t* modify = nullptr) {
    auto canvas = std::make_unique<CDibCanvas>(w, h);
    canvas->Fill(background);
    const RECT all = {0, 0, w, h};
    EXPECT_TRUE(
        CRenderer::DrawImageSpec(canvas->GetDC(), manager_.get(), all, all, description, modify));
    ::GdiFlush();
    return canvas;
  }

  TempDir dir_;
  std::unique_ptr<CPaintManager> manager_;
};

uint32_t BitmapPixel(const UIImageRecord* image, int x, int y) {
  DIBSECTION dib = {};
  ::GetObjectW(image->bitmap.get(), sizeof(dib), &dib);
  return static_cast<const uint32_t*>(dib.dsBm.bmBits)[y * image->width + x];
}

TEST_F(RendererTest, LoadPremultipliesAndAppliesTheMask) {
  Image(L"mix.png", 3, 1, {0x80C80000, 0xFF336699, 0x00FFFFFF});
  std::unique_ptr<UIImageRecord, decltype(&CRenderer::FreeImage)> image(
      CRenderer::LoadImage(L"mix.png", nullptr, 0), &CRenderer::FreeImage);
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(image->alpha);
  EXPECT_EQ(BitmapPixel(image.get(), 0, 0), 0x80640000u);  // red 200 at alpha 128 stores 100
  EXPECT_EQ(BitmapPixel(image.get(), 1, 0), 0xFF336699u);
  EXPECT_EQ(BitmapPixel(image.get(), 2, 0), 0u);

  Image(L"opaque.png", 2, 1, {0xFF336699, 0xFF010203});
  std::unique_ptr<UIImageRecord, decltype(&CRenderer::FreeImage)> masked(
      CRenderer::LoadImage(L"opaque.png", nullptr, 0xFF336699), &CRenderer::FreeImage);
  ASSERT_NE(masked, nullptr);
  EXPECT_TRUE(masked->alpha);
  EXPECT_EQ(BitmapPixel(masked.get(), 0, 0), 0u);
  EXPECT_EQ(BitmapPixel(masked.get(), 1, 0), 0xFF010203u);

  std::unique_ptr<UIImageRecord, decltype(&CRenderer::FreeImage)> plain(
      CRenderer::LoadImage(L"opaque.png", nullptr, 0), &CRenderer::FreeImage);
  EXPECT_FALSE(plain->alpha);

  WriteFileBytes(dir_.File(L"junk.png"), "not an image");
  EXPECT_EQ(CRenderer::LoadImage(L"junk.png", nullptr, 0), nullptr);
  EXPECT_EQ(CRenderer::LoadImage(L"absent.png", nullptr, 0), nullptr);
}

TEST_F(RendererTest, LoadsFromTheHeldArchive) {
  const std::string zip =
      skin_fixtures::BuildZip({{"dot.png", skin_fixtures::SolidPng(1, 1, G), 8}});
  CPaintManager::SetResourceArchive(zip.data(), static_cast<uint32_t>(zip.size()));
  auto canvas = Draw(2, 2, K, L"DOT.png");
  CPaintManager::ReleaseResourceArchive();
  EXPECT_EQ(Rgb(canvas->Pixel(1, 1)), 0x00FF00u);
}

TEST_F(RendererTest, BareNameStretchesOverTheItem) {
  Image(L"install_0.png", 2, 2, {R, R, R, R});
  auto canvas = Draw(8, 6, K, L"install_0.png");
  EXPECT_EQ(Rgb(canvas->Pixel(0, 0)), 0xFF0000u);
  EXPECT_EQ(Rgb(canvas->Pixel(7, 5)), 0xFF0000u);
}

TEST_F(RendererTest, DestIsRelativeToTheItemAndClippedToIt) {
  Image(L"opt.png", 1, 1, {G});
  auto canvas = std::make_unique<CDibCanvas>(20, 20);
  canvas->Fill(K);
  const RECT item = {4, 4, 12, 12};
  const RECT all = {0, 0, 20, 20};
  CRenderer::DrawImageSpec(canvas->GetDC(), manager_.get(), item, all,
                           L"file='opt.png' dest='0,4,16,20'", nullptr);
  ::GdiFlush();
  EXPECT_EQ(Rgb(canvas->Pixel(4, 7)), 0u);  // above dest
  EXPECT_EQ(Rgb(canvas->Pixel(4, 8)), 0x00FF00u);
  EXPECT_EQ(Rgb(canvas->Pixel(11, 11)), 0x00FF00u);
  EXPECT_EQ(Rgb(canvas->Pixel(12, 11)), 0u);  // clipped at the item's right
  EXPECT_EQ(Rgb(canvas->Pixel(11, 12)), 0u);  // and bottom
}

TEST_F(RendererTest, SourcePicksPartOfTheImage) {
  Image(L"strip.png", 4, 1, {R, G, B, W});
  auto canvas = Draw(6, 3, K, L"file='strip.png' source='1,0,2,1'");
  for (int x = 0; x < 6; ++x) EXPECT_EQ(Rgb(canvas->Pixel(x, 1)), 0x00FF00u) << x;
}

// A 6x6 image: green 2x2 corners with a blue inner pixel, blue edges, red
// middle.
std::vector<uint32_t> NineGridImage() {
  std::vector<uint32_t> p(36, R);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool edgeX = x < 2 || x >= 4;
      const bool edgeY = y < 2 || y >= 4;
      if (edgeX || edgeY) p[y * 6 + x] = B;
      if (edgeX && edgeY && (x == 0 || x == 5) && (y == 0 || y == 5)) p[y * 6 + x] = G;
    }
  }
  return p;
}

TEST_F(RendererTest, NineGridKeepsCornersUnscaledAtTwiceTheSize) {
  Image(L"grid.png", 6, 6, NineGridImage());
  auto canvas = Draw(12, 12, K, L"file='grid.png' corner='2,2,2,2'");
  // Corners: the outer pixel green, the inner blue, exactly as in the image.
  EXPECT_EQ(Rgb(canvas->Pixel(0, 0)), 0x00FF00u);
  EXPECT_EQ(Rgb(canvas->Pixel(1, 1)), 0x0000FFu);
  EXPECT_EQ(Rgb(canvas->Pixel(11, 11)), 0x00FF00u);
  EXPECT_EQ(Rgb(canvas->Pixel(10, 10)), 0x0000FFu);
  // Borders stay 2 pixels thick; the middle stretches.
  EXPECT_EQ(Rgb(canvas->Pixel(6, 1)), 0x0000FFu);
  EXPECT_EQ(Rgb(canvas->Pixel(6, 2)), 0xFF0000u);
  EXPECT_EQ(Rgb(canvas->Pixel(9, 9)), 0xFF0000u);
  EXPECT_EQ(Rgb(canvas->Pixel(10, 6)), 0x0000FFu);

  auto holed = Draw(12, 12, W, L"file='grid.png' corner='2,2,2,2' hole='true'");
  EXPECT_EQ(Rgb(holed->Pixel(6, 6)), 0xFFFFFFu);
  EXPECT_EQ(Rgb(holed->Pixel(6, 0)), 0x0000FFu);
}

TEST_F(RendererTest, TilingRepeatsTheMiddleUnscaledAndCutsTheLastTile) {
  Image(L"row.png", 2, 1, {R, G});
  auto x = Draw(5, 3, K, L"file='row.png' xtiled='true'");
  const uint32_t expectedX[5] = {0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0xFF0000};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Rgb(x->Pixel(i, 0)), expectedX[i]) << i;
    EXPECT_EQ(Rgb(x->Pixel(i, 2)), expectedX[i]) << i;  // each column stretched in height
  }
  Image(L"column.png", 1, 2, {R, G});
  auto y = Draw(3, 5, K, L"file='column.png' ytiled='true'");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Rgb(y->Pixel(2, i)), expectedX[i]) << i;
  auto both = Draw(5, 5, K, L"file='grid.png' xtiled='true' ytiled='true'");  // absent: no-op
  EXPECT_EQ(Rgb(both->Pixel(2, 2)), 0u);
  Image(L"quad.png", 2, 2, {R, G, B, W});
  auto tiles = Draw(5, 5, K, L"file='quad.png' xtiled='true' ytiled='true'");
  EXPECT_EQ(Rgb(tiles->Pixel(0, 0)), 0xFF0000u);
  EXPECT_EQ(Rgb(tiles->Pixel(3, 2)), 0x00FF00u);
  EXPECT_EQ(Rgb(tiles->Pixel(4, 3)), 0x0000FFu);
  EXPECT_EQ(Rgb(tiles->Pixel(3, 3)), 0xFFFFFFu);
}

TEST_F(RendererTest, TilingAnEmptyMiddleDrawsNothingAndReturns) {
  Image(L"row.png", 2, 1, {R, G});
  // Corners eat the whole source: the middle tile is 0 wide.
  auto canvas = Draw(6, 2, K, L"file='row.png' corner='1,0,1,0' xtiled='true' ytiled='true'");
  EXPECT_EQ(Rgb(canvas->Pixel(3, 0)), 0u);
  EXPECT_EQ(Rgb(canvas->Pixel(0, 0)), 0xFF0000u);
  EXPECT_EQ(Rgb(canvas->Pixel(5, 0)), 0x00FF00u);
}

TEST_F(RendererTest, NoStretchCentresOrShrinksProportionally) {
  Image(L"icon.png", 2, 2, {R, R, R, R});
  auto big = Draw(8, 8, K, L"file='icon.png' stretch='false' center='true'");
  EXPECT_EQ(Rgb(big->Pixel(3, 3)), 0xFF0000u);
  EXPECT_EQ(Rgb(big->Pixel(4, 4)), 0xFF0000u);
  EXPECT_EQ(Rgb(big->Pixel(2, 3)), 0u);
  EXPECT_EQ(Rgb(big->Pixel(5, 5)), 0u);

  Image(L"wide.png", 4, 2, std::vector<uint32_t>(8, G));
  auto small = Draw(2, 2, K, L"file='wide.png' stretch='false' center='true'");
  EXPECT_EQ(Rgb(small->Pixel(0, 0)), 0x00FF00u);  // shrunk to 2x1, centred vertically at 0
  EXPECT_EQ(Rgb(small->Pixel(1, 1)), 0u);
  auto tall = Draw(4, 8, K, L"file='wide.png' stretch='false'");
  EXPECT_EQ(Rgb(tall->Pixel(0, 2)), 0u);  // 4x2 centred in 4x8: rows 3 and 4
  EXPECT_EQ(Rgb(tall->Pixel(0, 3)), 0x00FF00u);
  EXPECT_EQ(Rgb(tall->Pixel(3, 4)), 0x00FF00u);
  EXPECT_EQ(Rgb(tall->Pixel(0, 5)), 0u);
}

TEST_F(RendererTest, FadeFromTheModifyTextHalvesTheOpacity) {
  Image(L"red.png", 1, 1, {R});
  for (bool software : {false, true}) {
    CMsimg32::HideForTesting(software);
    auto canvas = Draw(4, 4, W, L"red.png", L"fade='128'");
    const uint32_t p = canvas->Pixel(2, 2);
    EXPECT_NEAR(Channel(p, 16), 255, 1) << software;
    EXPECT_NEAR(Channel(p, 8), 127, 2) << software;
    EXPECT_NEAR(Channel(p, 0), 127, 2) << software;
  }
}

TEST_F(RendererTest, SoftwareBlendMatchesThePlatformOnPremultipliedPixels) {
  Image(L"half.png", 2, 1, {0x80C80000, 0x4000FF00});
  auto platform = Draw(2, 1, 0xFF204060, L"half.png", L"fade='200'");
  CMsimg32::HideForTesting(true);
  auto software = Draw(2, 1, 0xFF204060, L"half.png", L"fade='200'");
  for (int x = 0; x < 2; ++x) {
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(Channel(software->Pixel(x, 0), shift), Channel(platform->Pixel(x, 0), shift), 2)
          << x << "/" << shift;
    }
  }
  // Premultiplied red 100 at alpha 128 and fade 200 over (0x20,0x40,0x60):
  // 100*200/255 + 0x20*(1 - 128*200/65025) = 78 + 19
  EXPECT_NEAR(Channel(software->Pixel(0, 0), 16), 97, 2);
}

TEST_F(RendererTest, RoundCornersKeepWhatWasUnderTheCorners) {
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
  Image(L"red.png", 1, 1, {R});
  {
    auto canvas = Draw(20, 20, W, L"file='red.png' roundcorner='6,6'");
    EXPECT_EQ(Rgb(canvas->Pixel(0, 0)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(canvas->Pixel(19, 19)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(canvas->Pixel(10, 10)), 0xFF0000u);
    EXPECT_EQ(Rgb(canvas->Pixel(10, 0)), 0xFF0000u);
    EXPECT_EQ(Rgb(canvas->Pixel(0, 10)), 0xFF0000u);
  }
  Gdiplus::GdiplusShutdown(token);
}

TEST_F(RendererTest, CenterRectKeepsItsSize) {
  // 5x5: the middle pixel red, the rest blue; the red pixel keeps 1x1.
  std::vector<uint32_t> p(25, B);
  p[12] = R;
  Image(L"fixed.png", 5, 5, p);
  auto canvas = Draw(11, 11, K, L"file='fixed.png' centerrect='2,2,3,3'");
  EXPECT_EQ(Rgb(canvas->Pixel(5, 5)), 0xFF0000u);
  EXPECT_EQ(Rgb(canvas->Pixel(4, 5)), 0x0000FFu);
  EXPECT_EQ(Rgb(canvas->Pixel(6, 6)), 0x0000FFu);
  EXPECT_EQ(Rgb(canvas->Pixel(0, 0)), 0x0000FFu);
  EXPECT_EQ(Rgb(canvas->Pixel(10, 10)), 0x0000FFu);
}

TEST_F(RendererTest, SeveralImagesShareTheDestination) {
  Image(L"a.png", 1, 1, {R});
  Image(L"b.png", 1, 1, {0x8000FF00});
  auto canvas = Draw(20, 20, K, L"file='a.png' dest='0,0,10,10' file='b.png'");
  const uint32_t inside = canvas->Pixel(5, 5);
  EXPECT_NEAR(Channel(inside, 16), 127, 2);  // red under half-transparent green
  EXPECT_NEAR(Channel(inside, 8), 128, 2);
  EXPECT_EQ(Rgb(canvas->Pixel(12, 12)), 0u);
}

TEST_F(RendererTest, MissingImagesDrawNothingAndAreRetried) {
  auto canvas = Draw(4, 4, W, L"nowhere.png");
  EXPECT_EQ(Rgb(canvas->Pixel(1, 1)), 0xFFFFFFu);
  const RECT all = {0, 0, 4, 4};
  EXPECT_FALSE(CRenderer::DrawImageSpec(nullptr, manager_.get(), all, all, L"x.png", nullptr));
  EXPECT_FALSE(CRenderer::DrawImageSpec(canvas->GetDC(), nullptr, all, all, L"x.png", nullptr));
  Image(L"nowhere.png", 1, 1, {G});
  auto later = Draw(4, 4, W, L"nowhere.png");
  EXPECT_EQ(Rgb(later->Pixel(1, 1)), 0x00FF00u);
}

TEST_F(RendererTest, FillColorHonoursAlpha) {
  CDibCanvas canvas(4, 4);
  canvas.Fill(W);
  const RECT all = {0, 0, 4, 4};
  CRenderer::FillColor(canvas.GetDC(), all, 0x00FF0000);
  EXPECT_EQ(Rgb(canvas.Pixel(1, 1)), 0xFFFFFFu);
  CRenderer::FillColor(canvas.GetDC(), all, 0x80000000);
  EXPECT_NEAR(Channel(canvas.Pixel(1, 1), 8), 127, 2);
  CRenderer::FillColor(canvas.GetDC(), RECT{0, 0, 2, 4}, 0xFF0000FF);
  EXPECT_EQ(Rgb(canvas.Pixel(1, 1)), 0x0000FFu);
  EXPECT_NEAR(Channel(canvas.Pixel(2, 1), 8), 127, 2);
}

TEST_F(RendererTest, GradientRunsTopToBottom) {
  for (bool software : {false, true}) {
    CMsimg32::HideForTesting(software);
    CDibCanvas canvas(2, 64);
    canvas.Fill(K);
    CRenderer::FillGradient(canvas.GetDC(), RECT{0, 0, 2, 64}, 0xFF000000, 0xFFFFFFFF, 32);
    const int top = Channel(canvas.Pixel(0, 0), 8);
    const int bottom = Channel(canvas.Pixel(0, 63), 8);
    EXPECT_LT(top, 20) << software;
    EXPECT_GT(bottom, 235) << software;
    for (int y = 1; y < 64; ++y) {
      EXPECT_GE(Channel(canvas.Pixel(0, y), 8), Channel(canvas.Pixel(0, y - 1), 8)) << y;
    }
    // Average alpha (255 + 0) >> 1 = 127 blends the whole gradient.
    CDibCanvas faded(2, 8);
    faded.Fill(K);
    CRenderer::FillGradient(faded.GetDC(), RECT{0, 0, 2, 8}, 0xFFFF0000, 0x00FF0000, 8);
    EXPECT_NEAR(Channel(faded.Pixel(1, 4), 16), 127, 2) << software;
    CRenderer::FillGradient(faded.GetDC(), RECT{0, 0, 2, 8}, 0x00FFFFFF, 0x01FFFFFF, 8);
    EXPECT_NEAR(Channel(faded.Pixel(1, 4), 16), 127, 2) << software;  // average 0: nothing
  }
}

TEST_F(RendererTest, ClipLimitsDrawingUntilReleased) {
  CDibCanvas canvas(8, 8);
  canvas.Fill(K);
  const RECT all = {0, 0, 8, 8};
  {
    CRenderClip clip = CRenderer::ClipToRect(canvas.GetDC(), RECT{2, 2, 4, 4});
    CRenderer::FillColor(canvas.GetDC(), all, W);
  }
  EXPECT_EQ(Rgb(canvas.Pixel(3, 3)), 0xFFFFFFu);
  EXPECT_EQ(Rgb(canvas.Pixel(5, 5)), 0u);
  CRenderer::FillColor(canvas.GetDC(), all, R);
  EXPECT_EQ(Rgb(canvas.Pixel(5, 5)), 0xFF0000u);
  {
    CRenderClip clip = CRenderer::ClipToRoundRect(canvas.GetDC(), all, all, 6, 6);
    CRenderer::FillColor(canvas.GetDC(), all, G);
  }
  EXPECT_EQ(Rgb(canvas.Pixel(0, 0)), 0xFF0000u);
  EXPECT_EQ(Rgb(canvas.Pixel(4, 4)), 0x00FF00u);
}

TEST_F(RendererTest, LinesAndFrames) {
  CDibCanvas canvas(10, 10);
  canvas.Fill(K);
  CRenderer::DrawFrame(canvas.GetDC(), RECT{1, 1, 9, 9}, 1, W);
  EXPECT_EQ(Rgb(canvas.Pixel(1, 5)), 0xFFFFFFu);
  EXPECT_EQ(Rgb(canvas.Pixel(8, 5)), 0xFFFFFFu);
  EXPECT_EQ(Rgb(canvas.Pixel(5, 5)), 0u);
  CRenderer::DrawLine(canvas.GetDC(), RECT{0, 5, 10, 5}, 1, R);
  EXPECT_EQ(Rgb(canvas.Pixel(5, 5)), 0xFF0000u);
}

TEST_F(RendererTest, PlainAndAlphaText) {
  const RECT area = {0, 0, 60, 20};
  CDibCanvas canvas(60, 20);
  canvas.Fill(W);
  CRenderer::DrawPlainText(canvas.GetDC(), manager_.get(), area, L"Wg", 0xFF0000FF, 0,
                           DT_SINGLELINE | DT_VCENTER);
  int blue = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 60; ++x) {
      const uint32_t p = canvas.Pixel(x, y);
      if (Channel(p, 0) > 200 && Channel(p, 16) < 100) ++blue;
    }
  }
  EXPECT_GT(blue, 5);

  manager_->SetLayered(true);
  CDibCanvas layered(60, 20);  // transparent black
  CRenderer::DrawPlainText(layered.GetDC(), manager_.get(), area, L"Wg", 0xFFFF0000, 0, 0);
  int covered = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 60; ++x) {
      const uint32_t p = layered.Pixel(x, y);
      if ((p >> 24) > 128) {
        ++covered;
        EXPECT_LE(Channel(p, 16), static_cast<int>(p >> 24));  // stays premultiplied
        EXPECT_EQ(Channel(p, 8), 0);
      }
    }
  }
  EXPECT_GT(covered, 5);
}

TEST(RendererColorTest, AdjustColorKeepsTheNeutralValues) {
  EXPECT_EQ(CRenderer::AdjustColor(0xFF336699, 180, 100, 100), 0xFF336699u);
  EXPECT_EQ(CRenderer::AdjustColor(0x80FF0000, 180, 0, 100), 0x80808080u);
}

}  // namespace
}  // namespace SkinUI
