#pragma once

#include <array>
#include <cstdint>
#include <string>

// One DNS resolver the spare resolver may ask: an IPv4 address and a UDP
// port. Plain value; any thread.
struct DnsResolverEndpoint {
  std::array<uint8_t, 4> address{};
  uint16_t port = 53;

  friend bool operator==(const DnsResolverEndpoint&, const DnsResolverEndpoint&) = default;
};

// Reads "a.b.c.d" or "a.b.c.d:port" (decimal, port 1-65535, 53 when absent).
// False, leaving `endpoint` unchanged, for anything else.
[[nodiscard]] bool ParseDnsResolverEndpoint(const std::string& text, DnsResolverEndpoint& endpoint);
// "a.b.c.d:port", the form ParseDnsResolverEndpoint reads.
[[nodiscard]] std::string FormatDnsResolverEndpoint(const DnsResolverEndpoint& endpoint);
