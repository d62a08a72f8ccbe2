#pragma once

#include <windows.h>

#include <cstdint>

namespace SkinUI {

// Readers for the small value syntaxes of skin attributes and image
// descriptions. Plain functions of strings; any thread.

// Reads up to `count` decimal integers one after another, skipping exactly
// one character (whatever it is) after each as the separator. Numbers the
// text does not supply are 0; reading never steps over the terminator.
// Returns how many numbers the text supplied.
int ReadNumbers(const wchar_t* text, long* values, int count);
// "l,t,r,b" into a rectangle and "cx,cy" into a size, through ReadNumbers.
[[nodiscard]] RECT ReadRect(const wchar_t* text);
[[nodiscard]] SIZE ReadSize(const wchar_t* text);
// A hexadecimal AARRGGBB value with an optional leading '#'.
[[nodiscard]] uint32_t ReadColor(const wchar_t* text);
// True only for the exact text "true".
[[nodiscard]] bool ReadBool(const wchar_t* text);

// AARRGGBB -> the platform's 0x00BBGGRR.
[[nodiscard]] constexpr COLORREF ToColorRef(uint32_t argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

}  // namespace SkinUI
