#pragma once

#include <string>

#include "Runtime/BaseLogger.h"
#include "Runtime/Singleton.h"

// Log sink that writes each line to the process console with WriteConsoleW.
// Enabled only with options and a console the caller has attached. Any
// thread.
class ConsoleLogger : public BaseLogger, public CSingleton<ConsoleLogger> {
 public:
  void SetConsoleAttached(bool attached);

 protected:
  void Write(const std::wstring& line) override;
  [[nodiscard]] bool IsEnabled() const override;

 private:
  friend class CSingleton<ConsoleLogger>;
  ConsoleLogger() = default;

  bool consoleAttached_ = false;
};
