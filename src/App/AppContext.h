#pragma once

#include <windows.h>

#include <cstdint>

class CMainDlg;

// The process-wide application context: the running main window, the id of
// the runtime's one-second timer (both written by the runtime start-up and
// shut-down) and the game number from the command line (0 when none was
// given). Created on first use, destroyed at process exit. Main thread only.
class CAppContext {
 public:
  static CAppContext& Instance();

  CMainDlg* owner = nullptr;
  UINT_PTR timerId = 0;
  uint16_t gameNumber = 0;

 private:
  CAppContext() = default;
};
