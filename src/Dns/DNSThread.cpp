#include "Dns/DNSThread.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <utility>

#include "Dns/DnsMessage.h"
#include "Dns/WinsockHandles.h"
#include "Runtime/MainThreadTask.h"
#include "Runtime/Runtime.h"

namespace {

using ResultTask = MainThreadTask4<int, int, void*, void*, std::string, const std::string&,
                                   std::string, const std::string&>;

// The stop flag is looked at between slices, so a stop is honoured within
// one slice and never needs the thread to be terminated.
constexpr DWORD kWaitSliceMs = 100;
// A datagram larger than this is dropped by recvfrom and ignored.
constexpr int kReceiveBufferSize = 1024;

std::mutex& DefaultResolversLock() {
  static std::mutex lock;
  return lock;
}

// Empty while the built-in list is in force.
std::vector<DnsResolverEndpoint>& DefaultResolversOverride() {
  static std::vector<DnsResolverEndpoint> resolvers;
  return resolvers;
}

sockaddr_in ToSocketAddress(const DnsResolverEndpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(endpoint.port);
  std::copy(endpoint.address.begin(), endpoint.address.end(),
            reinterpret_cast<uint8_t*>(&address.sin_addr));
  return address;
}

bool IsFrom(const sockaddr_in& from, int fromLength, const sockaddr_in& expected) {
  return fromLength >= static_cast<int>(sizeof(sockaddr_in)) && from.sin_family == AF_INET &&
         from.sin_port == expected.sin_port && from.sin_addr.s_addr == expected.sin_addr.s_addr;
}

// The same id goes to every resolver; only the resolver's address tells
// their answers apart.
uint16_t QueryId() {
  return static_cast<uint16_t>(::GetCurrentProcessId() & 0xFFFF);
}

}  // namespace

struct CDNSThread::Channel {
  ScopedSocket socket;
  ScopedWsaEvent event;
  std::vector<uint8_t> query;
  uint16_t queryId = 0;
};

CDNSThread::CDNSThread() = default;

CDNSThread::~CDNSThread() {
  // A run notices the stop within one wait slice, so waiting for it is
  // short; terminating it instead could leave Winsock state half released.
  StopThread(INFINITE);
}

void CDNSThread::SetResultFunction(ResultFunction function) {
  DCHECK_ON_THREAD(ownerThread_);
  function_ = function;
}

void CDNSThread::SetContext(void* context) {
  DCHECK_ON_THREAD(ownerThread_);
  context_ = context;
}

void CDNSThread::SetHost(const std::string& host) {
  DCHECK_ON_THREAD(ownerThread_);
  host_ = host;
}

void CDNSThread::SetResolvers(std::vector<DnsResolverEndpoint> resolvers) {
  DCHECK_ON_THREAD(ownerThread_);
  resolvers_ = std::move(resolvers);
}

void CDNSThread::SetReplyLimit(DWORD milliseconds) {
  DCHECK_ON_THREAD(ownerThread_);
  replyLimitMs_ = milliseconds;
}

bool CDNSThread::StartThread() {
  DCHECK_ON_THREAD(ownerThread_);
  // Checked here rather than left to the base: the settings of a run still
  // in progress must not change under it.
  if (IsRunning()) return true;
  run_.function = function_;
  run_.context = context_;
  run_.host = host_;
  run_.resolvers = resolvers_.empty() ? DefaultResolvers() : resolvers_;
  run_.replyLimitMs = replyLimitMs_;
  return CSimpleThread::StartThread();
}

std::vector<DnsResolverEndpoint> CDNSThread::BuiltInResolvers() {
  return {
      {{114, 114, 114, 114}, 53},
      {{223, 5, 5, 5}, 53},
      {{8, 8, 8, 8}, 53},
      {{208, 67, 222, 222}, 53},
  };
}

std::vector<DnsResolverEndpoint> CDNSThread::DefaultResolvers() {
  std::lock_guard<std::mutex> hold(DefaultResolversLock());
  const std::vector<DnsResolverEndpoint>& chosen = DefaultResolversOverride();
  return chosen.empty() ? BuiltInResolvers() : chosen;
}

void CDNSThread::SetDefaultResolvers(std::vector<DnsResolverEndpoint> resolvers) {
  std::lock_guard<std::mutex> hold(DefaultResolversLock());
  DefaultResolversOverride() = std::move(resolvers);
}

void CDNSThread::Execute() {
  std::string addresses;
  const bool resolved = ResolveThroughAll(addresses);
  if (IsStopRequested()) return;
  PostResult(resolved ? kResolved : kFailed, resolved ? addresses : std::string());
}

bool CDNSThread::ResolveThroughAll(std::string& addresses) {
  const uint16_t queryId = QueryId();
  std::vector<uint8_t> query;
  // A host that does not fit a query fails before any network set-up.
  if (!BuildDnsQuery(run_.host, queryId, query)) return false;

  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  bool resolved = false;
  {
    // Closed before WSACleanup: the cleanup releases them only when no other
    // Winsock user remains in the process.
    Channel channel;
    channel.query = std::move(query);
    channel.queryId = queryId;
    channel.socket.reset(::socket(AF_INET, SOCK_DGRAM, 0));
    if (channel.socket) channel.event.reset(::WSACreateEvent());
    const bool ready =
        channel.event && ::WSAEventSelect(channel.socket.get(), channel.event.get(), FD_READ) == 0;
    for (const DnsResolverEndpoint& resolver : run_.resolvers) {
      if (!ready || resolved || IsStopRequested()) break;
      const Attempt attempt = ResolveThrough(channel, resolver, addresses);
      if (attempt == Attempt::kStopped) break;
      resolved = attempt == Attempt::kAnswered;
    }
  }
  ::WSACleanup();
  return resolved;
}

CDNSThread::Attempt CDNSThread::ResolveThrough(const Channel& channel,
                                               const DnsResolverEndpoint& resolver,
                                               std::string& addresses) {
  const sockaddr_in to = ToSocketAddress(resolver);
  if (::sendto(channel.socket.get(), reinterpret_cast<const char*>(channel.query.data()),
               static_cast<int>(channel.query.size()), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof(to)) == SOCKET_ERROR) {
    return Attempt::kFailed;
  }
  // Monotonic: a change of the wall clock neither cuts nor stretches the wait.
  const ULONGLONG start = ::GetTickCount64();
  uint8_t buffer[kReceiveBufferSize];
  WSAEVENT event = channel.event.get();
  for (;;) {
    if (IsStopRequested()) return Attempt::kStopped;
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    if (elapsed >= run_.replyLimitMs) return Attempt::kFailed;
    const DWORD slice =
        static_cast<DWORD>(std::min<ULONGLONG>(kWaitSliceMs, run_.replyLimitMs - elapsed));
    const DWORD wait = ::WSAWaitForMultipleEvents(1, &event, FALSE, slice, FALSE);
    if (wait == WSA_WAIT_TIMEOUT) continue;
    if (wait != WSA_WAIT_EVENT_0) return Attempt::kFailed;
    WSANETWORKEVENTS events{};
    if (::WSAEnumNetworkEvents(channel.socket.get(), event, &events) != 0) {
      return Attempt::kFailed;
    }
    if ((events.lNetworkEvents & FD_READ) == 0) continue;
    sockaddr_in from{};
    int fromLength = sizeof(from);
    const int received =
        ::recvfrom(channel.socket.get(), reinterpret_cast<char*>(buffer), sizeof(buffer), 0,
                   reinterpret_cast<sockaddr*>(&from), &fromLength);
    // Errors here are an oversized datagram or an ICMP report about an
    // earlier send; neither is an answer, so the wait goes on.
    if (received <= 0) continue;
    // A late answer of an earlier resolver, or anyone else's datagram.
    if (!IsFrom(from, fromLength, to)) continue;
    std::vector<DnsAddress> found;
    switch (ParseDnsResponse(buffer, static_cast<size_t>(received), channel.queryId, found)) {
      case DnsResponseStatus::kIgnored:
        continue;
      case DnsResponseStatus::kMalformed:
        return Attempt::kFailed;
      case DnsResponseStatus::kAnswered:
        addresses = FormatDnsAddressList(found);
        return Attempt::kAnswered;
    }
  }
}

void CDNSThread::PostResult(int code, const std::string& addresses) {
  if (run_.function == nullptr) return;
  PostTask(new ResultTask(run_.function, code, run_.context, run_.host, addresses));
}
