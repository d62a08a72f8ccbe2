#include "Dns/DnsResolverEndpoint.h"

namespace {

// Reads a decimal number of 1 to 5 digits at `pos`, no sign, no spaces.
bool ReadNumber(const std::string& text, size_t& pos, uint32_t& value) {
  const size_t start = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 5) {
    value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
    ++pos;
  }
  return pos > start && (pos == text.size() || text[pos] < '0' || text[pos] > '9');
}

}  // namespace

bool ParseDnsResolverEndpoint(const std::string& text, DnsResolverEndpoint& endpoint) {
  DnsResolverEndpoint parsed;
  size_t pos = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.') return false;
      ++pos;
    }
    uint32_t part = 0;
    if (!ReadNumber(text, pos, part) || part > 255) return false;
    parsed.address[i] = static_cast<uint8_t>(part);
  }
  if (pos < text.size()) {
    if (text[pos] != ':') return false;
    ++pos;
    uint32_t port = 0;
    if (!ReadNumber(text, pos, port) || port == 0 || port > 65535 || pos != text.size()) {
      return false;
    }
    parsed.port = static_cast<uint16_t>(port);
  }
  endpoint = parsed;
  return true;
}

std::string FormatDnsResolverEndpoint(const DnsResolverEndpoint& endpoint) {
  std::string text;
  for (size_t i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(static_cast<unsigned>(endpoint.address[i]));
  }
  return text + ':' + std::to_string(static_cast<unsigned>(endpoint.port));
}
