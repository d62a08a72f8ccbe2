#pragma once

#include <winsock2.h>  // before windows.h, as the engine headers need it
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "FetchOptions.h"
#include "Runtime/ThreadChecker.h"
#include "Updater/IGameEventListener.h"

class Updater;

// One kdfetch run: an Updater on this thread's message loop, like the
// installer's, that prints one line per listener event to stdout and, after
// a failure report, fetches the manifest again after the retry delay until
// the attempts are used up. Main thread only; the engines must be up for
// the whole of Run.
class CFetchSession : public IGameEventListener {
 public:
  explicit CFetchSession(const FetchOptions& options);
  ~CFetchSession();
  CFetchSession(const CFetchSession&) = delete;
  CFetchSession& operator=(const CFetchSession&) = delete;

  // Runs until the package is in place (0; with --verify only if it
  // matches) or the attempts are used up (1). The Updater is stopped and
  // gone when it returns.
  [[nodiscard]] int Run();

  void OnProgress(uint64_t total, uint64_t received, uint64_t bytesPerSecond) override;
  void OnDownloadComplete(int32_t resultType, int32_t resultCode,
                          const std::wstring& text) override;
  void OnUpdateInfo(int32_t resultType, int32_t resultCode, const std::wstring& version,
                    const std::wstring& md5) override;

 private:
  void AttemptFailed();
  void Finish(int status);
  static void Print(const std::wstring& line);

  const FetchOptions& options_;
  std::unique_ptr<Updater> updater_;
  uint32_t failedAttempts_ = 0;
  UINT_PTR retryTimer_ = 0;
  int status_ = 1;
  bool finished_ = false;
  CThreadChecker thread_;
};
