#include "Dns/DnsMessage.h"

namespace {

constexpr size_t kHeaderSize = 12;
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeCname = 5;
// Response, standard query, not truncated, recursion desired, no error; the
// AA and RA bits are masked out before the comparison.
constexpr uint16_t kFlagsMask = 0xFB7F;
constexpr uint16_t kFlagsExpected = 0x8100;
// A length byte at or above this starts a compression pointer.
constexpr uint8_t kPointerMark = 64;
constexpr size_t kMaxLabel = 63;

uint16_t ReadBig16(const uint8_t* at) {
  return static_cast<uint16_t>((static_cast<unsigned>(at[0]) << 8) | at[1]);
}

void AppendBig16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

}  // namespace

bool BuildDnsQuery(const std::string& host, uint16_t queryId, std::vector<uint8_t>& query) {
  query.clear();
  if (host.size() > kDnsMaxHostLength) return false;
  std::vector<uint8_t> out;
  out.reserve(kDnsQueryBufferSize);
  out.push_back(static_cast<uint8_t>(queryId & 0xFF));
  out.push_back(static_cast<uint8_t>(queryId >> 8));
  AppendBig16(out, 0x0100);  // standard query, recursion desired
  AppendBig16(out, 1);       // one question
  AppendBig16(out, 0);
  AppendBig16(out, 0);
  AppendBig16(out, 0);
  bool anyLabel = false;
  size_t start = 0;
  while (start <= host.size()) {
    size_t dot = host.find('.', start);
    if (dot == std::string::npos) dot = host.size();
    const size_t size = dot - start;
    if (size > kMaxLabel) return false;
    if (size > 0) {
      out.push_back(static_cast<uint8_t>(size));
      out.insert(out.end(), host.begin() + static_cast<std::ptrdiff_t>(start),
                 host.begin() + static_cast<std::ptrdiff_t>(dot));
      anyLabel = true;
    }
    start = dot + 1;
  }
  if (!anyLabel) return false;
  out.push_back(0);
  AppendBig16(out, kTypeA);
  AppendBig16(out, 1);  // class IN
  query = std::move(out);
  return true;
}

bool ReadDnsName(const uint8_t* data, size_t length, size_t& offset, bool allowPointers,
                 std::string& name) {
  std::string dotted;
  size_t pos = offset;
  // Every pointer has to go back before the labels it continues, so the
  // positions visited strictly decrease at each jump and no loop can form.
  size_t runStart = offset;
  size_t end = 0;
  bool jumped = false;
  for (;;) {
    if (pos >= length) return false;
    const uint8_t size = data[pos];
    if (size == 0) {
      if (!jumped) end = pos + 1;
      break;
    }
    if (size >= kPointerMark) {
      if (!allowPointers || length - pos < 2) return false;
      const size_t target = (static_cast<size_t>(size & 0x3F) << 8) | data[pos + 1];
      if (target >= runStart) return false;
      if (!jumped) end = pos + 2;
      jumped = true;
      pos = runStart = target;
      continue;
    }
    if (length - pos - 1 < size) return false;
    if (dotted.size() + size + 1 > kDnsMaxNameSize) return false;
    dotted.append(reinterpret_cast<const char*>(data + pos + 1), size);
    dotted += '.';
    pos += 1 + size;
  }
  // The root label alone names nothing a host lookup can use.
  if (dotted.empty()) return false;
  dotted.pop_back();
  name = std::move(dotted);
  offset = end;
  return true;
}

DnsResponseStatus ParseDnsResponse(const uint8_t* data, size_t length, uint16_t queryId,
                                   std::vector<DnsAddress>& addresses) {
  addresses.clear();
  if (data == nullptr || length < kHeaderSize) return DnsResponseStatus::kIgnored;
  // The id went out least significant byte first; compare it as sent.
  if (data[0] != (queryId & 0xFF) || data[1] != (queryId >> 8)) {
    return DnsResponseStatus::kIgnored;
  }
  if ((ReadBig16(data + 2) & kFlagsMask) != kFlagsExpected) return DnsResponseStatus::kIgnored;
  const uint16_t questions = ReadBig16(data + 4);
  const uint16_t answers = ReadBig16(data + 6);
  if (answers == 0) return DnsResponseStatus::kIgnored;

  std::vector<DnsAddress> found;
  std::string name;
  size_t pos = kHeaderSize;
  for (unsigned i = 0; i < questions; ++i) {
    if (!ReadDnsName(data, length, pos, false, name)) return DnsResponseStatus::kMalformed;
    if (length - pos < 4) return DnsResponseStatus::kMalformed;  // type and class
    pos += 4;
  }
  for (unsigned i = 0; i < answers; ++i) {
    if (!ReadDnsName(data, length, pos, true, name)) return DnsResponseStatus::kMalformed;
    // type, class, time to live, data length
    if (length - pos < 10) return DnsResponseStatus::kMalformed;
    const uint16_t type = ReadBig16(data + pos);
    const uint16_t dataLength = ReadBig16(data + pos + 8);
    pos += 10;
    if (length - pos < dataLength) return DnsResponseStatus::kMalformed;
    if (type == kTypeA) {
      if (dataLength != 4) return DnsResponseStatus::kMalformed;
      found.push_back({data[pos], data[pos + 1], data[pos + 2], data[pos + 3]});
    } else if (type == kTypeCname) {
      // The alias must lie within its record; only pointers leave it.
      size_t aliasPos = pos;
      if (!ReadDnsName(data, pos + dataLength, aliasPos, true, name)) {
        return DnsResponseStatus::kMalformed;
      }
    }
    pos += dataLength;
  }
  addresses = std::move(found);
  return DnsResponseStatus::kAnswered;
}

std::string FormatDnsAddressList(const std::vector<DnsAddress>& addresses) {
  std::string text;
  for (const DnsAddress& address : addresses) {
    if (!text.empty()) text += ';';
    for (size_t i = 0; i < address.size(); ++i) {
      if (i > 0) text += '.';
      text += std::to_string(static_cast<unsigned>(address[i]));
    }
  }
  return text;
}
