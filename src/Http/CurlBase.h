#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>

#include "Http/CurlListener.h"
#include "Runtime/RefThreadSafeBase.h"

// One HTTP transfer around a libcurl easy handle, shared by its request (main
// thread), the engine's worker lists and queued notifications through an
// interlocked reference count.
//
// Threads: the request creates and configures the easy handle on the main
// thread before handing the transfer over; from then on libcurl's callbacks
// and the handlers run on the worker. The main thread lets go by clearing
// the active flag; it closes the streams itself only once the worker has
// detached the transfer from libcurl (no callback can run any more).
// Otherwise the worker closes them after removing the handle, or the
// destructor does.
class CCurlBase : public CRefThreadSafeBase<CCurlBase> {
 public:
  explicit CCurlBase(CurlListener* listener);
  virtual ~CCurlBase();
  CCurlBase(const CCurlBase&) = delete;
  CCurlBase& operator=(const CCurlBase&) = delete;

  [[nodiscard]] CURL* Easy() const { return easy_; }
  // Main thread before hand-over, worker afterwards.
  void SetEasy(CURL* easy) { easy_ = easy; }
  [[nodiscard]] CurlListener* Listener() const { return listener_; }

  [[nodiscard]] bool IsActive() const { return active_.load(std::memory_order_acquire); }
  void Deactivate() { active_.store(false, std::memory_order_release); }
  [[nodiscard]] bool IsDetached() const { return detached_.load(std::memory_order_acquire); }
  // Worker: the handle is out of the multi handle and cleaned up.
  void MarkDetached() { detached_.store(true, std::memory_order_release); }
  void SetReportProgress(bool report) { reportProgress_ = report; }

  // Closes the streams once, whichever thread gets here first.
  void CloseStreams();

  static size_t HeaderCallback(char* data, size_t size, size_t count, void* transfer);
  static size_t WriteCallback(char* data, size_t size, size_t count, void* transfer);
  static size_t ReadCallback(char* buffer, size_t size, size_t count, void* transfer);

  // Notifications for the listener, run as main-thread tasks; each holds a
  // reference to the transfer until it has run.
  void PostDone(CURLcode code);
  void PostBytesReceived(uint32_t bytes);
  void PostBytesSent(uint32_t bytes);
  void PostHttpCode(const HttpStatusNotice& notice);
  void PostRemoved();
  void PostAdded();

 protected:
  // Worker thread; each returns the bytes consumed or produced.
  virtual uint32_t OnRecieveHeader(const char* data, uint32_t length) = 0;
  virtual uint32_t OnRecieveBody(const char* data, uint32_t length) = 0;
  virtual uint32_t OnSendBody(char* buffer, uint32_t length) = 0;
  // Closes the streams without destroying them.
  virtual void Close() = 0;

 private:
  bool ProgressDue();

  CURL* easy_ = nullptr;
  CurlListener* const listener_;
  std::atomic<bool> active_{true};
  std::atomic<bool> detached_{false};
  std::atomic<bool> closed_{false};
  bool reportProgress_ = false;
  uint64_t bytesSinceReport_ = 0;
  uint32_t lastReport_ = 0;
};
