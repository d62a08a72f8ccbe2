#pragma once

#include <windows.h>

#include "SkinUI/Utils/GdiHandles.h"

namespace SkinUI {

// Narrows a DC's clipping for the life of the object: it remembers the clip
// box current when clipping starts and selects it back on destruction (or
// on Release). Made by CRenderer::ClipToRect and ClipToRoundRect.
// Thread affinity: the DC's (the UI thread).
class CRenderClip {
 public:
  CRenderClip() = default;
  CRenderClip(HDC dc, HRGN region, const RECT& rect);
  CRenderClip(CRenderClip&& other) noexcept;
  CRenderClip& operator=(CRenderClip&& other) noexcept;
  CRenderClip(const CRenderClip&) = delete;
  CRenderClip& operator=(const CRenderClip&) = delete;
  ~CRenderClip() { Release(); }

  [[nodiscard]] const RECT& Rect() const { return rect_; }
  // Restores the remembered clip; later calls do nothing.
  void Release();

 private:
  HDC dc_ = nullptr;
  ScopedRegion previous_;
  ScopedRegion region_;
  RECT rect_ = {};
};

}  // namespace SkinUI
