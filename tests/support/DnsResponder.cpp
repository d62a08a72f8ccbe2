#include "support/DnsResponder.h"

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <utility>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kHeaderSize = 12;
constexpr uint16_t kGoodFlags = 0x8180;  // response, recursion desired and available
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeCname = 5;
const Bytes kNameOfQuestion = {0xC0, 0x0C};

constexpr ULONGLONG kLifetimeMs = 60000;
constexpr int kMaxDatagrams = 1000;
constexpr int kMaxPolls = 10000;

void Put16(Bytes& out, size_t value) {
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

Bytes PointerTo(size_t offset) {
  return {static_cast<uint8_t>(0xC0 | ((offset >> 8) & 0x3F)), static_cast<uint8_t>(offset & 0xFF)};
}

// The query's id as received, then the given flags and counts.
Bytes Header(const Bytes& query, uint16_t flags, size_t questions, size_t answers) {
  Bytes out = {query[0], query[1]};
  Put16(out, flags);
  Put16(out, questions);
  Put16(out, answers);
  Put16(out, 0);
  Put16(out, 0);
  return out;
}

Bytes WithQuestion(const Bytes& query, uint16_t flags, size_t answers) {
  Bytes out = Header(query, flags, 1, answers);
  out.insert(out.end(), query.begin() + kHeaderSize, query.end());
  return out;
}

void PutRecord(Bytes& out, const Bytes& name, uint16_t type, const Bytes& data) {
  Append(out, name);
  Put16(out, type);
  Put16(out, 1);  // IN
  Put16(out, 0);  // time to live, 300 s
  Put16(out, 300);
  Put16(out, data.size());
  Append(out, data);
}

Bytes AddressReply(const Bytes& query, const std::vector<std::array<uint8_t, 4>>& addresses) {
  Bytes out = WithQuestion(query, kGoodFlags, addresses.size());
  for (const auto& address : addresses) {
    PutRecord(out, kNameOfQuestion, kTypeA, Bytes(address.begin(), address.end()));
  }
  return out;
}

Bytes TwoA(const Bytes& query) {
  return AddressReply(query, {{10, 1, 2, 3}, {203, 0, 113, 250}});
}

Bytes OneA(const Bytes& query, const Bytes& name, const Bytes& data = {10, 9, 9, 9}) {
  Bytes out = WithQuestion(query, kGoodFlags, 1);
  PutRecord(out, name, kTypeA, data);
  return out;
}

}  // namespace

std::vector<uint8_t> BuildAddressReply(const std::vector<uint8_t>& query,
                                       const std::vector<std::array<uint8_t, 4>>& addresses) {
  if (query.size() < kHeaderSize + 3 + 4) return {};
  return AddressReply(query, addresses);
}

std::vector<uint8_t> BuildDnsReply(DnsReplyKind kind, const std::vector<uint8_t>& query) {
  // Header, one label, type and class at least.
  if (query.size() < kHeaderSize + 3 + 4) return {};
  switch (kind) {
    case DnsReplyKind::kSilent:
    case DnsReplyKind::kAddresses:  // built from the responder's own list
      return {};
    case DnsReplyKind::kTwoA:
    case DnsReplyKind::kOtherSourcePort:
      return TwoA(query);
    case DnsReplyKind::kCnameOnly: {
      Bytes out = WithQuestion(query, kGoodFlags, 2);
      const size_t firstAlias = out.size() + kNameOfQuestion.size() + 10;
      PutRecord(out, kNameOfQuestion, kTypeCname, {3, 'c', 'd', 'n', 0xC0, 0x0C});
      Bytes second = {4, 'e', 'd', 'g', 'e'};
      Append(second, PointerTo(firstAlias));
      PutRecord(out, PointerTo(firstAlias), kTypeCname, second);
      return out;
    }
    case DnsReplyKind::kPointerInQuestion: {
      // The second question is well-formed compression, which answers may
      // use and questions may not.
      Bytes out = Header(query, kGoodFlags, 2, 2);
      out.insert(out.end(), query.begin() + kHeaderSize, query.end());
      Append(out, kNameOfQuestion);
      Append(out, {0, 1, 0, 1});
      PutRecord(out, kNameOfQuestion, kTypeA, {10, 1, 2, 3});
      PutRecord(out, kNameOfQuestion, kTypeA, {203, 0, 113, 250});
      return out;
    }
    case DnsReplyKind::kWrongId: {
      Bytes out = TwoA(query);
      out[0] ^= 0x5A;
      return out;
    }
    case DnsReplyKind::kTruncated: {
      Bytes out = TwoA(query);
      out[2] = 0x83;
      return out;
    }
    case DnsReplyKind::kErrorCode: {
      Bytes out = TwoA(query);
      out[3] = 0x83;
      return out;
    }
    case DnsReplyKind::kNoAnswers:
      return WithQuestion(query, kGoodFlags, 0);
    case DnsReplyKind::kNotAResponse: {
      Bytes out = TwoA(query);
      out[2] = 0x01;
      return out;
    }
    case DnsReplyKind::kShortHeader: {
      Bytes out = TwoA(query);
      out.resize(8);
      return out;
    }
    case DnsReplyKind::kOversized: {
      Bytes out = TwoA(query);
      out.resize(1100, 0);
      return out;
    }
    case DnsReplyKind::kPointerToItself: {
      const size_t at = query.size();  // the reply's header and question have the query's size
      return OneA(query, PointerTo(at));
    }
    case DnsReplyKind::kPointerLoop: {
      Bytes out = WithQuestion(query, kGoodFlags, 2);
      const size_t first = out.size();
      const size_t second = first + 4 + 10 + 4;
      Bytes name = {1, 'a'};
      Append(name, PointerTo(second));
      PutRecord(out, name, kTypeA, {10, 0, 0, 1});
      name = {1, 'b'};
      Append(name, PointerTo(first));
      PutRecord(out, name, kTypeA, {10, 0, 0, 2});
      return out;
    }
    case DnsReplyKind::kPointerPastEnd:
      return OneA(query, {0xFF, 0xFF});
    case DnsReplyKind::kRootName:
      return OneA(query, {0});
    case DnsReplyKind::kLongName: {
      Bytes name;
      for (int i = 0; i < 3; ++i) {
        name.push_back(50);
        name.insert(name.end(), 50, 'x');
      }
      name.push_back(0);
      return OneA(query, name);
    }
    case DnsReplyKind::kBadALength:
      return OneA(query, kNameOfQuestion, {10, 9, 9});
    case DnsReplyKind::kCutInAddress: {
      Bytes out = TwoA(query);
      out.resize(out.size() - 2);
      return out;
    }
    case DnsReplyKind::kCutInFields: {
      Bytes out = TwoA(query);
      out.resize(out.size() - 4 - 10 + 4);
      return out;
    }
  }
  return {};
}

DnsResponder::DnsResponder(std::vector<std::array<uint8_t, 4>> addresses)
    : DnsResponder(DnsReplyKind::kAddresses, std::move(addresses)) {}

DnsResponder::DnsResponder(DnsReplyKind kind) : DnsResponder(kind, {}) {}

DnsResponder::DnsResponder(DnsReplyKind kind, std::vector<std::array<uint8_t, 4>> addresses)
    : kind_(kind), addresses_(std::move(addresses)) {
  WSADATA data;
  winsockStarted_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  if (!winsockStarted_) return;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  local.sin_port = 0;
  auto open = [&](ScopedSocket& s) {
    s.reset(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    return s && ::bind(s.get(), reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == 0;
  };
  if (!open(socket_) || !open(otherSocket_)) return;
  sockaddr_in bound{};
  int size = sizeof(bound);
  if (::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&bound), &size) != 0) return;
  port_ = ::ntohs(bound.sin_port);
  listening_ = true;
  thread_ = std::thread([this] { Serve(); });
}

DnsResponder::~DnsResponder() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  socket_.reset();
  otherSocket_.reset();
  if (winsockStarted_) ::WSACleanup();
}

DnsResolverEndpoint DnsResponder::Endpoint() const {
  return {{127, 0, 0, 1}, port_};
}

std::vector<std::vector<uint8_t>> DnsResponder::Queries() const {
  std::lock_guard<std::mutex> hold(lock_);
  return queries_;
}

size_t DnsResponder::QueryCount() const {
  std::lock_guard<std::mutex> hold(lock_);
  return queries_.size();
}

bool DnsResponder::WaitForQueries(size_t count, DWORD limitMs) const {
  const ULONGLONG end = ::GetTickCount64() + limitMs;
  for (;;) {
    if (QueryCount() >= count) return true;
    if (::GetTickCount64() >= end) return false;
    ::Sleep(2);
  }
}

void DnsResponder::Serve() {
  const ULONGLONG end = ::GetTickCount64() + kLifetimeMs;
  int datagrams = 0;
  for (int poll = 0; poll < kMaxPolls && datagrams < kMaxDatagrams && !stop_; ++poll) {
    if (::GetTickCount64() >= end) break;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_.get(), &readable);
    timeval wait{0, 20 * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready < 0) {
      ::Sleep(20);
      continue;
    }
    if (ready == 0) continue;
    uint8_t buffer[2048];
    sockaddr_in from{};
    int fromSize = sizeof(from);
    const int received = ::recvfrom(socket_.get(), reinterpret_cast<char*>(buffer), sizeof(buffer),
                                    0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    ++datagrams;
    if (received <= 0) continue;
    std::vector<uint8_t> query(buffer, buffer + received);
    {
      std::lock_guard<std::mutex> hold(lock_);
      queries_.push_back(query);
    }
    const std::vector<uint8_t> reply = kind_ == DnsReplyKind::kAddresses
                                           ? BuildAddressReply(query, addresses_)
                                           : BuildDnsReply(kind_, query);
    if (reply.empty()) continue;
    const SOCKET out = kind_ == DnsReplyKind::kOtherSourcePort ? otherSocket_.get() : socket_.get();
    ::sendto(out, reinterpret_cast<const char*>(reply.data()), static_cast<int>(reply.size()), 0,
             reinterpret_cast<const sockaddr*>(&from), fromSize);
  }
}
