#pragma once

#include <windows.h>

#include <cstdint>

#include "SkinUI/Utils/GdiHandles.h"

namespace SkinUI {

// An off-screen 32-bit top-down DIB section selected into its own memory
// DC: the renderer's scratch buffers, and the canvas that tools and tests
// draw into without a window. Pixels are premultiplied BGRA, read and
// written as 0xAARRGGBB values. Thread affinity: the owner's.
class CDibCanvas {
 public:
  CDibCanvas(int width, int height);
  CDibCanvas(const CDibCanvas&) = delete;
  CDibCanvas& operator=(const CDibCanvas&) = delete;
  ~CDibCanvas();

  [[nodiscard]] bool IsValid() const { return bits_ != nullptr; }
  [[nodiscard]] HDC GetDC() const { return dc_.get(); }
  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }
  // Row-major, `Width()` pixels per row; null when creation failed.
  [[nodiscard]] uint32_t* Bits() const { return bits_; }
  // 0 outside the canvas.
  [[nodiscard]] uint32_t Pixel(int x, int y) const;
  void Fill(uint32_t premultiplied);

 private:
  int width_ = 0;
  int height_ = 0;
  uint32_t* bits_ = nullptr;
  ScopedMemoryDC dc_;
  ScopedBitmap bitmap_;
  HGDIOBJ oldBitmap_ = nullptr;
};

// A DIB section of the given size; `bits` receives its pixels.
[[nodiscard]] HBITMAP CreateTopDownDib(int width, int height, uint32_t** bits);

}  // namespace SkinUI
