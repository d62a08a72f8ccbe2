#include "Http/CurlWorkshop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Http/CurlHttp.h"
#include "Runtime/OBufferStream.h"
#include "Runtime/Runtime.h"
#include "support/HttpTestServer.h"
#include "support/MessagePump.h"

namespace {

// Records every notification, in order, as text.
class RecordingListener : public CurlListener {
 public:
  void OnTransferDone(CCurlBase*, CURLcode code) override {
    events.push_back("done " + std::to_string(code));
  }
  void OnBytesReceived(CCurlBase*, uint32_t) override {}
  void OnBytesSent(CCurlBase*, uint32_t) override {}
  void OnHttpCode(CCurlBase*, const HttpStatusNotice& n) override {
    events.push_back("status " + std::to_string(n.status) + " length " +
                     std::to_string(n.contentLength));
  }
  void OnTransferRemoved(CCurlBase*, int) override { events.push_back("removed"); }
  void OnTransferAdded(CCurlBase*, int) override { events.push_back("added"); }

  bool Has(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }
  std::vector<std::string> events;
};

class CurlWorkshopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    curl_global_init(CURL_GLOBAL_ALL);
    RuntimeStartup(this, record_);
  }
  void TearDown() override {
    worker_.StopThread(INFINITE);
    worker_.Uninit();
    RuntimeShutdown(record_);
    curl_global_cleanup();
  }

  CRefPtr<CCurlBase> MakeTransfer(const std::string& path) {
    auto* transfer = new CCurlHttp(&listener_);
    transfer->SetSink(std::make_unique<OBufferStream>());
    TransferOptions options;
    options.url = server_.Url(path);
    EXPECT_TRUE(transfer->Configure(options));
    return CRefPtr<CCurlBase>(transfer);
  }

  RuntimeRecord record_;
  RecordingListener listener_;
  CCurlWorkshop worker_;
  HttpTestServer server_{[](const HttpTestServer::Request& r) {
    HttpTestServer::Reply reply = HttpTestServer::Text(200, "payload for " + r.path);
    reply.stall = r.path == "/stall";
    return reply;
  }};
};

TEST_F(CurlWorkshopTest, ListsRefuseTransfersBeforeInitAndAfterUninit) {
  CRefPtr<CCurlBase> transfer = MakeTransfer("/x");
  EXPECT_FALSE(worker_.AddTransfer(transfer));
  EXPECT_FALSE(worker_.RemoveTransfer(transfer));
  worker_.Init();
  EXPECT_TRUE(worker_.AddTransfer(transfer));
  worker_.Uninit();
  EXPECT_FALSE(worker_.AddTransfer(transfer));
  EXPECT_FALSE(worker_.RemoveTransfer(transfer));
}

TEST_F(CurlWorkshopTest, FinishedTransferIsReportedDoneOnceAndLeavesTheLists) {
  worker_.Init();
  ASSERT_TRUE(worker_.StartThread());
  CRefPtr<CCurlBase> transfer = MakeTransfer("/file");
  ASSERT_TRUE(worker_.AddTransfer(transfer));
  ASSERT_TRUE(PumpUntil([&] { return listener_.Has("done 0"); }));
  PumpFor(200);
  EXPECT_EQ(std::count(listener_.events.begin(), listener_.events.end(), "done 0"), 1);
  EXPECT_EQ(listener_.events.front(), "added");
  EXPECT_TRUE(listener_.Has("status 200 length 17"));
  // Detached before the notice: the handle is gone and the body complete.
  EXPECT_TRUE(transfer->IsDetached());
  EXPECT_EQ(transfer->Easy(), nullptr);
  auto* sink = static_cast<OBufferStream*>(static_cast<CCurlHttp*>(transfer.get())->Sink());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sink->Data()), sink->Size()),
            "payload for /file");
  // The worker's lists hold no reference any more.
  EXPECT_EQ(transfer->RefCountForTesting(), 1);
}

TEST_F(CurlWorkshopTest, TransferStoppedBeforeItWasAddedIsOnlyReportedRemoved) {
  worker_.Init();
  CRefPtr<CCurlBase> transfer = MakeTransfer("/never");
  ASSERT_TRUE(worker_.AddTransfer(transfer));
  transfer->Deactivate();
  ASSERT_TRUE(worker_.RemoveTransfer(transfer));
  ASSERT_TRUE(worker_.StartThread());
  ASSERT_TRUE(PumpUntil([&] { return listener_.Has("removed"); }));
  PumpFor(200);
  // Inactive and explicitly removed: it may be reported removed twice, but
  // it is never added.
  for (const std::string& event : listener_.events) EXPECT_EQ(event, "removed");
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_TRUE(transfer->IsDetached());
}

TEST_F(CurlWorkshopTest, TransferThatCannotBeAddedEndsAsAFailedAttempt) {
  worker_.Init();
  ASSERT_TRUE(worker_.StartThread());
  CRefPtr<CCurlBase> unprepared(new CCurlHttp(&listener_));  // no easy handle
  ASSERT_TRUE(worker_.AddTransfer(unprepared));
  ASSERT_TRUE(PumpUntil([&] { return !listener_.events.empty(); }));
  EXPECT_EQ(listener_.events,
            std::vector<std::string>{"done " + std::to_string(CURLE_FAILED_INIT)});
  EXPECT_TRUE(unprepared->IsDetached());
}

TEST_F(CurlWorkshopTest, InactiveTransferIsRemovedAtTheNextPass) {
  worker_.Init();
  ASSERT_TRUE(worker_.StartThread());
  CRefPtr<CCurlBase> transfer = MakeTransfer("/stall");
  ASSERT_TRUE(worker_.AddTransfer(transfer));
  ASSERT_TRUE(PumpUntil([&] { return listener_.Has("status 200 length 18"); }));
  transfer->Deactivate();  // all the main thread does; no removal call
  ASSERT_TRUE(PumpUntil([&] { return listener_.Has("removed"); }));
  EXPECT_TRUE(transfer->IsDetached());
  EXPECT_EQ(transfer->Easy(), nullptr);
  PumpFor(200);
  EXPECT_FALSE(listener_.Has("done 0"));
}

}  // namespace
