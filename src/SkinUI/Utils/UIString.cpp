#include "SkinUI/Utils/UIString.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace SkinUI {

namespace {

constexpr int kInlineLimit = CUIString::kInlineCapacity - 1;  // 163: first length on the heap
constexpr int kSmallFormatUnits = 64;

int ClampedLength(const wchar_t* text, int length) {
  if (text == nullptr) return 0;
  if (length < 0) return static_cast<int>(wcslen(text));
  // Never read past a terminator that comes before `length`.
  int n = 0;
  while (n < length && text[n] != 0) ++n;
  return n;
}

}  // namespace

CUIString::CUIString() : data_(inline_) {
  inline_[0] = 0;
}

CUIString::CUIString(const wchar_t* text, int length) : data_(inline_) {
  inline_[0] = 0;
  Assign(text, length);
}

CUIString::CUIString(wchar_t ch) : data_(inline_) {
  inline_[0] = ch;
  inline_[1] = 0;
}

CUIString::CUIString(const CUIString& other) : data_(inline_) {
  inline_[0] = 0;
  Assign(other.data_);
}

CUIString& CUIString::operator=(const CUIString& other) {
  if (this != &other) Assign(other.data_);
  return *this;
}

CUIString& CUIString::operator=(const wchar_t* text) {
  Assign(text);
  return *this;
}

CUIString& CUIString::operator=(wchar_t ch) {
  Empty();
  inline_[0] = ch;
  inline_[1] = 0;
  return *this;
}

CUIString::~CUIString() {
  if (data_ != inline_) free(data_);
}

void CUIString::Reserve(int length, bool keep) {
  if (length < kInlineLimit) {
    if (data_ != inline_) {
      if (keep) {
        wcsncpy(inline_, data_, length);
        inline_[length] = 0;
      }
      free(data_);
      data_ = inline_;
    }
    return;
  }
  auto* grown = static_cast<wchar_t*>(malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
  if (grown == nullptr) abort();  // as operator new would
  grown[0] = 0;
  if (keep) {
    const int old = static_cast<int>(wcslen(data_));
    const int n = old < length ? old : length;
    wmemcpy(grown, data_, n);
    grown[n] = 0;
  }
  if (data_ != inline_) free(data_);
  data_ = grown;
}

void CUIString::Assign(const wchar_t* text, int length) {
  const int n = ClampedLength(text, length);
  if (text != nullptr && text >= data_ && text <= data_ + GetLength()) {
    // Assigning a part of ourselves: go through a copy.
    CUIString copy(text, n);
    Assign(copy.data_, n);
    return;
  }
  Reserve(n, false);
  if (n > 0) wmemcpy(data_, text, n);
  data_[n] = 0;
}

void CUIString::Append(const wchar_t* text) {
  if (text == nullptr || text[0] == 0) return;
  const CUIString copy(text);  // `text` may point into this string
  const int old = GetLength();
  const int add = copy.GetLength();
  Reserve(old + add, true);
  wmemcpy(data_ + old, copy.data_, add);
  data_[old + add] = 0;
}

void CUIString::Append(wchar_t ch) {
  const wchar_t text[2] = {ch, 0};
  if (ch != 0) Append(text);
}

CUIString& CUIString::operator+=(const wchar_t* text) {
  Append(text);
  return *this;
}

CUIString& CUIString::operator+=(wchar_t ch) {
  Append(ch);
  return *this;
}

CUIString CUIString::operator+(const wchar_t* text) const {
  CUIString result(*this);
  result.Append(text);
  return result;
}

void CUIString::Empty() {
  if (data_ != inline_) free(data_);
  data_ = inline_;
  inline_[0] = 0;
}

int CUIString::GetLength() const {
  return static_cast<int>(wcslen(data_));
}

wchar_t CUIString::GetAt(int index) const {
  return index >= 0 && index < GetLength() ? data_[index] : 0;
}

int CUIString::Compare(const wchar_t* text) const {
  return wcscmp(data_, text ? text : L"");
}

int CUIString::CompareNoCase(const wchar_t* text) const {
  return _wcsicmp(data_, text ? text : L"");
}

int CUIString::Find(wchar_t ch, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  const wchar_t* hit = wcschr(data_ + start, ch);
  return hit == nullptr || ch == 0 ? -1 : static_cast<int>(hit - data_);
}

int CUIString::Find(const wchar_t* text, int start) const {
  if (text == nullptr || start < 0 || start > GetLength()) return -1;
  const wchar_t* hit = wcsstr(data_ + start, text);
  return hit == nullptr ? -1 : static_cast<int>(hit - data_);
}

int CUIString::Replace(const wchar_t* from, const wchar_t* to) {
  if (from == nullptr || from[0] == 0) return 0;
  const int fromLength = static_cast<int>(wcslen(from));
  CUIString result;
  int count = 0;
  int pos = 0;
  for (int hit = Find(from, 0); hit >= 0; hit = Find(from, pos)) {
    result.Append(CUIString(data_ + pos, hit - pos));
    result.Append(to);
    pos = hit + fromLength;
    ++count;
  }
  if (count == 0) return 0;
  result.Append(data_ + pos);
  Assign(result.data_);
  return count;
}

CUIString CUIString::Left(int count) const {
  return Mid(0, count);
}

CUIString CUIString::Mid(int start, int count) const {
  const int length = GetLength();
  if (start < 0) start = 0;
  if (start > length) start = length;
  if (count < 0 || count > length - start) count = length - start;
  return CUIString(data_ + start, count);
}

CUIString CUIString::Right(int count) const {
  const int length = GetLength();
  if (count < 0) count = 0;
  if (count > length) count = length;
  return CUIString(data_ + length - count, count);
}

int CUIString::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = FormatV(format, args);
  va_end(args);
  return n;
}

int CUIString::FormatV(const wchar_t* format, va_list args) {
  Empty();
  if (format == nullptr) return 0;
  va_list measure;
  va_copy(measure, args);
  const int length = _vscwprintf(format, measure);
  va_end(measure);
  if (length <= 0) return 0;  // nothing to write, or an encoding error
  Reserve(length, false);
  const int written = _vsnwprintf(data_, static_cast<size_t>(length) + 1, format, args);
  if (written != length) {
    Empty();
    return 0;
  }
  data_[length] = 0;
  return length;
}

int CUIString::SmallFormat(const wchar_t* format, ...) {
  wchar_t buffer[kSmallFormatUnits] = {};
  va_list args;
  va_start(args, format);
  if (format != nullptr) _vsnwprintf(buffer, kSmallFormatUnits - 1, format, args);
  va_end(args);
  buffer[kSmallFormatUnits - 1] = 0;
  Assign(buffer);
  return GetLength();
}

}  // namespace SkinUI
