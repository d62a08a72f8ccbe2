#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>

#include "Runtime/CriticalSection.h"

// Levels of a log line; any other value is accepted and prints no level.
enum LogLevel : int32_t {
  LOG_INFO = 0,
  LOG_WARN = 1,
  LOG_ERRO = 2,
};

// What a configured sink adds around each message.
struct LogLineOptions {
  enum : uint8_t { kTime = 0x02, kProcessId = 0x04, kThreadId = 0x08 };
  uint8_t fields = 0;
  bool lineBreak = false;
};

// One log sink. A sink is inert until configured: every call then costs one
// enter and leave of the sink's lock and formats nothing, which is how the
// shipped installer runs. Any thread may log; the lock is held across the
// enabled check, the formatting and the write, so lines on one sink never
// interleave. The lock is re-entrant.
class BaseLogger {
 public:
  virtual ~BaseLogger();
  BaseLogger(const BaseLogger&) = delete;
  BaseLogger& operator=(const BaseLogger&) = delete;

  // `format` is a wide printf format as msvcrt reads it: %s takes a
  // wide string, %lld a 64-bit integer.
  virtual void Log(int32_t level, const wchar_t* format, ...);
  virtual void LogAt(int32_t level, int32_t line, const wchar_t* file, const wchar_t* format, ...);

  void Configure(const LogLineOptions& options);
  void Unconfigure();

 protected:
  BaseLogger() = default;

  // Both run with the sink's lock held.
  virtual void Write(const std::wstring& line) = 0;
  [[nodiscard]] virtual bool IsEnabled() const = 0;

  [[nodiscard]] bool HasOptions() const { return options_ != nullptr; }
  CCriticalSection& Lock() { return lock_; }

 private:
  void LogV(int32_t level, const int32_t* line, const wchar_t* file, const wchar_t* format,
            va_list args);

  std::unique_ptr<LogLineOptions> options_;
  CCriticalSection lock_;
};
