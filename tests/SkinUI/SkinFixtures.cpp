#include "SkinFixtures.h"

#include <zlib.h>

#include <stdexcept>

#include "PngWriter.h"
#include "SkinUI/Core/PaintManager.h"

namespace skin_fixtures {

void ResourceSettingsTest::Reset() {
  SkinUI::CPaintManager::ReleaseResourceArchive();
  SkinUI::CPaintManager::SetResourceFolder(L"");
}

namespace {

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
uint32_t Get16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8);
}
uint32_t Get32(const std::string& s, size_t at) {
  return Get16(s, at) | (Get16(s, at + 2) << 16);
}

}  // namespace

std::string DeflateRaw(const std::string& data) {
  z_stream stream = {};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&stream, data.size()) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string BuildZip(const std::vector<ZipItem>& items, const ZipOptions& options) {
  std::string zip;
  std::string central;
  for (size_t i = 0; i < items.size(); ++i) {
    const ZipItem& item = items[i];
    const std::string packed = !item.packedOverride.empty() ? item.packedOverride
                               : item.method == 8           ? DeflateRaw(item.data)
                                                            : item.data;
    const uint32_t crc = static_cast<uint32_t>(crc32(
        0, reinterpret_cast<const Bytef*>(item.data.data()), static_cast<uInt>(item.data.size())));
    std::string extra;
    if (i == 0) {  // UT: modification time only
      Put16(extra, 0x5455);
      Put16(extra, 5);
      extra.push_back(1);
      Put32(extra, 1600000000u);
    }
    const uint32_t offset = static_cast<uint32_t>(zip.size());
    Put32(zip, 0x04034B50);
    Put16(zip, 20);
    Put16(zip, 0);
    Put16(zip, static_cast<uint32_t>(item.method));
    Put16(zip, 0x6000);                     // 12:00:00
    Put16(zip, (44 << 9) | (3 << 5) | 15);  // 2024-03-15
    Put32(zip, crc);
    Put32(zip, static_cast<uint32_t>(packed.size()));
    Put32(zip, static_cast<uint32_t>(item.data.size()));
    Put16(zip, static_cast<uint32_t>(item.name.size()));
    Put16(zip, static_cast<uint32_t>(extra.size()));
    zip += item.name + extra + packed;

    Put32(central, 0x02014B50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, 0);
    Put16(central, static_cast<uint32_t>(item.method));
    Put16(central, 0x6000);
    Put16(central, (44 << 9) | (3 << 5) | 15);
    Put32(central, crc);
    Put32(central, static_cast<uint32_t>(packed.size()));
    Put32(central, static_cast<uint32_t>(item.data.size()));
    Put16(central, static_cast<uint32_t>(item.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0x20);
    Put32(central, offset);
    central += item.name;
  }
  const uint32_t directoryOffset = static_cast<uint32_t>(zip.size());
  zip += central;
  Put32(zip, 0x06054B50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<uint32_t>(items.size()));
  Put16(zip, static_cast<uint32_t>(items.size()));
  Put32(zip, static_cast<uint32_t>(central.size()));
  Put32(zip, directoryOffset);
  Put16(zip, static_cast<uint32_t>(options.comment.size()));
  zip += options.comment;
  return options.prefix + zip;
}

std::vector<ZipLayout> LayoutOf(const std::string& zip) {
  std::vector<ZipLayout> layout;
  const size_t end = zip.rfind(std::string("PK\x05\x06", 4));
  const size_t count = Get16(zip, end + 10);
  const size_t directorySize = Get32(zip, end + 12);
  const size_t prefix = end - directorySize - Get32(zip, end + 16);
  size_t pos = end - directorySize;
  for (size_t i = 0; i < count; ++i) {
    const size_t local = prefix + Get32(zip, pos + 42);
    const size_t data = local + 30 + Get16(zip, local + 26) + Get16(zip, local + 28);
    layout.push_back({local, data, Get32(zip, pos + 20), pos});
    pos += 46 + Get16(zip, pos + 28) + Get16(zip, pos + 30) + Get16(zip, pos + 32);
  }
  return layout;
}

std::string EncodePng(int width, int height, const std::vector<uint32_t>& argb) {
  std::vector<uint8_t> rgba;
  rgba.reserve(argb.size() * 4);
  for (uint32_t p : argb) {
    rgba.push_back(static_cast<uint8_t>(p >> 16));
    rgba.push_back(static_cast<uint8_t>(p >> 8));
    rgba.push_back(static_cast<uint8_t>(p));
    rgba.push_back(static_cast<uint8_t>(p >> 24));
  }
  std::string png;
  if (!skinrender::EncodePng(width, height, rgba.data(), png)) {
    throw std::runtime_error("EncodePng");
  }
  return png;
}

std::string SolidPng(int width, int height, uint32_t argb) {
  return EncodePng(width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, argb));
}

}  // namespace skin_fixtures
