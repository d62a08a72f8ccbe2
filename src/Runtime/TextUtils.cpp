#include "Runtime/TextUtils.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <cwctype>

namespace {

// Measures, then converts: the exact size instead of a worst-case guess.
std::string Narrow(UINT codePage, const std::wstring& text, const char* defaultChar) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const int units = static_cast<int>(text.size());
  int n = ::WideCharToMultiByte(codePage, 0, text.data(), units, nullptr, 0, defaultChar, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  n = ::WideCharToMultiByte(codePage, 0, text.data(), units, out.data(), n, defaultChar, nullptr);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

std::wstring Widen(UINT codePage, const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int bytes = static_cast<int>(text.size());
  int n = ::MultiByteToWideChar(codePage, 0, text.data(), bytes, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  n = ::MultiByteToWideChar(codePage, 0, text.data(), bytes, out.data(), n);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

}  // namespace

std::string ToAnsi(const std::wstring& text) {
  return Narrow(CP_ACP, text, " ");
}
std::wstring FromAnsi(const std::string& text) {
  return Widen(CP_ACP, text);
}
// UTF-8 takes no default character; WideCharToMultiByte rejects one.
std::string ToUtf8(const std::wstring& text) {
  return Narrow(CP_UTF8, text, nullptr);
}
std::wstring FromUtf8(const std::string& text) {
  return Widen(CP_UTF8, text);
}

std::wstring FormatWide(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring out = FormatWideV(format, args);
  va_end(args);
  return out;
}

std::wstring FormatWideV(const wchar_t* format, va_list args) {
  if (format == nullptr) return std::wstring();
  // Measured first, so text of any length comes out whole.
  va_list counting;
  va_copy(counting, args);
  const int n = _vscwprintf(format, counting);
  va_end(counting);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n) + 1, L'\0');
  va_list writing;
  va_copy(writing, args);
  const int written = _vsnwprintf(out.data(), static_cast<size_t>(n), format, writing);
  va_end(writing);
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return out;
}

std::wstring ToLower(const std::wstring& text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(towlower(c));
  return out;
}

void Trim(std::wstring& text) {
  size_t begin = 0;
  while (begin < text.size() && iswspace(text[begin])) ++begin;
  if (begin == text.size()) return;
  size_t end = text.size();
  while (end > begin && iswspace(text[end - 1])) --end;
  text = text.substr(begin, end - begin);
}

std::wstring ReplaceAll(const std::wstring& text, const std::wstring& pattern,
                        const std::wstring& replacement) {
  if (pattern.empty()) return text;
  std::wstring out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t at; (at = text.find(pattern, from)) != std::wstring::npos;
       from = at + pattern.size()) {
    out.append(text, from, at - from);
    out.append(replacement);
  }
  out.append(text, from, std::wstring::npos);
  return out;
}

void SplitList(const std::wstring& text, std::vector<std::wstring>& list) {
  list.clear();
  size_t from = 0;
  for (size_t at; (at = text.find(L';', from)) != std::wstring::npos; from = at + 1) {
    list.push_back(text.substr(from, at - from));
  }
  list.push_back(text.substr(from));
}
