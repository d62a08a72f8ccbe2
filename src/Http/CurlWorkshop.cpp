#include "Http/CurlWorkshop.h"

#include <algorithm>

#include "Runtime/Log.h"

namespace {

// Longest wait in curl_multi_poll; libcurl shortens it for its own timers and
// AddTransfer/RemoveTransfer/StopThread cut it short with a wake-up.
constexpr int kIdleWaitMs = 1000;

}  // namespace

CCurlWorkshop::~CCurlWorkshop() {
  StopThread(INFINITE);
  Uninit();
}

void CCurlWorkshop::Init() {
  CAutoLock hold(lock_);
  if (multi_ == nullptr) {
    multi_ = curl_multi_init();
    LOG_CONSOLE(LOG_INFO, L"CCurlWorkshop::Init() %p", static_cast<void*>(multi_));
  }
}

void CCurlWorkshop::Uninit() {
  CAutoLock hold(lock_);
  if (multi_ != nullptr) {
    for (const auto& transfer : running_) ReleaseEasy(*transfer);
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
  }
  pending_.clear();
  running_.clear();
  removals_.clear();
}

void CCurlWorkshop::Wake() {
  // Lock held: the multi handle cannot go away underneath.
  if (multi_ != nullptr) curl_multi_wakeup(multi_);
}

void CCurlWorkshop::WakeForStop() {
  CAutoLock hold(lock_);
  Wake();
}

bool CCurlWorkshop::AddTransfer(const CRefPtr<CCurlBase>& transfer) {
  CAutoLock hold(lock_);
  if (multi_ == nullptr) return false;
  pending_.push_back(transfer);
  auto it = std::find_if(removals_.begin(), removals_.end(),
                         [&](const auto& r) { return r.get() == transfer.get(); });
  if (it != removals_.end()) removals_.erase(it);
  Wake();
  return true;
}

bool CCurlWorkshop::RemoveTransfer(const CRefPtr<CCurlBase>& transfer) {
  CAutoLock hold(lock_);
  if (multi_ == nullptr) return false;
  removals_.push_back(transfer);
  Wake();
  return true;
}

void CCurlWorkshop::Execute() {
  while (!IsStopRequested()) {
    SyncLists();
    int active = 0;
    CURLMcode result;
    do {
      result = curl_multi_perform(multi_, &active);
    } while (result == CURLM_CALL_MULTI_PERFORM && !IsStopRequested());
    if (ProcessMessages() > 0 || IsStopRequested()) continue;
    // Blocks until socket activity, a libcurl timer or a wake-up: an idle
    // engine costs nothing.
    int ready = 0;
    curl_multi_poll(multi_, nullptr, 0, kIdleWaitMs, &ready);
  }
}

void CCurlWorkshop::SyncLists() {
  CAutoLock hold(lock_);
  for (const TransferList* list : {&pending_, &running_}) {
    for (const auto& transfer : *list) {
      if (!transfer->IsActive()) removals_.push_back(transfer);
    }
  }
  while (!removals_.empty()) {
    CRefPtr<CCurlBase> transfer = std::move(removals_.front());
    removals_.pop_front();
    DetachTransfer(transfer);
    // Only the worker could still be writing into the streams; now nothing
    // can, so it closes them (a file is released at once, not when the last
    // reference goes).
    transfer->CloseStreams();
    transfer->PostRemoved();
  }
  while (!pending_.empty()) {
    CRefPtr<CCurlBase> transfer = std::move(pending_.front());
    pending_.pop_front();
    CURL* easy = transfer->Easy();
    if (easy != nullptr && curl_multi_add_handle(multi_, easy) == CURLM_OK) {
      transfer->PostAdded();
      running_.push_back(std::move(transfer));
    } else {
      // Reported like any failed attempt, so the request's retry rules apply
      // instead of waiting for ever.
      LOG_CONSOLE(LOG_ERRO, L"CCurlWorkshop::SyncLists add failed %p",
                  static_cast<void*>(transfer.get()));
      transfer->MarkDetached();
      transfer->PostDone(CURLE_FAILED_INIT);
    }
  }
}

void CCurlWorkshop::ReleaseEasy(CCurlBase& transfer) {
  curl_multi_remove_handle(multi_, transfer.Easy());
  curl_easy_cleanup(transfer.Easy());
  transfer.SetEasy(nullptr);
  transfer.MarkDetached();
}

void CCurlWorkshop::DetachTransfer(const CRefPtr<CCurlBase>& transfer) {
  CURL* easy = transfer->Easy();
  if (easy == nullptr) {
    transfer->MarkDetached();
    return;
  }
  auto byEasy = [easy](const auto& t) { return t->Easy() == easy; };
  auto it = std::find_if(running_.begin(), running_.end(), byEasy);
  if (it != running_.end()) {
    ReleaseEasy(*transfer);
    running_.erase(it);
  } else {
    auto p = std::find_if(pending_.begin(), pending_.end(), byEasy);
    if (p != pending_.end()) pending_.erase(p);
  }
  transfer->MarkDetached();
}

int CCurlWorkshop::ProcessMessages() {
  int done = 0;
  int left = 0;
  while (!IsStopRequested()) {
    CURLMsg* message = curl_multi_info_read(multi_, &left);
    if (message == nullptr) break;
    if (message->msg != CURLMSG_DONE) continue;
    CAutoLock hold(lock_);
    ++done;
    CURL* easy = message->easy_handle;
    const CURLcode result = message->data.result;
    auto it = std::find_if(running_.begin(), running_.end(),
                           [easy](const auto& t) { return t->Easy() == easy; });
    if (it == running_.end()) continue;
    CRefPtr<CCurlBase> transfer = *it;
    // Detached before the notice is posted: when the request handles it, no
    // callback can run any more and the streams are its to read and close.
    DetachTransfer(transfer);
    transfer->PostDone(result);
  }
  return done;
}
