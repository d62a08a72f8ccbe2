#pragma once

#include <curl/curl.h>

#include <list>

#include "Http/CurlBase.h"
#include "Runtime/CriticalSection.h"
#include "Runtime/RefPtr.h"
#include "Runtime/SimpleThread.h"

// The worker thread of one engine: owns a libcurl multi handle and drives
// every transfer of that engine. The main thread hands transfers over
// through the pending and removal lists (AddTransfer, RemoveTransfer) and
// never touches the multi handle while the thread runs; the worker reports
// back only by posting main-thread tasks to the transfers' listener.
//
// The lock guards the three lists and the multi pointer. The worker may post
// tasks (taking the queue lock) while holding it; nothing may take this lock
// while holding the queue lock.
class CCurlWorkshop : public CSimpleThread {
 public:
  CCurlWorkshop() = default;
  ~CCurlWorkshop() override;

  // Main thread. Init creates the multi handle; Uninit, after StopThread,
  // cleans up every transfer still running and the multi handle.
  void Init();
  void Uninit();
  // Main thread; false before Init and after Uninit.
  [[nodiscard]] bool AddTransfer(const CRefPtr<CCurlBase>& transfer);
  [[nodiscard]] bool RemoveTransfer(const CRefPtr<CCurlBase>& transfer);

 protected:
  void Execute() override;
  void WakeForStop() override;

 private:
  using TransferList = std::list<CRefPtr<CCurlBase>>;

  void Wake();
  void SyncLists();
  // Removes the transfer from libcurl and cleans its handle up (lock held).
  void DetachTransfer(const CRefPtr<CCurlBase>& transfer);
  // The same for a transfer known to be in the multi handle.
  void ReleaseEasy(CCurlBase& transfer);
  int ProcessMessages();

  CURLM* multi_ = nullptr;
  TransferList pending_;
  TransferList running_;
  TransferList removals_;
  CCriticalSection lock_;
};
