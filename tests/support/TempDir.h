#pragma once

#include <string>

// A fresh directory under the temporary folder, removed with its contents
// when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::wstring& Path() const { return path_; }
  [[nodiscard]] std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Whole-file helpers for fixtures.
[[nodiscard]] std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
