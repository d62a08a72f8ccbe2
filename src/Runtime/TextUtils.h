#pragma once

#include <cstdarg>
#include <string>
#include <vector>

// Conversions between the UTF-16 text of the application and the 8-bit text
// of libcurl (ANSI code page) and DNS (UTF-8), wide printf formatting, and
// the few string edits the transfer engine needs. Any thread.

// UTF-16 -> ANSI code page; characters without an equivalent become a space.
[[nodiscard]] std::string ToAnsi(const std::wstring& text);
[[nodiscard]] std::wstring FromAnsi(const std::string& text);
[[nodiscard]] std::string ToUtf8(const std::wstring& text);
[[nodiscard]] std::wstring FromUtf8(const std::string& text);

// msvcrt's wide printf: %s takes a wide string. A null format or a format
// the CRT rejects gives an empty string.
[[nodiscard]] std::wstring FormatWide(const wchar_t* format, ...);
// The same over an argument list, which it leaves untouched for the caller.
[[nodiscard]] std::wstring FormatWideV(const wchar_t* format, va_list args);

[[nodiscard]] std::wstring ToLower(const std::wstring& text);
// Removes leading and trailing white space; all-blank text is left as is.
void Trim(std::wstring& text);
// Replaces every occurrence of `pattern`, left to right without overlaps. An
// empty pattern matches nothing.
[[nodiscard]] std::wstring ReplaceAll(const std::wstring& text, const std::wstring& pattern,
                                      const std::wstring& replacement);
// The pieces between ";" separators; an empty text gives one empty piece.
void SplitList(const std::wstring& text, std::vector<std::wstring>& list);
