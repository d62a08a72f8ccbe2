#pragma once

#include <winsock2.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "Dns/DnsResolverEndpoint.h"
#include "Dns/WinsockHandles.h"

// What a scripted responder sends back for each query it receives. Every
// reply but kSilent is built from the query itself (same id and question),
// so only the named fault tells it from a good answer.
enum class DnsReplyKind {
  kSilent,             // nothing
  kTwoA,               // 10.1.2.3 and 203.0.113.250, in that order
  kCnameOnly,          // two chained aliases, no address
  kPointerInQuestion,  // a second question compressed to the first, then kTwoA's answers
  kWrongId,            // kTwoA with the id's low byte changed
  kTruncated,          // kTwoA with the TC flag
  kErrorCode,          // kTwoA's records with rcode 3 (name error)
  kNoAnswers,          // a good header and question, answer count 0
  kNotAResponse,       // kTwoA with the QR bit clear
  kShortHeader,        // the first 8 bytes of kTwoA
  kOversized,          // kTwoA padded to 1100 bytes
  kPointerToItself,    // answer name is a pointer to its own offset
  kPointerLoop,        // two answer-name pointers that point at each other
  kPointerPastEnd,     // answer name points beyond the datagram
  kRootName,           // answer name is the root label alone
  kLongName,           // answer name of 153 dotted bytes
  kBadALength,         // A record with 3 data bytes
  kCutInAddress,       // kTwoA without its last 2 bytes
  kCutInFields,        // kTwoA ending inside the second record's fixed fields
  kOtherSourcePort,    // kTwoA, sent from a second socket of the responder
  kAddresses,          // one A record per address given to the responder, in order
};

// The datagram `kind` answers `query` with; empty for kSilent. For
// kOtherSourcePort this is the datagram; the responder picks the socket.
[[nodiscard]] std::vector<uint8_t> BuildDnsReply(DnsReplyKind kind,
                                                 const std::vector<uint8_t>& query);
// A good answer to `query` with one A record per address.
[[nodiscard]] std::vector<uint8_t> BuildAddressReply(
    const std::vector<uint8_t>& query, const std::vector<std::array<uint8_t, 4>>& addresses);

// A UDP DNS server on 127.0.0.1 with an ephemeral port, run on its own
// thread, that answers every query with the reply of one kind and records
// the queries it got. It serves at most 1000 datagrams and for at most
// 60 seconds; the destructor stops and joins it. The test thread constructs,
// queries and destroys it.
class DnsResponder {
 public:
  explicit DnsResponder(DnsReplyKind kind);
  // Answers every query with these addresses (kAddresses).
  explicit DnsResponder(std::vector<std::array<uint8_t, 4>> addresses);
  ~DnsResponder();
  DnsResponder(const DnsResponder&) = delete;
  DnsResponder& operator=(const DnsResponder&) = delete;

  // False when the sockets could not be set up; nothing is served then.
  [[nodiscard]] bool IsListening() const { return listening_; }
  [[nodiscard]] DnsResolverEndpoint Endpoint() const;
  [[nodiscard]] std::vector<std::vector<uint8_t>> Queries() const;
  [[nodiscard]] size_t QueryCount() const;
  // Polls until `count` queries have arrived or `limitMs` has passed.
  [[nodiscard]] bool WaitForQueries(size_t count, DWORD limitMs) const;

 private:
  DnsResponder(DnsReplyKind kind, std::vector<std::array<uint8_t, 4>> addresses);
  void Serve();

  const DnsReplyKind kind_;
  const std::vector<std::array<uint8_t, 4>> addresses_;
  bool winsockStarted_ = false;
  bool listening_ = false;
  ScopedSocket socket_;
  ScopedSocket otherSocket_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  std::vector<std::vector<uint8_t>> queries_;
  std::thread thread_;
};
