#include "SkinUI/Utils/AttributeValues.h"

#include <cwchar>

namespace SkinUI {

int ReadNumbers(const wchar_t* text, long* values, int count) {
  int supplied = 0;
  const wchar_t* cursor = text ? text : L"";
  for (int i = 0; i < count; ++i) {
    values[i] = 0;
    if (*cursor == 0) continue;
    wchar_t* end = nullptr;
    values[i] = wcstol(cursor, &end, 10);
    if (end != cursor) ++supplied;
    cursor = end;
    if (*cursor != 0) ++cursor;  // the separator
  }
  return supplied;
}

RECT ReadRect(const wchar_t* text) {
  long v[4];
  ReadNumbers(text, v, 4);
  return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ReadSize(const wchar_t* text) {
  long v[2];
  ReadNumbers(text, v, 2);
  return SIZE{v[0], v[1]};
}

uint32_t ReadColor(const wchar_t* text) {
  if (text == nullptr) return 0;
  if (*text == L'#') ++text;
  return static_cast<uint32_t>(wcstoul(text, nullptr, 16));
}

bool ReadBool(const wchar_t* text) {
  return text != nullptr && wcscmp(text, L"true") == 0;
}

}  // namespace SkinUI
