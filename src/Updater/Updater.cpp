#include "Updater/Updater.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "App/CommonUtils.h"
#include "Http/HttpEngines.h"
#include "Runtime/FileEx.h"
#include "Runtime/Log.h"
#include "Runtime/MD5.h"
#include "Runtime/TextUtils.h"
#include "Updater/IGameEventListener.h"

#ifndef TESSEL_MANIFEST_URLS
#error "TESSEL_MANIFEST_URLS comes from the build configuration"
#endif

namespace {

// Every helper window gets a class of its own, so a class left registered
// by an earlier attempt can never be picked up again. Main thread only.
int32_t helperClassCounter = 0;

// Write access, others may read, not inherited, always created anew.
constexpr uint32_t kManifestCopyFlags = 0x90A1;
// Values of the manifest are read into buffers of this many characters.
constexpr DWORD kValueChars = 2048;
constexpr size_t kMaxVersionChars = 64;

const wchar_t kInstallSection[] = L"Install";
const wchar_t kFailureText[] = L"安装失败";

// One key of the "Install" section. False when the value fills the buffer:
// a cut address or checksum must not pass for the real one.
bool ReadInstallKey(const std::wstring& path, const wchar_t* key, std::wstring& value) {
  std::vector<wchar_t> buffer(kValueChars);
  const DWORD n = ::GetPrivateProfileStringW(kInstallSection, key, L"", buffer.data(), kValueChars,
                                             path.c_str());
  if (n >= kValueChars - 1) return false;
  value.assign(buffer.data(), n);
  return true;
}

WPARAM PackInt(int32_t value) {
  return static_cast<WPARAM>(static_cast<intptr_t>(value));
}

int32_t UnpackInt(WPARAM value) {
  return static_cast<int32_t>(static_cast<intptr_t>(value));
}

}  // namespace

bool IsSafePackageVersion(const std::wstring& version) {
  if (version.size() > kMaxVersionChars || version.find(L"..") != std::wstring::npos) return false;
  for (wchar_t c : version) {
    const bool allowed = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') ||
                         (c >= L'a' && c <= L'z') || c == L'.' || c == L'_' || c == L'-';
    if (!allowed) return false;
  }
  return true;
}

std::vector<std::wstring> Updater::BuiltInManifestUrls() {
  return std::vector<std::wstring>{TESSEL_MANIFEST_URLS};
}

Updater::Updater(const std::wstring& installDir, IGameEventListener* listener)
    : Updater(installDir, listener, BuiltInManifestUrls()) {}

Updater::Updater(const std::wstring& installDir, IGameEventListener* listener,
                 std::vector<std::wstring> manifestUrls)
    : manifestUrls_(std::move(manifestUrls)), installDir_(installDir), listener_(listener) {}

Updater::~Updater() {
  Stop();
}

bool Updater::Start() {
  DCHECK_ON_THREAD(thread_);
  const DWORD windowError = EnsureHelperWindow();
  if (!CreateDir(installDir_)) return false;
  BeginManifestPhase(windowError);
  return true;
}

void Updater::RetryManifest() {
  DCHECK_ON_THREAD(thread_);
  BeginManifestPhase(EnsureHelperWindow());
}

DWORD Updater::EnsureHelperWindow() {
  return helperWindow_ ? 0 : CreateHelperWindow();
}

void Updater::BeginManifestPhase(DWORD windowError) {
  if (windowError != 0) {
    // No window, so no result could ever arrive: end the phase here and
    // let the owner's retry try again.
    ReportManifest(kResultSys, static_cast<int32_t>(windowError));
    return;
  }
  nextManifestUrl_ = 0;
  if (!FetchManifest()) ReportManifest(kResultUser, -1);
}

void Updater::Stop() {
  DCHECK_ON_THREAD(thread_);
  manifestRequest_.Stop();
  packageDownload_.Stop();
  manifestText_.clear();
  downloading_ = false;
  DestroyHelperWindow();
}

DWORD Updater::CreateHelperWindow() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  helperClassName_ = FormatWide(L"_UPDATE_MODULE_HELPER_WINDOW_KADRO%d", ++helperClassCounter);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &Updater::HelperProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = helperClassName_.c_str();
  if (::RegisterClassW(&windowClass) == 0) {
    const DWORD error = ::GetLastError();
    // The two sinks word this one with different arguments.
    FileLogger::Instance().LogAt(LOG_ERRO, __LINE__, TESSEL_LOG_FILE_PATH, L"[UM]rcls %d:%d", 1,
                                 error);
    ConsoleLogger::Instance().LogAt(LOG_ERRO, __LINE__, TESSEL_LOG_FILE_PATH, L"[UM]regclass %d",
                                    error);
    return error != 0 ? error : ERROR_CLASS_ALREADY_EXISTS;
  }
  HWND window = ::CreateWindowExW(0, helperClassName_.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, instance, nullptr);
  if (window == nullptr) {
    const DWORD error = ::GetLastError();
    ::UnregisterClassW(helperClassName_.c_str(), instance);
    FileLogger::Instance().LogAt(LOG_ERRO, __LINE__, TESSEL_LOG_FILE_PATH, L"[UM]urcls %d:%d", 1,
                                 error);
    ConsoleLogger::Instance().LogAt(LOG_ERRO, __LINE__, TESSEL_LOG_FILE_PATH, L"[UM]unregclass %d",
                                    error);
    return error != 0 ? error : ERROR_INVALID_WINDOW_HANDLE;
  }
  helperWindow_.reset(window);
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return 0;
}

void Updater::DestroyHelperWindow() {
  if (!helperWindow_) return;
  helperWindow_.reset();
  ::UnregisterClassW(helperClassName_.c_str(), ::GetModuleHandleW(nullptr));
}

Updater* Updater::FromWindow(void* window) {
  HWND hwnd = static_cast<HWND>(window);
  if (hwnd == nullptr || !::IsWindow(hwnd)) return nullptr;
  return reinterpret_cast<Updater*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Updater::PostToHelper(void* window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!::PostMessageW(static_cast<HWND>(window), message, wParam, lParam)) {
    const DWORD error = ::GetLastError();
    LOG_CONSOLE2(LOG_ERRO, L"[UM] post message failed:%u", L"[UM] post_message failed:%u", error);
  }
}

LRESULT CALLBACK Updater::HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER + 1000 && message <= WM_USER + 1008) {
    Updater* self = FromWindow(window);
    if (self == nullptr) return 0;
    switch (message) {
      case kManifestFinished:
        self->HandleManifestResult(UnpackInt(wParam), UnpackInt(static_cast<WPARAM>(lParam)));
        break;
      case kProgressReady:
        self->HandleProgress();
        break;
      case kDownloadFinished:
        self->HandleDownloadDone(UnpackInt(wParam), UnpackInt(static_cast<WPARAM>(lParam)));
        break;
      default:
        break;
    }
    return 0;
  }
  if (message == WM_TIMER) return 0;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void Updater::OnManifestResponse(void* userData, const std::string& response, int type, int code) {
  Updater* self = FromWindow(userData);
  if (self == nullptr) return;
  self->manifestText_ = FromUtf8(response);
  PostToHelper(userData, kManifestFinished, PackInt(type), static_cast<LPARAM>(PackInt(code)));
}

void Updater::OnDownloadProgress(void* userData, uint64_t total, uint64_t done,
                                 uint32_t bytesPerSecond) {
  Updater* self = FromWindow(userData);
  if (self == nullptr) return;
  ProtoValue& process = self->progress_[L"process"];
  process[L"total"] = static_cast<int64_t>(total);
  process[L"complete"] = static_cast<int64_t>(done);
  process[L"speed"] = static_cast<int64_t>(bytesPerSecond);
  PostToHelper(userData, kProgressReady, 0, 0);
}

void Updater::OnDownloadFinished(void* userData, int type, int code) {
  PostToHelper(userData, kDownloadFinished, PackInt(type), static_cast<LPARAM>(PackInt(code)));
}

bool Updater::FetchManifest() {
  DCHECK_ON_THREAD(thread_);
  if (nextManifestUrl_ >= manifestUrls_.size()) return false;
  const std::wstring& url = manifestUrls_[nextManifestUrl_++];
  if (!manifestRequest_.running) {
    manifestRequest_.url = url;
    manifestRequest_.completion = &Updater::OnManifestResponse;
    manifestRequest_.userData = helperWindow_.get();
    SubmitRequest(CommandManager(), &manifestRequest_);
  }
  return true;
}

void Updater::ReportManifest(int32_t resultType, int32_t resultCode) {
  listener_->OnUpdateInfo(resultType, resultCode, manifestVersion_, packageMd5_);
}

void Updater::HandleManifestResult(int32_t resultType, int32_t resultCode) {
  DCHECK_ON_THREAD(thread_);
  manifestRequest_.Stop();
  if (resultType != kResultOk) {
    if (nextManifestUrl_ < manifestUrls_.size()) {
      FetchManifest();
      return;
    }
    ReportManifest(resultType, resultCode);
    return;
  }
  const std::wstring copyPath = FormatWide(L"%s\\%s", installDir_.c_str(), kManifestCopyName);
  if (const DWORD error = WriteManifestCopy(copyPath); error != 0) {
    LOG_TRACE(LOG_ERRO, L"[UM]manifest copy %s not written:%u", copyPath.c_str(), error);
    ReportManifest(kResultSys, static_cast<int32_t>(error));
    return;
  }
  if (!ReadManifestCopy(copyPath)) {
    LOG_TRACE(LOG_ERRO, L"[UM]manifest %s refused", copyPath.c_str());
    ReportManifest(kResultUser, -1);
    return;
  }
  StartPackageDownload();
  ReportManifest(resultType, resultCode);
}

DWORD Updater::WriteManifestCopy(const std::wstring& path) {
  CFileEx file;
  CFileEx::OpenError openError;
  if (!file.Open(path, kManifestCopyFlags, &openError)) {
    return openError.code != 0 ? openError.code : ERROR_OPEN_FAILED;
  }
  static_assert(sizeof(wchar_t) == 2, "the copy holds UTF-16 code units");
  const size_t bytes = manifestText_.size() * sizeof(wchar_t);
  if (bytes > UINT32_MAX) return ERROR_FILE_TOO_LARGE;
  try {
    static const uint8_t kByteOrderMark[2] = {0xFF, 0xFE};
    (void)file.Seek(0, FILE_BEGIN);
    file.Write(kByteOrderMark, sizeof(kByteOrderMark));
    file.Write(manifestText_.data(), static_cast<uint32_t>(bytes));
    file.Flush();
    file.Close();
  } catch (const CFileExException& e) {
    file.Abort();
    return e.code != 0 ? static_cast<DWORD>(e.code) : ERROR_WRITE_FAULT;
  }
  return 0;
}

bool Updater::ReadManifestCopy(const std::wstring& path) {
  std::wstring url, mirrors, size, md5, version;
  if (!ReadInstallKey(path, L"Url", url) || !ReadInstallKey(path, L"murl", mirrors) ||
      !ReadInstallKey(path, L"Size", size) || !ReadInstallKey(path, L"Md5", md5) ||
      !ReadInstallKey(path, L"Version", version)) {
    return false;
  }
  if (!IsSafePackageVersion(version) || _wcstoi64(size.c_str(), nullptr, 10) < 0) return false;
  packageUrl_ = std::move(url);
  mirrorUrls_ = std::move(mirrors);
  packageSizeText_ = std::move(size);
  packageMd5_ = std::move(md5);
  manifestVersion_ = std::move(version);
  return true;
}

bool Updater::StartPackageDownload() {
  DCHECK_ON_THREAD(thread_);
  if (!CreateDir(installDir_)) {
    // Without a folder there is nothing to download into; ending the
    // attempt lets the owner's retry take over.
    const DWORD error = ::GetLastError();
    listener_->OnDownloadComplete(kResultSys, static_cast<int32_t>(error), kFailureText);
    return false;
  }
  finalPath_ = FormatWide(L"%s\\%s", installDir_.c_str(), kPackageName);
  tempPath_ = FormatWide(L"%s\\kdinstaller_%s.tmp", installDir_.c_str(), manifestVersion_.c_str());
  downloading_ = true;
  const int64_t expected = _wcstoi64(packageSizeText_.c_str(), nullptr, 10);
  packageDownload_.Download(
      mirrorUrls_, packageUrl_, tempPath_, static_cast<uint64_t>(expected < 0 ? 0 : expected),
      &Updater::OnDownloadFinished, &Updater::OnDownloadProgress, helperWindow_.get());
  return true;
}

void Updater::HandleDownloadDone(int32_t resultType, int32_t resultCode) {
  DCHECK_ON_THREAD(thread_);
  if (!downloading_) return;
  packageDownload_.Stop();
  downloading_ = false;
  std::wstring text;
  if (resultType == kResultOk) {
    if (!RemoveFile(finalPath_) || !MoveFileReplace(tempPath_, finalPath_)) {
      LOG_TRACE(LOG_ERRO, L"[UM]%s not moved to %s:%u", tempPath_.c_str(), finalPath_.c_str(),
                ::GetLastError());
      resultType = kResultUser;
      resultCode = -1;
    }
  } else {
    // A partial file is kept for the next attempt to resume; an empty one
    // has nothing worth keeping.
    if (GetFileSize(tempPath_) <= 0) (void)RemoveFile(tempPath_);
    text = kFailureText;
  }
  listener_->OnDownloadComplete(resultType, resultCode, text);
}

void Updater::HandleProgress() {
  DCHECK_ON_THREAD(thread_);
  if (!downloading_) return;
  if (progress_.Has(L"process")) {
    const ProtoValue& process = progress_.Get(L"process");
    listener_->OnProgress(static_cast<uint64_t>(process.Get(L"total").integer()),
                          static_cast<uint64_t>(process.Get(L"complete").integer()),
                          static_cast<uint64_t>(process.Get(L"speed").integer()));
  }
  progress_.Clear();
}

bool Updater::VerifyPackage(const std::wstring& path, const std::wstring& expectedMd5) {
  FILE* stream = _wfopen(path.c_str(), L"rb");
  if (stream == nullptr) return false;
  MD5 digest(stream);  // reads to the end and closes the stream
  const std::wstring actual = FromAnsi(digest.hex_digest());
  return ToLower(expectedMd5) == ToLower(actual);
}
