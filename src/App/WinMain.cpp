#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "App/AppContext.h"
#include "App/GameNumber.h"
#include "Runtime/Runtime.h"

namespace {

int RunMessageLoop() {
  MSG msg;
  BOOL got;
  while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;  // only with invalid arguments; never spin on it
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE, PWSTR commandLine, int) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  CAppContext& context = CAppContext::Instance();
  context.gameNumber = ParseGameNumber(commandLine);

  // The main window is created here and closes the loop with WM_QUIT once
  // it has been destroyed.
  CMainDlg* window = nullptr;
  RuntimeStartup(window, context);

  int exitCode = 0;
  ::CoInitialize(nullptr);
  ::OleInitialize(nullptr);
  if (SUCCEEDED(::CoInitialize(nullptr))) {
    exitCode = RunMessageLoop();
    RuntimeShutdown(context);
    ::OleUninitialize();
  }
  return exitCode;
}
