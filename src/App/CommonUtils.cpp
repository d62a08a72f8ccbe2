#include "App/CommonUtils.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <vector>

#include "Runtime/FileEx.h"
#include "Runtime/Log.h"
#include "Runtime/ScopedHandle.h"
#include "Runtime/TextUtils.h"

namespace {

constexpr DWORD kModulePathChars = 512;
constexpr DWORD kShellPathChars = MAX_PATH;

// Item lists come from the shell's task allocator.
struct ItemListTraits {
  using Handle = PIDLIST_ABSOLUTE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle items) { ::CoTaskMemFree(items); }
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const auto* initial = reinterpret_cast<const std::wstring*>(data);
    if (initial != nullptr && !initial->empty()) {
      ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial->c_str()));
    } else {
      wchar_t current[kShellPathChars];
      const DWORD n = ::GetCurrentDirectoryW(kShellPathChars, current);
      if (n > 0 && n < kShellPathChars) {
        ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(current));
      }
    }
  } else if (message == BFFM_SELCHANGED) {
    wchar_t path[kShellPathChars];
    if (::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(param), path)) {
      ::SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
    }
  }
  return 0;
}

// CreateProcessW may write into the command line, so it gets a copy.
bool CreateChild(const std::wstring& application, const std::wstring& commandLine,
                 PROCESS_INFORMATION& info) {
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  info = {};
  return ::CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                          nullptr, FALSE, 0, nullptr, nullptr, &startup, &info) != 0;
}

}  // namespace

std::wstring ModuleFolder(DWORD capacity) {
  if (capacity == 0) return std::wstring();
  std::vector<wchar_t> buffer(capacity);
  const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), capacity);
  // A path that fills the buffer has been cut (older systems do not even
  // report it as an error).
  if (n == 0 || n >= capacity) return std::wstring();
  ::PathRemoveFileSpecW(buffer.data());
  return buffer.data();
}

std::wstring GetExeDir() {
  static std::wstring cache;
  if (cache.empty()) cache = ModuleFolder(kModulePathChars);
  return cache;
}

bool CreateDir(const std::wstring& path) {
  if (::PathFileExistsW(path.c_str())) return true;
  const int result = ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  if (result == ERROR_SUCCESS) return true;
  LOG_TRACE(LOG_ERRO, L"CreateDir：%s ret：%d", path.c_str(), result);
  ::SetLastError(static_cast<DWORD>(result));
  return false;
}

bool EnsureFolder(const std::wstring& path) {
  return ::PathFileExistsW(path.c_str()) ||
         ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == 0;
}

bool RemoveFile(const std::wstring& path) {
  if (!::PathFileExistsW(path.c_str())) return true;
  if (::DeleteFileW(path.c_str())) return true;
  ::Sleep(1);
  return false;
}

bool MoveFileReplace(const std::wstring& source, const std::wstring& target) {
  if (!::PathFileExistsW(source.c_str())) return false;
  if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  ::Sleep(1);
  return false;
}

int64_t GetFileSize(const std::wstring& path) {
  return CFileEx::SizeOf(path);
}

std::wstring FormatSize(uint64_t bytes) {
  static const wchar_t* const kFormats[] = {L"%.0fB", L"%.2fKB", L"%.2fMB", L"%.2fGB", L"%.2fTB"};
  double divisor = 1.0;
  int unit = 0;
  while (unit < 4 && static_cast<double>(bytes) >= 1000.0 * divisor) {
    ++unit;
    divisor *= 1024.0;
  }
  return FormatWide(kFormats[unit], static_cast<double>(bytes) / divisor);
}

std::wstring ParentFolder(const std::wstring& path) {
  if (path.empty()) return std::wstring();
  std::wstring copy = ReplaceAll(path, L"/", L"\\");
  if (copy.back() == L'\\') copy.pop_back();
  const size_t slash = copy.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : copy.substr(0, slash);
}

std::wstring FolderPathFromItemList(PCIDLIST_ABSOLUTE items) {
  wchar_t path[kShellPathChars];
  if (items == nullptr || !::SHGetPathFromIDListW(items, path)) return std::wstring();
  std::wstring folder(path);
  if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
  return folder;
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& initial) {
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = L"选择文件夹";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&initial);
  ScopedHandle<ItemListTraits> items(::SHBrowseForFolderW(&info));
  if (!items) return std::wstring();
  return FolderPathFromItemList(items.get());
}

DWORD LaunchProcess(const std::wstring& application, const std::wstring& commandLine,
                    PROCESS_INFORMATION* out) {
  PROCESS_INFORMATION info;
  if (!CreateChild(application, commandLine, info)) return ::GetLastError();
  ScopedKernelHandle process(info.hProcess), thread(info.hThread);
  if (out != nullptr) *out = info;
  return 0;
}

uint64_t StartProcess(const std::wstring& application, const std::wstring& commandLine,
                      PROCESS_INFORMATION* out) {
  PROCESS_INFORMATION info;
  if (!CreateChild(application, commandLine, info)) {
    return (uint64_t{1} << 32) | ::GetLastError();
  }
  if (out != nullptr) {
    *out = info;  // the caller owns the handles now
  } else {
    ScopedKernelHandle process(info.hProcess), thread(info.hThread);
  }
  return 0;
}
