#pragma once

#include <curl/curl.h>

#include <cstdint>

class CCurlBase;

// What the worker learns about a response's status. The length travels with
// the status so the main thread never reads the transfer's header table
// while the worker may still be writing it.
struct HttpStatusNotice {
  int32_t status = 0;
  int64_t contentLength = -1;  // of this response; -1 when not announced
};

// Receives every notification about a transfer, on the main thread, through
// main-thread tasks posted by the worker and by the transfer's callbacks.
class CurlListener {
 public:
  virtual void OnTransferDone(CCurlBase* transfer, CURLcode code) = 0;
  virtual void OnBytesReceived(CCurlBase* transfer, uint32_t bytes) = 0;
  virtual void OnBytesSent(CCurlBase* transfer, uint32_t bytes) = 0;
  virtual void OnHttpCode(CCurlBase* transfer, const HttpStatusNotice& notice) = 0;
  virtual void OnTransferRemoved(CCurlBase* transfer, int value) = 0;
  virtual void OnTransferAdded(CCurlBase* transfer, int value) = 0;

 protected:
  ~CurlListener() = default;
};
