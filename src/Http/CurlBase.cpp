#include "Http/CurlBase.h"

#include <windows.h>

#include <algorithm>

#include "Runtime/MainThreadTask.h"
#include "Runtime/RefPtr.h"
#include "Runtime/Runtime.h"

namespace {

using TransferRef = CRefPtr<CCurlBase>;

// The main-thread end of a notification: the listener operation `Operation`
// with the task's transfer and value.
template <class Value, auto Operation>
void Notify(const TransferRef& t, const Value& value) {
  if (t && t->Listener()) (t->Listener()->*Operation)(t.get(), value);
}

// Queues Notify for `transfer`; the task's reference keeps the transfer
// alive until it has run.
template <auto Operation, class Value>
void PostNotify(CCurlBase* transfer, const Value& value) {
  using Task = MainThreadTask2<TransferRef, const TransferRef&, Value, const Value&>;
  PostTask(new Task(&Notify<Value, Operation>, TransferRef(transfer), value));
}

uint32_t Clamp32(size_t size, size_t count) {
  // libcurl hands at most CURL_MAX_WRITE_SIZE per call; the clamp only keeps
  // the arithmetic honest.
  const uint64_t bytes = uint64_t{size} * count;
  return static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX));
}

}  // namespace

CCurlBase::CCurlBase(CurlListener* listener) : listener_(listener) {}

CCurlBase::~CCurlBase() {
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
}

void CCurlBase::CloseStreams() {
  if (!closed_.exchange(true)) Close();
}

bool CCurlBase::ProgressDue() {
  const uint32_t now = ::GetTickCount();
  if (!reportProgress_ || static_cast<uint32_t>(now - lastReport_) <= 100) return false;
  lastReport_ = now;
  return true;
}

size_t CCurlBase::HeaderCallback(char* data, size_t size, size_t count, void* transfer) {
  auto* self = static_cast<CCurlBase*>(transfer);
  if (self == nullptr || !self->IsActive()) return 0;  // aborts the transfer
  return self->OnRecieveHeader(data, Clamp32(size, count));
}

size_t CCurlBase::WriteCallback(char* data, size_t size, size_t count, void* transfer) {
  auto* raw = static_cast<CCurlBase*>(transfer);
  if (raw == nullptr || !raw->IsActive()) return 0;
  TransferRef self(raw);
  const uint32_t n = self->OnRecieveBody(data, Clamp32(size, count));
  self->bytesSinceReport_ += n;
  if (self->ProgressDue()) {
    self->PostBytesReceived(static_cast<uint32_t>(self->bytesSinceReport_));
    self->bytesSinceReport_ = 0;
  }
  return n;
}

size_t CCurlBase::ReadCallback(char* buffer, size_t size, size_t count, void* transfer) {
  auto* raw = static_cast<CCurlBase*>(transfer);
  if (raw == nullptr || !raw->IsActive()) return 0;
  TransferRef self(raw);
  const uint32_t n = self->OnSendBody(buffer, Clamp32(size, count));
  if (self->ProgressDue()) self->PostBytesSent(n);
  return n;
}

void CCurlBase::PostDone(CURLcode code) {
  PostNotify<&CurlListener::OnTransferDone>(this, code);
}
void CCurlBase::PostBytesReceived(uint32_t bytes) {
  PostNotify<&CurlListener::OnBytesReceived>(this, bytes);
}
void CCurlBase::PostBytesSent(uint32_t bytes) {
  PostNotify<&CurlListener::OnBytesSent>(this, bytes);
}
void CCurlBase::PostHttpCode(const HttpStatusNotice& notice) {
  PostNotify<&CurlListener::OnHttpCode>(this, notice);
}
void CCurlBase::PostRemoved() {
  PostNotify<&CurlListener::OnTransferRemoved>(this, 0);
}
void CCurlBase::PostAdded() {
  PostNotify<&CurlListener::OnTransferAdded>(this, 0);
}
