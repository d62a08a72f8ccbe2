#pragma once

#include <windows.h>

namespace SkinUI {

// The image-blending functions of msimg32.dll, looked up once per process
// (the library is not linked, so a system without it still runs, with the
// renderer's own fallbacks). UI thread only.
class CMsimg32 {
 public:
  using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                     BLENDFUNCTION);
  using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

  // Null when the function is not available.
  [[nodiscard]] static AlphaBlendFn AlphaBlendFunction();
  [[nodiscard]] static GradientFillFn GradientFillFunction();
  // Makes both functions look missing, so tests can reach the fallbacks.
  static void HideForTesting(bool hidden);
};

}  // namespace SkinUI
