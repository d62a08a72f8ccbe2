#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "SkinUI/Utils/UIString.h"

namespace SkinUI {

// One image to draw, as an image description sets it up: which image, where
// it goes and how it is scaled, cut and blended.
struct UIImageOptions {
  CUIString name;
  CUIString resourceType;
  RECT dest = {};  // absolute; starts as the item rectangle
  RECT source = {};
  RECT corner = {};
  RECT centerRect = {};
  uint32_t mask = 0;
  uint8_t fade = 255;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
  bool stretch = true;
  bool center = false;
  bool alignTop = false;
  bool alignLeft = false;
  SIZE roundCorner = {};
};

// Reads an image description and its optional modify text into the images
// they describe, in drawing order (a text may name several images; values
// other than the name carry over from one to the next). A text without '='
// is a bare image name. Reading a text stops quietly at the first thing
// that is not a key='value' pair. Plain function of strings; any thread.
[[nodiscard]] std::vector<UIImageOptions> ParseImageDescription(const wchar_t* image,
                                                                const wchar_t* modify,
                                                                const RECT& item);

}  // namespace SkinUI
