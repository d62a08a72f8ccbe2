#pragma once

#include <cstdint>
#include <vector>

#include "SkinUI/Utils/ZipArchive.h"

namespace SkinUI {

// Whole-file reads of skin documents and images, from a disk file or from an
// entry of the held archive. The size is checked before anything is
// allocated, so a huge or forged file is refused rather than read. On any
// result but kOk the contents of `bytes` are unspecified. Thread affinity:
// the caller's (the archive's for ReadWholeEntry).
enum class ReadResult {
  kOk,
  kOpenFailed,  // no such file, or no such archive entry
  kReadFailed,  // it opened but its bytes could not be read (or unpacked)
  kEmpty,
  kTooLarge,  // more than `maxSize` bytes
};

[[nodiscard]] ReadResult ReadWholeFile(const wchar_t* path, uint32_t maxSize,
                                       std::vector<uint8_t>& bytes);
// Looks `name` up with ASCII case folded and backslashes as slashes.
[[nodiscard]] ReadResult ReadWholeEntry(HZIPARCHIVE archive, const wchar_t* name, uint32_t maxSize,
                                        std::vector<uint8_t>& bytes);

}  // namespace SkinUI
