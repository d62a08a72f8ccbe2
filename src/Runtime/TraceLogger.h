#pragma once

#include <string>

#include "Runtime/BaseLogger.h"
#include "Runtime/Singleton.h"

// Log sink that hands each line to the debugger with OutputDebugStringW.
// Enabled whenever it has options. Any thread.
class TraceLogger : public BaseLogger, public CSingleton<TraceLogger> {
 protected:
  void Write(const std::wstring& line) override;
  [[nodiscard]] bool IsEnabled() const override;

 private:
  friend class CSingleton<TraceLogger>;
  TraceLogger() = default;
};
