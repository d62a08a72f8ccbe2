#pragma once

#include <windows.h>

#include <cstdint>

namespace SkinUI {

// Reader for the skin archive: a standard zip file held in a file or in a
// memory block, with stored and deflated entries. No writing, no
// decryption. A handle keeps a current entry and position and is used by
// one thread at a time (the toolkit's UI thread).

using ZipResult = uint32_t;
inline constexpr ZipResult kZipOk = 0;
inline constexpr ZipResult kZipDuplicateFailed = 0x100;
inline constexpr ZipResult kZipOpenFailed = 0x200;
inline constexpr ZipResult kZipNotFound = 0x500;
// The buffer was filled and the entry stays open; callers unpacking into a
// buffer of the unpacked size treat it as success.
inline constexpr ZipResult kZipMore = 0x600;
inline constexpr ZipResult kZipCorrupt = 0x700;
inline constexpr ZipResult kZipReadFailed = 0x800;
inline constexpr ZipResult kZipBadArguments = 0x10000;
inline constexpr ZipResult kZipNotUnzipHandle = 0x80000;
inline constexpr ZipResult kZipNotDiskFile = 0x2000000;
inline constexpr ZipResult kZipInflateFailed = 0x5000000;

enum class ZipSource {
  kFileHandle = 1,  // duplicated; must be a disk file
  kFileName = 2,    // opened for reading, sharing reading
  kMemory = 3,      // not copied: the block must outlive the handle
};

// Entries unpacking to more than this are refused as corrupt: a skin never
// comes near it, and a forged size must not make callers allocate it.
inline constexpr uint32_t kZipMaxUnpackedSize = 64u * 1024 * 1024;

struct UIZipEntry {
  int index = 0;
  wchar_t name[MAX_PATH] = {};
  DWORD attributes = 0;
  FILETIME accessTime = {};
  FILETIME creationTime = {};
  FILETIME modifiedTime = {};
  uint32_t compressedSize = 0;
  uint32_t unpackedSize = 0;
};

struct UIZipArchive;  // opaque
using HZIPARCHIVE = UIZipArchive*;

// `source` is a HANDLE, a wide file name or the memory block by `kind`;
// `length` is used for memory blocks only. Null on failure (see
// LastArchiveResult).
[[nodiscard]] HZIPARCHIVE OpenArchive(const void* source, uint32_t length, ZipSource kind);
// Converts `name` to the system code page (at most 255 characters), turns
// backslashes into slashes and takes the first entry with that name,
// folding only ASCII letters when `ignoreCase` is set.
[[nodiscard]] ZipResult FindArchiveEntry(HZIPARCHIVE archive, const wchar_t* name, bool ignoreCase,
                                         int* index, UIZipEntry* entry);
// Index -1 gives the number of entries in `entry->index`.
[[nodiscard]] ZipResult GetArchiveEntry(HZIPARCHIVE archive, int index, UIZipEntry* entry);
// Delivers the next part of entry `index` (restarting it when another entry
// was open). kZipMore while bytes arrive; kZipOk and the entry closed once
// nothing more comes. The whole entry is checked against its declared size
// and CRC-32 before the call that delivers its last byte reports success.
[[nodiscard]] ZipResult UnpackEntry(HZIPARCHIVE archive, int index, void* buffer, uint32_t size);
ZipResult CloseArchive(HZIPARCHIVE archive);
// The result of the last call above, process-wide.
[[nodiscard]] ZipResult LastArchiveResult();

}  // namespace SkinUI
