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

TEST(EntryTest, ExecutableCarriesItsIconAndManifest) {
  HMODULE exe = ::LoadLibraryExW(InstallerPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr);
  HICON icon = static_cast<HICON>(::LoadImageW(exe, MAKEINTRESOURCEW(101), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr);
  if (icon != nullptr) ::DestroyIcon(icon);
  HRSRC manifest = ::FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const char* text = static_cast<const char*>(::LockResource(::LoadResource(exe, manifest)));
  const std::string xml(text, ::SizeofResource(exe, manifest));
  EXPECT_NE(xml.find("requireAdministrator"), std::string::npos);
  EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  ::FreeLibrary(exe);
}

TEST(EntryTest, MessageLoopEndsWithTheQuitCode) {
  EXPECT_EQ(RunAndQuit(L"21", 0), 0u);
  EXPECT_EQ(RunAndQuit(L"", 7), 7u);
}

}  // namespace
