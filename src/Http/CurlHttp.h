#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Http/CurlBase.h"
#include "Runtime/IBaseStream.h"
#include "Runtime/OBaseStream.h"
#include "Runtime/ProtoValue.h"

// How a request wants its transfer configured.
struct TransferOptions {
  std::wstring url;
  int32_t method = 1;  // 1 GET, 2 POST
  uint64_t resumePosition = 0;
  int32_t connectTimeoutSeconds = 5;
  // A connection that moves less than one byte per second for this long
  // ends with CURLE_OPERATION_TIMEDOUT instead of hanging for ever.
  int32_t lowSpeedTimeSeconds = 30;
};

// Splits one header line "Name: value" into its trimmed parts (ANSI code
// page to UTF-16). False for lines without a colon or starting with one.
[[nodiscard]] bool SplitHeaderLine(const std::string& line, std::wstring& name,
                                   std::wstring& value);
// A Content-Length value as a non-negative decimal, -1 for anything else.
[[nodiscard]] int64_t ParseContentLength(const std::wstring& value);

// The HTTP transfer: parses status and header lines into a header table,
// writes the body into its sink and reads an upload from its source.
// Threads as CCurlBase: configured on the main thread, run on the worker.
class CCurlHttp : public CCurlBase {
 public:
  explicit CCurlHttp(CurlListener* listener);
  ~CCurlHttp() override;

  // Main thread, before hand-over: creates or resets the easy handle and
  // sets every option. False when libcurl cannot give an easy handle.
  [[nodiscard]] bool Configure(const TransferOptions& options);

  // Main thread, before hand-over; the transfer owns the streams.
  void SetSink(std::unique_ptr<OBaseStream> sink) { sink_ = std::move(sink); }
  void SetSource(std::unique_ptr<IBaseStream> source) { source_ = std::move(source); }
  void SetResumeRequested(bool requested) { resumeRequested_ = requested; }
  [[nodiscard]] bool ResumeRequested() const { return resumeRequested_; }

  // Read on the main thread only after the worker has detached the transfer.
  [[nodiscard]] OBaseStream* Sink() const { return sink_.get(); }
  [[nodiscard]] const ProtoValue& Headers() const { return headers_; }
  [[nodiscard]] int32_t Status() const { return status_; }

 protected:
  uint32_t OnRecieveHeader(const char* data, uint32_t length) override;
  uint32_t OnRecieveBody(const char* data, uint32_t length) override;
  uint32_t OnSendBody(char* buffer, uint32_t length) override;
  void Close() override;

 private:
  static constexpr int32_t kNoStatus = 700;
  [[nodiscard]] HttpStatusNotice Notice() const { return {status_, contentLength_}; }

  ProtoValue headers_{ProtoValue::Type::kMap};
  int32_t status_ = kNoStatus;
  int64_t contentLength_ = -1;  // of the response being received
  uint64_t uploadSize_ = 0;
  uint64_t uploaded_ = 0;
  bool resumeRequested_ = false;
  std::unique_ptr<OBaseStream> sink_;
  std::unique_ptr<IBaseStream> source_;
};
