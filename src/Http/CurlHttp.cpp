#include "Http/CurlHttp.h"

#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <string>

#include "Runtime/Log.h"
#include "Runtime/TextUtils.h"

namespace {

bool IsHttpOk(int32_t status) {
  return status >= 100 && status <= 399;
}

}  // namespace

int64_t ParseContentLength(const std::wstring& value) {
  // 18 digits cannot overflow a signed 64-bit value.
  if (value.empty() || value.size() > 18) return -1;
  int64_t n = 0;
  for (wchar_t c : value) {
    if (c < L'0' || c > L'9') return -1;
    n = n * 10 + (c - L'0');
  }
  return n;
}

bool SplitHeaderLine(const std::string& line, std::wstring& name, std::wstring& value) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  name = FromAnsi(line.substr(0, colon));
  value = FromAnsi(line.substr(colon + 1));
  Trim(name);
  Trim(value);
  // Trim leaves all-blank text alone; a blank value is an empty one.
  if (!value.empty() && iswspace(value[0])) value.clear();
  return true;
}

CCurlHttp::CCurlHttp(CurlListener* listener) : CCurlBase(listener) {}

CCurlHttp::~CCurlHttp() {
  CloseStreams();
}

bool CCurlHttp::Configure(const TransferOptions& options) {
  CURL* easy = Easy();
  if (easy == nullptr) {
    easy = curl_easy_init();
    if (easy == nullptr) return false;
    SetEasy(easy);
  } else {
    curl_easy_reset(easy);
  }
  uploadSize_ = 0;
  uploaded_ = 0;
  status_ = kNoStatus;
  contentLength_ = -1;
  headers_ = ProtoValue(ProtoValue::Type::kMap);

  const std::string url = ToAnsi(options.url);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());  // libcurl copies the string
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CCurlBase::HeaderCallback);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, static_cast<CCurlBase*>(this));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CCurlBase::WriteCallback);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, static_cast<CCurlBase*>(this));
  curl_easy_setopt(easy, CURLOPT_READFUNCTION, &CCurlBase::ReadCallback);
  curl_easy_setopt(easy, CURLOPT_READDATA, static_cast<CCurlBase*>(this));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(options.connectTimeoutSeconds));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.lowSpeedTimeSeconds));
  // The handle is driven by a worker thread: no signals for timeouts.
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);

  if (options.method == 2) {
    const uint32_t size = source_ ? source_->Size() : 0;
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
    uploadSize_ = size;
    uploaded_ = 0;
  } else if (options.resumePosition != 0) {
    const std::string range = std::to_string(options.resumePosition) + "-";
    curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str());
  }
  return true;
}

uint32_t CCurlHttp::OnRecieveHeader(const char* data, uint32_t length) {
  if (status_ == kNoStatus || (status_ >= 300 && status_ <= 399)) {
    // A new response starts: the first, or the one after a redirection.
    contentLength_ = -1;
    CURLcode error = CURLE_BAD_FUNCTION_ARGUMENT;
    if (CURL* easy = Easy()) {
      long code = 0;
      error = curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
      status_ = static_cast<int32_t>(code);
    }
    if (error != CURLE_OK || !IsHttpOk(status_)) {
      LOG_CONSOLE(LOG_ERRO, L"CCurlHttp::OnRecieveHeader HTTP error code:%d httpcode:%d ",
                  static_cast<int>(error), status_);
    }
    if (status_ == 200 && resumeRequested_ && sink_) {
      // The server ignored the range: the partial file starts over.
      LOG_CONSOLE(LOG_INFO, L"httpcode==200 不支持断点续传，清空文件");
      sink_->Reset();
    }
  }
  if (!IsHttpOk(status_)) {
    PostHttpCode(Notice());
    return length;
  }
  const std::string line(data, length);
  if (line == "\r\n" || line == "\n") {
    PostHttpCode(Notice());
    return length;
  }
  std::wstring name, value;
  if (SplitHeaderLine(line, name, value)) {
    if (ToLower(name) == L"content-length") contentLength_ = ParseContentLength(value);
    headers_[name] = value;
  }
  return length;
}

uint32_t CCurlHttp::OnRecieveBody(const char* data, uint32_t length) {
  if (!IsHttpOk(status_)) {
    const std::wstring head = FromAnsi(std::string(data, length < 1000 ? length : 1000));
    LOG_CONSOLE(LOG_ERRO, L"CCurlHttp::OnRecieveBody HTTP error  httpcode:%d %s", status_,
                head.c_str());
    return 0;
  }
  if (!sink_) return 0;
  const int32_t n = sink_->Write(data, length);
  if (n < 0) {
    LOG_CONSOLE(LOG_ERRO, L"CCurlHttp::OnRecieveBody  Write file error %d", sink_->ErrorCode(),
                sink_->ErrorType());
    return 0;
  }
  return static_cast<uint32_t>(n);
}

uint32_t CCurlHttp::OnSendBody(char* buffer, uint32_t length) {
  if (!source_ || uploadSize_ == 0 || uploaded_ >= uploadSize_) return 0;
  const uint64_t left = uploadSize_ - uploaded_;
  const int32_t n = source_->Read(buffer, static_cast<uint32_t>(length < left ? length : left));
  if (n < 0) {
    LOG_CONSOLE(LOG_ERRO, L"CCurlHttp::OnSendBody  Read file error %d", errno);
    return 0;
  }
  uploaded_ += static_cast<uint32_t>(n);
  return static_cast<uint32_t>(n);
}

void CCurlHttp::Close() {
  if (sink_) sink_->Close();
  if (source_) source_->Close();
}
