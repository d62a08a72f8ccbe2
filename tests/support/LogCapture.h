#pragma once

#include <string>

#include "Runtime/BaseLogger.h"
#include "support/TempDir.h"

// Sends the file sink's lines to a fresh file for as long as it lives and
// reads them back; the sink is unconfigured again afterwards, as in the
// shipped program. One at a time: the sink is process-wide.
class LogCapture {
 public:
  explicit LogCapture(LogLineOptions options = {});
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  [[nodiscard]] bool IsCapturing() const { return capturing_; }
  // Every line written so far (the sink flushes after each one).
  [[nodiscard]] std::wstring Text() const;

 private:
  TempDir dir_;
  std::wstring path_ = dir_.File(L"log.txt");
  bool capturing_ = false;
};
