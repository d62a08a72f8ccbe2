#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <string>

// File, folder and process helpers shared by the installer and the update
// module. All strings are UTF-16.
//
// Threads: GetExeDir caches its result process-wide and BrowseForFolder
// shows a modal dialog; both belong to the main thread. Everything else
// keeps no state and may be called from any thread (the install worker
// starts processes and removes files).

// The folder of the running executable, without a trailing "\" except for
// a drive root. Empty (and not cached) when the module path cannot be read
// whole. Main thread.
[[nodiscard]] std::wstring GetExeDir();
// The folder part of the executable's path read into a buffer of
// `capacity` characters; empty when the call fails or the path fills the
// buffer, since a cut path would name some other folder.
[[nodiscard]] std::wstring ModuleFolder(DWORD capacity);

// The folder exists afterwards, creating every missing level. A failure is
// logged at ERRO and leaves the shell's error as the last error.
[[nodiscard]] bool CreateDir(const std::wstring& path);
// Like CreateDir, but silent: for checking a folder the user typed.
[[nodiscard]] bool EnsureFolder(const std::wstring& path);

// True when the file is absent afterwards. One attempt: a file another
// process holds gives false at once, the caller decides about retrying.
[[nodiscard]] bool RemoveFile(const std::wstring& path);
// Moves `source` over `target`, replacing it. False when `source` is
// missing or the one attempt fails.
[[nodiscard]] bool MoveFileReplace(const std::wstring& source, const std::wstring& target);
// The file's size in bytes; -1 when it cannot be determined. Works for
// files another process holds without read sharing.
[[nodiscard]] int64_t GetFileSize(const std::wstring& path);

// The size text shown to the user: "999B", "0.98KB", "1000.00KB",
// "0.98MB". A unit is left once the number would reach 1000, not 1024.
[[nodiscard]] std::wstring FormatSize(uint64_t bytes);
// Everything before the last separator ("/" or "\", read as "\"), after
// one trailing separator is dropped; empty without any separator.
[[nodiscard]] std::wstring ParentFolder(const std::wstring& path);

// The shell's folder browser, starting at `initial` (or the current
// directory). The chosen folder ends with "\"; empty when cancelled. Main
// thread.
[[nodiscard]] std::wstring BrowseForFolder(HWND owner, const std::wstring& initial);
// The file-system path of a shell item, ending with "\"; empty when the
// item has none.
[[nodiscard]] std::wstring FolderPathFromItemList(PCIDLIST_ABSOLUTE items);

// Starts a process and lets it go: its handles are closed before return,
// so `out` receives only the ids. Returns 0 or the Windows error. The
// command line is passed as it is; the application is named separately,
// so a path with blanks needs no quotes.
[[nodiscard]] DWORD LaunchProcess(const std::wstring& application, const std::wstring& commandLine,
                                  PROCESS_INFORMATION* out = nullptr);
// Starts a process and hands its handles to the caller through `out`
// (closed here when `out` is null). Returns 0, or 1 in the high half and
// the Windows error in the low half.
[[nodiscard]] uint64_t StartProcess(const std::wstring& application,
                                    const std::wstring& commandLine,
                                    PROCESS_INFORMATION* out = nullptr);
