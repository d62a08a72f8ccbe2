#include "SkinUI/Render/ImageDescription.h"

#include <cwchar>

#include "SkinUI/Utils/AttributeValues.h"

namespace SkinUI {

namespace {

bool IsBlank(wchar_t ch) {
  return ch != 0 && ch <= L' ';
}

RECT Relative(const RECT& offsets, long originX, long originY, const RECT& item) {
  RECT r = {originX + offsets.left, originY + offsets.top, originX + offsets.right,
            originY + offsets.bottom};
  if (r.right > item.right) r.right = item.right;
  if (r.bottom > item.bottom) r.bottom = item.bottom;
  return r;
}

class DescriptionReader {
 public:
  DescriptionReader(const RECT& item, std::vector<UIImageOptions>& out) : item_(item), out_(out) {
    current_.dest = item;
  }

  void SetName(const wchar_t* name) { current_.name = name; }

  void Read(const wchar_t* text) {
    int files = 0;
    const wchar_t* p = text;
    for (;;) {
      while (IsBlank(*p)) ++p;
      const wchar_t* keyStart = p;
      while (*p != 0 && *p != L'=' && *p > L' ') ++p;
      const CUIString key(keyStart, static_cast<int>(p - keyStart));
      while (IsBlank(*p)) ++p;
      if (*p != L'=') return;
      ++p;
      while (IsBlank(*p)) ++p;
      if (*p != L'\'') return;
      ++p;
      const wchar_t* valueStart = p;
      while (*p != 0 && *p != L'\'') ++p;
      if (*p != L'\'') return;
      const CUIString value(valueStart, static_cast<int>(p - valueStart));
      ++p;
      if (!value.IsEmpty()) Apply(key, value, files);
      if (*p != L' ' || p[1] == 0) return;
      ++p;
    }
  }

  void Finish() { out_.push_back(current_); }

 private:
  void Apply(const CUIString& key, const CUIString& value, int& files) {
    if (key == L"file") {
      if (files > 0) out_.push_back(current_);
      current_.name = value;
      ++files;
    } else if (key == L"res" || key == L"restype") {
      if (files > 0) out_.push_back(current_);
      (key == L"res" ? current_.name : current_.resourceType) = value;
    } else if (key == L"dest") {
      current_.dest = Relative(ReadRect(value), item_.left, item_.top, item_);
    } else if (key == L"rdest") {
      current_.dest = Relative(ReadRect(value), item_.right, item_.bottom, item_);
    } else if (key == L"source") {
      current_.source = ReadRect(value);
    } else if (key == L"corner") {
      current_.corner = ReadRect(value);
    } else if (key == L"centerrect") {
      current_.centerRect = ReadRect(value);
    } else if (key == L"mask") {
      current_.mask = ReadColor(value);
    } else if (key == L"fade") {
      const long fade = wcstol(value, nullptr, 10);
      current_.fade = static_cast<uint8_t>(fade < 0 ? 0 : fade > 255 ? 255 : fade);
    } else if (key == L"hole") {
      current_.hole = ReadBool(value);
    } else if (key == L"xtiled") {
      current_.xtiled = ReadBool(value);
    } else if (key == L"ytiled") {
      current_.ytiled = ReadBool(value);
    } else if (key == L"stretch") {
      current_.stretch = ReadBool(value);
    } else if (key == L"center") {
      current_.center = ReadBool(value);
    } else if (key == L"aligntop") {
      current_.alignTop = ReadBool(value);
    } else if (key == L"alignleft") {
      current_.alignLeft = ReadBool(value);
    } else if (key == L"roundcorner") {
      current_.roundCorner = ReadSize(value);
    }
    // "gray", "angle" and unknown keys have no effect.
  }

  RECT item_;
  std::vector<UIImageOptions>& out_;
  UIImageOptions current_;
};

}  // namespace

std::vector<UIImageOptions> ParseImageDescription(const wchar_t* image, const wchar_t* modify,
                                                  const RECT& item) {
  std::vector<UIImageOptions> images;
  if (image == nullptr) image = L"";
  DescriptionReader reader(item, images);
  reader.SetName(image);
  reader.Read(image);
  if (modify != nullptr && modify[0] != 0) reader.Read(modify);
  reader.Finish();
  return images;
}

}  // namespace SkinUI
