#include "SkinUI/Utils/ZipArchive.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SkinFixtures.h"
#include "support/TempDir.h"

namespace SkinUI {
namespace {

using skin_fixtures::BuildZip;
using skin_fixtures::ZipItem;

const std::string kTen = "0123456789";

// Opens a memory archive; the bytes must outlive it.
struct MemoryArchive {
  explicit MemoryArchive(const std::string& bytes)
      : handle(OpenArchive(bytes.data(), static_cast<uint32_t>(bytes.size()), ZipSource::kMemory)) {
  }
  ~MemoryArchive() {
    if (handle) CloseArchive(handle);
  }
  HZIPARCHIVE handle;
};

std::string Unpack(HZIPARCHIVE archive, int index, ZipResult* result) {
  UIZipEntry entry;
  EXPECT_EQ(GetArchiveEntry(archive, index, &entry), kZipOk);
  std::string out(entry.unpackedSize, '\0');
  *result = UnpackEntry(archive, index, out.data(), entry.unpackedSize);
  return out;
}

TEST(ZipArchiveTest, UnpacksStoredAndDeflatedEntries) {
  const std::string big(100000, 'x');
  const std::string zip =
      BuildZip({{"a.txt", kTen, 0}, {"dir/b.xml", big + kTen, 8}, {"empty", "", 8}});
  MemoryArchive archive(zip);
  ASSERT_NE(archive.handle, nullptr);
  UIZipEntry entry;
  ASSERT_EQ(GetArchiveEntry(archive.handle, -1, &entry), kZipOk);
  EXPECT_EQ(entry.index, 3);

  ZipResult r;
  EXPECT_EQ(Unpack(archive.handle, 0, &r), kTen);
  EXPECT_EQ(r, kZipMore);
  EXPECT_EQ(Unpack(archive.handle, 1, &r), big + kTen);
  EXPECT_EQ(r, kZipMore);
  EXPECT_EQ(Unpack(archive.handle, 2, &r), "");
  EXPECT_EQ(r, kZipOk);

  ASSERT_EQ(GetArchiveEntry(archive.handle, 1, &entry), kZipOk);
  EXPECT_STREQ(entry.name, L"dir/b.xml");
  EXPECT_EQ(entry.unpackedSize, big.size() + 10);
  EXPECT_LT(entry.compressedSize, entry.unpackedSize);
}

TEST(ZipArchiveTest, TenByteEntryIntoTenByteBufferGivesMoreThenReopens) {
  const std::string zip = BuildZip({{"ten", kTen, 8}});
  MemoryArchive archive(zip);
  ASSERT_NE(archive.handle, nullptr);
  char buffer[10] = {};
  EXPECT_EQ(UnpackEntry(archive.handle, 0, buffer, 10), kZipMore);
  EXPECT_EQ(std::string(buffer, 10), kTen);
  EXPECT_EQ(LastArchiveResult(), kZipMore);
  // Nothing more: the entry closes with success.
  EXPECT_EQ(UnpackEntry(archive.handle, 0, buffer, 10), kZipOk);
  // And the next call starts it again from the beginning.
  char again[4] = {};
  EXPECT_EQ(UnpackEntry(archive.handle, 0, again, 4), kZipMore);
  EXPECT_EQ(std::string(again, 4), "0123");
  EXPECT_EQ(UnpackEntry(archive.handle, 0, again, 4), kZipMore);
  EXPECT_EQ(std::string(again, 4), "4567");
}

TEST(ZipArchiveTest, OpensWithTheLongestCommentAndFailsWithoutEndRecord) {
  const std::string zip = BuildZip({{"a", kTen, 8}}, {"", std::string(65535 - 22, 'c')});
  MemoryArchive archive(zip);
  ASSERT_NE(archive.handle, nullptr);
  ZipResult r;
  EXPECT_EQ(Unpack(archive.handle, 0, &r), kTen);

  const std::string noEnd = zip.substr(0, zip.size() - (65535 - 22) - 22);
  MemoryArchive broken(noEnd);
  EXPECT_EQ(broken.handle, nullptr);
  EXPECT_EQ(LastArchiveResult(), kZipCorrupt);
  MemoryArchive tiny(std::string("PK"));
  EXPECT_EQ(tiny.handle, nullptr);
}

TEST(ZipArchiveTest, ArchiveAfterOtherDataOpensFromFileAndMemory) {
  const std::string zip =
      BuildZip({{"x/skin.xml", "<Window/>", 8}, {"y.png", kTen, 0}}, {std::string(4000, 'M'), ""});
  MemoryArchive archive(zip);
  ASSERT_NE(archive.handle, nullptr);
  ZipResult r;
  EXPECT_EQ(Unpack(archive.handle, 0, &r), "<Window/>");
  EXPECT_EQ(Unpack(archive.handle, 1, &r), kTen);

  TempDir dir;
  WriteFileBytes(dir.File(L"skin.bin"), zip);
  HZIPARCHIVE file = OpenArchive(dir.File(L"skin.bin").c_str(), 0, ZipSource::kFileName);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(Unpack(file, 1, &r), kTen);
  EXPECT_EQ(CloseArchive(file), kZipOk);

  HANDLE h = ::CreateFileW(dir.File(L"skin.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  HZIPARCHIVE byHandle = OpenArchive(h, 0, ZipSource::kFileHandle);
  ::CloseHandle(h);  // the archive holds its own duplicate
  ASSERT_NE(byHandle, nullptr);
  EXPECT_EQ(Unpack(byHandle, 0, &r), "<Window/>");
  CloseArchive(byHandle);

  EXPECT_EQ(OpenArchive(dir.File(L"missing.zip").c_str(), 0, ZipSource::kFileName), nullptr);
  EXPECT_EQ(LastArchiveResult(), kZipOpenFailed);
}

TEST(ZipArchiveTest, FindFoldsAsciiCaseAndBackslashes) {
  const std::string zip = BuildZip({{"skin/install_0.png", kTen, 0}, {"other", "", 0}});
  MemoryArchive archive(zip);
  ASSERT_NE(archive.handle, nullptr);
  int index = -2;
  UIZipEntry entry;
  EXPECT_EQ(FindArchiveEntry(archive.handle, L"SKIN\\Install_0.PNG", true, &index, &entry), kZipOk);
  EXPECT_EQ(index, 0);
  EXPECT_STREQ(entry.name, L"skin/install_0.png");
  EXPECT_EQ(FindArchiveEntry(archive.handle, L"SKIN\\Install_0.PNG", false, &index, &entry),
            kZipNotFound);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(FindArchiveEntry(archive.handle, L"skin\\install_0.png", false, &index, &entry),
            kZipOk);
  const std::wstring tooLong(256, L'a');
  EXPECT_EQ(FindArchiveEntry(archive.handle, tooLong.c_str(), true, &index, &entry),
            kZipBadArguments);
}

TEST(ZipArchiveTest, EntryTimesComeFromTheExtendedTimestamp) {
  const std::string zip = BuildZip({{"stamped", kTen, 8}, {"dos", kTen, 8}});
  MemoryArchive archive(zip);
  ASSERT_NE(archive.handle, nullptr);
  UIZipEntry entry;
  ASSERT_EQ(GetArchiveEntry(archive.handle, 0, &entry), kZipOk);
  ULARGE_INTEGER t;
  t.LowPart = entry.modifiedTime.dwLowDateTime;
  t.HighPart = entry.modifiedTime.dwHighDateTime;
  EXPECT_EQ(t.QuadPart, (1600000000ull + 11644473600ull) * 10000000ull);
  ASSERT_EQ(GetArchiveEntry(archive.handle, 1, &entry), kZipOk);
  SYSTEMTIME utc, local;
  ASSERT_TRUE(::FileTimeToSystemTime(&entry.modifiedTime, &utc));
  ASSERT_TRUE(::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
  EXPECT_EQ(local.wYear, 2024);
  EXPECT_EQ(local.wMonth, 3);
  EXPECT_EQ(local.wDay, 15);
  EXPECT_EQ(entry.attributes & FILE_ATTRIBUTE_ARCHIVE, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST(ZipArchiveTest, BadArgumentsAndHandles) {
  const std::string zip = BuildZip({{"a", kTen, 8}});
  MemoryArchive archive(zip);
  ASSERT_NE(archive.handle, nullptr);
  UIZipEntry entry;
  char buffer[10];
  EXPECT_EQ(GetArchiveEntry(archive.handle, 1, &entry), kZipBadArguments);
  EXPECT_EQ(UnpackEntry(archive.handle, 1, buffer, 10), kZipBadArguments);
  EXPECT_EQ(UnpackEntry(archive.handle, -1, buffer, 10), kZipBadArguments);
  EXPECT_EQ(UnpackEntry(nullptr, 0, buffer, 10), kZipNotUnzipHandle);
  EXPECT_EQ(CloseArchive(nullptr), kZipNotUnzipHandle);
  EXPECT_EQ(OpenArchive(nullptr, 0, ZipSource::kMemory), nullptr);
}

// Damages one byte (or range) of a valid archive and checks the unpack fails
// without delivering success.
TEST(ZipArchiveTest, DamagedEntriesFail) {
  const std::string payload = std::string(3000, 'p') + "end";
  const std::string good = BuildZip({{"d", payload, 8}, {"s", kTen, 0}});
  const auto layout = skin_fixtures::LayoutOf(good);
  struct Case {
    const char* what;
    std::string bytes;
    int index;
    std::vector<ZipResult> allowed;
  };
  std::vector<Case> cases;
  {
    std::string z = good;  // method 9 in both headers
    z[layout[0].localHeader + 8] = 9;
    z[layout[0].centralRecord + 10] = 9;
    cases.push_back({"unknown method", z, 0, {kZipCorrupt}});
  }
  {
    std::string z = good;  // a payload byte changed: the CRC no longer matches
    z[layout[1].data + 3] ^= 0x20;
    cases.push_back({"stored crc", z, 1, {kZipCorrupt}});
  }
  {
    std::string z = good;
    z[layout[0].data + layout[0].dataSize / 2] ^= 0x55;
    cases.push_back({"deflate garbage", z, 0, {kZipCorrupt, kZipInflateFailed}});
  }
  {
    // Declared one byte longer than the data inflate to, in both headers.
    std::string z = good;
    z[layout[0].localHeader + 22] = static_cast<char>(z[layout[0].localHeader + 22] + 1);
    z[layout[0].centralRecord + 24] = static_cast<char>(z[layout[0].centralRecord + 24] + 1);
    cases.push_back({"longer than the data", z, 0, {kZipCorrupt, kZipInflateFailed}});
  }
  {
    std::string z = good;  // declared one byte shorter
    z[layout[0].localHeader + 22] = static_cast<char>(z[layout[0].localHeader + 22] - 1);
    z[layout[0].centralRecord + 24] = static_cast<char>(z[layout[0].centralRecord + 24] - 1);
    cases.push_back({"shorter than the data", z, 0, {kZipCorrupt}});
  }
  {
    std::string z = good;  // compressed size pointing past the archive
    z[layout[0].localHeader + 21] = 0x7F;
    z[layout[0].centralRecord + 23] = 0x7F;
    cases.push_back({"data past the end", z, 0, {kZipCorrupt}});
  }
  {
    std::string z = good;  // unpacked size above 64 MiB
    z[layout[0].localHeader + 25] = 0x10;
    z[layout[0].centralRecord + 27] = 0x10;
    cases.push_back({"too large", z, 0, {kZipCorrupt}});
  }
  {
    std::string z = good;
    z[layout[0].localHeader] = 'Q';
    cases.push_back({"local signature", z, 0, {kZipCorrupt}});
  }
  for (const Case& c : cases) {
    MemoryArchive archive(c.bytes);
    ASSERT_NE(archive.handle, nullptr) << c.what;
    UIZipEntry entry;
    ASSERT_EQ(GetArchiveEntry(archive.handle, c.index, &entry), kZipOk) << c.what;
    std::string out(entry.unpackedSize < (1u << 20) ? entry.unpackedSize : 16, '\0');
    ZipResult r = kZipMore;
    // Keep reading while it says more: it must end in a failure.
    for (int i = 0; i < 8 && r == kZipMore; ++i) {
      r = UnpackEntry(archive.handle, c.index, out.data(), static_cast<uint32_t>(out.size()));
    }
    bool allowed = false;
    for (ZipResult a : c.allowed) allowed |= r == a;
    EXPECT_TRUE(allowed) << c.what << ": 0x" << std::hex << r;
  }
}

TEST(ZipArchiveTest, TruncatedEntryFailsInsteadOfLeavingAGarbageTail) {
  const std::string data(5000, 'q');
  for (int method : {8, 0}) {
    ZipItem item{"d", data, method, ""};
    // The compressed bytes stop half way; the headers still promise 5000.
    item.packedOverride =
        method == 8 ? skin_fixtures::DeflateRaw(data).substr(0, 8) : data.substr(0, 2500);
    const std::string zip = BuildZip({item});
    MemoryArchive archive(zip);
    ASSERT_NE(archive.handle, nullptr);
    std::string out(5000, '\0');
    const ZipResult r = UnpackEntry(archive.handle, 0, out.data(), 5000);
    EXPECT_TRUE(r == kZipCorrupt || r == kZipInflateFailed) << method << ": 0x" << std::hex << r;
  }
}

TEST(ZipArchiveTest, CorruptDirectoryFailsToOpen) {
  const std::string good = BuildZip({{"a", kTen, 8}, {"b", kTen, 8}});
  const auto layout = skin_fixtures::LayoutOf(good);
  std::string z = good;
  z[layout[1].centralRecord] = 'X';
  MemoryArchive badRecord(z);
  EXPECT_EQ(badRecord.handle, nullptr);
  EXPECT_EQ(LastArchiveResult(), kZipCorrupt);

  std::string counts = good;  // this-disk count differs from the total
  counts[counts.size() - 22 + 8] = 1;
  MemoryArchive badCounts(counts);
  EXPECT_EQ(badCounts.handle, nullptr);
}

}  // namespace
}  // namespace SkinUI
