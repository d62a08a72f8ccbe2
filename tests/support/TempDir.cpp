#include "support/TempDir.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "Runtime/TextUtils.h"

namespace {

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(dir.c_str());
}

}  // namespace

TempDir::TempDir() {
  wchar_t base[MAX_PATH];
  ::GetTempPathW(MAX_PATH, base);
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = FormatWide(L"%stessel-test-%lu-%ld", base, ::GetCurrentProcessId(),
                                         ::InterlockedIncrement(&counter));
    if (::CreateDirectoryW(name.c_str(), nullptr)) {
      path_ = name;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  RemoveTree(path_);
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (f == nullptr) return bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (f == nullptr) throw std::runtime_error("cannot write a fixture file");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}
