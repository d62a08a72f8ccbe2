#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Fixtures the SkinUI tests build themselves: zip archives written with
// zlib, PNG images written with stb_image_write, and the installer's two
// skin documents.
namespace skin_fixtures {

// For suites that touch the paint manager's process-wide resource settings:
// every test starts and ends without resource folder or archive, so no test
// sees what another left behind.
class ResourceSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset();
};

struct ZipItem {
  ZipItem(std::string entryName, std::string bytes, int zipMethod = 8, std::string packed = {})
      : name(std::move(entryName)),
        data(std::move(bytes)),
        method(zipMethod),
        packedOverride(std::move(packed)) {}

  std::string name;
  std::string data;
  int method = 8;  // 0 stored, 8 deflated
  // When set, written as the entry's compressed bytes instead of `data`
  // packed; sizes and CRC still describe `data`.
  std::string packedOverride;
};

// Raw deflate (no zlib header), as zip entries hold it.
[[nodiscard]] std::string DeflateRaw(const std::string& data);

struct ZipOptions {
  std::string prefix;   // bytes in front of the archive
  std::string comment;  // archive comment
};

// A standard zip archive holding `items`, with a UT extra field on the
// first entry's local header (modification time 1,600,000,000).
[[nodiscard]] std::string BuildZip(const std::vector<ZipItem>& items,
                                   const ZipOptions& options = {});

// Offsets of one entry inside an archive made by BuildZip, for tests that
// damage it.
struct ZipLayout {
  size_t localHeader;
  size_t data;
  size_t dataSize;
  size_t centralRecord;
};
[[nodiscard]] std::vector<ZipLayout> LayoutOf(const std::string& zip);

// Straight (not premultiplied) AARRGGBB pixels, row-major, written as a PNG.
[[nodiscard]] std::string EncodePng(int width, int height, const std::vector<uint32_t>& rgba);
// A width x height image of one straight (not premultiplied) AARRGGBB colour.
[[nodiscard]] std::string SolidPng(int width, int height, uint32_t argb);

// The installer skin documents as UTF-8 with CR LF line ends;
// InstallPackages.xml starts with a byte-order mark.
[[nodiscard]] std::string InstallPackagesXml();
[[nodiscard]] std::string MessageBoxXml();

}  // namespace skin_fixtures
