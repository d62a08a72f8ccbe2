#include "Runtime/ConsoleLogger.h"

#include <windows.h>

void ConsoleLogger::SetConsoleAttached(bool attached) {
  CAutoLock hold(Lock());
  consoleAttached_ = attached;
}

bool ConsoleLogger::IsEnabled() const {
  return HasOptions() && consoleAttached_;
}

void ConsoleLogger::Write(const std::wstring& line) {
  if (!IsEnabled()) return;
  DWORD written = 0;
  ::WriteConsoleW(::GetStdHandle(STD_OUTPUT_HANDLE), line.c_str(), static_cast<DWORD>(line.size()),
                  &written, nullptr);
}
