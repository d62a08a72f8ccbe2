#pragma once

#include <windows.h>

#include "Runtime/ScopedHandle.h"

namespace SkinUI {

// Owners for the GDI objects the toolkit creates. Each kind releases with
// its own call: created memory DCs are deleted, DCs borrowed from a window
// are released to it (see CWindowDC), pens, brushes, fonts, bitmaps and
// regions are deleted. Thread affinity: the owner's.

// One DeleteObject for every kind; only the handle type differs.
template <class H>
struct GdiObjectTraits {
  using Handle = H;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};
// DCs from CreateCompatibleDC.
struct MemoryDCTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};

using ScopedBitmap = ScopedHandle<GdiObjectTraits<HBITMAP>>;
using ScopedFont = ScopedHandle<GdiObjectTraits<HFONT>>;
using ScopedRegion = ScopedHandle<GdiObjectTraits<HRGN>>;
using ScopedPen = ScopedHandle<GdiObjectTraits<HPEN>>;
using ScopedBrush = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using ScopedMemoryDC = ScopedHandle<MemoryDCTraits>;

// Selects an object into a DC for the life of the scope and selects the
// previous one back, so the object can be deleted after the scope ends.
class CScopedSelect {
 public:
  CScopedSelect(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
  CScopedSelect(const CScopedSelect&) = delete;
  CScopedSelect& operator=(const CScopedSelect&) = delete;
  ~CScopedSelect() {
    if (old_ != nullptr) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A window's DC from GetDC, given back with ReleaseDC. The null window
// gives the screen DC.
class CWindowDC {
 public:
  explicit CWindowDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  ~CWindowDC() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  [[nodiscard]] HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace SkinUI
