#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Runtime/FileExException.h"

// A Windows file handle with open, read, write, seek, length, flush and
// close. Open reports failure by its result; every other failing operation
// throws CFileExException. The destructor never throws: it closes with
// abort semantics. Used by one thread at a time.
class CFileEx {
 public:
  // Open flags; bits not listed have no effect.
  enum : uint32_t {
    kRead = 0x0,
    kWrite = 0x1,
    kReadWrite = 0x2,
    kNoAccess = 0x3,
    kShareRead = 0x20,
    kShareWrite = 0x30,
    kShareReadWrite = 0x40,
    kNoInherit = 0x80,
    kCreate = 0x1000,
    kKeepContent = 0x2000,  // with kCreate: open an existing file as it is
  };

  struct OpenError {
    std::wstring text;
    DWORD code = 0;
  };

  CFileEx() = default;
  CFileEx(const CFileEx&) = delete;
  CFileEx& operator=(const CFileEx&) = delete;
  virtual ~CFileEx();

  [[nodiscard]] virtual int64_t GetPosition();
  [[nodiscard]] virtual bool Open(const std::wstring& path, uint32_t flags,
                                  OpenError* error = nullptr);
  // `method` is FILE_BEGIN, FILE_CURRENT or FILE_END; returns the new position.
  virtual int64_t Seek(int64_t distance, DWORD method);
  virtual void SetLength(int64_t length);
  // Returns the file's length; the position is left at the end.
  virtual int64_t SeekToEnd();
  [[nodiscard]] virtual uint32_t Read(void* buffer, uint32_t length);
  virtual void Write(const void* data, uint32_t length);
  virtual void Abort();
  virtual void Flush();
  virtual void Close();

  [[nodiscard]] bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  // The size of the file at `path` without opening it for writing: through
  // the C runtime, else from the directory entry; -1 when neither works.
  [[nodiscard]] static int64_t SizeOf(const std::wstring& path);
  [[nodiscard]] const std::wstring& Path() const { return path_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool closeOnDestruction_ = false;
  std::wstring path_;
};
