#include "Http/HttpDownloadFile.h"

#include <windows.h>

#include <map>
#include <memory>
#include <numeric>
#include <vector>

#include "Http/DownloadWriteFile.h"
#include "Http/HttpEngines.h"
#include "Runtime/FileEx.h"
#include "Runtime/Log.h"
#include "Runtime/MainThreadTask.h"
#include "Runtime/Runtime.h"
#include "Runtime/TextUtils.h"

namespace {

// Live downloads by id, and the spare-DNS resolutions they wait for by
// token. A posted result names a download by id or token, never by pointer,
// so one that arrives after its download was stopped, restarted or destroyed
// is recognised and dropped. Main thread only.
struct Registry {
  uint64_t nextId = 1;
  uintptr_t nextToken = 1;
  std::map<uint64_t, CHttpDownloadFile*> downloads;
  std::map<uintptr_t, CHttpDownloadFile*> dnsWaits;
};

Registry& Live() {
  static Registry registry;
  return registry;
}

bool IsHostChar(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
         c == L'.' || c == L'-';
}

// Where the host starts: after "://" and any user information.
size_t HostStart(const std::wstring& url) {
  const size_t scheme = url.find(L"://");
  size_t start = scheme == std::wstring::npos ? 0 : scheme + 3;
  const size_t authorityEnd = url.find_first_of(L"/?#", start);
  const size_t at = url.find(L'@', start);
  if (at != std::wstring::npos && (authorityEnd == std::wstring::npos || at < authorityEnd)) {
    start = at + 1;
  }
  return start;
}

size_t HostLength(const std::wstring& url, size_t start) {
  size_t end = start;
  while (end < url.size() && IsHostChar(url[end])) ++end;
  return end - start;
}

}  // namespace

std::wstring ExtractUrlHost(const std::wstring& url) {
  const size_t start = HostStart(url);
  return url.substr(start, HostLength(url, start));
}

std::wstring ReplaceUrlHost(const std::wstring& url, const std::wstring& address) {
  const size_t start = HostStart(url);
  return url.substr(0, start) + address + url.substr(start + HostLength(url, start));
}

CHttpDownloadFile::CHttpDownloadFile()
    : CHttpBase(DownloadWorker(), DownloadManager()), id_(Live().nextId++) {
  Live().downloads[id_] = this;
}

CHttpDownloadFile::~CHttpDownloadFile() {
  Stop();
  resolver_.StopThread(500);
  Live().downloads.erase(id_);
}

bool CHttpDownloadFile::Download(const std::wstring& backupUrls, const std::wstring& primaryUrl,
                                 const std::wstring& localPath, uint64_t expectedSize,
                                 Completion completion, Progress progress, void* userData) {
  if (!backupUrls.empty()) {
    std::vector<std::wstring> pieces;
    SplitList(backupUrls, pieces);
    urls_.assign(pieces.begin(), pieces.end());
  }
  if (!primaryUrl.empty()) {
    urls_.remove_if([&](const std::wstring& u) { return u == primaryUrl || u.size() < 3; });
    primaryUrl_ = primaryUrl;
  }
  if (running) return false;
  urls_.push_front(primaryUrl);
  localPath_ = localPath;
  expectedSize_ = expectedSize;
  completion_ = completion;
  progress_ = progress;
  userData_ = userData;
  return SubmitRequest(DownloadManager(), this);
}

std::wstring CHttpDownloadFile::GetUrl() const {
  return urls_.empty() ? std::wstring() : urls_.front();
}

bool CHttpDownloadFile::Start() {
  if (running) return false;
  auto* transfer = new CCurlHttp(Manager());
  SetTransfer(transfer);
  transfer->SetReportProgress(true);

  auto file = std::make_unique<DownloadWriteFile>();
  if (!file->Open(localPath_)) {
    const int32_t type = file->ErrorType(), code = file->ErrorCode();
    file.reset();
    if (completion_ != nullptr) completion_(userData_, type, code);
    return false;
  }
  DownloadWriteFile* sink = file.get();
  transfer->SetSink(std::move(file));
  LOG_TRACE(LOG_INFO, L"CHttpDownloadFile::Start() localPath:%s", localPath_.c_str());

  int64_t existing = CFileEx::SizeOf(localPath_);
  if (existing < 0) {
    LOG_CONSOLE(LOG_INFO, L"无需断点下载 %s ", localPath_.c_str());
    existing = 0;
  }
  const uint64_t size = static_cast<uint64_t>(existing);
  if (expectedSize_ == 0) {
    transfer->SetResumeRequested(false);
    sink->Reset();
    resumePosition = 0;
  } else if (size > expectedSize_) {
    LOG_CONSOLE(LOG_ERRO, L"%s文件大小(%lld)大于预期(%lld)大小  ", localPath_.c_str(),
                static_cast<long long>(size), static_cast<long long>(expectedSize_));
    transfer->SetResumeRequested(false);
    sink->Reset();
    resumePosition = 0;
  } else if (size == expectedSize_) {
    LOG_CONSOLE(LOG_INFO, L"文件大小等于预计大小，下载已完成 %s pos:%lld", localPath_.c_str(),
                static_cast<long long>(size));
    if (completion_ != nullptr) completion_(userData_, kResultOk, 0);
    return false;
  } else if (size > 0) {
    LOG_CONSOLE(LOG_INFO, L"开始断点下载 %s pos:%lld", localPath_.c_str(),
                static_cast<long long>(size));
    transfer->SetResumeRequested(true);
    resumePosition = size;
  } else {
    LOG_CONSOLE(LOG_INFO, L"非断点 %s pos:%lld", localPath_.c_str(), static_cast<long long>(size));
    transfer->SetResumeRequested(false);
    resumePosition = 0;
  }
  return CHttpBase::Start();
}

void CHttpDownloadFile::Stop() {
  downloaded_ = 0;
  thisSecond_ = 0;
  contentLength_ = 0;
  CancelDnsWait();
  CHttpBase::Stop();
}

void CHttpDownloadFile::CancelDnsWait() {
  if (dnsWaitToken_ == 0) return;
  Live().dnsWaits.erase(dnsWaitToken_);
  dnsWaitToken_ = 0;
  resolver_.StopThread(500);
}

void CHttpDownloadFile::OnReceived(uint64_t count) {
  thisSecond_ += static_cast<uint32_t>(count);
}

void CHttpDownloadFile::OnHttpCode(const HttpStatusNotice& notice) {
  const std::wstring currentUrl = GetUrl();
  if (notice.status >= 300 && notice.status <= 399) {
    LOG_CONSOLE2(LOG_INFO, L"重定向中...  url:%s", L"重定向中... url:%s", currentUrl.c_str());
    return;
  }
  SetResult(kResultHttp, notice.status);
  auto* http = Http();
  if (notice.status == 200 && http != nullptr && http->ResumeRequested()) {
    LOG_CONSOLE(LOG_INFO, L"不支持断点续传 url:%s", currentUrl.c_str());
    resumePosition = 0;  // the transfer has emptied the file
  }
  if (notice.contentLength <= 0) return;
  contentLength_ = static_cast<uint64_t>(notice.contentLength);
  const uint64_t total = resumePosition + contentLength_;
  if (expectedSize_ != 0 && total != expectedSize_) {
    LOG_CONSOLE(LOG_ERRO, L"长度不一致 预期值:%lld 实际值:%lld",
                static_cast<long long>(expectedSize_), static_cast<long long>(total));
    Stop();
    if (completion_ != nullptr) completion_(userData_, kResultUser, kSizeMismatch);
    return;
  }
  if (progress_ != nullptr) progress_(userData_, total, resumePosition, 0);
}

void CHttpDownloadFile::OnTimer() {
  if (!running || progress_ == nullptr || contentLength_ == 0) return;
  speedSamples_.push_back(thisSecond_);
  downloaded_ += thisSecond_;
  thisSecond_ = 0;
  if (speedSamples_.size() > 10) speedSamples_.pop_front();
  const uint64_t sum = std::accumulate(speedSamples_.begin(), speedSamples_.end(), uint64_t{0});
  const uint32_t speed = static_cast<uint32_t>(sum / 10);
  progress_(userData_, resumePosition + contentLength_, resumePosition + downloaded_, speed);
}

void CHttpDownloadFile::Done(CURLcode curlCode) {
  if (!running) return;
  Stop();  // closes the file: the worker detached the transfer before this
  SetResult(kResultCurl, curlCode);
  if (curlCode == CURLE_OK && expectedSize_ != 0 &&
      CFileEx::SizeOf(localPath_) != static_cast<int64_t>(expectedSize_)) {
    // A body without a Content-Length that ended early is no success.
    SetResult(kResultUser, kSizeMismatch);
  }
  const HttpResult result = ResultCode();
  ClearResult();
  std::wstring currentUrl = GetUrl();

  if (attempts <= static_cast<uint32_t>(maxRetries) && result.type == kResultCurl) {
    LOG_CONSOLE(LOG_INFO, L"CHttpDownloadFile::Done() 重试.... code:%d errtype:%d  url:%s ",
                result.code, result.type, currentUrl.c_str());
    retryWait = true;
    retryTick = ::GetTickCount();
    Resubmit();
    return;
  }
  const bool networkFailure =
      (result.type == kResultHttp || result.type == kResultCurl) && result.code != 0;
  if (networkFailure && urls_.size() > 1) {
    attempts = 0;
    retryWait = true;
    const std::wstring failed = urls_.front();
    urls_.pop_front();
    currentUrl = GetUrl();
    LOG_CONSOLE(LOG_INFO,
                L"CHttpDownloadFile::Done() type:%d code:%d  url:%s 下载失败，尝试使用备用地址:%s",
                result.type, result.code, failed.c_str(), currentUrl.c_str());
    retryTick = ::GetTickCount();
    Resubmit();
    return;
  }
  if (networkFailure && !primaryUrl_.empty()) {
    const std::string host = ToUtf8(ExtractUrlHost(primaryUrl_));
    // A host this short cannot be a real one; asking for it would leave the
    // download waiting for ever, so it ends here as a final failure.
    if (host.size() >= 3) {
      dnsFailureType_ = result.type;
      attempts = 0;
      retryWait = true;
      LOG_CONSOLE(LOG_INFO,
                  L"CHttpDownloadFile::Done() 开始重试DNS解析.... type:%d code:%d  url:%s ",
                  result.type, result.code, primaryUrl_.c_str());
      retryTick = ::GetTickCount();
      // The previous run ends before its settings change.
      resolver_.StopThread(500);
      dnsWaitToken_ = Live().nextToken++;
      Live().dnsWaits[dnsWaitToken_] = this;
      resolver_.SetResultFunction(&CHttpDownloadFile::OnSpareDNSResult);
      resolver_.SetContext(reinterpret_cast<void*>(dnsWaitToken_));
      resolver_.SetHost(host);
      resolver_.StartThread();
      return;
    }
  }
  if (result.type != kResultOk) {
    LOG_CONSOLE(LOG_INFO, L"CHttpDownloadFile::Done()  code:%d errtype:%d  url:%s ", result.code,
                result.type, currentUrl.c_str());
  }
  Finish(result.type, result.code);
}

void CHttpDownloadFile::Finish(int32_t type, int32_t code) {
  urls_.clear();
  if (completion_ != nullptr) completion_(userData_, type, code);
}

void CHttpDownloadFile::FinishTask(uint64_t downloadId, int type, int code) {
  auto it = Live().downloads.find(downloadId);
  if (it != Live().downloads.end() && it->second->completion_ != nullptr) {
    it->second->completion_(it->second->userData_, type, code);
  }
}

void CHttpDownloadFile::PostFinish(int32_t type, int32_t code) {
  using Task = MainThreadTask3<uint64_t, uint64_t, int, int, int, int>;
  PostTask(new Task(&CHttpDownloadFile::FinishTask, id_, type, code));
}

void CHttpDownloadFile::OnSpareDNSResult(int code, void* context, const std::string& host,
                                         const std::string& addressList) {
  const std::wstring wideHost = FromUtf8(host);
  const std::wstring wideList = FromUtf8(addressList);
  if (code == 0 && !addressList.empty()) {
    LOG_TRACE(LOG_INFO, L"OnSpareDNSResult 解析成功 code:%d, domain:%s, ip_list:%s", code,
              wideHost.c_str(), wideList.c_str());
  } else {
    LOG_TRACE(LOG_INFO, L"OnSpareDNSResult 失败 code:%d, domain:%s", code, wideHost.c_str());
  }
  const uintptr_t token = reinterpret_cast<uintptr_t>(context);
  auto it = Live().dnsWaits.find(token);
  if (it == Live().dnsWaits.end()) {
    LOG_TRACE(LOG_ERRO, L"DNS回调失效 找不到相关任务 id:0x%p %s", context, wideHost.c_str());
    return;
  }
  CHttpDownloadFile* download = it->second;
  Live().dnsWaits.erase(it);
  download->dnsWaitToken_ = 0;
  download->OnDNSResult(code, wideHost, wideList);
}

void CHttpDownloadFile::OnDNSResult(int code, const std::wstring& host,
                                    const std::wstring& addressList) {
  resolver_.StopThread(100);
  const int32_t type = dnsFailureType_;
  if (primaryUrl_.empty()) {
    const std::wstring currentUrl = GetUrl();
    LOG_CONSOLE(LOG_INFO,
                L"CHttpDownloadFile::OnDNSResult() 状态不对，忽略 type:%d code:%d  url:%s ", type,
                code, currentUrl.c_str());
    PostFinish(type, code);
    return;
  }
  urls_.clear();
  std::vector<std::wstring> addresses;
  SplitList(addressList, addresses);
  for (const std::wstring& address : addresses) {
    if (address.size() > 7) urls_.push_back(ReplaceUrlHost(primaryUrl_, address));
  }
  if (!host.empty() && !urls_.empty()) {
    attempts = 0;
    retryWait = true;
    const std::wstring currentUrl = GetUrl();
    LOG_CONSOLE(LOG_INFO,
                L"CHttpDownloadFile::Done() 重试DNS解析到的ip列表.... type:%d code:%d  url:%s ",
                type, code, currentUrl.c_str());
    retryTick = ::GetTickCount();
    primaryUrl_.clear();  // no second spare-DNS retry
    Resubmit();
    return;
  }
  const std::wstring currentUrl = GetUrl();
  LOG_CONSOLE(LOG_INFO, L"CHttpDownloadFile::OnDNSResult() 解析DNS失败 type:%d code:%d  url:%s ",
              type, code, currentUrl.c_str());
  PostFinish(type, code);
}
