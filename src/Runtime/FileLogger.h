#pragma once

#include <cstdio>
#include <string>

#include "Runtime/BaseLogger.h"
#include "Runtime/Singleton.h"

// Log sink that writes each line's UTF-16 code units, as raw little-endian
// bytes without a byte order mark, to an open C stream. Enabled only with
// options and an open stream; the installer configures neither, tools and
// tests do. Any thread.
class FileLogger : public BaseLogger, public CSingleton<FileLogger> {
 public:
  ~FileLogger() override;

  // Opens (or appends to) `path` as the sink's stream. Closes a stream opened
  // before. Returns false when the file cannot be opened; the sink is then
  // disabled.
  [[nodiscard]] bool OpenFile(const std::wstring& path, bool append);
  void CloseFile();

 protected:
  void Write(const std::wstring& line) override;
  [[nodiscard]] bool IsEnabled() const override;

 private:
  friend class CSingleton<FileLogger>;
  FileLogger() = default;

  FILE* stream_ = nullptr;
};
