#include "SkinUI/Render/DibCanvas.h"

#include <windows.h>

#include <algorithm>

namespace SkinUI {

HBITMAP CreateTopDownDib(int width, int height, uint32_t** bits) {
  *bits = nullptr;
  if (width <= 0 || height <= 0) return nullptr;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  *bits = static_cast<uint32_t*>(pixels);
  return bitmap;
}

CDibCanvas::CDibCanvas(int width, int height) {
  uint32_t* bits = nullptr;
  ScopedBitmap bitmap(CreateTopDownDib(width, height, &bits));
  ScopedMemoryDC dc(::CreateCompatibleDC(nullptr));
  if (!bitmap || !dc) return;
  oldBitmap_ = ::SelectObject(dc.get(), bitmap.get());
  width_ = width;
  height_ = height;
  bits_ = bits;
  dc_ = std::move(dc);
  bitmap_ = std::move(bitmap);
  std::fill(bits_, bits_ + static_cast<size_t>(width_) * height_, 0u);
}

CDibCanvas::~CDibCanvas() {
  // The bitmap must leave the DC before either is deleted.
  if (dc_ && oldBitmap_ != nullptr) ::SelectObject(dc_.get(), oldBitmap_);
}

uint32_t CDibCanvas::Pixel(int x, int y) const {
  if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  ::GdiFlush();
  return bits_[static_cast<size_t>(y) * width_ + x];
}

void CDibCanvas::Fill(uint32_t premultiplied) {
  if (bits_ == nullptr) return;
  ::GdiFlush();
  std::fill(bits_, bits_ + static_cast<size_t>(width_) * height_, premultiplied);
}

}  // namespace SkinUI
