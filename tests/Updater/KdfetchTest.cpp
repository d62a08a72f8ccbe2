// kdfetch.exe run as a child process against a loopback server of this
// process, as someone checking the network half by hand would run it.

#include <winsock2.h>  // before windows.h, as the test server needs it
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Runtime/ScopedHandle.h"
#include "Runtime/TextUtils.h"
#include "Updater/UpdaterTestSupport.h"
#include "support/HttpTestServer.h"
#include "support/TempDir.h"

namespace {

constexpr DWORD kRunLimitMs = 60000;

std::wstring KdfetchPath() {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"kdfetch.exe";
}

struct RunResult {
  DWORD exitCode = ~0u;
  std::vector<std::string> lines;  // stdout and stderr, without line ends
};

// Runs kdfetch with `arguments`, its output going to a file, and waits a
// bounded time for it.
RunResult RunKdfetch(const std::wstring& arguments, const std::wstring& outputPath) {
  RunResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE output = ::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot create the output file";
    return result;
  }
  ScopedKernelHandle outputHolder(output);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  startup.hStdInput = nullptr;
  PROCESS_INFORMATION info = {};
  std::wstring commandLine = L"\"" + KdfetchPath() + L"\" " + arguments;
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
    ADD_FAILURE() << "CreateProcess failed: " << ::GetLastError();
    return result;
  }
  ScopedKernelHandle process(info.hProcess), thread(info.hThread);
  outputHolder.reset();
  if (::WaitForSingleObject(process.get(), kRunLimitMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 99);
    ::WaitForSingleObject(process.get(), 5000);
    ADD_FAILURE() << "kdfetch did not finish in time";
  }
  ::GetExitCodeProcess(process.get(), &result.exitCode);
  const std::string text = ReadFileBytes(outputPath);
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    result.lines.push_back(line);
    from = end + 1;
  }
  return result;
}

std::vector<std::string> LinesStartingWith(const RunResult& run, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& line : run.lines) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

TEST(KdfetchTest, PackageCutTwiceArrivesWholeResumedAndVerified) {
  constexpr size_t kSize = 20 * 1024 * 1024;
  constexpr int64_t kCut = 7 * 1024 * 1024;
  const auto package = std::make_shared<const std::string>(PackageBytes(kSize));
  const std::string md5 = Md5Hex(*package);
  std::atomic<int> packageRequests{0};
  std::string manifest;
  HttpTestServer server([&](const HttpTestServer::Request& request) {
    if (request.path == "/kdinstall.txt") return HttpTestServer::Text(200, manifest);
    if (request.path != "/pkg") return HttpTestServer::Text(404, "no route");
    HttpTestServer::Reply reply = HttpTestServer::Text(200, "");
    reply.body = package;
    // The first two connections break after 7 MiB each.
    if (packageRequests++ < 2) reply.closeAfterBytes = kCut;
    return reply;
  });
  manifest = ManifestText({Utf8(server.Url("/pkg")), "", std::to_string(kSize), md5, "3.1.0"});

  TempDir temp;
  const std::wstring dir = temp.File(L"install dir");
  const std::wstring log = temp.File(L"kdfetch.log");
  // The resolver points at a loopback port nobody serves: should the
  // download ever need it, no public resolver is asked.
  const RunResult run = RunKdfetch(L"--manifest " + server.Url("/kdinstall.txt") + L" --dir \"" +
                                       dir + L"\" --resolver 127.0.0.1:9 --verify --log \"" + log +
                                       L"\" --retry-delay 100 --attempts 1",
                                   temp.File(L"out.txt"));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(LinesStartingWith(run, "update-info"),
            (std::vector<std::string>{"update-info 0 0 3.1.0 " + md5}));
  EXPECT_EQ(LinesStartingWith(run, "download-complete"),
            (std::vector<std::string>{"download-complete 0 0"}));
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(LinesStartingWith(run, "verify"), (std::vector<std::string>{"verify ok"}));
  const std::vector<std::string> progress = LinesStartingWith(run, "progress 20971520 ");
  ASSERT_FALSE(progress.empty());
  EXPECT_NE(progress.back().find(" 20.00MB "), std::string::npos) << progress.back();

  const std::string arrived = ReadFileBytes(dir + L"\\kdinstaller.exe");
  EXPECT_EQ(arrived.size(), kSize);
  EXPECT_TRUE(arrived == *package);
  EXPECT_FALSE(FileExists(dir + L"\\kdinstaller_3.1.0.tmp"));

  std::vector<std::string> ranges;
  for (const auto& request : server.Requests()) {
    if (request.path == "/pkg") ranges.push_back(request.range);
  }
  EXPECT_EQ(ranges, (std::vector<std::string>{"", "bytes=" + std::to_string(kCut) + "-",
                                              "bytes=" + std::to_string(2 * kCut) + "-"}));

  // --log sends the engine's own lines to the file, as UTF-16 units.
  const std::string logBytes = ReadFileBytes(log);
  const std::wstring logText(reinterpret_cast<const wchar_t*>(logBytes.data()),
                             logBytes.size() / 2);
  EXPECT_NE(logText.find(L"开始断点下载"), std::wstring::npos);
}

TEST(KdfetchTest, ManifestFailuresAreRetriedUntilTheAttemptsAreUsedUp) {
  HttpTestServer server(
      [](const HttpTestServer::Request&) { return HttpTestServer::Text(500, "busy"); });
  TempDir temp;
  const RunResult run = RunKdfetch(L"--manifest " + server.Url("/a.txt") + L";" +
                                       server.Url("/b.txt") + L" --dir \"" + temp.File(L"d") +
                                       L"\" --resolver 127.0.0.1:9 --attempts 2 --retry-delay 100",
                                   temp.File(L"out.txt"));
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(LinesStartingWith(run, "update-info"),
            (std::vector<std::string>{"update-info 4 500  ", "update-info 4 500  "}));
  std::vector<std::string> paths;
  for (const auto& request : server.Requests()) paths.push_back(request.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"/a.txt", "/b.txt", "/a.txt", "/b.txt"}));
}

TEST(KdfetchTest, BadCommandLinesExitWithTwo) {
  TempDir temp;
  const wchar_t* const cases[] = {
      L"",
      L"--manifest http://127.0.0.1:9/m",
      L"--dir d",
      L"--manifest http://127.0.0.1:9/m --dir d --attempts 0",
      L"--manifest http://127.0.0.1:9/m --dir d --retry-delay soon",
      L"--manifest http://127.0.0.1:9/m --dir d --resolver 8.8.8",
      L"--manifest http://127.0.0.1:9/m --dir d --frob",
      L"--manifest http://127.0.0.1:9/m --dir",
  };
  for (const wchar_t* arguments : cases) {
    const RunResult run = RunKdfetch(arguments, temp.File(L"out.txt"));
    EXPECT_EQ(run.exitCode, 2u) << Utf8(arguments);
    EXPECT_FALSE(LinesStartingWith(run, "usage:").empty()) << Utf8(arguments);
  }
}

}  // namespace
