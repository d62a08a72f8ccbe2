#include "SkinUI/Utils/ZipArchive.h"

#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Runtime/ScopedHandle.h"

namespace SkinUI {

namespace {

constexpr uint32_t kHandleMagic = 0x5A495055;  // "UPIZ"
constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kEndSearchSpan = 65535;
constexpr uint32_t kCentralRecordSize = 46;
constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kInputBufferSize = 16 * 1024;

std::atomic<ZipResult> g_lastResult{kZipOk};

ZipResult Report(ZipResult result) {
  g_lastResult = result;
  return result;
}

uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Where the archive bytes come from. Offsets are relative to the start of
// the source (a file handle's position at open, or the block's start).
class Source {
 public:
  Source(ScopedKernelHandle file, uint64_t start, uint64_t size)
      : file_(std::move(file)), start_(start), size_(size) {}
  Source(const uint8_t* block, uint64_t size) : block_(block), size_(size) {}

  [[nodiscard]] uint64_t Size() const { return size_; }

  // Reads up to `count` bytes at `offset`; past the end only what remains
  // arrives. False on a read or seek failure.
  [[nodiscard]] bool ReadAt(uint64_t offset, void* out, uint32_t count, uint32_t* got) const {
    *got = 0;
    if (offset >= size_) return true;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, size_ - offset));
    if (block_ != nullptr) {
      memcpy(out, block_ + offset, n);
      *got = n;
      return true;
    }
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(start_ + offset);
    if (!::SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN)) return false;
    DWORD read = 0;
    if (!::ReadFile(file_.get(), out, n, &read, nullptr)) return false;
    *got = read;
    return true;
  }

  [[nodiscard]] bool ReadExact(uint64_t offset, void* out, uint32_t count) const {
    uint32_t got = 0;
    return ReadAt(offset, out, count, &got) && got == count;
  }

 private:
  ScopedKernelHandle file_;
  const uint8_t* block_ = nullptr;
  uint64_t start_ = 0;
  uint64_t size_ = 0;
};

struct CentralRecord {
  uint16_t versionMadeBy;
  uint16_t flags;
  uint16_t method;
  uint16_t dosTime;
  uint16_t dosDate;
  uint32_t crc;
  uint32_t compressedSize;
  uint32_t unpackedSize;
  uint32_t externalAttributes;
  uint32_t localOffset;
  std::string name;  // the archive's 8-bit name
};

// The entry being unpacked.
struct OpenEntry {
  int index = -1;
  uint16_t method = 0;
  uint64_t dataOffset = 0;  // next compressed byte to read
  uint32_t compressedLeft = 0;
  uint32_t delivered = 0;
  uint32_t expectedSize = 0;
  uint32_t expectedCrc = 0;
  uint32_t crc = 0;
  bool streamEnded = false;
  bool checked = false;
  bool inflating = false;
  z_stream stream = {};
  std::unique_ptr<uint8_t[]> input;

  ~OpenEntry() {
    if (inflating) inflateEnd(&stream);
  }
};

struct ArchiveState {
  std::unique_ptr<Source> source;
  uint64_t bytesBefore = 0;
  std::vector<CentralRecord> entries;
  std::unique_ptr<OpenEntry> open;
};

}  // namespace

struct UIZipArchive {
  uint32_t magic = kHandleMagic;
  ArchiveState state;
};

namespace {

bool ValidHandle(HZIPARCHIVE archive) {
  return archive != nullptr && archive->magic == kHandleMagic;
}

// Finds the end-of-central-directory record in the last 64 KiB and reads the
// central directory it points to.
ZipResult ReadDirectory(ArchiveState& state) {
  const Source& source = *state.source;
  const uint64_t size = source.Size();
  if (size < kEndRecordSize) return kZipCorrupt;
  const uint32_t span = static_cast<uint32_t>(std::min<uint64_t>(size, kEndSearchSpan));
  std::vector<uint8_t> tail(span);
  const uint64_t tailStart = size - span;
  if (!source.ReadExact(tailStart, tail.data(), span)) return kZipReadFailed;
  int64_t found = -1;
  for (int64_t p = static_cast<int64_t>(span) - kEndRecordSize; p >= 0; --p) {
    if (tail[p] == 0x50 && tail[p + 1] == 0x4B && tail[p + 2] == 0x05 && tail[p + 3] == 0x06) {
      found = p;
      break;
    }
  }
  if (found < 0) return kZipCorrupt;
  const uint8_t* end = tail.data() + found;
  const uint16_t disk = Get16(end + 4);
  const uint16_t directoryDisk = Get16(end + 6);
  const uint16_t entriesHere = Get16(end + 8);
  const uint16_t entriesTotal = Get16(end + 10);
  const uint32_t directorySize = Get32(end + 12);
  const uint32_t directoryOffset = Get32(end + 16);
  if (disk != 0 || directoryDisk != 0 || entriesHere != entriesTotal) return kZipCorrupt;
  const uint64_t endPosition = tailStart + static_cast<uint64_t>(found);
  const uint64_t directoryEnd = static_cast<uint64_t>(directoryOffset) + directorySize;
  if (endPosition < directoryEnd) return kZipCorrupt;
  state.bytesBefore = endPosition - directoryEnd;

  std::vector<uint8_t> directory(directorySize);
  if (directorySize > 0 &&
      !source.ReadExact(state.bytesBefore + directoryOffset, directory.data(), directorySize)) {
    return kZipReadFailed;
  }
  state.entries.reserve(entriesTotal);
  uint32_t pos = 0;
  for (uint32_t i = 0; i < entriesTotal; ++i) {
    if (directorySize - pos < kCentralRecordSize) return kZipCorrupt;
    const uint8_t* r = directory.data() + pos;
    if (Get32(r) != 0x02014B50) return kZipCorrupt;
    const uint32_t nameLength = Get16(r + 28);
    const uint32_t extraLength = Get16(r + 30);
    const uint32_t commentLength = Get16(r + 32);
    const uint32_t recordSize = kCentralRecordSize + nameLength + extraLength + commentLength;
    if (directorySize - pos < recordSize) return kZipCorrupt;
    CentralRecord record;
    record.versionMadeBy = Get16(r + 4);
    record.flags = Get16(r + 8);
    record.method = Get16(r + 10);
    record.dosTime = Get16(r + 12);
    record.dosDate = Get16(r + 14);
    record.crc = Get32(r + 16);
    record.compressedSize = Get32(r + 20);
    record.unpackedSize = Get32(r + 24);
    record.externalAttributes = Get32(r + 38);
    record.localOffset = Get32(r + 42);
    record.name.assign(reinterpret_cast<const char*>(r + kCentralRecordSize), nameLength);
    state.entries.push_back(std::move(record));
    pos += recordSize;
  }
  return kZipOk;
}

FILETIME FromDos(uint16_t date, uint16_t time) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(((date >> 9) & 0x7F) + 1980);
  st.wMonth = static_cast<WORD>((date >> 5) & 0x0F);
  st.wDay = static_cast<WORD>(date & 0x1F);
  st.wHour = static_cast<WORD>((time >> 11) & 0x1F);
  st.wMinute = static_cast<WORD>((time >> 5) & 0x3F);
  st.wSecond = static_cast<WORD>((time & 0x1F) * 2);
  FILETIME local = {};
  FILETIME utc = {};
  if (!::SystemTimeToFileTime(&st, &local) || !::LocalFileTimeToFileTime(&local, &utc)) {
    return FILETIME{};
  }
  return utc;
}

FILETIME FromUnix(uint32_t seconds) {
  const uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const CentralRecord& record) {
  const uint32_t dos = record.externalAttributes & 0xFF;
  DWORD attributes =
      dos & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
             FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE);
  if ((record.versionMadeBy >> 8) == 3) {  // made on Unix: the mode is in the high word
    const uint32_t mode = record.externalAttributes >> 16;
    if ((mode & 0170000) == 0040000) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((mode & 0200) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  }
  if (!record.name.empty() && record.name.back() == '/') attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) attributes |= FILE_ATTRIBUTE_ARCHIVE;
  return attributes;
}

// The times of the extended-timestamp field ("UT") of the local header,
// where the entry has one.
void ReadLocalTimes(const ArchiveState& state, const CentralRecord& record, UIZipEntry* entry) {
  uint8_t header[kLocalHeaderSize];
  const uint64_t local = state.bytesBefore + record.localOffset;
  if (!state.source->ReadExact(local, header, kLocalHeaderSize) || Get32(header) != 0x04034B50) {
    return;
  }
  const uint32_t nameLength = Get16(header + 26);
  const uint32_t extraLength = Get16(header + 28);
  if (extraLength == 0) return;
  std::vector<uint8_t> extra(extraLength);
  if (!state.source->ReadExact(local + kLocalHeaderSize + nameLength, extra.data(), extraLength)) {
    return;
  }
  for (uint32_t pos = 0; pos + 4 <= extraLength;) {
    const uint16_t tag = Get16(&extra[pos]);
    const uint32_t size = Get16(&extra[pos + 2]);
    const uint32_t body = pos + 4;
    if (size > extraLength - body) return;
    if (tag == 0x5455 && size >= 1) {
      const uint8_t flags = extra[body];
      uint32_t at = body + 1;
      FILETIME* targets[3] = {&entry->modifiedTime, &entry->accessTime, &entry->creationTime};
      for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1 << bit))) continue;
        if (at + 4 > body + size) return;
        *targets[bit] = FromUnix(Get32(&extra[at]));
        at += 4;
      }
      return;
    }
    pos = body + size;
  }
}

void FillEntry(const ArchiveState& state, int index, UIZipEntry* entry) {
  const CentralRecord& record = state.entries[index];
  *entry = UIZipEntry{};
  entry->index = index;
  if (!record.name.empty()) {
    const int n =
        ::MultiByteToWideChar(CP_ACP, 0, record.name.data(), static_cast<int>(record.name.size()),
                              entry->name, MAX_PATH - 1);
    entry->name[n > 0 ? n : 0] = 0;  // a name too long for the record is dropped, not overrun
  }
  entry->attributes = AttributesOf(record);
  entry->modifiedTime = FromDos(record.dosDate, record.dosTime);
  entry->accessTime = entry->modifiedTime;
  entry->creationTime = entry->modifiedTime;
  ReadLocalTimes(state, record, entry);
  entry->compressedSize = record.compressedSize;
  entry->unpackedSize = record.unpackedSize;
}

bool NamesEqual(const std::string& stored, const std::string& wanted, bool ignoreCase) {
  if (stored.size() != wanted.size()) return false;
  for (size_t i = 0; i < stored.size(); ++i) {
    char a = stored[i];
    char b = wanted[i];
    if (ignoreCase) {
      if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
      if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    }
    if (a != b) return false;
  }
  return true;
}

// Checks the local header against the directory and prepares reading.
ZipResult OpenEntryAt(ArchiveState& state, int index) {
  const CentralRecord& record = state.entries[index];
  if (record.flags & 1) return kZipCorrupt;  // encrypted: this reader does not decrypt
  if (record.method != 0 && record.method != 8) return kZipCorrupt;
  if (record.unpackedSize > kZipMaxUnpackedSize) return kZipCorrupt;
  if (record.method == 0 && record.compressedSize != record.unpackedSize) return kZipCorrupt;
  uint8_t header[kLocalHeaderSize];
  const uint64_t local = state.bytesBefore + record.localOffset;
  if (!state.source->ReadExact(local, header, kLocalHeaderSize)) return kZipCorrupt;
  if (Get32(header) != 0x04034B50) return kZipCorrupt;
  const uint16_t flags = Get16(header + 6);
  if (Get16(header + 8) != record.method) return kZipCorrupt;
  if (!(flags & 8) &&
      (Get32(header + 14) != record.crc || Get32(header + 18) != record.compressedSize ||
       Get32(header + 22) != record.unpackedSize)) {
    return kZipCorrupt;
  }
  const uint64_t data = local + kLocalHeaderSize + Get16(header + 26) + Get16(header + 28);
  if (data > state.source->Size() || state.source->Size() - data < record.compressedSize) {
    return kZipCorrupt;  // the entry's data would run past the archive
  }
  auto open = std::make_unique<OpenEntry>();
  open->index = index;
  open->method = record.method;
  open->dataOffset = data;
  open->compressedLeft = record.compressedSize;
  open->expectedSize = record.unpackedSize;
  open->expectedCrc = record.crc;
  open->crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  if (record.method == 8) {
    open->input.reset(new uint8_t[kInputBufferSize]);
    if (inflateInit2(&open->stream, -MAX_WBITS) != Z_OK) return kZipInflateFailed;
    open->inflating = true;
  }
  state.open = std::move(open);
  return kZipOk;
}

// Refills the inflate input from the entry's compressed bytes.
ZipResult Refill(const Source& source, OpenEntry& open) {
  if (open.stream.avail_in > 0 || open.compressedLeft == 0) return kZipOk;
  const uint32_t n = std::min(open.compressedLeft, kInputBufferSize);
  if (!source.ReadExact(open.dataOffset, open.input.get(), n)) return kZipReadFailed;
  open.dataOffset += n;
  open.compressedLeft -= n;
  open.stream.next_in = open.input.get();
  open.stream.avail_in = n;
  return kZipOk;
}

// Inflates into `out` (up to `room` bytes); stops at the stream's end.
ZipResult InflateSome(const Source& source, OpenEntry& open, uint8_t* out, uint32_t room,
                      uint32_t* produced) {
  *produced = 0;
  while (*produced < room && !open.streamEnded) {
    if (ZipResult r = Refill(source, open); r != kZipOk) return r;
    open.stream.next_out = out + *produced;
    open.stream.avail_out = room - *produced;
    const uInt inBefore = open.stream.avail_in;
    const int status = inflate(&open.stream, Z_NO_FLUSH);
    const uint32_t made = (room - *produced) - open.stream.avail_out;
    *produced += made;
    if (status == Z_STREAM_END) {
      open.streamEnded = true;
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      return kZipInflateFailed;
    } else if (made == 0 && open.stream.avail_in == inBefore && open.compressedLeft == 0) {
      return kZipInflateFailed;  // the compressed data ran out before the stream ended
    }
  }
  return kZipOk;
}

// Once the declared size has arrived: the stream must end there and the
// CRC-32 must match.
ZipResult CheckComplete(const Source& source, OpenEntry& open) {
  if (open.method == 8 && !open.streamEnded) {
    uint8_t extra = 0;
    uint32_t produced = 0;
    if (ZipResult r = InflateSome(source, open, &extra, 1, &produced); r != kZipOk) return r;
    if (produced != 0) return kZipCorrupt;  // longer than declared
  }
  if (open.crc != open.expectedCrc) return kZipCorrupt;
  open.checked = true;
  return kZipOk;
}

ZipResult Unpack(ArchiveState& state, int index, uint8_t* buffer, uint32_t size) {
  if (state.open != nullptr && state.open->index != index) state.open.reset();
  if (state.open == nullptr) {
    if (ZipResult r = OpenEntryAt(state, index); r != kZipOk) {
      state.open.reset();
      return r;
    }
  }
  OpenEntry& open = *state.open;
  const Source& source = *state.source;
  const uint32_t room = std::min(size, open.expectedSize - open.delivered);
  uint32_t produced = 0;
  ZipResult result = kZipOk;
  if (open.method == 0) {
    if (room > 0 && !source.ReadExact(open.dataOffset, buffer, room)) {
      result = kZipReadFailed;
    } else {
      open.dataOffset += room;
      open.compressedLeft -= room;
      produced = room;
    }
  } else {
    result = InflateSome(source, open, buffer, room, &produced);
    if (result == kZipOk && open.streamEnded && open.delivered + produced < open.expectedSize) {
      result = kZipCorrupt;  // shorter than declared
    }
  }
  if (result == kZipOk && produced > 0) {
    open.crc = static_cast<uint32_t>(crc32(open.crc, buffer, produced));
  }
  open.delivered += produced;
  if (result == kZipOk && open.delivered == open.expectedSize && !open.checked) {
    result = CheckComplete(source, open);
  }
  if (result != kZipOk) {
    state.open.reset();
    return result;
  }
  if (produced > 0 || open.delivered < open.expectedSize) return kZipMore;
  state.open.reset();
  return kZipOk;
}

}  // namespace

HZIPARCHIVE OpenArchive(const void* source, uint32_t length, ZipSource kind) {
  if (source == nullptr) {
    Report(kZipBadArguments);
    return nullptr;
  }
  auto archive = std::make_unique<UIZipArchive>();
  switch (kind) {
    case ZipSource::kFileHandle: {
      HANDLE duplicate = nullptr;
      const HANDLE process = ::GetCurrentProcess();
      if (!::DuplicateHandle(process, const_cast<HANDLE>(source), process, &duplicate, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
        Report(kZipDuplicateFailed);
        return nullptr;
      }
      ScopedKernelHandle file(duplicate);
      LARGE_INTEGER zero = {};
      LARGE_INTEGER start = {};
      LARGE_INTEGER size = {};
      if (::GetFileType(file.get()) != FILE_TYPE_DISK ||
          !::SetFilePointerEx(file.get(), zero, &start, FILE_CURRENT) ||
          !::GetFileSizeEx(file.get(), &size) || size.QuadPart < start.QuadPart) {
        Report(kZipNotDiskFile);
        return nullptr;
      }
      archive->state.source = std::make_unique<Source>(
          std::move(file), start.QuadPart, static_cast<uint64_t>(size.QuadPart - start.QuadPart));
      break;
    }
    case ZipSource::kFileName: {
      ScopedKernelHandle file(::CreateFileW(static_cast<const wchar_t*>(source), GENERIC_READ,
                                            FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file.get() == INVALID_HANDLE_VALUE) {
        (void)file.release();  // INVALID_HANDLE_VALUE is not a handle to close
        Report(kZipOpenFailed);
        return nullptr;
      }
      LARGE_INTEGER size = {};
      if (!::GetFileSizeEx(file.get(), &size)) {
        Report(kZipReadFailed);
        return nullptr;
      }
      archive->state.source =
          std::make_unique<Source>(std::move(file), 0, static_cast<uint64_t>(size.QuadPart));
      break;
    }
    case ZipSource::kMemory:
      archive->state.source = std::make_unique<Source>(static_cast<const uint8_t*>(source), length);
      break;
    default:
      Report(kZipBadArguments);
      return nullptr;
  }
  if (ZipResult r = ReadDirectory(archive->state); r != kZipOk) {
    Report(r);
    return nullptr;
  }
  Report(kZipOk);
  return archive.release();
}

ZipResult FindArchiveEntry(HZIPARCHIVE archive, const wchar_t* name, bool ignoreCase, int* index,
                           UIZipEntry* entry) {
  if (index != nullptr) *index = -1;
  if (!ValidHandle(archive)) return Report(kZipNotUnzipHandle);
  if (name == nullptr || index == nullptr || entry == nullptr) return Report(kZipBadArguments);
  const int wideLength = static_cast<int>(wcslen(name));
  std::string wanted;
  if (wideLength > 0) {
    char buffer[256];
    const int n = ::WideCharToMultiByte(CP_ACP, 0, name, wideLength, buffer, 255, nullptr, nullptr);
    if (n <= 0) return Report(kZipBadArguments);  // longer than 255 characters
    wanted.assign(buffer, n);
  }
  std::replace(wanted.begin(), wanted.end(), '\\', '/');
  const ArchiveState& state = archive->state;
  for (size_t i = 0; i < state.entries.size(); ++i) {
    if (NamesEqual(state.entries[i].name, wanted, ignoreCase)) {
      *index = static_cast<int>(i);
      FillEntry(state, *index, entry);
      return Report(kZipOk);
    }
  }
  *entry = UIZipEntry{};
  entry->index = -1;
  return Report(kZipNotFound);
}

ZipResult GetArchiveEntry(HZIPARCHIVE archive, int index, UIZipEntry* entry) {
  if (!ValidHandle(archive)) return Report(kZipNotUnzipHandle);
  if (entry == nullptr) return Report(kZipBadArguments);
  const ArchiveState& state = archive->state;
  if (index == -1) {
    *entry = UIZipEntry{};
    entry->index = static_cast<int>(state.entries.size());
    return Report(kZipOk);
  }
  if (index < 0 || static_cast<size_t>(index) >= state.entries.size()) {
    return Report(kZipBadArguments);
  }
  FillEntry(state, index, entry);
  return Report(kZipOk);
}

ZipResult UnpackEntry(HZIPARCHIVE archive, int index, void* buffer, uint32_t size) {
  if (!ValidHandle(archive)) return Report(kZipNotUnzipHandle);
  ArchiveState& state = archive->state;
  if (index < 0 || static_cast<size_t>(index) >= state.entries.size() ||
      (buffer == nullptr && size > 0)) {
    return Report(kZipBadArguments);
  }
  return Report(Unpack(state, index, static_cast<uint8_t*>(buffer), size));
}

ZipResult CloseArchive(HZIPARCHIVE archive) {
  if (!ValidHandle(archive)) return Report(kZipNotUnzipHandle);
  archive->magic = 0;
  delete archive;
  return Report(kZipOk);
}

ZipResult LastArchiveResult() {
  return g_lastResult;
}

}  // namespace SkinUI
