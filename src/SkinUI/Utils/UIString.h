#pragma once

#include <windows.h>

#include <cstdarg>

namespace SkinUI {

// The toolkit's UTF-16 string value. Short strings (under 163 characters)
// live in an inline buffer so that the many small names and attribute values
// of a skin cost no allocation; longer ones get a heap buffer of exactly
// their length plus the terminator. Lengths passed in are clamped to the
// string. A plain value: no thread affinity of its own.
class CUIString {
 public:
  static constexpr int kInlineCapacity = 164;

  CUIString();
  CUIString(const wchar_t* text, int length = -1);
  CUIString(wchar_t ch);
  CUIString(const CUIString& other);
  CUIString& operator=(const CUIString& other);
  CUIString& operator=(const wchar_t* text);
  CUIString& operator=(wchar_t ch);
  ~CUIString();

  // Takes at most `length` characters of `text` (all of it when negative).
  void Assign(const wchar_t* text, int length = -1);
  void Append(const wchar_t* text);
  void Append(wchar_t ch);
  CUIString& operator+=(const wchar_t* text);
  CUIString& operator+=(wchar_t ch);
  CUIString operator+(const wchar_t* text) const;
  void Empty();

  [[nodiscard]] int GetLength() const;
  [[nodiscard]] bool IsEmpty() const { return GetLength() == 0; }
  [[nodiscard]] const wchar_t* GetData() const { return data_; }
  operator const wchar_t*() const { return data_; }
  // The character at `index`, or 0 outside the string.
  [[nodiscard]] wchar_t GetAt(int index) const;
  // True once the text no longer fits the inline buffer.
  [[nodiscard]] bool UsesHeap() const { return data_ != inline_; }

  // Case-sensitive comparisons; Compare returns <0, 0, >0 like wcscmp.
  [[nodiscard]] int Compare(const wchar_t* text) const;
  [[nodiscard]] int CompareNoCase(const wchar_t* text) const;
  bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
  bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }
  bool operator==(const CUIString& other) const { return Compare(other.data_) == 0; }

  // Index of the first occurrence at or after `start`, or -1.
  [[nodiscard]] int Find(wchar_t ch, int start = 0) const;
  [[nodiscard]] int Find(const wchar_t* text, int start = 0) const;
  // Replaces every non-overlapping occurrence and returns how many there
  // were; an empty pattern matches nothing.
  int Replace(const wchar_t* from, const wchar_t* to);

  [[nodiscard]] CUIString Left(int count) const;
  [[nodiscard]] CUIString Mid(int start, int count = -1) const;
  [[nodiscard]] CUIString Right(int count) const;

  // Growing format: measures the result first, so the text is never cut.
  // A format the CRT rejects leaves the string empty and returns 0.
  int Format(const wchar_t* format, ...);
  int FormatV(const wchar_t* format, va_list args);
  // Short format into a fixed 64-unit buffer: a longer result is cut to 63
  // characters. Only for texts known to be short (numbers, small ids).
  int SmallFormat(const wchar_t* format, ...);

 private:
  // Makes room for `length` characters plus the terminator, keeping the
  // current text when `keep` is set.
  void Reserve(int length, bool keep);

  wchar_t* data_;
  wchar_t inline_[kInlineCapacity];
};

}  // namespace SkinUI
