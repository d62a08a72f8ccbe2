// Seeded random damage to a valid skin archive and to both skin documents:
// every mutation must be rejected or read cleanly, never crash or hang.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "SkinFixtures.h"
#include "SkinUI/Core/MarkupDoc.h"
#include "SkinUI/Core/MarkupElement.h"
#include "SkinUI/Utils/ZipArchive.h"

namespace SkinUI {
namespace {

constexpr int kZipMutations = 40000;
constexpr int kDocumentMutations = 30000;  // per document
// Far above the few seconds the runs take; a slower run means a loop that
// should not be there.
constexpr auto kBudget = std::chrono::seconds(90);

std::string Mutate(const std::string& original, std::mt19937& rng) {
  std::string s = original;
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits && !s.empty(); ++e) {
    const size_t at = rng() % s.size();
    switch (rng() % 6) {
      case 0:  // flip bits
        s[at] = static_cast<char>(s[at] ^ (1 << (rng() % 8)));
        break;
      case 1:  // an interesting byte
      {
        static const char kBytes[] = {0, '\x7F', '\x80', '\xFF', '<', '>', '"', '&', '/', '=', '!'};
        s[at] = kBytes[rng() % sizeof(kBytes)];
        break;
      }
      case 2:  // truncate
        s.resize(at);
        break;
      case 3:  // remove a run
        s.erase(at, 1 + rng() % 16);
        break;
      case 4:  // duplicate a run
        s.insert(at, s.substr(rng() % s.size(), 1 + rng() % 16));
        break;
      default:  // random 32-bit value (sizes, offsets)
        for (int i = 0; i < 4 && at + i < s.size(); ++i) s[at + i] = static_cast<char>(rng());
        break;
    }
  }
  return s;
}

void Walk(CMarkupElement e, int depth, int& seen) {
  for (; e.Exists() && seen < 100000; e = e.NextSibling()) {
    ++seen;
    wchar_t buffer[500] = {};
    (void)e.ElementName();
    for (int i = 0; i < e.AttributeCount(); ++i) {
      (void)e.AttributeName(i);
      (void)e.AttributeValue(i);
    }
    e.CopyAttributeValue(L"name", buffer);
    if (depth < 600) Walk(e.FirstChild(), depth + 1, seen);
  }
}

TEST(RobustnessTest, MutatedArchivesNeverCrashOrHang) {
  const std::string valid = skin_fixtures::BuildZip(
      {{"InstallPackages.xml", skin_fixtures::MessageBoxXml().substr(0, 600), 8},
       {"opt_000.png", skin_fixtures::SolidPng(4, 4, 0xFF336699), 0},
       {"dir/x", std::string(300, 'x'), 8}},
      {"", "comment"});
  std::mt19937 rng(20240315);
  const auto start = std::chrono::steady_clock::now();
  std::vector<char> buffer(64 * 1024);
  int opened = 0;
  int unpacked = 0;
  for (int i = 0; i < kZipMutations; ++i) {
    const std::string zip = Mutate(valid, rng);
    HZIPARCHIVE archive =
        OpenArchive(zip.data(), static_cast<uint32_t>(zip.size()), ZipSource::kMemory);
    if (archive == nullptr) continue;
    ++opened;
    UIZipEntry entry;
    int count = 0;
    if (GetArchiveEntry(archive, -1, &entry) == kZipOk) count = entry.index;
    int index = -1;
    (void)FindArchiveEntry(archive, L"OPT_000.PNG", true, &index, &entry);
    for (int e = 0; e < count && e < 8; ++e) {
      if (GetArchiveEntry(archive, e, &entry) != kZipOk) continue;
      ZipResult r = kZipMore;
      // The reads are bounded: each either delivers bytes or ends the entry.
      for (int step = 0; step < 1100 && r == kZipMore; ++step) {
        r = UnpackEntry(archive, e, buffer.data(), static_cast<uint32_t>(buffer.size()));
      }
      EXPECT_NE(r, kZipMore) << "mutation " << i;
      if (r == kZipOk) ++unpacked;
    }
    CloseArchive(archive);
    ASSERT_LT(std::chrono::steady_clock::now() - start, kBudget) << "at mutation " << i;
  }
  // The mutations must not all be rejected at the door.
  EXPECT_GT(opened, kZipMutations / 10);
  EXPECT_GT(unpacked, kZipMutations / 20);
}

TEST(RobustnessTest, MutatedSkinDocumentsNeverCrashOrHang) {
  const std::string documents[] = {skin_fixtures::InstallPackagesXml(),
                                   skin_fixtures::MessageBoxXml()};
  std::mt19937 rng(7);
  const auto start = std::chrono::steady_clock::now();
  int parsed = 0;
  for (const std::string& valid : documents) {
    for (int i = 0; i < kDocumentMutations; ++i) {
      const std::string text = Mutate(valid, rng);
      CMarkupDoc doc;
      if (doc.LoadMemory(text.data(), text.size())) {
        ++parsed;
        int seen = 0;
        Walk(doc.RootElement(), 0, seen);
      } else {
        EXPECT_NE(doc.ErrorMessage()[0], 0);
        EXPECT_FALSE(doc.RootElement().Exists());
      }
      ASSERT_LT(std::chrono::steady_clock::now() - start, kBudget) << "at mutation " << i;
    }
  }
  EXPECT_GT(parsed, kDocumentMutations / 10);
}

}  // namespace
}  // namespace SkinUI
