#include "FetchSession.h"

#include <winsock2.h>
#include <windows.h>

#include <cinttypes>
#include <cstdio>

#include "App/CommonUtils.h"
#include "Runtime/TextUtils.h"
#include "Updater/Updater.h"

CFetchSession::CFetchSession(const FetchOptions& options) : options_(options) {}

CFetchSession::~CFetchSession() {
  if (retryTimer_ != 0) ::KillTimer(nullptr, retryTimer_);
}

int CFetchSession::Run() {
  DCHECK_ON_THREAD(thread_);
  updater_ = std::make_unique<Updater>(options_.dir, this, options_.manifestUrls);
  if (!updater_->Start()) {
    Print(L"error cannot create " + options_.dir);
    Finish(1);
  }
  // Start may already have reported (and finished the run) before the loop.
  MSG msg;
  while (!finished_ && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // The retry is a thread timer without a procedure: it arrives here.
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && retryTimer_ != 0 &&
        msg.wParam == retryTimer_) {
      ::KillTimer(nullptr, retryTimer_);
      retryTimer_ = 0;
      updater_->RetryManifest();
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  updater_->Stop();
  updater_.reset();
  return status_;
}

void CFetchSession::OnProgress(uint64_t total, uint64_t received, uint64_t bytesPerSecond) {
  DCHECK_ON_THREAD(thread_);
  Print(FormatWide(L"progress %llu %llu %llu %s %s %s/s", static_cast<unsigned long long>(total),
                   static_cast<unsigned long long>(received),
                   static_cast<unsigned long long>(bytesPerSecond), FormatSize(total).c_str(),
                   FormatSize(received).c_str(), FormatSize(bytesPerSecond).c_str()));
}

void CFetchSession::OnDownloadComplete(int32_t resultType, int32_t resultCode,
                                       const std::wstring& /*text*/) {
  DCHECK_ON_THREAD(thread_);
  Print(FormatWide(L"download-complete %d %d", resultType, resultCode));
  if (resultType != 0 || resultCode != 0) {
    AttemptFailed();
    return;
  }
  if (!options_.verify) {
    Finish(0);
    return;
  }
  const bool ok = Updater::VerifyPackage(updater_->FinalPath(), updater_->PackageMd5());
  Print(ok ? L"verify ok" : L"verify mismatch");
  Finish(ok ? 0 : 1);
}

void CFetchSession::OnUpdateInfo(int32_t resultType, int32_t resultCode,
                                 const std::wstring& version, const std::wstring& md5) {
  DCHECK_ON_THREAD(thread_);
  Print(
      FormatWide(L"update-info %d %d %s %s", resultType, resultCode, version.c_str(), md5.c_str()));
  if (resultType != 0) AttemptFailed();
}

void CFetchSession::AttemptFailed() {
  if (++failedAttempts_ >= options_.attempts) {
    Finish(1);
    return;
  }
  retryTimer_ = ::SetTimer(nullptr, 0, options_.retryDelayMs, nullptr);
  if (retryTimer_ == 0) {
    Print(FormatWide(L"error no retry timer %lu", ::GetLastError()));
    Finish(1);
  }
}

void CFetchSession::Finish(int status) {
  status_ = status;
  finished_ = true;
  // Wakes GetMessage when the run ends from inside a message.
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

void CFetchSession::Print(const std::wstring& line) {
  const std::string text = ToUtf8(line) + "\n";
  fwrite(text.data(), 1, text.size(), stdout);
  fflush(stdout);
}
