#include "SkinUI/Render/Msimg32.h"

#include <windows.h>

namespace SkinUI {

namespace {

struct Functions {
  CMsimg32::AlphaBlendFn alphaBlend = nullptr;
  CMsimg32::GradientFillFn gradientFill = nullptr;
  bool hidden = false;
};

Functions& Lookup() {
  static Functions functions = [] {
    Functions f;
    // Kept loaded for the life of the process.
    if (HMODULE library = ::LoadLibraryW(L"msimg32.dll")) {
      f.alphaBlend = reinterpret_cast<CMsimg32::AlphaBlendFn>(
          reinterpret_cast<void (*)()>(::GetProcAddress(library, "AlphaBlend")));
      f.gradientFill = reinterpret_cast<CMsimg32::GradientFillFn>(
          reinterpret_cast<void (*)()>(::GetProcAddress(library, "GradientFill")));
    }
    return f;
  }();
  return functions;
}

}  // namespace

CMsimg32::AlphaBlendFn CMsimg32::AlphaBlendFunction() {
  return Lookup().hidden ? nullptr : Lookup().alphaBlend;
}

CMsimg32::GradientFillFn CMsimg32::GradientFillFunction() {
  return Lookup().hidden ? nullptr : Lookup().gradientFill;
}

void CMsimg32::HideForTesting(bool hidden) {
  Lookup().hidden = hidden;
}

}  // namespace SkinUI
