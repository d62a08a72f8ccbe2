#include "SkinUI/Core/MarkupElement.h"

#include <cwchar>

#include "SkinUI/Core/MarkupDoc.h"

namespace SkinUI {

CMarkupElement::CMarkupElement(CMarkupDoc* doc, uint32_t index) : index_(index), doc_(doc) {}

CMarkupElement CMarkupElement::FirstChild() const {
  if (doc_ == nullptr) return CMarkupElement();
  const uint32_t child = doc_->elements_[index_].child;
  return child ? CMarkupElement(doc_, child) : CMarkupElement();
}

CMarkupElement CMarkupElement::NextSibling() const {
  if (doc_ == nullptr) return CMarkupElement();
  const uint32_t next = doc_->elements_[index_].next;
  return next ? CMarkupElement(doc_, next) : CMarkupElement();
}

bool CMarkupElement::HasChild() const {
  return doc_ != nullptr && doc_->elements_[index_].child != 0;
}

const wchar_t* CMarkupElement::ElementName() const {
  return doc_ ? doc_->text_ + doc_->elements_[index_].start : nullptr;
}

int CMarkupElement::AttributeCount() {
  if (doc_ == nullptr) return 0;
  if (attributeCount_ == 0) MapAttributes();
  return static_cast<int>(attributeCount_);
}

const wchar_t* CMarkupElement::AttributeName(int i) {
  if (doc_ == nullptr) return nullptr;
  if (i < 0 || i >= AttributeCount()) return L"";
  return doc_->text_ + attributes_[i].name;
}

const wchar_t* CMarkupElement::AttributeValue(int i) {
  if (doc_ == nullptr) return nullptr;
  if (i < 0 || i >= AttributeCount()) return L"";
  return doc_->text_ + attributes_[i].value;
}

bool CMarkupElement::CopyAttributeValue(const wchar_t* name, wchar_t* buffer, int units) {
  if (doc_ == nullptr || name == nullptr || buffer == nullptr || units <= 0) return false;
  const int count = AttributeCount();
  for (int i = 0; i < count; ++i) {
    if (wcscmp(doc_->text_ + attributes_[i].name, name) != 0) continue;
    const int limit = (units < kValueBufferUnits ? units : kValueBufferUnits) - 1;
    wcsncpy(buffer, doc_->text_ + attributes_[i].value, limit);
    buffer[limit] = 0;
    return true;
  }
  return false;
}

void CMarkupElement::MapAttributes() {
  attributeCount_ = 0;
  const wchar_t* text = doc_->text_;
  const uint32_t end = doc_->elements_[index_].data;
  auto blank = [&](uint32_t p) { return p < end && text[p] > 0 && text[p] <= L' '; };
  auto pastString = [&](uint32_t p) {
    while (p < end && text[p] != 0) ++p;
    return p + 1;
  };
  uint32_t pos = pastString(doc_->elements_[index_].start);
  while (pos < end) {
    while (blank(pos)) ++pos;
    if (pos >= end) break;
    const uint32_t name = pos;
    pos = pastString(pos);
    while (blank(pos)) ++pos;
    if (pos >= end || text[pos] != L'"') break;
    attributes_[attributeCount_++] = Attribute{name, pos + 1};
    if (attributeCount_ == kMaxAttributes) break;
    pos = pastString(pos + 1);
  }
}

}  // namespace SkinUI
