// kdfetch: runs one update attempt of the installer headless and prints
// what the installer's window would be told. Exit status 0 when the
// package is in place (and matches, with --verify), 1 when it is not,
// 2 for a bad command line.

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Dns/DNSThread.h"
#include "FetchOptions.h"
#include "FetchSession.h"
#include "Http/HttpEngines.h"
#include "Runtime/FileLogger.h"
#include "Runtime/Runtime.h"
#include "Runtime/TextUtils.h"

namespace {

// The shell's folder creation takes only full paths.
std::wstring FullPath(const std::wstring& path) {
  const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::vector<wchar_t> buffer(n);
  const DWORD written = ::GetFullPathNameW(path.c_str(), n, buffer.data(), nullptr);
  return written > 0 && written < n ? std::wstring(buffer.data(), written) : path;
}

int Usage(const std::wstring& error) {
  const std::string text = "kdfetch: " + ToUtf8(error) + "\n" + ToUtf8(FetchOptions::kUsage) + "\n";
  fwrite(text.data(), 1, text.size(), stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  FetchOptions options;
  std::wstring error;
  if (!options.Parse(std::vector<std::wstring>(argv + 1, argv + argc), error)) return Usage(error);
  options.dir = FullPath(options.dir);

  if (!options.logFile.empty()) {
    if (!FileLogger::Instance().OpenFile(options.logFile, /*append=*/false)) {
      return Usage(L"cannot open " + options.logFile);
    }
    FileLogger::Instance().Configure(LogLineOptions{
        LogLineOptions::kTime | LogLineOptions::kProcessId | LogLineOptions::kThreadId, true});
  }
  if (!options.resolvers.empty()) CDNSThread::SetDefaultResolvers(options.resolvers);

  InstallHttpEngines();
  RuntimeRecord record;
  RuntimeStartup(&options, record);
  int status = 1;
  {
    CFetchSession session(options);
    status = session.Run();
  }
  RuntimeShutdown(record);
  FileLogger::Instance().Unconfigure();
  FileLogger::Instance().CloseFile();
  return status;
}
