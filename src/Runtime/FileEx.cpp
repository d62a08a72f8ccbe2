#include "Runtime/FileEx.h"

#include <cstdio>

#include "Runtime/ScopedHandle.h"

namespace {

struct StdioFileTraits {
  using Handle = FILE*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle f) { fclose(f); }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};

[[noreturn]] void ThrowLastError(std::wstring text = std::wstring()) {
  throw CFileExException{std::move(text), static_cast<int32_t>(::GetLastError())};
}

DWORD AccessOf(uint32_t flags) {
  switch (flags & 3) {
    case 0:
      return GENERIC_READ;
    case 1:
      return GENERIC_WRITE;
    case 2:
      return GENERIC_READ | GENERIC_WRITE;
    default:
      return 0;
  }
}

DWORD ShareOf(uint32_t flags) {
  switch (flags & 0x70) {
    case 0x20:
      return FILE_SHARE_READ;
    case 0x30:
      return FILE_SHARE_WRITE;
    case 0x40:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
      return 0;
  }
}

DWORD CreationOf(uint32_t flags) {
  if (!(flags & CFileEx::kCreate)) return OPEN_EXISTING;
  return (flags & CFileEx::kKeepContent) ? OPEN_ALWAYS : CREATE_ALWAYS;
}

}  // namespace

CFileEx::~CFileEx() {
  if (closeOnDestruction_) Abort();
}

bool CFileEx::Open(const std::wstring& path, uint32_t flags, OpenError* error) {
  // A handle left open by an earlier Open is closed, not leaked.
  Abort();
  closeOnDestruction_ = false;
  path_ = path;
  SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, (flags & kNoInherit) ? FALSE : TRUE};
  HANDLE h = ::CreateFileW(path.c_str(), AccessOf(flags), ShareOf(flags), &security,
                           CreationOf(flags), FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error != nullptr) {
      error->code = ::GetLastError();
      error->text = L"INVALID_HANDLE_VALUE";
    }
    return false;
  }
  handle_ = h;
  closeOnDestruction_ = true;
  return true;
}

uint32_t CFileEx::Read(void* buffer, uint32_t length) {
  if (length == 0) return 0;
  DWORD read = 0;
  if (!::ReadFile(handle_, buffer, length, &read, nullptr)) ThrowLastError();
  return read;
}

void CFileEx::Write(const void* data, uint32_t length) {
  if (length == 0) return;
  DWORD written = 0;
  if (!::WriteFile(handle_, data, length, &written, nullptr)) ThrowLastError(path_);
  if (written < length) throw CFileExException{path_, -12};
}

int64_t CFileEx::Seek(int64_t distance, DWORD method) {
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(handle_, move, &position, method)) ThrowLastError();
  return position.QuadPart;
}

int64_t CFileEx::GetPosition() {
  return Seek(0, FILE_CURRENT);
}

int64_t CFileEx::SeekToEnd() {
  (void)Seek(0, FILE_CURRENT);
  return Seek(0, FILE_END);
}

void CFileEx::SetLength(int64_t length) {
  (void)Seek(length, FILE_BEGIN);
  if (!::SetEndOfFile(handle_)) ThrowLastError();
}

void CFileEx::Flush() {
  if (IsOpen() && !::FlushFileBuffers(handle_)) ThrowLastError();
}

void CFileEx::Close() {
  BOOL closed = TRUE;
  if (IsOpen()) closed = ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  closeOnDestruction_ = false;
  path_.clear();
  if (!closed) ThrowLastError();
}

void CFileEx::Abort() {
  if (IsOpen()) ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  closeOnDestruction_ = false;
  path_.clear();
}

int64_t CFileEx::SizeOf(const std::wstring& path) {
  if (ScopedHandle<StdioFileTraits> file(_wfopen(path.c_str(), L"r")); file) {
    if (_fseeki64(file.get(), 0, SEEK_END) == 0) return _ftelli64(file.get());
    return -1;
  }
  WIN32_FIND_DATAW data;
  ScopedHandle<FindHandleTraits> find(::FindFirstFileW(path.c_str(), &data));
  if (!find) return -1;
  return static_cast<int64_t>((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
}
