#include "App/CommonUtils.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Runtime/ScopedHandle.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
using ScopedFile = ScopedHandle<FileHandleTraits>;

// Holds `path` open the way another process would: nobody may delete it,
// and with `shareRead` false nobody may read it either.
ScopedFile HoldOpen(const std::wstring& path, bool shareRead) {
  return ScopedFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  shareRead ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, n);
}

TEST(CommonUtilsTest, FormatSizeLeavesAUnitBeforeItReachesAThousand) {
  struct Case {
    uint64_t bytes;
    const wchar_t* text;
  };
  const Case cases[] = {
      {0, L"0B"},
      {999, L"999B"},
      {1000, L"0.98KB"},
      {1023999, L"1000.00KB"},
      {1024000, L"0.98MB"},
      {20 * 1024 * 1024, L"20.00MB"},
      {1048576000, L"0.98GB"},
      {1000ull * 1024 * 1024 * 1024, L"0.98TB"},
      // The last unit stays, however large the number.
      {5000ull * 1024 * 1024 * 1024 * 1024, L"5000.00TB"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(CommonUtilsTest, ParentFolderCases) {
  struct Case {
    const wchar_t* path;
    const wchar_t* parent;
  };
  const Case cases[] = {
      {L"C:/Games/Tessel/app.exe", L"C:\\Games\\Tessel"},
      {L"C:\\Games\\Tessel\\", L"C:\\Games"},
      {L"C:\\Games\\Tessel", L"C:\\Games"},
      {L"app.exe", L""},
      {L"", L""},
      {L"C:\\", L""},
      {L"\\\\server\\share\\file", L"\\\\server\\share"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParentFolder(c.path), c.parent) << c.path;
}

TEST(CommonUtilsTest, ExeDirIsTheFolderOfTheRunningExecutable) {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ASSERT_GT(n, 0u);
  const std::wstring path(self, n);
  const std::wstring expected = path.substr(0, path.find_last_of(L'\\'));
  EXPECT_EQ(GetExeDir(), expected);
  EXPECT_EQ(GetExeDir(), expected);  // from the cache
  EXPECT_EQ(ModuleFolder(n + 1), expected);
  // A buffer the path just fills would hold a cut path: no folder at all.
  EXPECT_EQ(ModuleFolder(n), L"");
  EXPECT_EQ(ModuleFolder(8), L"");
}

class CommonUtilsLogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(log_.IsCapturing()); }
  std::wstring LogText() const { return log_.Text(); }
  static size_t Count(const std::wstring& text, const std::wstring& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::wstring::npos; at = text.find(piece, at + 1)) {
      ++count;
    }
    return count;
  }

  std::wstring Full(const std::wstring& name) const { return dir_.File(name); }

  TempDir dir_;
  LogCapture log_{LogLineOptions{0, true}};
};

TEST_F(CommonUtilsLogTest, CreateDirMakesEveryLevelAndLogsNothing) {
  const std::wstring nested = Full(L"a\\b\\c");
  EXPECT_TRUE(CreateDir(nested));
  EXPECT_TRUE(Exists(nested));
  EXPECT_TRUE(CreateDir(nested));  // already there
  EXPECT_TRUE(CreateDir(dir_.Path()));
  EXPECT_EQ(LogText(), L"");
}

TEST_F(CommonUtilsLogTest, CreateDirUnderAFileFailsWithOneErrorLine) {
  WriteFileBytes(Full(L"plain"), "x");
  const std::wstring impossible = Full(L"plain\\sub");
  ::SetLastError(0);
  EXPECT_FALSE(CreateDir(impossible));
  EXPECT_NE(::GetLastError(), 0u);  // the shell's error is left for the caller
  EXPECT_FALSE(Exists(impossible));
  const std::wstring text = LogText();
  EXPECT_EQ(Count(text, L"[ERRO]"), 1u);
  EXPECT_EQ(Count(text, L"CreateDir：" + impossible + L" ret："), 1u);
}

TEST_F(CommonUtilsLogTest, EnsureFolderCreatesButNeverLogs) {
  WriteFileBytes(Full(L"plain"), "x");
  EXPECT_TRUE(EnsureFolder(Full(L"x\\y")));
  EXPECT_TRUE(Exists(Full(L"x\\y")));
  EXPECT_FALSE(EnsureFolder(Full(L"plain\\sub")));
  EXPECT_EQ(LogText(), L"");
}

TEST(CommonUtilsTest, RemoveFileSucceedsForMissingAndFailsForAHeldFile) {
  TempDir dir;
  EXPECT_TRUE(RemoveFile(dir.File(L"missing")));

  const std::wstring path = dir.File(L"kdinstaller.exe");
  WriteFileBytes(path, "abc");
  EXPECT_TRUE(RemoveFile(path));
  EXPECT_FALSE(Exists(path));

  WriteFileBytes(path, "abc");
  {
    ScopedFile held = HoldOpen(path, /*shareRead=*/true);
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(RemoveFile(path));
    EXPECT_TRUE(Exists(path));
  }
  EXPECT_TRUE(RemoveFile(path));
}

TEST(CommonUtilsTest, MoveFileReplaceNeedsASourceAndReplacesTheTarget) {
  TempDir dir;
  const std::wstring source = dir.File(L"a.tmp"), target = dir.File(L"a.exe");
  WriteFileBytes(target, "old");
  EXPECT_FALSE(MoveFileReplace(source, target));
  EXPECT_EQ(ReadFileBytes(target), "old");

  WriteFileBytes(source, "new");
  EXPECT_TRUE(MoveFileReplace(source, target));
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ(ReadFileBytes(target), "new");
}

TEST(CommonUtilsTest, GetFileSizeReadsSizesEvenOfUnreadableFiles) {
  TempDir dir;
  EXPECT_EQ(GetFileSize(dir.File(L"missing")), -1);
  const std::wstring empty = dir.File(L"empty"), some = dir.File(L"some");
  WriteFileBytes(empty, "");
  WriteFileBytes(some, std::string(70000, 'x'));
  EXPECT_EQ(GetFileSize(empty), 0);
  EXPECT_EQ(GetFileSize(some), 70000);
  // No read sharing: the C runtime cannot open it, the directory entry
  // still gives the size.
  ScopedFile held = HoldOpen(some, /*shareRead=*/false);
  ASSERT_TRUE(held.valid());
  EXPECT_EQ(GetFileSize(some), 70000);
}

TEST(CommonUtilsTest, FolderPathOfADriveRootKeepsItsSeparator) {
  struct Case {
    std::wstring folder;
    std::wstring path;
  };
  const std::wstring system = SystemFolder();
  const Case cases[] = {
      {L"C:\\", L"C:\\"},
      {system, system + L"\\"},
  };
  for (const Case& c : cases) {
    PIDLIST_ABSOLUTE items = nullptr;
    ASSERT_EQ(::SHParseDisplayName(c.folder.c_str(), nullptr, &items, 0, nullptr), S_OK);
    EXPECT_EQ(FolderPathFromItemList(items), c.path);
    ::ILFree(items);
  }
  EXPECT_EQ(FolderPathFromItemList(nullptr), L"");
}

class CommonUtilsProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A copy in a folder with blanks: the application name is passed
    // separately, so nothing needs quoting.
    ASSERT_TRUE(CreateDir(Full(L"with blank")));
    ASSERT_TRUE(::CopyFileW((SystemFolder() + L"\\cmd.exe").c_str(), shell_.c_str(), FALSE));
  }

  static DWORD WaitAndExitCode(HANDLE process) {
    EXPECT_EQ(::WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeProcess(process, &code));
    return code;
  }

  std::wstring Full(const std::wstring& name) const { return dir_.File(name); }

  TempDir dir_;
  std::wstring shell_ = Full(L"with blank\\my shell.exe");
};

TEST_F(CommonUtilsProcessTest, StartProcessHandsTheHandlesToTheCaller) {
  PROCESS_INFORMATION info = {};
  ASSERT_EQ(StartProcess(shell_, L"my shell.exe /c exit 7", &info), 0u);
  ScopedKernelHandle process(info.hProcess), thread(info.hThread);
  EXPECT_NE(info.dwProcessId, 0u);
  EXPECT_EQ(WaitAndExitCode(process.get()), 7u);
}

TEST_F(CommonUtilsProcessTest, LaunchProcessLetsTheProcessGo) {
  const std::wstring marker = Full(L"launched.txt");
  PROCESS_INFORMATION info = {};
  ASSERT_EQ(LaunchProcess(shell_, L"x /c echo launched>" + marker, &info), 0u);
  EXPECT_NE(info.dwProcessId, 0u);
  // Only the ids are left to the caller; the process shows itself by its
  // output.
  for (int i = 0; i < 1000 && ReadFileBytes(marker).find("launched") == std::string::npos; ++i) {
    ::Sleep(10);
  }
  EXPECT_NE(ReadFileBytes(marker).find("launched"), std::string::npos);
}

TEST_F(CommonUtilsProcessTest, MissingProgramGivesTheWindowsError) {
  const std::wstring missing = Full(L"missing.exe");
  EXPECT_EQ(LaunchProcess(missing, L"missing.exe"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  PROCESS_INFORMATION info = {};
  EXPECT_EQ(StartProcess(missing, L"missing.exe", &info),
            (uint64_t{1} << 32) | ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(info.hProcess, nullptr);
}

}  // namespace
