#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Runtime/ScopedHandle.h"

namespace {

std::wstring InstallerPath() {
  wchar_t self[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"TesselSetup.exe";
}

// Starts the installer, lets its message loop come up, posts WM_QUIT with
// `exitCode` to its main thread and returns what the process exits with.
DWORD RunAndQuit(const std::wstring& arguments, WPARAM exitCode) {
  std::wstring commandLine = L"\"" + InstallerPath() + L"\" " + arguments;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
    ADD_FAILURE() << "CreateProcess failed: " << ::GetLastError();
    return ~0u;
  }
  ScopedKernelHandle process(pi.hProcess), thread(pi.hThread);
  // The thread has no message queue until its start-up calls into USER32;
  // until then the post fails.
  bool posted = false;
  for (int i = 0; i < 500 && !posted; ++i) {
    ::WaitForInputIdle(process.get(), 10);
    posted = ::PostThreadMessageW(pi.dwThreadId, WM_QUIT, exitCode, 0) != 0;
    if (!posted) ::Sleep(10);
  }
  EXPECT_TRUE(posted);
  if (::WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 99);
    ADD_FAILURE() << "installer did not end after WM_QUIT";
    return ~0u;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  return code;
}

TEST(EntryTest, MessageLoopEndsWithTheQuitCode) {
  EXPECT_EQ(RunAndQuit(L"21", 0), 0u);
  EXPECT_EQ(RunAndQuit(L"", 7), 7u);
}

}  // namespace
