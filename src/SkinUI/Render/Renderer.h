#pragma once

#include <windows.h>

#include <cstdint>

#include "SkinUI/Render/ImageDescription.h"
#include "SkinUI/Render/RenderClip.h"

namespace SkinUI {

class CPaintManager;
struct UIImageRecord;

// Stateless drawing functions that every control paints with: loading skin
// images into premultiplied bitmaps, drawing image descriptions (nine-grid,
// tiled, centred, centre-fixed, rounded), colour fills and gradients with
// alpha, lines and frames, clipping and plain text. Colours are AARRGGBB.
// Drawing fails quietly: what cannot be drawn is left out. UI thread only.
class CRenderer {
 public:
  CRenderer() = delete;

  // `source` is a file name, an archive entry name or, with `type`, a
  // resource name or MAKEINTRESOURCE number. Null when no source yields
  // bytes or decoding fails.
  [[nodiscard]] static UIImageRecord* LoadImage(const wchar_t* source, const wchar_t* type,
                                                uint32_t mask);
  static void FreeImage(UIImageRecord* image);

  // False only without a DC or manager; images that cannot be found or
  // drawn are skipped.
  static bool DrawImageSpec(HDC dc, CPaintManager* manager, const RECT& item, const RECT& paint,
                            const wchar_t* image, const wchar_t* modify);
  static bool DrawImageWithOptions(HDC dc, CPaintManager* manager, const RECT& item,
                                   const RECT& paint, const UIImageOptions& options);
  static void DrawNineGrid(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint,
                           const RECT& source, const RECT& corners, bool alpha, uint8_t fade,
                           bool hole, bool xtiled, bool ytiled);
  static void DrawCenterFixed(const RECT& center, const RECT& dest, HDC dc, HBITMAP bitmap,
                              const RECT& paint, const RECT& source, bool alignTop, bool alignLeft,
                              uint8_t fade);

  static void FillColor(HDC dc, const RECT& rect, uint32_t color);
  static void FillGradient(HDC dc, const RECT& rect, uint32_t top, uint32_t bottom, int steps);
  // From the rectangle's top-left point to its bottom-right point.
  static void DrawLine(HDC dc, const RECT& line, int width, uint32_t color,
                       int penStyle = PS_SOLID);
  static void DrawFrame(HDC dc, const RECT& rect, int width, uint32_t color);
  static void DrawRoundFrame(HDC dc, const RECT& rect, int width, int ellipseWidth,
                             int ellipseHeight, uint32_t color);

  static void DrawPlainText(HDC dc, CPaintManager* manager, const RECT& rect, const wchar_t* text,
                            uint32_t color, int font, UINT format);
  // Text that keeps the alpha channel, for layered windows.
  static void DrawAlphaText(HDC dc, const wchar_t* text, HFONT font, uint32_t color, UINT format,
                            const RECT& rect);

  [[nodiscard]] static CRenderClip ClipToRect(HDC dc, const RECT& rect);
  [[nodiscard]] static CRenderClip ClipToRoundRect(HDC dc, const RECT& rect, const RECT& item,
                                                   int ellipseWidth, int ellipseHeight);

  // Hue in degrees (180 = unchanged), saturation and lightness in percent
  // (100 = unchanged).
  [[nodiscard]] static uint32_t AdjustColor(uint32_t color, int hue, int saturation, int lightness);

  // Source-over blend of a premultiplied source into `dst` with a constant
  // alpha, optionally also with per-pixel alpha: the platform's AlphaBlend
  // when msimg32 has it, otherwise the same arithmetic in software.
  static void Blend(HDC dst, const RECT& to, HDC src, const RECT& from, uint8_t fade,
                    bool perPixelAlpha);
};

}  // namespace SkinUI
