#include "Http/HttpDownloadFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Http/HttpTestFixture.h"
#include "support/HttpTestServer.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

struct ProgressReport {
  uint64_t total, done;
  uint32_t speed;
};

struct Watch {
  int completions = 0;
  int type = -1;
  int code = -1;
  std::vector<ProgressReport> progress;
};

void OnComplete(void* userData, int type, int code) {
  auto* watch = static_cast<Watch*>(userData);
  ++watch->completions;
  watch->type = type;
  watch->code = code;
}

void OnProgress(void* userData, uint64_t total, uint64_t done, uint32_t speed) {
  static_cast<Watch*>(userData)->progress.push_back({total, done, speed});
}

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return bytes;
}

class HttpDownloadFileTest : public HttpEngineTest {
 protected:
  // Starts `download` and waits for its completion.
  bool Run(CHttpDownloadFile& download, const std::wstring& backups, const std::wstring& primary,
           uint64_t expected, DWORD limitMs = 20000) {
    if (!download.Download(backups, primary, path_, expected, &OnComplete, &OnProgress, &watch_)) {
      return false;
    }
    return PumpUntil([&] { return watch_.completions > 0; }, limitMs);
  }

  HttpTestServer::Reply Serve(const HttpTestServer::Request& request) {
    HttpTestServer::Reply reply = HttpTestServer::Text(200, "");
    reply.body = body_;
    if (request.path == "/norange") reply.honourRange = false;
    if (request.path == "/liar") reply.contentLength = 4500;
    if (request.path == "/broken") reply.closeAfterBytes = 100;
    if (request.path == "/missing") return HttpTestServer::Text(404, "gone");
    if (request.path == "/short") {
      reply.sendContentLength = false;
      reply.closeAfterBytes = 3000;
    }
    if (request.path == "/slow") reply.bytesPerSecond = 2000;
    return reply;
  }

  std::shared_ptr<const std::string> body_ = std::make_shared<const std::string>(Pattern(5000));
  HttpTestServer server_{[this](const HttpTestServer::Request& r) { return Serve(r); }};
  TempDir dir_;
  std::wstring path_ = dir_.File(L"package.tmp");
  Watch watch_;
};

TEST_F(HttpDownloadFileTest, FreshDownloadWritesTheWholeFile) {
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", server_.Url("/file"), 5000));
  EXPECT_EQ(watch_.type, 0);
  EXPECT_EQ(watch_.code, 0);
  EXPECT_EQ(ReadFileBytes(path_), *body_);
  ASSERT_FALSE(watch_.progress.empty());
  EXPECT_EQ(watch_.progress.front().total, 5000u);
  EXPECT_EQ(watch_.progress.front().done, 0u);
  EXPECT_TRUE(server_.Requests().at(0).range.empty());
}

TEST_F(HttpDownloadFileTest, ResumeAsksForTheRestAndAppendsIt) {
  WriteFileBytes(path_, body_->substr(0, 1000));
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", server_.Url("/file"), 5000));
  EXPECT_EQ(watch_.type, 0);
  EXPECT_EQ(server_.Requests().at(0).range, "bytes=1000-");
  EXPECT_EQ(ReadFileBytes(path_), *body_);
  ASSERT_FALSE(watch_.progress.empty());
  EXPECT_EQ(watch_.progress.front().total, 5000u);
  EXPECT_EQ(watch_.progress.front().done, 1000u);
}

TEST_F(HttpDownloadFileTest, IgnoredRangeRestartsTheFileFromZero) {
  WriteFileBytes(path_, std::string(1000, 'Z'));  // not a prefix of the body
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", server_.Url("/norange"), 5000));
  EXPECT_EQ(watch_.type, 0);
  EXPECT_EQ(server_.Requests().at(0).range, "bytes=1000-");
  EXPECT_EQ(ReadFileBytes(path_), *body_);
}

TEST_F(HttpDownloadFileTest, AnnouncedLengthThatMissesTheExpectedSizeFails) {
  WriteFileBytes(path_, body_->substr(0, 1000));
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", server_.Url("/liar"), 5000));
  EXPECT_EQ(watch_.type, 3);
  EXPECT_EQ(watch_.code, 2007);
  PumpFor(1200);
  EXPECT_EQ(server_.RequestCount(), 1u);  // no retry, no backup
  EXPECT_EQ(watch_.completions, 1);
}

TEST_F(HttpDownloadFileTest, FileOfTheExpectedSizeIsCompleteWithoutARequest) {
  WriteFileBytes(path_, *body_);
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", server_.Url("/file"), 5000));
  EXPECT_EQ(watch_.type, 0);
  EXPECT_EQ(watch_.code, 0);
  EXPECT_EQ(server_.RequestCount(), 0u);
  download.Stop();
}

TEST_F(HttpDownloadFileTest, LargerFileIsEmptiedAndDownloadedAgain) {
  WriteFileBytes(path_, std::string(6000, 'Z'));
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", server_.Url("/file"), 5000));
  EXPECT_EQ(watch_.type, 0);
  EXPECT_TRUE(server_.Requests().at(0).range.empty());
  EXPECT_EQ(ReadFileBytes(path_), *body_);
}

TEST_F(HttpDownloadFileTest, PrimaryFailingThreeTimesMovesToTheBackup) {
  CHttpDownloadFile download;
  const std::wstring primary = server_.Url("/broken");
  const std::wstring backups = primary + L";" + server_.Url("/file") + L";ab;";
  ASSERT_TRUE(Run(download, backups, primary, 5000));
  EXPECT_EQ(watch_.type, 0);
  std::vector<std::string> paths;
  for (const auto& r : server_.Requests()) paths.push_back(r.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"/broken", "/broken", "/broken", "/file"}));
  EXPECT_EQ(ReadFileBytes(path_), *body_);
}

TEST_F(HttpDownloadFileTest, BackupListDropsThePrimaryAndShortEntries) {
  CHttpDownloadFile download;
  const std::wstring primary = server_.Url("/missing");
  ASSERT_TRUE(download.Download(primary + L";x;" + server_.Url("/b1") + L";;" + primary, primary,
                                path_, 5000, &OnComplete, nullptr, &watch_));
  EXPECT_EQ(download.Urls(), (std::list<std::wstring>{primary, server_.Url("/b1")}));
  download.Stop();
}

TEST_F(HttpDownloadFileTest, EarlyEndWithoutALengthIsNoSuccess) {
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", server_.Url("/short"), 5000));
  EXPECT_EQ(watch_.type, 3);
  EXPECT_EQ(watch_.code, 2007);
}

TEST_F(HttpDownloadFileTest, ShortHostEndsWithTheFinalFailure) {
  CHttpDownloadFile download;
  download.connectTimeoutSeconds = 1;
  ASSERT_TRUE(Run(download, L"", L"http://ab/file", 5000, 30000));
  EXPECT_EQ(watch_.type, 5);
  EXPECT_NE(watch_.code, 0);
}

TEST_F(HttpDownloadFileTest, StopDuringTheTransferGivesNoCallback) {
  CHttpDownloadFile download;
  ASSERT_TRUE(
      download.Download(L"", server_.Url("/slow"), path_, 5000, &OnComplete, &OnProgress, &watch_));
  ASSERT_TRUE(PumpUntil([&] { return !watch_.progress.empty(); }));
  download.Stop();
  EXPECT_FALSE(DownloadManager()->Contains(&download));
  PumpFor(600);
  EXPECT_EQ(watch_.completions, 0);
  // The worker has let the file go: it can be deleted.
  EXPECT_TRUE(PumpUntil([&] { return ::DeleteFileW(path_.c_str()) != 0; }, 2000));
}

TEST_F(HttpDownloadFileTest, ProgressReportsATenSecondAverageOncePerSecond) {
  CHttpDownloadFile download;
  ASSERT_TRUE(
      download.Download(L"", server_.Url("/slow"), path_, 5000, &OnComplete, &OnProgress, &watch_));
  // 2000 bytes a second: the first report comes with the status, then one
  // a second.
  ASSERT_TRUE(PumpUntil([&] { return watch_.progress.size() >= 3; }, 5000));
  download.Stop();
  const ProgressReport first = watch_.progress[0], second = watch_.progress[1],
                       third = watch_.progress[2];
  EXPECT_EQ(first.done, 0u);
  EXPECT_EQ(first.speed, 0u);
  EXPECT_GT(second.done, 0u);
  EXPECT_GT(third.done, second.done);
  // The average divides by ten even before ten seconds have passed.
  EXPECT_EQ(second.speed, second.done / 10);
  EXPECT_EQ(third.speed, third.done / 10);
}

// A host no resolver of the machine knows: curl fails to resolve it, and
// the spare resolver is asked instead.
std::wstring UnknownHostUrl(const HttpTestServer& server, const std::string& path) {
  const std::wstring url = server.Url(path);
  return ReplaceUrlHost(url, L"tessel-update.invalid");
}

TEST_F(HttpDownloadFileTest, AfterEveryUrlFailsTheResolvedAddressesAreTried) {
  DnsResponder resolver({{1, 2, 3, 4}, {127, 0, 0, 1}});  // the first is too short to use
  CDNSThread::SetDefaultResolvers({resolver.Endpoint()});
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", UnknownHostUrl(server_, "/file"), 5000, 30000));
  EXPECT_EQ(watch_.type, 0);
  EXPECT_EQ(watch_.code, 0);
  EXPECT_EQ(resolver.QueryCount(), 1u);
  EXPECT_EQ(guard_.QueryCount(), 0u);
  ASSERT_EQ(server_.RequestCount(), 1u);  // the address URL, nothing else
  EXPECT_EQ(server_.Requests()[0].path, "/file");
  EXPECT_EQ(ReadFileBytes(path_), *body_);
}

TEST_F(HttpDownloadFileTest, FailureOfTheLastAddressIsFinal) {
  DnsResponder resolver({{127, 0, 0, 1}});
  CDNSThread::SetDefaultResolvers({resolver.Endpoint()});
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", UnknownHostUrl(server_, "/missing"), 5000, 30000));
  EXPECT_EQ(watch_.type, 4);
  EXPECT_EQ(watch_.code, 404);
  PumpFor(1500);
  EXPECT_EQ(resolver.QueryCount(), 1u);  // never asked a second time
  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(watch_.completions, 1);
}

TEST_F(HttpDownloadFileTest, UnansweredResolutionEndsWithTheFailureTypeAndMinusOne) {
  CHttpDownloadFile download;
  ASSERT_TRUE(Run(download, L"", UnknownHostUrl(server_, "/file"), 5000, 30000));
  EXPECT_EQ(watch_.type, 5);
  EXPECT_EQ(watch_.code, -1);
  EXPECT_EQ(guard_.QueryCount(), 1u);
}

TEST_F(HttpDownloadFileTest, StopWhileWaitingForTheResolverGivesNoCallback) {
  CHttpDownloadFile download;
  ASSERT_TRUE(download.Download(L"", UnknownHostUrl(server_, "/file"), path_, 5000, &OnComplete,
                                &OnProgress, &watch_));
  ASSERT_TRUE(PumpUntil([&] { return guard_.QueryCount() > 0; }, 20000));
  download.Stop();
  EXPECT_FALSE(download.Resolver().IsRunning());
  PumpFor(2000);
  EXPECT_EQ(watch_.completions, 0);
}

TEST_F(HttpDownloadFileTest, ResultOfAResolutionNobodyWaitsForIsDroppedAndLogged) {
  LogCapture log;
  ASSERT_TRUE(log.IsCapturing());
  CHttpDownloadFile download;  // alive, but not waiting for any resolution
  CHttpDownloadFile::OnSpareDNSResult(0, reinterpret_cast<void*>(uintptr_t{0x7777}),
                                      "tessel-update.invalid", "127.0.0.1");
  PumpFor(300);
  EXPECT_EQ(watch_.completions, 0);
  EXPECT_EQ(server_.RequestCount(), 0u);
  const std::wstring text = log.Text();
  EXPECT_NE(text.find(L"DNS回调失效 找不到相关任务 id:"), std::wstring::npos);
  EXPECT_NE(text.find(L"tessel-update.invalid"), std::wstring::npos);
}

TEST(UrlHostTest, HostIsTheLeadingRunOfHostCharacters) {
  struct Case {
    std::wstring url, host, replaced;
  };
  const Case cases[] = {
      {L"http://cdn-1.example.com:8080/a/b", L"cdn-1.example.com", L"http://10.0.0.1:8080/a/b"},
      {L"http://abc.com/abc.com/file", L"abc.com", L"http://10.0.0.1/abc.com/file"},
      {L"example.com/x", L"example.com", L"10.0.0.1/x"},
      {L"http://user@host.net/x", L"host.net", L"http://user@10.0.0.1/x"},
      {L"http://ab/x", L"ab", L"http://10.0.0.1/x"},
      {L"http:///x", L"", L"http://10.0.0.1/x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractUrlHost(c.url), c.host);
    EXPECT_EQ(ReplaceUrlHost(c.url, L"10.0.0.1"), c.replaced);
  }
}

}  // namespace
