#include "Http/DownloadWriteFile.h"

#include <windows.h>

#include "Runtime/Log.h"

namespace {

void LogFileError(int32_t error) {
  LOG_CONSOLE(LOG_ERRO, L"[DownloadWriteFile]打开错误:%d", error);
  LOG_CONSOLE(LOG_ERRO, L"[DownloadWriteFile]打开错误 %d:%d", 1, error);
}

// Read and write, others may read, not inherited, created when missing,
// content kept.
constexpr uint32_t kOpenFlags = 0xB0A2;

}  // namespace

bool DownloadWriteFile::Open(const std::wstring& path) {
  Close();
  path_ = path;
  CFileEx::OpenError error;
  bool opened = file_.Open(path, kOpenFlags, &error);
  if (opened) {
    try {
      (void)file_.SeekToEnd();
    } catch (const CFileExException& e) {
      error.code = static_cast<DWORD>(e.code);
      file_.Abort();
      opened = false;
    }
  }
  if (!opened) {
    LogFileError(static_cast<int32_t>(error.code));
    SetError(1, kOpenFailed);
    return false;
  }
  return true;
}

int32_t DownloadWriteFile::Write(const void* data, uint32_t length) {
  if (!file_.IsOpen()) {
    if (ErrorCode() == 0) SetError(3, kNotOpen);
    return -1;
  }
  if (length > INT32_MAX) return -1;
  try {
    file_.Write(data, length);
  } catch (const CFileExException& e) {
    LogFileError(e.code);
    SetError(1, e.code);
    return -1;
  }
  return static_cast<int32_t>(length);
}

void DownloadWriteFile::Close() {
  if (file_.IsOpen()) file_.Abort();  // nothing buffered: closing cannot lose data
  SetError(0, 0);
}

void DownloadWriteFile::Reset() {
  if (file_.IsOpen()) {
    try {
      file_.SetLength(0);
    } catch (const CFileExException& e) {
      // Appending to the old bytes would corrupt the file: refuse all
      // further writes instead, so the attempt fails and is retried.
      LogFileError(e.code);
      file_.Abort();
      SetError(1, e.code);
    }
  } else if (!path_.empty()) {
    ::DeleteFileW(path_.c_str());
  }
}
