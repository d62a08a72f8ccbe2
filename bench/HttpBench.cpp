// Download throughput of the download engine against a bare libcurl easy
// transfer into a file, both from the same loopback server in this process;
// and the CPU an idle process with both engines running costs.
#include <winsock2.h>
#include <windows.h>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "Http/HttpDownloadFile.h"
#include "Http/HttpEngines.h"
#include "Runtime/Runtime.h"
#include "support/HttpTestServer.h"
#include "support/MessagePump.h"
#include "support/TempDir.h"

namespace {

constexpr size_t kDownloadBytes = 256u << 20;
constexpr int kRounds = 2;

double Now() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double CpuSeconds() {
  FILETIME creation, exit, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
  return fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

// MB/s (10^6 bytes) of one bare easy transfer into `path`.
double Baseline(const std::string& url, const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return 0;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &WriteToFile);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, file);
  const double start = Now();
  const CURLcode result = curl_easy_perform(easy);
  const double seconds = Now() - start;
  curl_easy_cleanup(easy);
  fclose(file);
  ::DeleteFileW(path.c_str());
  return result == CURLE_OK ? kDownloadBytes / 1e6 / seconds : 0;
}

struct Completion {
  bool done = false;
  int type = -1;
};

void OnComplete(void* userData, int type, int) {
  auto* completion = static_cast<Completion*>(userData);
  completion->done = true;
  completion->type = type;
}

// MB/s of one download through the engine, on this (main) thread.
double Ours(const std::wstring& url, const std::wstring& path) {
  Completion completion;
  CHttpDownloadFile download;
  const double start = Now();
  if (!download.Download(L"", url, path, kDownloadBytes, &OnComplete, nullptr, &completion)) {
    return 0;
  }
  PumpUntil([&] { return completion.done; }, 600000);
  const double seconds = Now() - start;
  download.Stop();
  ::DeleteFileW(path.c_str());
  return completion.done && completion.type == 0 ? kDownloadBytes / 1e6 / seconds : 0;
}

// A blocking message loop, ended by a thread timer after `ms`.
void RunIdleLoop(UINT ms) {
  const UINT_PTR stop = ::SetTimer(nullptr, 0, ms, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == stop) break;
    ::DispatchMessageW(&msg);
  }
  ::KillTimer(nullptr, stop);
}

}  // namespace

int wmain() {
  auto body = std::make_shared<std::string>(kDownloadBytes, '\0');
  for (size_t i = 0; i < body->size(); ++i) (*body)[i] = static_cast<char>(i * 131 >> 7);
  std::shared_ptr<const std::string> shared = body;
  auto server = std::make_unique<HttpTestServer>([shared](const HttpTestServer::Request&) {
    HttpTestServer::Reply reply;
    reply.body = shared;
    return reply;
  });
  TempDir dir;
  const std::wstring path = dir.File(L"bench.bin");
  const std::wstring wideUrl = server->Url("/big");
  const std::string url(wideUrl.begin(), wideUrl.end());

  InstallHttpEngines();
  RuntimeRecord record;
  RuntimeStartup(&record, record);

  double ours = 0, baseline = 0;
  for (int round = 0; round < kRounds; ++round) {
    baseline = std::max(baseline, Baseline(url, path));
    ours = std::max(ours, Ours(wideUrl, path));
  }
  if (ours <= 0 || baseline <= 0) {
    fprintf(stderr, "bench download: a transfer failed (ours %.1f, baseline %.1f)\n", ours,
            baseline);
    RuntimeShutdown(record);
    return 1;
  }
  printf("bench download ratio=%.3f ours=%.1fMB/s baseline=%.1fMB/s\n", ours / baseline, ours,
         baseline);
  fflush(stdout);
  server.reset();  // its accept loop would count as the engines' idle time

  // Both engines started and nothing to do: the process should sleep in its
  // message loop, as the installer's does.
  PumpFor(1000);
  const double cpuStart = CpuSeconds(), wallStart = Now();
  RunIdleLoop(10000);
  const double percent = (CpuSeconds() - cpuStart) / (Now() - wallStart) * 100.0;
  printf("bench idle-cpu ours=%.3f%%\n", percent);
  RuntimeShutdown(record);
  return 0;
}
