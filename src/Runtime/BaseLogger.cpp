#include "Runtime/BaseLogger.h"

#include <windows.h>

#include <cstdio>
#include <ctime>
#include <cwchar>

#include "Runtime/TextUtils.h"

namespace {

const wchar_t* LevelName(int32_t level) {
  switch (level) {
    case LOG_INFO:
      return L"INFO";
    case LOG_WARN:
      return L"WARN";
    case LOG_ERRO:
      return L"ERRO";
    default:
      return nullptr;
  }
}

// Formats one bracketed field into a fixed buffer; a field whose result is
// empty or cut off by an error is left out.
template <size_t N>
void AppendField(std::wstring& out, const wchar_t* format, ...) {
  wchar_t buffer[N];
  va_list args;
  va_start(args, format);
  int n = _vsnwprintf(buffer, N - 1, format, args);
  va_end(args);
  if (n <= 0) return;
  buffer[N - 1] = L'\0';
  out.append(buffer, static_cast<size_t>(n) < N - 1 ? static_cast<size_t>(n) : N - 1);
}

}  // namespace

BaseLogger::~BaseLogger() = default;

void BaseLogger::Configure(const LogLineOptions& options) {
  CAutoLock hold(lock_);
  options_ = std::make_unique<LogLineOptions>(options);
}

void BaseLogger::Unconfigure() {
  CAutoLock hold(lock_);
  options_.reset();
}

void BaseLogger::Log(int32_t level, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(level, nullptr, nullptr, format, args);
  va_end(args);
}

void BaseLogger::LogAt(int32_t level, int32_t line, const wchar_t* file, const wchar_t* format,
                       ...) {
  va_list args;
  va_start(args, format);
  LogV(level, &line, file, format, args);
  va_end(args);
}

void BaseLogger::LogV(int32_t level, const int32_t* line, const wchar_t* file,
                      const wchar_t* format, va_list args) {
  CAutoLock hold(lock_);
  if (!IsEnabled()) return;

  std::wstring text;
  if (const wchar_t* name = LevelName(level)) AppendField<64>(text, L"[%4s]", name);
  if (options_->fields & LogLineOptions::kTime) {
    wchar_t stamp[32];
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_s(&local, &now) == 0) {
      size_t n = wcsftime(stamp, 32, L"[%Y-%m-%d %H:%M:%S]", &local);
      text.append(stamp, n);
    }
  }
  if (options_->fields & LogLineOptions::kProcessId) {
    AppendField<64>(text, L"[pid:%d]", static_cast<int>(::GetCurrentProcessId()));
  }
  if (options_->fields & LogLineOptions::kThreadId) {
    AppendField<64>(text, L"[tid:%d]", static_cast<int>(::GetCurrentThreadId()));
  }
  if (line != nullptr) {
    AppendField<2048>(text, L"[%s:%d]", file != nullptr ? file : L"", *line);
  }
  // A format the CRT rejects contributes nothing.
  text.append(FormatWideV(format, args));
  if (options_->lineBreak) text.append(L"\r\n");
  Write(text);
}
