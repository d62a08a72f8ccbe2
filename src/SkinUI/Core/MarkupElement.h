#pragma once

#include <windows.h>

#include <cstdint>

namespace SkinUI {

class CMarkupDoc;

// A small value handle on one element of a CMarkupDoc. It owns nothing and
// is valid until the document loads again or is cleared; a handle without
// a document is invalid and answers every question with nothing (invalid,
// null, 0, false). Attributes are mapped from the edited text on first use;
// at most 64 of an element are visible. Thread affinity: the document's.
class CMarkupElement {
 public:
  static constexpr int kMaxAttributes = 64;
  // The buffered lookup copies at most this many units, terminator included.
  static constexpr int kValueBufferUnits = 500;

  CMarkupElement() = default;
  CMarkupElement(CMarkupDoc* doc, uint32_t index);

  [[nodiscard]] bool Exists() const { return doc_ != nullptr; }
  [[nodiscard]] CMarkupElement FirstChild() const;
  [[nodiscard]] CMarkupElement NextSibling() const;
  [[nodiscard]] bool HasChild() const;
  [[nodiscard]] const wchar_t* ElementName() const;

  [[nodiscard]] int AttributeCount();
  [[nodiscard]] bool HasAnyAttribute() { return AttributeCount() > 0; }
  // Empty outside 0 .. count - 1.
  [[nodiscard]] const wchar_t* AttributeName(int i);
  [[nodiscard]] const wchar_t* AttributeValue(int i);
  // Copies at most 499 units of the first attribute called `name` (exact,
  // case-sensitive) into `buffer` (`units` long, at most 500 used) and
  // terminates it. False when no attribute has that name.
  bool CopyAttributeValue(const wchar_t* name, wchar_t* buffer, int units = kValueBufferUnits);

 private:
  void MapAttributes();

  uint32_t index_ = 0;
  uint32_t attributeCount_ = 0;
  struct Attribute {
    uint32_t name;
    uint32_t value;
  } attributes_[kMaxAttributes] = {};
  CMarkupDoc* doc_ = nullptr;
};

}  // namespace SkinUI
