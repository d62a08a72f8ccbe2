#include "SkinUI/Render/RenderClip.h"

#include <windows.h>

#include <utility>

namespace SkinUI {

CRenderClip::CRenderClip(HDC dc, HRGN region, const RECT& rect)
    : dc_(dc), region_(region), rect_(rect) {
  RECT box = {};
  ::GetClipBox(dc, &box);
  previous_.reset(::CreateRectRgnIndirect(&box));
  ::ExtSelectClipRgn(dc, region_.get(), RGN_AND);
}

CRenderClip::CRenderClip(CRenderClip&& other) noexcept
    : dc_(std::exchange(other.dc_, nullptr)),
      previous_(std::move(other.previous_)),
      region_(std::move(other.region_)),
      rect_(other.rect_) {}

CRenderClip& CRenderClip::operator=(CRenderClip&& other) noexcept {
  if (this != &other) {
    Release();
    dc_ = std::exchange(other.dc_, nullptr);
    previous_ = std::move(other.previous_);
    region_ = std::move(other.region_);
    rect_ = other.rect_;
  }
  return *this;
}

void CRenderClip::Release() {
  if (dc_ == nullptr) return;
  ::SelectClipRgn(dc_, previous_.get());  // the DC keeps its own copy
  dc_ = nullptr;
  previous_.reset();
  region_.reset();
}

}  // namespace SkinUI
