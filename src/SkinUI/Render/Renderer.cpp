#include "SkinUI/Render/Renderer.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_PNM
#define STBI_NO_TGA
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "SkinUI/Core/PaintManager.h"
#include "SkinUI/Render/DibCanvas.h"
#include "SkinUI/Render/Msimg32.h"
#include "SkinUI/Render/UIImageRecord.h"
#include "SkinUI/Utils/AttributeValues.h"
#include "SkinUI/Utils/ResourceBytes.h"

namespace SkinUI {

namespace {

constexpr uint32_t kMaxImageBytes = 64u * 1024 * 1024;

int Width(const RECT& r) {
  return r.right - r.left;
}
int Height(const RECT& r) {
  return r.bottom - r.top;
}
bool Meets(const RECT& a, const RECT& b) {
  RECT unused;
  return ::IntersectRect(&unused, &a, &b) != FALSE;
}
// All four values 0: the description did not set the rectangle.
bool IsUnset(const RECT& r) {
  return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
}

// One axis of a 3x3 grid of image parts: part i spans edges i and i + 1, in
// the destination and in the source.
struct GridAxis {
  long to[4];
  long from[4];
};

// Calls `part(to, from)` for the nine parts row by row, the middle one only
// when `withMiddle` is set. The parts do not overlap, so the order does not
// show; empty parts are for `part` to skip.
template <class Part>
void ForEachGridPart(const GridAxis& x, const GridAxis& y, bool withMiddle, Part part) {
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (row == 1 && column == 1 && !withMiddle) continue;
      part(RECT{x.to[column], y.to[row], x.to[column + 1], y.to[row + 1]},
           RECT{x.from[column], y.from[row], x.from[column + 1], y.from[row + 1]});
    }
  }
}

// ---- Image bytes ----

bool ReadImageFile(const wchar_t* path, std::vector<uint8_t>& bytes) {
  return ReadWholeFile(path, kMaxImageBytes, bytes) == ReadResult::kOk;
}

bool ReadResource(const wchar_t* source, const wchar_t* type, std::vector<uint8_t>& bytes) {
  HINSTANCE module = CPaintManager::GetResourceModule();
  HRSRC resource = ::FindResourceW(module, source, type);
  if (resource == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(module, resource);
  const DWORD size = ::SizeofResource(module, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0) return false;
  bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  return true;
}

bool ReadImageEntry(const wchar_t* name, std::vector<uint8_t>& bytes) {
  HZIPARCHIVE archive = CPaintManager::GetHeldArchive();
  return archive != nullptr &&
         ReadWholeEntry(archive, name, kMaxImageBytes, bytes) == ReadResult::kOk;
}

bool ImageBytes(const wchar_t* source, const wchar_t* type, std::vector<uint8_t>& bytes) {
  if (type != nullptr) {
    if (ReadResource(source, type, bytes)) return true;
    if (IS_INTRESOURCE(source)) return false;
  } else if (IS_INTRESOURCE(source)) {
    return false;
  } else if (!CPaintManager::GetResourceArchiveName().IsEmpty()) {
    if (ReadImageEntry(source, bytes)) return true;
  } else {
    const CUIString path = CPaintManager::GetResourceFolder() + source;
    if (ReadImageFile(path, bytes)) return true;
  }
  return ReadImageFile(source, bytes);
}

// ---- Blitting ----

void SoftwareBlend(HDC dst, const RECT& to, HDC src, const RECT& from, uint8_t fade,
                   bool perPixelAlpha) {
  const int w = Width(to);
  const int h = Height(to);
  CDibCanvas under(w, h);
  CDibCanvas over(w, h);
  if (!under.IsValid() || !over.IsValid()) return;
  ::BitBlt(under.GetDC(), 0, 0, w, h, dst, to.left, to.top, SRCCOPY);
  ::SetStretchBltMode(over.GetDC(), COLORONCOLOR);
  ::StretchBlt(over.GetDC(), 0, 0, w, h, src, from.left, from.top, Width(from), Height(from),
               SRCCOPY);
  ::GdiFlush();
  uint32_t* d = under.Bits();
  const uint32_t* s = over.Bits();
  // Without per-pixel alpha the source counts as opaque.
  const uint32_t opaque = perPixelAlpha ? 0u : 0xFF000000u;
  for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) {
    // Premultiplied source over destination:
    //   out = src * fade / 255 + dst * (1 - srcAlpha * fade / 255^2)
    const uint32_t source = s[i] | opaque;
    const uint32_t keep = 65025u - (source >> 24) * fade;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const uint32_t sc = (source >> shift) & 0xFF;
      const uint32_t dc = (d[i] >> shift) & 0xFF;
      const uint32_t value = (sc * fade * 255u + dc * keep) / 65025u;
      out |= std::min<uint32_t>(value, 255u) << shift;
    }
    d[i] = out;
  }
  ::BitBlt(dst, to.left, to.top, w, h, under.GetDC(), 0, 0, SRCCOPY);
}

// Draws one part of an image: blended or plainly copied (stretched with
// halftone when the sizes differ).
void DrawPart(HDC dc, const RECT& to, HDC image, const RECT& from, bool blend, uint8_t fade) {
  if (Width(to) <= 0 || Height(to) <= 0 || Width(from) <= 0 || Height(from) <= 0) return;
  if (blend) {
    CRenderer::Blend(dc, to, image, from, fade, true);
  } else {
    ::StretchBlt(dc, to.left, to.top, Width(to), Height(to), image, from.left, from.top,
                 Width(from), Height(from), SRCCOPY);
  }
}

// ---- Rounded images ----

// Puts `drawn` back over `dc` inside an anti-aliased rounded rectangle; the
// corners keep what the DC had. GDI+ rasterises the path into a coverage
// mask (drawing through a GDI+ context on the DC itself loses the DIB's
// alpha), and the mask mixes the two copies.
void PaintRounded(HDC dc, const RECT& dest, CDibCanvas& drawn, SIZE radius) {
  const int w = Width(dest);
  const int h = Height(dest);
  CDibCanvas target(w, h);
  if (!target.IsValid()) return;
  ::BitBlt(target.GetDC(), 0, 0, w, h, dc, dest.left, dest.top, SRCCOPY);
  ::GdiFlush();
  Gdiplus::Bitmap mask(w, h, PixelFormat32bppARGB);
  if (mask.GetLastStatus() != Gdiplus::Ok) return;  // GDI+ not started
  {
    Gdiplus::Graphics graphics(&mask);
    if (graphics.GetLastStatus() != Gdiplus::Ok) return;
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
    const int dx = std::max<int>(1, std::min<int>(2 * radius.cx, w));
    const int dy = std::max<int>(1, std::min<int>(2 * radius.cy, h));
    Gdiplus::GraphicsPath path;
    path.AddArc(0, 0, dx, dy, 180.0f, 90.0f);
    path.AddArc(w - dx, 0, dx, dy, 270.0f, 90.0f);
    path.AddArc(w - dx, h - dy, dx, dy, 0.0f, 90.0f);
    path.AddArc(0, h - dy, dx, dy, 90.0f, 90.0f);
    path.CloseFigure();
    Gdiplus::SolidBrush opaque(Gdiplus::Color(255, 255, 255, 255));
    graphics.FillPath(&opaque, &path);
  }
  Gdiplus::Rect all(0, 0, w, h);
  Gdiplus::BitmapData coverage = {};
  if (mask.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &coverage) !=
      Gdiplus::Ok) {
    return;
  }
  const uint32_t* in = drawn.Bits();
  uint32_t* out = target.Bits();
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(
        static_cast<const uint8_t*>(coverage.Scan0) + y * coverage.Stride);
    for (int x = 0; x < w; ++x) {
      const uint32_t a = row[x] >> 24;
      const size_t i = static_cast<size_t>(y) * w + x;
      uint32_t mixed = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t s = (in[i] >> shift) & 0xFF;
        const uint32_t d = (out[i] >> shift) & 0xFF;
        mixed |= ((s * a + d * (255 - a) + 127) / 255) << shift;
      }
      out[i] = mixed;
    }
  }
  mask.UnlockBits(&coverage);
  ::BitBlt(dc, dest.left, dest.top, w, h, target.GetDC(), 0, 0, SRCCOPY);
}

// ---- Colours ----

struct Hsl {
  double h, s, l;
};

Hsl ToHsl(double r, double g, double b) {
  const double mx = std::max({r, g, b});
  const double mn = std::min({r, g, b});
  Hsl out = {0, 0, (mx + mn) / 2};
  const double d = mx - mn;
  if (d <= 0) return out;
  out.s = out.l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
  if (mx == r) {
    out.h = (g - b) / d + (g < b ? 6 : 0);
  } else if (mx == g) {
    out.h = (b - r) / d + 2;
  } else {
    out.h = (r - g) / d + 4;
  }
  out.h *= 60;
  return out;
}

double HueToChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

}  // namespace

// ---- Images ----

UIImageRecord* CRenderer::LoadImage(const wchar_t* source, const wchar_t* type, uint32_t mask) {
  if (source == nullptr) return nullptr;
  std::vector<uint8_t> bytes;
  if (!ImageBytes(source, type, bytes) || bytes.empty() || bytes.size() > kMaxImageBytes) {
    return nullptr;
  }
  int width = 0;
  int height = 0;
  int channels = 0;
  std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> pixels(
      stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                            &channels, 4),
      &stbi_image_free);
  if (pixels == nullptr || width <= 0 || height <= 0) return nullptr;
  uint32_t* bits = nullptr;
  ScopedBitmap bitmap(CreateTopDownDib(width, height, &bits));
  if (!bitmap) return nullptr;
  bool alpha = false;
  const stbi_uc* in = pixels.get();
  for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i, in += 4) {
    const uint32_t a = in[3];
    uint32_t r = in[0];
    uint32_t g = in[1];
    uint32_t b = in[2];
    if (a != 255) {
      r = r * a / 255;
      g = g * a / 255;
      b = b * a / 255;
      alpha = true;
    }
    uint32_t pixel = (a << 24) | (r << 16) | (g << 8) | b;
    if (pixel == mask) {
      pixel = 0;
      alpha = true;
    }
    bits[i] = pixel;
  }
  auto* image = new UIImageRecord;
  image->bitmap = std::move(bitmap);
  image->width = width;
  image->height = height;
  image->alpha = alpha;
  return image;
}

void CRenderer::FreeImage(UIImageRecord* image) {
  delete image;
}

// ---- Image descriptions ----

bool CRenderer::DrawImageSpec(HDC dc, CPaintManager* manager, const RECT& item, const RECT& paint,
                              const wchar_t* image, const wchar_t* modify) {
  if (dc == nullptr || manager == nullptr) return false;
  for (const UIImageOptions& options : ParseImageDescription(image, modify, item)) {
    DrawImageWithOptions(dc, manager, item, paint, options);
  }
  return true;
}

bool CRenderer::DrawImageWithOptions(HDC dc, CPaintManager* manager, const RECT& item,
                                     const RECT& paint, const UIImageOptions& options) {
  if (dc == nullptr || manager == nullptr || options.name.IsEmpty()) return false;
  const UIImageRecord* image = manager->GetOrLoadImage(
      options.name, options.resourceType.IsEmpty() ? nullptr : options.resourceType.GetData(),
      options.mask);
  if (image == nullptr) return false;

  RECT source = options.source;
  if (IsUnset(source)) {
    source = RECT{0, 0, image->width, image->height};
  } else {
    source.right = std::min<LONG>(source.right, image->width);
    source.bottom = std::min<LONG>(source.bottom, image->height);
  }
  RECT dest = options.dest;
  if (!Meets(dest, item) || !Meets(dest, paint)) return true;

  if (!options.stretch && Width(dest) > 0 && Height(dest) > 0 && Width(source) > 0 &&
      Height(source) > 0) {
    const long dw = Width(dest);
    const long dh = Height(dest);
    const long sw = Width(source);
    const long sh = Height(source);
    if (options.center && dw >= sw && dh >= sh) {
      dest.left += (dw - sw) / 2;
      dest.top += (dh - sh) / 2;
      dest.right = dest.left + sw;
      dest.bottom = dest.top + sh;
    } else if (static_cast<long long>(dh) * sw < static_cast<long long>(dw) * sh) {
      // Too small for the image at its size (or not centred): shrink it to
      // its proportions and centre it across.
      const long width = static_cast<long>(static_cast<long long>(dh) * sw / sh);
      dest.left += (dw - width) / 2;
      dest.right = dest.left + width;
    } else if (static_cast<long long>(dh) * sw > static_cast<long long>(dw) * sh) {
      const long height = static_cast<long>(static_cast<long long>(dw) * sh / sw);
      dest.top += (dh - height) / 2;
      dest.bottom = dest.top + height;
    }
  }

  const RECT& c = options.centerRect;
  const bool centerFixed = !IsUnset(c);
  auto draw = [&](HDC target, const RECT& to, const RECT& clip) {
    if (centerFixed) {
      DrawCenterFixed(c, to, target, image->bitmap.get(), clip, source, options.alignTop,
                      options.alignLeft, options.fade);
    } else {
      DrawNineGrid(target, image->bitmap.get(), to, clip, source, options.corner, image->alpha,
                   options.fade, options.hole, options.xtiled, options.ytiled);
    }
  };

  if ((options.roundCorner.cx != 0 || options.roundCorner.cy != 0) && Width(dest) > 0 &&
      Height(dest) > 0) {
    CDibCanvas buffer(Width(dest), Height(dest));
    if (!buffer.IsValid()) return true;
    ::BitBlt(buffer.GetDC(), 0, 0, Width(dest), Height(dest), dc, dest.left, dest.top, SRCCOPY);
    const RECT local = {0, 0, Width(dest), Height(dest)};
    RECT localPaint = paint;
    ::OffsetRect(&localPaint, -dest.left, -dest.top);
    draw(buffer.GetDC(), local, localPaint);
    PaintRounded(dc, dest, buffer, options.roundCorner);
    return true;
  }
  draw(dc, dest, paint);
  return true;
}

void CRenderer::DrawNineGrid(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint,
                             const RECT& source, const RECT& corners, bool alpha, uint8_t fade,
                             bool hole, bool xtiled, bool ytiled) {
  if (dc == nullptr || bitmap == nullptr) return;
  ScopedMemoryDC imageDC(::CreateCompatibleDC(dc));
  if (!imageDC) return;
  CScopedSelect select(imageDC.get(), bitmap);
  const bool blend = alpha || fade < 255;
  // Plain copies stretch with halftone; the DC gets its old mode back when
  // this function returns.
  struct ModeRestore {
    HDC dc;
    int mode;
    ~ModeRestore() {
      if (mode != 0) ::SetStretchBltMode(dc, mode);
    }
  } restore{dc, blend ? 0 : ::SetStretchBltMode(dc, HALFTONE)};
  if (!blend) {
    ::SetBrushOrgEx(dc, 0, 0, nullptr);  // halftone needs it after the mode change
    // Same size and no corners: copy what the paint rectangle needs as is.
    if (Width(dest) == Width(source) && Height(dest) == Height(source) && IsUnset(corners)) {
      RECT part;
      if (::IntersectRect(&part, &dest, &paint)) {
        ::BitBlt(dc, part.left, part.top, Width(part), Height(part), imageDC.get(),
                 source.left + part.left - dest.left, source.top + part.top - dest.top, SRCCOPY);
      }
      return;
    }
  }
  HDC src = imageDC.get();
  const long l = corners.left, t = corners.top, r = corners.right, b = corners.bottom;
  auto part = [&](const RECT& to, const RECT& from) {
    if (Width(to) > 0 && Height(to) > 0 && Meets(to, paint))
      DrawPart(dc, to, src, from, blend, fade);
  };

  if (!hole) {
    const RECT middle = {dest.left + l, dest.top + t, dest.right - r, dest.bottom - b};
    const RECT from = {source.left + l, source.top + t, source.right - r, source.bottom - b};
    const int tileW = Width(from);
    const int tileH = Height(from);
    if (Width(middle) > 0 && Height(middle) > 0 && Meets(middle, paint) && tileW > 0 && tileH > 0) {
      if (!xtiled && !ytiled) {
        DrawPart(dc, middle, src, from, blend, fade);
      } else if (xtiled && ytiled) {
        for (long y = middle.top; y < middle.bottom; y += tileH) {
          const long h = std::min<long>(tileH, middle.bottom - y);
          for (long x = middle.left; x < middle.right; x += tileW) {
            const long w = std::min<long>(tileW, middle.right - x);
            part(RECT{x, y, x + w, y + h}, RECT{from.left, from.top, from.left + w, from.top + h});
          }
        }
      } else if (xtiled) {
        for (long x = middle.left; x < middle.right; x += tileW) {
          const long w = std::min<long>(tileW, middle.right - x);
          part(RECT{x, middle.top, x + w, middle.bottom},
               RECT{from.left, from.top, from.left + w, from.bottom});
        }
      } else {
        for (long y = middle.top; y < middle.bottom; y += tileH) {
          const long h = std::min<long>(tileH, middle.bottom - y);
          part(RECT{middle.left, y, middle.right, y + h},
               RECT{from.left, from.top, from.right, from.top + h});
        }
      }
    }
  }
  // The corners and edges around it; a side without a corner gives empty
  // parts, which `part` skips.
  const GridAxis x = {{dest.left, dest.left + l, dest.right - r, dest.right},
                      {source.left, source.left + l, source.right - r, source.right}};
  const GridAxis y = {{dest.top, dest.top + t, dest.bottom - b, dest.bottom},
                      {source.top, source.top + t, source.bottom - b, source.bottom}};
  ForEachGridPart(x, y, false, part);
}

void CRenderer::DrawCenterFixed(const RECT& center, const RECT& dest, HDC dc, HBITMAP bitmap,
                                const RECT& paint, const RECT& source, bool alignTop,
                                bool alignLeft, uint8_t fade) {
  if (dc == nullptr || bitmap == nullptr) return;
  const long ml = center.left - source.left;
  const long mr = source.right - center.right;
  const long mt = center.top - source.top;
  const long mb = source.bottom - center.bottom;
  if (ml < 0 || mr < 0 || mt < 0 || mb < 0 || (ml == 0 && mr == 0) || (mt == 0 && mb == 0)) return;
  ScopedMemoryDC imageDC(::CreateCompatibleDC(dc));
  if (!imageDC) return;
  CScopedSelect select(imageDC.get(), bitmap);

  // One axis: the centre part keeps its size when it fits and is placed
  // by the ratio of the margins, otherwise it is cut (centred unless aligned
  // to the start). The outer parts take the source next to the centre: as
  // many units as they are long when the margin has them (unscaled), else
  // the whole margin.
  auto axis = [](long d0, long d1, long c0, long c1, long m0, long m1, bool alignStart) {
    const long s0 = c0 - m0;
    const long s1 = c1 + m1;
    const long cw = c1 - c0;
    const long dw = d1 - d0;
    long to0, to1, from0, from1;
    if (cw < dw) {
      to0 = d0 + static_cast<long>(static_cast<long long>(dw - cw) * m0 / (m0 + m1));
      to1 = to0 + cw;
      from0 = c0;
      from1 = c1;
    } else {
      to0 = d0;
      to1 = d1;
      from0 = alignStart ? c0 : c0 + (cw - dw) / 2;
      from1 = from0 + dw;
    }
    const long before = to0 - d0;
    const long after = d1 - to1;
    return GridAxis{{d0, to0, to1, d1},
                    {from0 - s0 >= before ? from0 - before : s0, from0, from1,
                     s1 - from1 >= after ? from1 + after : s1}};
  };
  const GridAxis x = axis(dest.left, dest.right, center.left, center.right, ml, mr, alignLeft);
  const GridAxis y = axis(dest.top, dest.bottom, center.top, center.bottom, mt, mb, alignTop);
  ForEachGridPart(x, y, true, [&](const RECT& to, const RECT& from) {
    if (Width(to) > 0 && Height(to) > 0 && Width(from) > 0 && Height(from) > 0 &&
        Meets(to, paint)) {
      Blend(dc, to, imageDC.get(), from, fade, true);
    }
  });
}

void CRenderer::Blend(HDC dst, const RECT& to, HDC src, const RECT& from, uint8_t fade,
                      bool perPixelAlpha) {
  if (Width(to) <= 0 || Height(to) <= 0 || Width(from) <= 0 || Height(from) <= 0) return;
  if (auto alphaBlend = CMsimg32::AlphaBlendFunction()) {
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, fade,
                                 static_cast<BYTE>(perPixelAlpha ? AC_SRC_ALPHA : 0)};
    alphaBlend(dst, to.left, to.top, Width(to), Height(to), src, from.left, from.top, Width(from),
               Height(from), blend);
    return;
  }
  SoftwareBlend(dst, to, src, from, fade, perPixelAlpha);
}

// ---- Colours ----

void CRenderer::FillColor(HDC dc, const RECT& rect, uint32_t color) {
  const uint8_t alpha = static_cast<uint8_t>(color >> 24);
  if (dc == nullptr || alpha == 0 || Width(rect) <= 0 || Height(rect) <= 0) return;
  if (alpha == 255) {
    const COLORREF old = ::SetBkColor(dc, ToColorRef(color));
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
    return;
  }
  CDibCanvas pixel(1, 1);
  if (!pixel.IsValid()) return;
  pixel.Fill(0xFF000000u | (color & 0x00FFFFFFu));
  Blend(dc, rect, pixel.GetDC(), RECT{0, 0, 1, 1}, alpha, true);
}

void CRenderer::FillGradient(HDC dc, const RECT& rect, uint32_t top, uint32_t bottom, int steps) {
  const uint32_t alpha = ((top >> 24) + (bottom >> 24)) >> 1;
  if (dc == nullptr || alpha == 0 || Width(rect) <= 0 || Height(rect) <= 0) return;
  const int w = Width(rect);
  const int h = Height(rect);
  std::unique_ptr<CDibCanvas> buffer;
  HDC target = dc;
  RECT area = rect;
  if (alpha < 255) {
    buffer = std::make_unique<CDibCanvas>(w, h);
    if (!buffer->IsValid()) return;
    target = buffer->GetDC();
    area = RECT{0, 0, w, h};
  }
  if (auto gradientFill = CMsimg32::GradientFillFunction()) {
    TRIVERTEX vertices[2] = {};
    const uint32_t colors[2] = {top, bottom};
    const LONG xs[2] = {area.left, area.right};
    const LONG ys[2] = {area.top, area.bottom};
    for (int i = 0; i < 2; ++i) {
      vertices[i].x = xs[i];
      vertices[i].y = ys[i];
      vertices[i].Red = static_cast<COLOR16>(((colors[i] >> 16) & 0xFF) << 8);
      vertices[i].Green = static_cast<COLOR16>(((colors[i] >> 8) & 0xFF) << 8);
      vertices[i].Blue = static_cast<COLOR16>((colors[i] & 0xFF) << 8);
      vertices[i].Alpha = 0xFF00;
    }
    GRADIENT_RECT gradient = {0, 1};
    gradientFill(target, vertices, 2, &gradient, 1, GRADIENT_FILL_RECT_V);
  } else {
    const int bands = steps < 16 ? 8 : 16;
    for (int i = bands - 1; i >= 0; --i) {  // laid from the bottom up
      uint32_t color = 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((top >> shift) & 0xFF);
        const int b = static_cast<int>((bottom >> shift) & 0xFF);
        color |= static_cast<uint32_t>(a + (b - a) * i / (bands - 1)) << shift;
      }
      const RECT band = {area.left, area.top + h * i / bands, area.right,
                         area.top + h * (i + 1) / bands};
      FillColor(target, band, color);
    }
  }
  if (buffer != nullptr) Blend(dc, rect, buffer->GetDC(), RECT{0, 0, w, h}, alpha, false);
}

void CRenderer::DrawLine(HDC dc, const RECT& line, int width, uint32_t color, int penStyle) {
  if (dc == nullptr) return;
  ScopedPen pen(::CreatePen(penStyle, width, ToColorRef(color)));
  if (!pen) return;
  CScopedSelect select(dc, pen.get());
  POINT old;
  ::MoveToEx(dc, line.left, line.top, &old);
  ::LineTo(dc, line.right, line.bottom);
  ::MoveToEx(dc, old.x, old.y, nullptr);
}

void CRenderer::DrawFrame(HDC dc, const RECT& rect, int width, uint32_t color) {
  DrawRoundFrame(dc, rect, width, 0, 0, color);
}

void CRenderer::DrawRoundFrame(HDC dc, const RECT& rect, int width, int ellipseWidth,
                               int ellipseHeight, uint32_t color) {
  if (dc == nullptr) return;
  ScopedPen pen(::CreatePen(PS_INSIDEFRAME, width, ToColorRef(color)));
  if (!pen) return;
  CScopedSelect selectPen(dc, pen.get());
  CScopedSelect selectBrush(dc, ::GetStockObject(NULL_BRUSH));  // stock: never deleted
  if (ellipseWidth == 0 && ellipseHeight == 0) {
    ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
  } else {
    ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, ellipseWidth, ellipseHeight);
  }
}

// ---- Text ----

void CRenderer::DrawPlainText(HDC dc, CPaintManager* manager, const RECT& rect, const wchar_t* text,
                              uint32_t color, int font, UINT format) {
  if (dc == nullptr || manager == nullptr || text == nullptr || text[0] == 0) return;
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, ToColorRef(color));
  HFONT handle = manager->FontAt(font);
  {
    CScopedSelect select(dc, handle);
    if (manager->IsLayered()) {
      DrawAlphaText(dc, text, handle, color, format, rect);
    } else {
      RECT area = rect;
      ::DrawTextW(dc, text, -1, &area, format | DT_NOPREFIX);
    }
  }
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

void CRenderer::DrawAlphaText(HDC dc, const wchar_t* text, HFONT font, uint32_t color, UINT format,
                              const RECT& rect) {
  if (dc == nullptr || text == nullptr || text[0] == 0) return;
  const int length = static_cast<int>(wcslen(text));
  ScopedMemoryDC measureDC(::CreateCompatibleDC(dc));
  if (!measureDC) return;
  SIZE size = {};
  {
    CScopedSelect select(measureDC.get(), font);
    ::GetTextExtentPoint32W(measureDC.get(), text, length, &size);
  }
  if (size.cx <= 0 || size.cy <= 0) return;
  CDibCanvas glyphs(size.cx, size.cy);
  if (!glyphs.IsValid()) return;
  {
    CScopedSelect select(glyphs.GetDC(), font);
    ::SetTextColor(glyphs.GetDC(), RGB(255, 255, 255));
    ::SetBkColor(glyphs.GetDC(), RGB(0, 0, 0));
    ::SetBkMode(glyphs.GetDC(), OPAQUE);
    ::ExtTextOutW(glyphs.GetDC(), 0, 0, 0, nullptr, text, static_cast<UINT>(length), nullptr);
  }
  ::GdiFlush();
  uint32_t* bits = glyphs.Bits();
  for (size_t i = 0, n = static_cast<size_t>(size.cx) * size.cy; i < n; ++i) {
    const uint32_t coverage = bits[i] & 0xFF;
    uint32_t out = coverage << 24;
    for (int shift = 0; shift < 24; shift += 8) {
      out |= ((((color >> shift) & 0xFF) * coverage / 256) & 0xFF) << shift;
    }
    bits[i] = out;
  }
  long x = rect.left;
  long y = rect.top;
  if (format & DT_VCENTER) {
    y = rect.top + (Height(rect) - size.cy) / 2;
  } else if (format & DT_BOTTOM) {
    y = rect.bottom - size.cy;
  }
  if (format & DT_CENTER) {
    x = rect.left + (Width(rect) - size.cx) / 2;
  } else if (format & DT_RIGHT) {
    x = rect.right - size.cx;
  }
  Blend(dc, RECT{x, y, x + size.cx, y + size.cy}, glyphs.GetDC(), RECT{0, 0, size.cx, size.cy}, 255,
        true);
}

// ---- Clipping ----

CRenderClip CRenderer::ClipToRect(HDC dc, const RECT& rect) {
  if (dc == nullptr) return CRenderClip();
  return CRenderClip(dc, ::CreateRectRgnIndirect(&rect), rect);
}

CRenderClip CRenderer::ClipToRoundRect(HDC dc, const RECT& rect, const RECT& item, int ellipseWidth,
                                       int ellipseHeight) {
  if (dc == nullptr) return CRenderClip();
  ScopedRegion square(::CreateRectRgnIndirect(&rect));
  ScopedRegion round(::CreateRoundRectRgn(item.left, item.top, item.right + 1, item.bottom + 1,
                                          ellipseWidth, ellipseHeight));
  if (square && round) ::CombineRgn(square.get(), square.get(), round.get(), RGN_AND);
  return CRenderClip(dc, square.release(), rect);  // the clip record owns it now
}

uint32_t CRenderer::AdjustColor(uint32_t color, int hue, int saturation, int lightness) {
  if (hue == 180 && saturation == 100 && lightness == 100) return color;
  const double r = ((color >> 16) & 0xFF) / 255.0;
  const double g = ((color >> 8) & 0xFF) / 255.0;
  const double b = (color & 0xFF) / 255.0;
  Hsl hsl = ToHsl(r, g, b);
  hsl.h = std::fmod(hsl.h + (hue - 180) + 360.0, 360.0) / 360.0;
  hsl.s = std::clamp(hsl.s * saturation / 100.0, 0.0, 1.0);
  hsl.l = std::clamp(hsl.l * lightness / 100.0, 0.0, 1.0);
  double out[3] = {hsl.l, hsl.l, hsl.l};
  if (hsl.s > 0) {
    const double q = hsl.l < 0.5 ? hsl.l * (1 + hsl.s) : hsl.l + hsl.s - hsl.l * hsl.s;
    const double p = 2 * hsl.l - q;
    out[0] = HueToChannel(p, q, hsl.h + 1.0 / 3);
    out[1] = HueToChannel(p, q, hsl.h);
    out[2] = HueToChannel(p, q, hsl.h - 1.0 / 3);
  }
  auto channel = [](double v) { return static_cast<uint32_t>(std::lround(v * 255)) & 0xFF; };
  return (color & 0xFF000000u) | (channel(out[0]) << 16) | (channel(out[1]) << 8) | channel(out[2]);
}

}  // namespace SkinUI
