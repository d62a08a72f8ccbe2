#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "Runtime/ThreadChecker.h"

namespace SkinUI {

class CMarkupElement;

// One skin document, parsed whole into a flat element table over the
// document's own UTF-16 copy of the text. Parsing edits that copy in place
// so that every element name, attribute name and attribute value ends as a
// NUL-terminated string inside it; elements are walked through
// CMarkupElement handles, which stay valid until the next load or Clear.
// The accepted markup is a small XML subset: elements, double-quoted
// attributes, character data, five named entities; comments and processing
// instructions are skipped. Every index is checked against the text length,
// so a broken document fails with an error message and never reads past
// its end. Thread affinity: one thread at a time (the toolkit uses the UI
// thread).
class CMarkupDoc {
 public:
  // Element table entry; every field is a text index or element index, and
  // 0 means none (entry 0 is reserved for that).
  struct Element {
    uint32_t start;   // the element's name
    uint32_t child;   // first child
    uint32_t next;    // next sibling
    uint32_t parent;  // 0 for top-level elements
    uint32_t data;    // the element's character data
  };

  // Skins are at most this large.
  static constexpr uint32_t kMaxFileSize = 4 * 1024 * 1024;
  // Elements nested deeper than this fail the parse rather than exhaust the
  // stack of the recursive descent.
  static constexpr int kMaxDepth = 512;

  CMarkupDoc();
  CMarkupDoc(const CMarkupDoc&) = delete;
  CMarkupDoc& operator=(const CMarkupDoc&) = delete;
  ~CMarkupDoc();

  // Each load first releases what the document held; a failed load leaves
  // it empty with the error message and location set.
  [[nodiscard]] bool LoadText(const wchar_t* text);
  // UTF-8, with or without a byte-order mark.
  [[nodiscard]] bool LoadMemory(const void* bytes, size_t size);
  // From the resource archive when one is set, else from the resource
  // folder (see CPaintManager).
  [[nodiscard]] bool LoadFile(const wchar_t* name);
  void Clear();

  // Element 1, or an invalid handle when the document holds no element.
  [[nodiscard]] CMarkupElement RootElement();

  [[nodiscard]] const wchar_t* ErrorMessage() const { return errorMessage_; }
  [[nodiscard]] const wchar_t* ErrorLocation() const { return errorLocation_; }

 private:
  friend class CMarkupElement;

  [[nodiscard]] bool Parse();
  [[nodiscard]] bool ParseList(uint32_t& pos, uint32_t parent, int depth);
  [[nodiscard]] bool ParseAttributes(uint32_t& pos);
  // Decodes character data up to `end` (or the end of the text) in place
  // and returns where the decoded data ends.
  uint32_t ParseData(uint32_t& pos, wchar_t end);
  [[nodiscard]] uint32_t ReserveElement();
  [[nodiscard]] wchar_t At(uint32_t pos) const { return pos < length_ ? text_[pos] : 0; }
  void SkipWhitespace(uint32_t& pos) const;
  void SkipIdentifier(uint32_t& pos) const;
  static constexpr uint32_t kNoLocation = 0xFFFFFFFF;
  bool Fail(const wchar_t* message, uint32_t location = kNoLocation);

  CThreadChecker thread_;
  wchar_t* text_ = nullptr;
  uint32_t length_ = 0;  // units before the terminator
  Element* elements_ = nullptr;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
  wchar_t errorMessage_[100] = {};
  wchar_t errorLocation_[50] = {};
};

}  // namespace SkinUI
