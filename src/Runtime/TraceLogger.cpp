#include "Runtime/TraceLogger.h"

#include <windows.h>

bool TraceLogger::IsEnabled() const {
  return HasOptions();
}

void TraceLogger::Write(const std::wstring& line) {
  if (!IsEnabled()) return;
  ::OutputDebugStringW(line.c_str());
}
