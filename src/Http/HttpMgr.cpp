#include "Http/HttpMgr.h"

#include <algorithm>
#include <vector>

#include "Http/HttpBase.h"
#include "Runtime/Log.h"

void CHttpMgr::Add(CHttpBase* request) {
  DCHECK_ON_THREAD(thread_);
  if (Contains(request)) {
    const std::wstring url = request->GetUrl();
    LOG_CONSOLE(LOG_INFO, L"http请求重复添加 url:%s", url.c_str());
    return;
  }
  requests_.push_back(request);
  if (!request->retryWait) Schedule();
}

bool CHttpMgr::Remove(CHttpBase* request) {
  DCHECK_ON_THREAD(thread_);
  const bool wasScheduled = request->scheduled;
  requests_.remove(request);
  request->scheduled = false;
  if (wasScheduled) {
    --running_;
    Schedule();
  }
  return true;
}

void CHttpMgr::Schedule() {
  DCHECK_ON_THREAD(thread_);
  auto total = [this] { return static_cast<int>(requests_.size()); };
  if (running_ > maxRunning_ || running_ > requests_.size()) {
    LOG_CONSOLE(LOG_INFO,
                L"CHttpMgr::Schedule() 正在运行的任务数计算出错，重新计算中 running:%d max:%d "
                L"total:%d",
                static_cast<int>(running_), static_cast<int>(maxRunning_), total());
    running_ = static_cast<uint32_t>(
        std::count_if(requests_.begin(), requests_.end(), [](auto* r) { return r->scheduled; }));
  }
  LOG_CONSOLE(LOG_INFO, L"CHttpMgr::Schedule() 调度任务 running:%d max:%d total:%d",
              static_cast<int>(running_), static_cast<int>(maxRunning_), total());
  if (running_ >= maxRunning_) {
    LOG_CONSOLE(LOG_INFO, L"CHttpMgr::Schedule() 任务数超标 running:%d max:%d total:%d",
                static_cast<int>(running_), static_cast<int>(maxRunning_), total());
    return;
  }
  // Start() may call back into the owner, which may stop or submit requests.
  const std::vector<CHttpBase*> snapshot(requests_.begin(), requests_.end());
  for (CHttpBase* request : snapshot) {
    if (!Contains(request)) continue;
    if (!request->scheduled && !request->running) {
      if (request->Start() && Contains(request) && !request->retryWait && !request->scheduled) {
        request->scheduled = true;
        ++running_;
      }
    }
    if (running_ >= maxRunning_) break;
  }
}

void CHttpMgr::Clear() {
  for (CHttpBase* request : requests_) request->DetachEngine();
  requests_.clear();
  running_ = 0;
}

void CHttpMgr::TickRunning() {
  const std::vector<CHttpBase*> snapshot(requests_.begin(), requests_.end());
  for (CHttpBase* request : snapshot) {
    if (Contains(request) && request->running) request->OnTimer();
  }
}

void CHttpMgr::EndRetryWaits(DWORD now) {
  bool ended = false;
  for (CHttpBase* request : requests_) {
    // Unsigned difference: correct across the 49.7-day wrap of the tick count.
    if (request->retryWait && static_cast<DWORD>(now - request->retryTick) > 500) {
      request->retryWait = false;
      ended = true;
    }
  }
  if (ended) Schedule();
}

bool CHttpMgr::Contains(const CHttpBase* request) const {
  return std::find(requests_.begin(), requests_.end(), request) != requests_.end();
}

CHttpBase* CHttpMgr::Find(const CCurlBase* transfer) const {
  for (CHttpBase* request : requests_) {
    if (request->Transfer() == transfer) return request;
  }
  return nullptr;
}

void CHttpMgr::OnTransferDone(CCurlBase* transfer, CURLcode code) {
  if (CHttpBase* request = Find(transfer)) request->Done(code);
}

void CHttpMgr::OnBytesReceived(CCurlBase* transfer, uint32_t bytes) {
  if (CHttpBase* request = Find(transfer)) request->OnReceived(bytes);
}

void CHttpMgr::OnBytesSent(CCurlBase*, uint32_t) {}

void CHttpMgr::OnHttpCode(CCurlBase* transfer, const HttpStatusNotice& notice) {
  if (CHttpBase* request = Find(transfer)) request->OnHttpCode(notice);
}

void CHttpMgr::OnTransferRemoved(CCurlBase*, int) {}

void CHttpMgr::OnTransferAdded(CCurlBase*, int) {}
