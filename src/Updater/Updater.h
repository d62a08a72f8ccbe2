#pragma once

#include <winsock2.h>  // before windows.h, as libcurl needs it
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Http/HttpCommand.h"
#include "Http/HttpDownloadFile.h"
#include "Runtime/ProtoValue.h"
#include "Runtime/ScopedHandle.h"
#include "Runtime/ThreadChecker.h"

class IGameEventListener;

// One install attempt's network work: fetches the update manifest from the
// first address that answers, keeps a UTF-16 copy of it as "kdinstall.ini"
// in the install folder, downloads the package it names into a temporary
// file named after its version, moves the finished file to
// "kdinstaller.exe", and reports manifest, progress and completion to its
// listener. Every manifest phase ends with one OnUpdateInfo and every
// started download with one OnDownloadComplete; a failure leaves the object
// idle until RetryManifest.
//
// The engine's callbacks do no work themselves: they post to a private
// message-only helper window, and the work happens in its procedure, out of
// the engine's call stack. Main thread only (VerifyPackage excepted). The
// owner owns the object and the listener outlives it; the object owns its
// two requests and the helper window. Construct it while the engines are up:
// the requests bind to them at construction.
class Updater {
 public:
  // The helper window's messages. The other numbers up to WM_USER + 1008
  // are reserved and ignored.
  static constexpr UINT kManifestFinished = WM_USER + 1000;  // type, code
  static constexpr UINT kProgressReady = WM_USER + 1001;     // 0, 0
  static constexpr UINT kDownloadFinished = WM_USER + 1002;  // type, code

  static constexpr const wchar_t* kManifestCopyName = L"kdinstall.ini";
  static constexpr const wchar_t* kPackageName = L"kdinstaller.exe";

  // The built-in manifest addresses (build configuration).
  Updater(const std::wstring& installDir, IGameEventListener* listener);
  // Explicit manifest addresses, tried in order.
  Updater(const std::wstring& installDir, IGameEventListener* listener,
          std::vector<std::wstring> manifestUrls);
  ~Updater();
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  [[nodiscard]] static std::vector<std::wstring> BuiltInManifestUrls();

  // Brings up the helper window and the manifest phase. False only when the
  // install folder cannot be created. A helper window that cannot be made
  // ends the phase at once with OnUpdateInfo(1, error).
  [[nodiscard]] bool Start();
  // Stops both requests and destroys the helper window; results still on
  // their way are dropped. Safe to repeat.
  void Stop();
  // The owner's retry after a failure report: the manifest phase again from
  // the first address (making the helper window again if it is missing).
  void RetryManifest();

  // Requests the manifest from the next address; false when none is left.
  bool FetchManifest();
  // The end of one manifest request (helper window procedure).
  void HandleManifestResult(int32_t resultType, int32_t resultCode);
  // Starts the package download with the manifest's values. When the
  // install folder cannot be created the attempt ends with
  // OnDownloadComplete(1, error) and false.
  bool StartPackageDownload();
  // The end of the package download (helper window procedure).
  void HandleDownloadDone(int32_t resultType, int32_t resultCode);

  // Whether the file's MD5 equals `expectedMd5`, letter case aside. Any
  // thread: it touches only the file and its arguments.
  [[nodiscard]] static bool VerifyPackage(const std::wstring& path,
                                          const std::wstring& expectedMd5);

  // The engine's callbacks; `userData` is the helper window.
  static void OnManifestResponse(void* userData, const std::string& response, int type, int code);
  static void OnDownloadProgress(void* userData, uint64_t total, uint64_t done,
                                 uint32_t bytesPerSecond);
  static void OnDownloadFinished(void* userData, int type, int code);

  [[nodiscard]] HWND HelperWindow() const { return helperWindow_.get(); }
  [[nodiscard]] const std::wstring& HelperClassName() const { return helperClassName_; }
  [[nodiscard]] const std::wstring& FinalPath() const { return finalPath_; }
  [[nodiscard]] const std::wstring& TempPath() const { return tempPath_; }
  [[nodiscard]] const std::wstring& PackageMd5() const { return packageMd5_; }
  [[nodiscard]] bool IsDownloading() const { return downloading_; }

 private:
  static LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static Updater* FromWindow(void* window);
  static void PostToHelper(void* window, UINT message, WPARAM wParam, LPARAM lParam);

  // 0 or the Windows error; the window is null on failure.
  DWORD CreateHelperWindow();
  // CreateHelperWindow unless the window is there already.
  DWORD EnsureHelperWindow();
  // Starts fetching from the first address, or ends the phase at once with
  // the error of a helper window that could not be made.
  void BeginManifestPhase(DWORD windowError);
  void DestroyHelperWindow();
  void ReportManifest(int32_t resultType, int32_t resultCode);
  // 0 or the Windows error of the open, write or flush that failed.
  DWORD WriteManifestCopy(const std::wstring& path);
  // False when the copy holds values the module refuses to use.
  bool ReadManifestCopy(const std::wstring& path);
  void HandleProgress();

  std::wstring manifestText_;
  ProtoValue progress_;
  ScopedWindow helperWindow_;
  std::vector<std::wstring> manifestUrls_;
  size_t nextManifestUrl_ = 0;
  CHttpCommand manifestRequest_;
  CHttpDownloadFile packageDownload_;
  bool downloading_ = false;
  std::wstring installDir_;
  std::wstring helperClassName_;
  IGameEventListener* listener_;
  std::wstring packageUrl_, mirrorUrls_, packageMd5_, packageSizeText_, manifestVersion_;
  std::wstring finalPath_, tempPath_;
  CThreadChecker thread_;
};

// A manifest version becomes part of a file name in an elevated process:
// only [0-9A-Za-z._-], no "..", at most 64 characters. Empty is allowed.
[[nodiscard]] bool IsSafePackageVersion(const std::wstring& version);
