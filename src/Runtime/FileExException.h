#pragma once

#include <cstdint>
#include <string>

// Thrown by value by CFileEx. `text` is the file's path for write errors and
// empty otherwise; `code` is the Windows error, or -12 for a short write.
struct CFileExException {
  std::wstring text;
  int32_t code;
};
