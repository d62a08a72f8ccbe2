#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The DNS wire format as the spare resolver uses it: one A query for a host
// and the reading of the response. Plain functions of bytes, no sockets;
// any thread.

// A host longer than this does not fit the query buffer.
inline constexpr size_t kDnsMaxHostLength = 253;
// Header (12) + encoded name of the longest host (255) + type and class (4).
inline constexpr size_t kDnsQueryBufferSize = 271;
// A dotted name read from a response, its terminator included, fits here.
inline constexpr size_t kDnsMaxNameSize = 128;

using DnsAddress = std::array<uint8_t, 4>;

// Builds the A/IN query for `host` with recursion desired. The id goes out in
// the machine's byte order (least significant byte first), the rest
// big-endian; empty pieces between dots are skipped. False, with `query`
// cleared, when the host is longer than kDnsMaxHostLength, has a piece longer
// than 63 bytes (its length byte would read as a compression pointer), or
// has no piece at all.
[[nodiscard]] bool BuildDnsQuery(const std::string& host, uint16_t queryId,
                                 std::vector<uint8_t>& query);

enum class DnsResponseStatus {
  kAnswered,   // our response, readable; `addresses` holds its A records
  kIgnored,    // not a usable answer to our query: keep waiting
  kMalformed,  // our response but unreadable: this resolver has failed
};

// Checks a received datagram against the query `queryId` and reads its A
// records in answer order. Ignored: shorter than a header, another id, not a
// plain recursive response (flags without AA and RA other than 0x8100, so
// truncated and error responses too), or no answers. Malformed: any read past
// `length`, a compression pointer in the question, a pointer that does not
// go back before the name holding it, a name that is only the root label or
// does not fit kDnsMaxNameSize, an A record whose data is not 4 bytes, or an
// alias whose name is unreadable.
[[nodiscard]] DnsResponseStatus ParseDnsResponse(const uint8_t* data, size_t length,
                                                 uint16_t queryId,
                                                 std::vector<DnsAddress>& addresses);

// Reads the name at `offset` as dotted text; on success `offset` is past the
// name's bytes in place (a pointer ends them). False when unreadable, see
// ParseDnsResponse.
[[nodiscard]] bool ReadDnsName(const uint8_t* data, size_t length, size_t& offset,
                               bool allowPointers, std::string& name);

// "a.b.c.d;a.b.c.d", bytes in the order received, no trailing separator.
[[nodiscard]] std::string FormatDnsAddressList(const std::vector<DnsAddress>& addresses);
