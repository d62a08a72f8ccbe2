#include "Http/CurlBase.h"

#include <windows.h>

#include <algorithm>

#include "Runtime/MainThreadTask.h"
#include "Runtime/RefPtr.h"
#include "Runtime/Runtime.h"

namespace {

using TransferRef = CRefPtr<CCurlBase>;

template <class Value>
using NotifyTask = MainThreadTask2<TransferRef, const TransferRef&, Value, Value>;

void NotifyDone(const TransferRef& t, CURLcode code) {
  if (t && t->Listener()) t->Listener()->OnTransferDone(t.get(), code);
}
void NotifyReceived(const TransferRef& t, uint32_t bytes) {
  if (t && t->Listener()) t->Listener()->OnBytesReceived(t.get(), bytes);
}
void NotifySent(const TransferRef& t, uint32_t bytes) {
  if (t && t->Listener()) t->Listener()->OnBytesSent(t.get(), bytes);
}
void NotifyHttpCode(const TransferRef& t, HttpStatusNotice notice) {
  if (t && t->Listener()) t->Listener()->OnHttpCode(t.get(), notice);
}
void NotifyRemoved(const TransferRef& t, int value) {
  if (t && t->Listener()) t->Listener()->OnTransferRemoved(t.get(), value);
}
void NotifyAdded(const TransferRef& t, int value) {
  if (t && t->Listener()) t->Listener()->OnTransferAdded(t.get(), value);
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
  PostTask(new NotifyTask<CURLcode>(&NotifyDone, TransferRef(this), code));
}
void CCurlBase::PostBytesReceived(uint32_t bytes) {
  PostTask(new NotifyTask<uint32_t>(&NotifyReceived, TransferRef(this), bytes));
}
void CCurlBase::PostBytesSent(uint32_t bytes) {
  PostTask(new NotifyTask<uint32_t>(&NotifySent, TransferRef(this), bytes));
}
void CCurlBase::PostHttpCode(const HttpStatusNotice& notice) {
  PostTask(new NotifyTask<HttpStatusNotice>(&NotifyHttpCode, TransferRef(this), notice));
}
void CCurlBase::PostRemoved() {
  PostTask(new NotifyTask<int>(&NotifyRemoved, TransferRef(this), 0));
}
void CCurlBase::PostAdded() {
  PostTask(new NotifyTask<int>(&NotifyAdded, TransferRef(this), 0));
}
