#include "Updater/Updater.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "App/CommonUtils.h"
#include "Dns/DNSThread.h"
#include "Http/HttpTestFixture.h"
#include "Runtime/ScopedHandle.h"
#include "Runtime/TextUtils.h"
#include "Updater/IGameEventListener.h"
#include "Updater/UpdaterTestSupport.h"
#include "support/DnsResponder.h"
#include "support/TempDir.h"

namespace {

struct Info {
  int32_t type, code;
  std::wstring version, md5;
};
struct Done {
  int32_t type, code;
  std::wstring text;
};
struct Progress {
  uint64_t total, received, speed;
  bool operator==(const Progress&) const = default;
};

class RecordingListener : public IGameEventListener {
 public:
  void OnProgress(uint64_t total, uint64_t received, uint64_t speed) override {
    progress.push_back({total, received, speed});
  }
  void OnDownloadComplete(int32_t type, int32_t code, const std::wstring& text) override {
    dones.push_back({type, code, text});
  }
  void OnUpdateInfo(int32_t type, int32_t code, const std::wstring& version,
                    const std::wstring& md5) override {
    infos.push_back({type, code, version, md5});
  }

  std::vector<Info> infos;
  std::vector<Done> dones;
  std::vector<Progress> progress;
};

struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
using ScopedFile = ScopedHandle<FileHandleTraits>;

// Open the way another process would hold it: readable, never deletable
// or writable by anyone else.
ScopedFile HoldOpen(const std::wstring& path) {
  return ScopedFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::wstring ToUpperAscii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

// The helper class number at the end of a class name.
int ClassNumber(const std::wstring& name) {
  const std::wstring prefix = L"_UPDATE_MODULE_HELPER_WINDOW_KADRO";
  if (name.compare(0, prefix.size(), prefix) != 0) return -1;
  return _wtoi(name.c_str() + prefix.size());
}

bool ClassRegistered(const std::wstring& name) {
  WNDCLASSEXW info = {};
  info.cbSize = sizeof(info);
  return ::GetClassInfoExW(::GetModuleHandleW(nullptr), name.c_str(), &info) != 0;
}

// The engines up, a loopback server with a package, and a spare resolver
// on loopback that knows no addresses, so a download that runs out of
// addresses ends at once instead of asking public resolvers.
class UpdaterTest : public HttpEngineTest {
 protected:
  void SetUp() override {
    HttpEngineTest::SetUp();
    ASSERT_TRUE(dns_.IsListening());
    CDNSThread::SetDefaultResolvers({dns_.Endpoint()});
    server_.RoutePackage("/pkg", package_);
  }
  void TearDown() override {
    CDNSThread::SetDefaultResolvers({});
    HttpEngineTest::TearDown();
  }

  ManifestFields Fields(const std::string& version = "2.0.1") const {
    return {Utf8(server_.Url("/pkg")), "", std::to_string(package_->size()), Md5Hex(*package_),
            version};
  }
  void RouteManifest(const std::string& path, const ManifestFields& fields,
                     bool upperCaseKeys = false) {
    server_.Route(path, HttpTestServer::Text(200, ManifestText(fields, upperCaseKeys)));
  }
  std::unique_ptr<Updater> MakeUpdater(const std::wstring& dir) {
    return std::make_unique<Updater>(
        dir, &listener_, std::vector<std::wstring>{server_.Url("/m1"), server_.Url("/m2")});
  }
  bool WaitForDones(size_t count, DWORD limitMs = 20000) {
    return PumpUntil([&] { return listener_.dones.size() >= count; }, limitMs);
  }
  bool WaitForInfos(size_t count, DWORD limitMs = 20000) {
    return PumpUntil([&] { return listener_.infos.size() >= count; }, limitMs);
  }
  bool HoldsPackage(const std::wstring& path) const { return ReadFileBytes(path) == *package_; }

  DnsResponder dns_{DnsReplyKind::kNoAnswers};
  std::shared_ptr<const std::string> package_ =
      std::make_shared<const std::string>(PackageBytes(300000));
  RoutedServer server_;
  TempDir temp_;
  const std::wstring dir_ = temp_.File(L"Kadro网络\\KadroTessel");
  const std::wstring final_ = dir_ + L"\\kdinstaller.exe";
  const std::wstring temp201_ = dir_ + L"\\kdinstaller_2.0.1.tmp";
  RecordingListener listener_;
};

TEST_F(UpdaterTest, FailedPrimaryManifestFallsBackToTheBackupAndDeliversThePackage) {
  server_.Route("/m1", HttpTestServer::Text(500, "busy"));
  const std::string manifest = ManifestText(Fields());
  server_.Route("/m2", HttpTestServer::Text(200, manifest));
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForDones(1));

  ASSERT_EQ(listener_.infos.size(), 1u);
  EXPECT_EQ(listener_.infos[0].type, 0);
  EXPECT_EQ(listener_.infos[0].code, 0);
  EXPECT_EQ(listener_.infos[0].version, L"2.0.1");
  EXPECT_EQ(listener_.infos[0].md5, FromAnsi(Md5Hex(*package_)));
  EXPECT_EQ(listener_.dones[0].type, 0);
  EXPECT_EQ(listener_.dones[0].code, 0);
  EXPECT_EQ(listener_.dones[0].text, L"");
  EXPECT_EQ(server_.Paths(), (std::vector<std::string>{"/m1", "/m2", "/pkg"}));

  // The copy: a byte order mark, then UTF-16LE units, no terminator.
  const std::wstring wide = FromUtf8(manifest);
  const std::string expectedCopy =
      "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
  EXPECT_EQ(ReadFileBytes(dir_ + L"\\kdinstall.ini"), expectedCopy);

  EXPECT_EQ(updater->FinalPath(), final_);
  EXPECT_EQ(updater->TempPath(), temp201_);
  EXPECT_TRUE(HoldsPackage(final_));
  EXPECT_FALSE(FileExists(temp201_));
  PumpFor(300);
  EXPECT_EQ(listener_.infos.size(), 1u);
  EXPECT_EQ(listener_.dones.size(), 1u);
  updater->Stop();
}

TEST_F(UpdaterTest, BothManifestsFailingReportTheBackupResultOnceAndTheRetryStartsOver) {
  server_.Route("/m1", HttpTestServer::Text(500, "busy"));
  server_.Route("/m2", HttpTestServer::Text(404, "gone"));
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForInfos(1));
  PumpFor(300);
  ASSERT_EQ(listener_.infos.size(), 1u);
  EXPECT_EQ(listener_.infos[0].type, 4);
  EXPECT_EQ(listener_.infos[0].code, 404);
  EXPECT_TRUE(listener_.dones.empty());
  EXPECT_FALSE(FileExists(dir_ + L"\\kdinstall.ini"));

  // The owner's retry begins again at the primary address.
  RouteManifest("/m1", Fields());
  updater->RetryManifest();
  ASSERT_TRUE(WaitForDones(1));
  ASSERT_EQ(listener_.infos.size(), 2u);
  EXPECT_EQ(listener_.infos[1].type, 0);
  EXPECT_EQ(server_.Paths(), (std::vector<std::string>{"/m1", "/m2", "/m1", "/pkg"}));
  EXPECT_TRUE(HoldsPackage(final_));
  updater->Stop();
}

TEST_F(UpdaterTest, KeyNamesAreFoundInAnyLetterCase) {
  for (bool upperCase : {false, true}) {
    SCOPED_TRACE(upperCase ? "upper-case keys" : "canonical keys");
    listener_ = RecordingListener();
    const std::wstring dir = dir_ + (upperCase ? L"\\upper" : L"\\canonical");
    RouteManifest("/m1", Fields("3.1"), upperCase);
    auto updater = MakeUpdater(dir);
    ASSERT_TRUE(updater->Start());
    ASSERT_TRUE(WaitForDones(1));
    ASSERT_EQ(listener_.infos.size(), 1u);
    EXPECT_EQ(listener_.infos[0].version, L"3.1");
    EXPECT_EQ(listener_.infos[0].md5, FromAnsi(Md5Hex(*package_)));
    EXPECT_EQ(listener_.dones[0].type, 0);
    EXPECT_TRUE(HoldsPackage(dir + L"\\kdinstaller.exe"));
    updater->Stop();
  }
}

TEST_F(UpdaterTest, MirrorAddressesBecomeTheDownloadsBackups) {
  ManifestFields fields = Fields();
  fields.url = Utf8(server_.Url("/gone"));
  fields.murl = Utf8(server_.Url("/gone2")) + ";" + Utf8(server_.Url("/pkg"));
  RouteManifest("/m1", fields);
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForDones(1));
  EXPECT_EQ(listener_.dones[0].type, 0);
  EXPECT_EQ(server_.Paths(), (std::vector<std::string>{"/m1", "/gone", "/gone2", "/pkg"}));
  EXPECT_TRUE(HoldsPackage(final_));
  updater->Stop();
}

TEST_F(UpdaterTest, TemporaryNameCarriesTheVersionAndIsMovedIntoPlace) {
  struct Case {
    std::string version;
    std::wstring tempName;
    size_t present;  // bytes of the package already in the temporary file
    std::vector<std::string> ranges;
  };
  const Case cases[] = {
      {"2.0.1", L"kdinstaller_2.0.1.tmp", 1000, {"bytes=1000-"}},
      // A whole file from an earlier run is complete without any request.
      {"", L"kdinstaller_.tmp", 300000, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    listener_ = RecordingListener();
    const std::wstring dir = dir_ + L"\\v" + FromAnsi(c.version);
    ASSERT_TRUE(CreateDir(dir));
    const std::wstring temp = dir + L"\\" + c.tempName;
    WriteFileBytes(temp, package_->substr(0, c.present));
    const size_t before = server_.Ranges("/pkg").size();
    RouteManifest("/m1", Fields(c.version));
    auto updater = MakeUpdater(dir);
    ASSERT_TRUE(updater->Start());
    ASSERT_TRUE(WaitForDones(1));
    EXPECT_EQ(listener_.dones[0].type, 0);
    EXPECT_EQ(updater->TempPath(), temp);
    const std::vector<std::string> ranges = server_.Ranges("/pkg");
    EXPECT_EQ(std::vector<std::string>(ranges.begin() + before, ranges.end()), c.ranges);
    EXPECT_TRUE(HoldsPackage(dir + L"\\kdinstaller.exe"));
    EXPECT_FALSE(FileExists(temp));
    updater->Stop();
  }
}

TEST_F(UpdaterTest, FailedDownloadDropsAnEmptyTemporaryFile) {
  ASSERT_TRUE(CreateDir(dir_));
  WriteFileBytes(temp201_, "");
  server_.Route("/pkg", HttpTestServer::Text(404, "gone"));
  RouteManifest("/m1", Fields());
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForDones(1));
  EXPECT_NE(listener_.dones[0].type, 0);
  EXPECT_EQ(listener_.dones[0].text, L"安装失败");
  EXPECT_FALSE(FileExists(temp201_));
  EXPECT_FALSE(FileExists(final_));
  updater->Stop();
}

TEST_F(UpdaterTest, PartialDownloadIsKeptAndTheRetryResumesIt) {
  // Every connection breaks after 50000 bytes: three attempts, then the
  // download gives up with what it has.
  server_.RoutePackage("/pkg", package_, 50000);
  RouteManifest("/m1", Fields());
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForDones(1, 30000));
  EXPECT_NE(listener_.dones[0].type, 0);
  EXPECT_EQ(listener_.dones[0].text, L"安装失败");
  const std::string kept = ReadFileBytes(temp201_);
  ASSERT_GT(kept.size(), 0u);
  EXPECT_TRUE(kept == package_->substr(0, kept.size()));
  EXPECT_FALSE(FileExists(final_));

  server_.RoutePackage("/pkg", package_);
  updater->RetryManifest();
  ASSERT_TRUE(WaitForDones(2));
  EXPECT_EQ(listener_.dones[1].type, 0);
  EXPECT_EQ(server_.Ranges("/pkg").back(), "bytes=" + std::to_string(kept.size()) + "-");
  EXPECT_TRUE(HoldsPackage(final_));
  updater->Stop();
}

TEST_F(UpdaterTest, FinalPathHeldByAnotherHandleGivesUserFailureAndTheRetryMovesIt) {
  ASSERT_TRUE(CreateDir(dir_));
  WriteFileBytes(temp201_, *package_);
  WriteFileBytes(final_, "an older package");
  RouteManifest("/m1", Fields());
  auto updater = MakeUpdater(dir_);
  {
    ScopedFile held = HoldOpen(final_);
    ASSERT_TRUE(held.valid());
    ASSERT_TRUE(updater->Start());
    ASSERT_TRUE(WaitForDones(1));
    EXPECT_EQ(listener_.dones[0].type, 3);
    EXPECT_EQ(listener_.dones[0].code, -1);
    EXPECT_EQ(listener_.dones[0].text, L"");
    EXPECT_TRUE(HoldsPackage(temp201_));
  }
  updater->RetryManifest();
  ASSERT_TRUE(WaitForDones(2));
  EXPECT_EQ(listener_.dones[1].type, 0);
  EXPECT_TRUE(HoldsPackage(final_));
  EXPECT_FALSE(FileExists(temp201_));
  updater->Stop();
}

TEST_F(UpdaterTest, UnusableManifestValuesFailThePhaseWithoutADownload) {
  struct Case {
    std::string version, size;
    bool accepted;
  };
  const Case cases[] = {
      {"2.0.1-beta_3", "300000", true},
      {std::string(64, '7'), "300000", true},
      {std::string(65, '7'), "300000", false},
      {"../evil", "300000", false},
      {"..", "300000", false},
      {"1..2", "300000", false},
      {"a\\b", "300000", false},
      {"a/b", "300000", false},
      {"v 1", "300000", false},
      {"版本1", "300000", false},
      {"2.0.1:x", "300000", false},
      {"2.0.1", "-5", false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version + " size " + c.size);
    listener_ = RecordingListener();
    const std::wstring dir = dir_ + L"\\case" + std::to_wstring(index++);
    ManifestFields fields = Fields(c.version);
    fields.size = c.size;
    RouteManifest("/m1", fields);
    const size_t packageRequests = server_.Ranges("/pkg").size();
    auto updater = MakeUpdater(dir);
    ASSERT_TRUE(updater->Start());
    ASSERT_TRUE(WaitForInfos(1));
    if (c.accepted) {
      EXPECT_EQ(listener_.infos[0].type, 0);
      ASSERT_TRUE(WaitForDones(1));
      EXPECT_TRUE(HoldsPackage(dir + L"\\kdinstaller.exe"));
    } else {
      EXPECT_EQ(listener_.infos[0].type, 3);
      EXPECT_EQ(listener_.infos[0].code, -1);
      EXPECT_FALSE(updater->IsDownloading());
      PumpFor(100);
      EXPECT_TRUE(listener_.dones.empty());
      EXPECT_EQ(server_.Ranges("/pkg").size(), packageRequests);
      EXPECT_EQ(updater->TempPath(), L"");
    }
    updater->Stop();
  }
}

TEST_F(UpdaterTest, UnwritableManifestCopyEndsThePhaseWithTheSystemError) {
  RouteManifest("/m1", Fields());
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForDones(1));
  ASSERT_EQ(listener_.infos.size(), 1u);

  // A newer manifest arrives while the old copy is held: neither the old
  // values nor empty ones may pass for it.
  ManifestFields newer = Fields("2.0.2");
  RouteManifest("/m1", newer);
  ScopedFile held = HoldOpen(dir_ + L"\\kdinstall.ini");
  ASSERT_TRUE(held.valid());
  updater->RetryManifest();
  ASSERT_TRUE(WaitForInfos(2));
  EXPECT_EQ(listener_.infos[1].type, 1);
  EXPECT_EQ(listener_.infos[1].code, ERROR_SHARING_VIOLATION);
  PumpFor(300);
  EXPECT_EQ(listener_.dones.size(), 1u);
  EXPECT_EQ(server_.Ranges("/pkg").size(), 1u);
  EXPECT_FALSE(updater->IsDownloading());
  updater->Stop();
}

TEST_F(UpdaterTest, MissingInstallFolderEndsTheDownloadWithTheSystemError) {
  ASSERT_TRUE(CreateDir(dir_));
  WriteFileBytes(dir_ + L"\\plain", "a file, not a folder");
  const std::wstring impossible = dir_ + L"\\plain\\sub";
  auto updater = MakeUpdater(impossible);
  EXPECT_FALSE(updater->Start());
  EXPECT_FALSE(updater->StartPackageDownload());
  ASSERT_EQ(listener_.dones.size(), 1u);
  EXPECT_EQ(listener_.dones[0].type, 1);
  EXPECT_NE(listener_.dones[0].code, 0);
  EXPECT_FALSE(updater->IsDownloading());
  PumpFor(100);
  EXPECT_EQ(server_.RequestCount(), 0u);
  updater->Stop();
}

TEST_F(UpdaterTest, HelperClassNamesCountUpAndStopUnregistersThem) {
  server_.Route("/m1", HttpTestServer::Text(500, "busy"));
  server_.Route("/m2", HttpTestServer::Text(500, "busy"));
  auto first = MakeUpdater(dir_);
  auto second = MakeUpdater(dir_);
  ASSERT_TRUE(first->Start());
  ASSERT_TRUE(second->Start());
  const int base = ClassNumber(first->HelperClassName());
  ASSERT_GT(base, 0);
  EXPECT_EQ(ClassNumber(second->HelperClassName()), base + 1);
  EXPECT_TRUE(ClassRegistered(first->HelperClassName()));
  const std::wstring firstClass = first->HelperClassName();
  first->Stop();
  second->Stop();
  first->Stop();  // nothing left to stop
  EXPECT_EQ(first->HelperWindow(), nullptr);
  EXPECT_FALSE(ClassRegistered(firstClass));

  auto third = MakeUpdater(dir_);
  ASSERT_TRUE(third->Start());
  EXPECT_EQ(ClassNumber(third->HelperClassName()), base + 2);
  third->Stop();
  PumpFor(200);
  EXPECT_TRUE(listener_.infos.empty());  // stopped before any result arrived
}

TEST_F(UpdaterTest, HelperWindowFailureIsReportedAndTheRetryMakesANewOne) {
  auto probe = MakeUpdater(dir_);
  ASSERT_TRUE(probe->Start());
  const int next = ClassNumber(probe->HelperClassName()) + 1;
  probe->Stop();
  // Someone else already owns the next class name.
  const std::wstring taken = FormatWide(L"_UPDATE_MODULE_HELPER_WINDOW_KADRO%d", next);
  WNDCLASSW squatter = {};
  squatter.lpfnWndProc = &::DefWindowProcW;
  squatter.hInstance = ::GetModuleHandleW(nullptr);
  squatter.lpszClassName = taken.c_str();
  ASSERT_NE(::RegisterClassW(&squatter), 0);

  RouteManifest("/m1", Fields());
  const size_t requestsBefore = server_.RequestCount();
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_EQ(listener_.infos.size(), 1u);
  EXPECT_EQ(listener_.infos[0].type, 1);
  EXPECT_EQ(listener_.infos[0].code, ERROR_CLASS_ALREADY_EXISTS);
  EXPECT_EQ(updater->HelperWindow(), nullptr);
  PumpFor(200);
  EXPECT_EQ(server_.RequestCount(), requestsBefore);

  updater->RetryManifest();
  EXPECT_NE(updater->HelperWindow(), nullptr);
  EXPECT_EQ(ClassNumber(updater->HelperClassName()), next + 1);
  ASSERT_TRUE(WaitForDones(1));
  EXPECT_EQ(listener_.infos.back().type, 0);
  EXPECT_EQ(listener_.dones[0].type, 0);
  updater->Stop();
  ::UnregisterClassW(taken.c_str(), ::GetModuleHandleW(nullptr));
}

TEST_F(UpdaterTest, ProgressCallbacksBeforeOneMessageGiveOneReportWithTheLastValues) {
  HttpTestServer::Reply slow = HttpTestServer::Text(200, "");
  slow.body = package_;
  slow.bytesPerSecond = 20000;
  server_.Route("/pkg", slow);
  RouteManifest("/m1", Fields());
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(PumpUntil([&] { return updater->IsDownloading(); }));

  // Values the engine never reports, delivered before any message is
  // handled.
  Updater::OnDownloadProgress(updater->HelperWindow(), 1111111, 1, 10);
  Updater::OnDownloadProgress(updater->HelperWindow(), 2222222, 2, 20);
  Updater::OnDownloadProgress(updater->HelperWindow(), 3333333, 3, 30);
  auto ours = [&] {
    std::vector<Progress> found;
    for (const Progress& p : listener_.progress) {
      if (p.total > 1000000) found.push_back(p);
    }
    return found;
  };
  ASSERT_TRUE(PumpUntil([&] { return !ours().empty(); }, 2000));
  PumpFor(200);
  EXPECT_EQ(ours(), (std::vector<Progress>{{3333333, 3, 30}}));
  updater->Stop();
}

TEST_F(UpdaterTest, ProgressArrivingAfterTheDownloadEndedIsNotReported) {
  RouteManifest("/m1", Fields());
  auto updater = MakeUpdater(dir_);
  ASSERT_TRUE(updater->Start());
  ASSERT_TRUE(WaitForDones(1));
  const size_t reports = listener_.progress.size();
  Updater::OnDownloadProgress(updater->HelperWindow(), 4444444, 4, 40);
  PumpFor(200);
  EXPECT_EQ(listener_.progress.size(), reports);
  updater->Stop();
}

TEST(UpdaterVerifyTest, PackageMatchesItsMd5WithoutRegardToLetterCaseOnly) {
  TempDir dir;
  const std::wstring path = dir.File(L"kdinstaller.exe");
  const std::string bytes = PackageBytes(5000);
  WriteFileBytes(path, bytes);
  const std::wstring md5 = FromAnsi(Md5Hex(bytes));
  struct Case {
    std::wstring expected;
    bool matches;
  };
  const Case cases[] = {
      {md5, true},         {ToUpperAscii(md5), true},  {md5 + L" ", false},
      {L" " + md5, false}, {md5.substr(0, 31), false}, {FromAnsi(Md5Hex(bytes + "x")), false},
      {L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Updater::VerifyPackage(path, c.expected), c.matches) << Utf8(c.expected);
  }
  EXPECT_FALSE(Updater::VerifyPackage(dir.File(L"missing.exe"), md5));
}

TEST(UpdaterConfigTest, BuiltInManifestAddressesArePrimaryThenBackup) {
  const std::vector<std::wstring> urls = Updater::BuiltInManifestUrls();
  ASSERT_EQ(urls.size(), 2u);
  for (const std::wstring& url : urls) {
    EXPECT_EQ(url.rfind(L"http://", 0), 0u) << Utf8(url);
    EXPECT_EQ(url.substr(url.size() - 14), L"/kdinstall.txt") << Utf8(url);
  }
  EXPECT_NE(urls[0], urls[1]);
}

}  // namespace
