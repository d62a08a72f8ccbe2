#include "SkinUI/Utils/ResourceBytes.h"

#include <windows.h>

#include "Runtime/ScopedHandle.h"

namespace SkinUI {

ReadResult ReadWholeFile(const wchar_t* path, uint32_t maxSize, std::vector<uint8_t>& bytes) {
  ScopedKernelHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    (void)file.release();  // INVALID_HANDLE_VALUE is not a handle to close
    return ReadResult::kOpenFailed;
  }
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size)) return ReadResult::kReadFailed;
  if (size.QuadPart == 0) return ReadResult::kEmpty;
  if (size.QuadPart > maxSize) return ReadResult::kTooLarge;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
      read != bytes.size()) {
    return ReadResult::kReadFailed;
  }
  return ReadResult::kOk;
}

ReadResult ReadWholeEntry(HZIPARCHIVE archive, const wchar_t* name, uint32_t maxSize,
                          std::vector<uint8_t>& bytes) {
  int index = -1;
  UIZipEntry entry;
  if (FindArchiveEntry(archive, name, true, &index, &entry) != kZipOk) {
    return ReadResult::kOpenFailed;
  }
  if (entry.unpackedSize == 0) return ReadResult::kEmpty;
  if (entry.unpackedSize > maxSize) return ReadResult::kTooLarge;
  bytes.resize(entry.unpackedSize);
  // A buffer of exactly the unpacked size is filled with the entry left
  // open (kZipMore); the size and CRC were checked before that call returned.
  const ZipResult result = UnpackEntry(archive, index, bytes.data(), entry.unpackedSize);
  return result == kZipOk || result == kZipMore ? ReadResult::kOk : ReadResult::kReadFailed;
}

}  // namespace SkinUI
