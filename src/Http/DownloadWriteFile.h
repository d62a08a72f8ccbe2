#pragma once

#include <string>

#include "Runtime/FileEx.h"
#include "Runtime/OBaseStream.h"

// The file sink of a download: appends the body to the local file. Failures
// are recorded as a result pair: (1, 2020) when the file cannot be opened,
// (3, 2001) when written while closed, (1, Windows error) when a write fails.
// Opened on the main thread; written and reset on the worker while the
// transfer runs; closed by whichever side lets go last.
class DownloadWriteFile : public OBaseStream {
 public:
  static constexpr int32_t kOpenFailed = 2020;
  static constexpr int32_t kNotOpen = 2001;

  // Opens (or creates) `path`, keeping its content, positioned at its end.
  [[nodiscard]] bool Open(const std::wstring& path);
  [[nodiscard]] int32_t Write(const void* data, uint32_t length) override;
  void Close() override;
  // Empties the open file, or deletes a closed one.
  void Reset() override;

 private:
  std::wstring path_;
  CFileEx file_;
};
