#pragma once

#include <winsock2.h>  // before windows.h, as libcurl needs it
#include <windows.h>

#include <cstdint>
#include <list>

#include "Http/CurlListener.h"
#include "Runtime/ThreadChecker.h"

class CHttpBase;

// The registry of one engine's requests: decides which of them run (at most
// ten at a time), forwards the worker's notifications to the request they
// concern, and does the engine's periodic work (end of retry waits, the
// once-per-second progress of downloads). Requests are not owned.
//
// Main thread only; notifications arrive as main-thread tasks. Owner
// callbacks may run while the manager walks its list (a synchronous failure
// in Start, a progress report), so every walk goes over a snapshot and
// re-checks membership.
class CHttpMgr : public CurlListener {
 public:
  static constexpr uint32_t kMaxRunning = 10;

  CHttpMgr() = default;
  virtual ~CHttpMgr() = default;
  CHttpMgr(const CHttpMgr&) = delete;
  CHttpMgr& operator=(const CHttpMgr&) = delete;

  void OnTransferDone(CCurlBase* transfer, CURLcode code) override;
  void OnBytesReceived(CCurlBase* transfer, uint32_t bytes) override;
  void OnBytesSent(CCurlBase* transfer, uint32_t bytes) override;
  void OnHttpCode(CCurlBase* transfer, const HttpStatusNotice& notice) override;
  void OnTransferRemoved(CCurlBase* transfer, int value) override;
  void OnTransferAdded(CCurlBase* transfer, int value) override;

  virtual void Add(CHttpBase* request);
  virtual bool Remove(CHttpBase* request);
  void Schedule();
  // Forgets every request (engine shut-down).
  void Clear();

  // Transfer timer work: OnTimer() on every running request, and the end of
  // retry waits older than 500 ms at tick count `now`.
  void TickRunning();
  void EndRetryWaits(DWORD now);

  [[nodiscard]] bool Contains(const CHttpBase* request) const;
  [[nodiscard]] uint32_t RunningCount() const { return running_; }
  [[nodiscard]] size_t RequestCount() const { return requests_.size(); }

 private:
  [[nodiscard]] CHttpBase* Find(const CCurlBase* transfer) const;

  std::list<CHttpBase*> requests_;
  uint32_t maxRunning_ = kMaxRunning;
  uint32_t running_ = 0;
  CThreadChecker thread_;
};
