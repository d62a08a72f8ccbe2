#pragma once

#include <winsock2.h>  // before windows.h, as libcurl needs it
#include <windows.h>

#include <cstdint>
#include <string>

#include "Http/CurlHttp.h"
#include "Runtime/ProtoValue.h"
#include "Runtime/RefPtr.h"

class CHttpMgr;
class CCurlWorkshop;

// Result types of a request; the result record keeps one entry per type
// under these keys, each a map with an integer "code".
enum HttpResultType : int32_t {
  kResultOk = 0,    // "ok"
  kResultSys = 1,   // "sys": file errors of a file sink
  kResultCrt = 2,   // "crt"
  kResultUser = 3,  // "user": conditions the program detects itself
  kResultHttp = 4,  // "http": the HTTP status
  kResultCurl = 5,  // "curl": the CURLcode
};

struct HttpResult {
  int32_t type = 0;
  int32_t code = 0;
};

// What every request shares: the binding to its engine, the current
// transfer, the flags the manager schedules by, the attempt counter and the
// result record. Main thread only; the transfer is shared with the worker
// through its reference count, and its streams and headers are touched only
// once the worker has detached it or through notifications.
class CHttpBase {
 public:
  CHttpBase(CCurlWorkshop* worker, CHttpMgr* manager);
  virtual ~CHttpBase();
  CHttpBase(const CHttpBase&) = delete;
  CHttpBase& operator=(const CHttpBase&) = delete;

  [[nodiscard]] virtual std::wstring GetUrl() const { return url; }
  virtual bool Start();
  virtual void Stop();
  virtual void Done(CURLcode code) = 0;
  virtual void OnHttpCode(const HttpStatusNotice& notice) = 0;
  virtual void OnTimer() {}
  virtual void OnReceived(uint64_t /*count*/) {}

  // (type, code) from the result record: the first of sys, user, http
  // outside 100..399, curl that holds an error; (0, 0) otherwise.
  [[nodiscard]] HttpResult ResultCode() const;
  void SetResult(int32_t type, int32_t code);
  void ClearResult() { result_ = ProtoValue(); }

  [[nodiscard]] CCurlBase* Transfer() const { return transfer_.get(); }
  [[nodiscard]] CHttpMgr* Manager() const { return manager_; }
  void SetManager(CHttpMgr* manager) { manager_ = manager; }
  [[nodiscard]] CHttpMgr* EngineManager() const { return engineManager_; }
  // The engine is going away: forget it.
  void DetachEngine() {
    manager_ = nullptr;
    engineManager_ = nullptr;
    worker_ = nullptr;
  }

  // Scheduling state, kept by the manager.
  bool running = false;
  bool scheduled = false;
  bool retryWait = false;
  DWORD retryTick = 0;
  uint32_t attempts = 0;

  // Request settings.
  std::wstring url;
  int32_t method = 1;  // 1 GET, 2 POST
  uint64_t resumePosition = 0;
  int32_t maxRetries = 2;
  int32_t connectTimeoutSeconds = 5;
  int32_t lowSpeedTimeSeconds = 30;

 protected:
  // Configures the current transfer; false when it has no easy handle.
  virtual bool PrepareTransfer();
  // Makes `transfer` the current one, letting the previous one go.
  void SetTransfer(CCurlHttp* transfer);
  [[nodiscard]] CCurlHttp* Http() const { return static_cast<CCurlHttp*>(transfer_.get()); }
  // Asks the manager that built this request to run it again after the
  // retry wait.
  bool Resubmit();

 private:
  void DetachTransfer();

  CRefPtr<CCurlBase> transfer_;
  CHttpMgr* manager_ = nullptr;
  CHttpMgr* engineManager_;
  CCurlWorkshop* worker_;
  ProtoValue result_;
};
