#pragma once

#include <windows.h>

#include <cstdint>

#include "SkinUI/Utils/GdiHandles.h"
#include "SkinUI/Utils/UIString.h"

namespace SkinUI {

// A decoded skin image, ready to blit: a 32-bit top-down DIB section in
// premultiplied BGRA. Made by CRenderer::LoadImage, owned by the paint
// manager's image cache, released by CRenderer::FreeImage. UI thread only.
struct UIImageRecord {
  ScopedBitmap bitmap;
  int width = 0;
  int height = 0;
  // Some pixel is not fully opaque (or was cleared by the mask), so the
  // image must be alpha-blended rather than copied.
  bool alpha = false;
  CUIString resourceType;  // empty for images from files or the archive
  uint32_t mask = 0;
};

}  // namespace SkinUI
