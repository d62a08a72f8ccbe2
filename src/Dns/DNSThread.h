#pragma once

// Winsock 2 has to come before windows.h, which would otherwise pull in the
// old winsock.h.
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Dns/DnsResolverEndpoint.h"
#include "Runtime/SimpleThread.h"
#include "Runtime/ThreadChecker.h"

// Resolves one host to its IPv4 addresses by asking DNS resolvers directly
// over UDP, one after the other, and posts the outcome to the main thread as
// a main-thread task: code 0 and the ";"-joined addresses when a resolver
// answered (the list may be empty), -1 and an empty list when none did or the
// host cannot be queried. A run that is stopped posts nothing.
//
// Threads: the owner (the thread that constructed it) calls the setters,
// StartThread and StopThread; Execute runs on the object's own thread and
// reads only the copy of the settings StartThread took, so changing a setting
// never touches a run in progress. The result function runs on the main
// thread, possibly after the owner has stopped the run that posted it; the
// context lets the owner recognise such a late result. The process-wide
// default resolver list may be read and set from any thread.
class CDNSThread : public CSimpleThread {
 public:
  using ResultFunction = void (*)(int code, void* context, const std::string& host,
                                  const std::string& addresses);

  static constexpr int kResolved = 0;
  static constexpr int kFailed = -1;
  // How long one resolver is awaited.
  static constexpr DWORD kDefaultReplyLimitMs = 1500;

  CDNSThread();
  ~CDNSThread() override;

  void SetResultFunction(ResultFunction function);
  void SetContext(void* context);
  // UTF-8 host name.
  void SetHost(const std::string& host);
  // The resolvers asked, in order; empty (the initial state) means the
  // process-wide default list.
  void SetResolvers(std::vector<DnsResolverEndpoint> resolvers);
  void SetReplyLimit(DWORD milliseconds);

  // Starts a run with the current settings; a run still in progress is kept
  // and the settings are left for the next one.
  bool StartThread() override;

  // The four public resolvers on port 53.
  [[nodiscard]] static std::vector<DnsResolverEndpoint> BuiltInResolvers();
  // The list objects without their own use: the built-in one unless set.
  // Setting an empty list restores the built-in one. Any thread.
  [[nodiscard]] static std::vector<DnsResolverEndpoint> DefaultResolvers();
  static void SetDefaultResolvers(std::vector<DnsResolverEndpoint> resolvers);

 protected:
  void Execute() override;

 private:
  // Everything one run reads: written by StartThread while no thread runs,
  // then read only by that run's thread.
  struct RunSettings {
    ResultFunction function = nullptr;
    void* context = nullptr;
    std::string host;
    std::vector<DnsResolverEndpoint> resolvers;
    DWORD replyLimitMs = kDefaultReplyLimitMs;
  };

  enum class Attempt { kAnswered, kFailed, kStopped };
  // The run's socket and event (defined with the Winsock code).
  struct Channel;

  // Asks the resolvers in turn; true with `addresses` when one answered.
  bool ResolveThroughAll(std::string& addresses);
  Attempt ResolveThrough(const Channel& channel, const DnsResolverEndpoint& resolver,
                         std::string& addresses);
  void PostResult(int code, const std::string& addresses);

  ResultFunction function_ = nullptr;
  std::string host_;
  void* context_ = nullptr;
  std::vector<DnsResolverEndpoint> resolvers_;
  DWORD replyLimitMs_ = kDefaultReplyLimitMs;

  RunSettings run_;
  CThreadChecker ownerThread_;
};
