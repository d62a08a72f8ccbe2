#include "Http/HttpBase.h"

#include "Http/CurlWorkshop.h"
#include "Http/HttpEngines.h"
#include "Http/HttpMgr.h"

namespace {

const wchar_t* KeyOf(int32_t type) {
  switch (type) {
    case kResultOk:
      return L"ok";
    case kResultSys:
      return L"sys";
    case kResultCrt:
      return L"crt";
    case kResultUser:
      return L"user";
    case kResultHttp:
      return L"http";
    case kResultCurl:
      return L"curl";
    default:
      return nullptr;
  }
}

}  // namespace

CHttpBase::CHttpBase(CCurlWorkshop* worker, CHttpMgr* manager)
    : engineManager_(manager), worker_(worker) {}

CHttpBase::~CHttpBase() {
  Stop();
}

void CHttpBase::SetResult(int32_t type, int32_t code) {
  if (const wchar_t* key = KeyOf(type)) result_[key][L"code"] = code;
}

HttpResult CHttpBase::ResultCode() const {
  auto code = [this](const wchar_t* key) {
    return static_cast<int32_t>(result_.Get(key).Get(L"code").integer());
  };
  if (result_.Has(L"sys") && code(L"sys") != 0) return {kResultSys, code(L"sys")};
  if (result_.Has(L"user") && code(L"user") != 0) return {kResultUser, code(L"user")};
  if (result_.Has(L"http")) {
    const int32_t status = code(L"http");
    if (status < 100 || status > 399) return {kResultHttp, status};
  }
  if (result_.Has(L"curl") && code(L"curl") != 0) return {kResultCurl, code(L"curl")};
  return {kResultOk, 0};
}

void CHttpBase::SetTransfer(CCurlHttp* transfer) {
  DetachTransfer();
  transfer_ = transfer;
}

bool CHttpBase::PrepareTransfer() {
  CCurlHttp* http = Http();
  if (http == nullptr) return false;
  TransferOptions options;
  options.url = GetUrl();
  options.method = method;
  options.resumePosition = resumePosition;
  options.connectTimeoutSeconds = connectTimeoutSeconds;
  options.lowSpeedTimeSeconds = lowSpeedTimeSeconds;
  return http->Configure(options);
}

bool CHttpBase::Start() {
  if (running) return false;
  ++attempts;
  running = true;
  const bool prepared = PrepareTransfer();
  if (transfer_ && worker_ != nullptr) {
    if (!prepared || !worker_->AddTransfer(transfer_)) {
      // Ends like any failed attempt, so the retry rules apply instead of the
      // request waiting for a completion that never comes.
      transfer_->MarkDetached();
      transfer_->PostDone(CURLE_FAILED_INIT);
    }
  }
  return true;
}

void CHttpBase::DetachTransfer() {
  if (!transfer_) return;
  transfer_->Deactivate();
  // Only once the worker has let go may this thread touch the streams;
  // otherwise the worker closes them when it removes the transfer.
  if (transfer_->IsDetached()) transfer_->CloseStreams();
  transfer_ = nullptr;
}

void CHttpBase::Stop() {
  if (running) {
    running = false;
    if (transfer_ && worker_ != nullptr && !transfer_->IsDetached()) {
      (void)worker_->RemoveTransfer(transfer_);
    }
  }
  DetachTransfer();
  if (manager_ != nullptr && manager_->Remove(this)) manager_ = nullptr;
}

bool CHttpBase::Resubmit() {
  return SubmitRequest(engineManager_, this);
}
