#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "Dns/DNSThread.h"
#include "Http/HttpBase.h"

// Downloads one file to a local path and keeps trying until it has it or
// runs out of options: resumes a partial file with a byte range, checks the
// existing file and the announced length against the expected size, retries
// libcurl errors, moves on to backup URLs, and finally asks the spare DNS
// resolver for the primary host's addresses and retries with URLs that
// carry them. Reports total, done and a ten-second average speed once per
// second. Main thread only (the resolver runs on its own thread and reports
// through a main-thread task).
class CHttpDownloadFile : public CHttpBase {
 public:
  using Completion = void (*)(void* userData, int type, int code);
  using Progress = void (*)(void* userData, uint64_t total, uint64_t done, uint32_t bytesPerSecond);

  // (3, 2007): the file does not come to the expected size.
  static constexpr int32_t kSizeMismatch = 2007;

  CHttpDownloadFile();
  ~CHttpDownloadFile() override;

  // `backupUrls` is a ";"-separated list. Returns whether the request was
  // submitted; false while it runs.
  bool Download(const std::wstring& backupUrls, const std::wstring& primaryUrl,
                const std::wstring& localPath, uint64_t expectedSize, Completion completion,
                Progress progress, void* userData);

  [[nodiscard]] std::wstring GetUrl() const override;
  bool Start() override;
  void Stop() override;
  void Done(CURLcode code) override;
  void OnHttpCode(const HttpStatusNotice& notice) override;
  void OnTimer() override;
  void OnReceived(uint64_t count) override;
  void OnDNSResult(int code, const std::wstring& host, const std::wstring& addressList);

  // The resolver's result function (main thread). `context` identifies the
  // resolution; results of one the download no longer waits for are dropped.
  static void OnSpareDNSResult(int code, void* context, const std::string& host,
                               const std::string& addressList);

  [[nodiscard]] CDNSThread& Resolver() { return resolver_; }
  [[nodiscard]] const std::list<std::wstring>& Urls() const { return urls_; }

 private:
  void Finish(int32_t type, int32_t code);
  void PostFinish(int32_t type, int32_t code);
  void CancelDnsWait();
  static void FinishTask(uint64_t downloadId, int type, int code);

  std::wstring primaryUrl_;
  CDNSThread resolver_;
  std::wstring localPath_;
  uint64_t expectedSize_ = 0;
  Completion completion_ = nullptr;
  Progress progress_ = nullptr;
  void* userData_ = nullptr;
  std::list<std::wstring> urls_;
  uint64_t downloaded_ = 0;
  uint32_t thisSecond_ = 0;
  uint64_t contentLength_ = 0;
  std::list<uint32_t> speedSamples_;
  int32_t dnsFailureType_ = 0;

  const uint64_t id_;           // names this download in posted tasks
  uintptr_t dnsWaitToken_ = 0;  // the resolution being waited for, 0 when none
};

// The host of a URL for the spare-DNS query: after "://", the leading run of
// letters, digits, "." and "-".
[[nodiscard]] std::wstring ExtractUrlHost(const std::wstring& url);
// `url` with its host (as ExtractUrlHost finds it) replaced by `address`;
// the path is left alone.
[[nodiscard]] std::wstring ReplaceUrlHost(const std::wstring& url, const std::wstring& address);
