#include "Http/HttpCommand.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Http/HttpTestFixture.h"
#include "support/HttpTestServer.h"

namespace {

struct Outcome {
  int calls = 0;
  int type = -1;
  int code = -1;
  std::string response;
};

void RecordOutcome(void* userData, const std::string& response, int type, int code) {
  auto* outcome = static_cast<Outcome*>(userData);
  ++outcome->calls;
  outcome->type = type;
  outcome->code = code;
  outcome->response = response;
}

// Records what the engine reports about each attempt.
class WatchedCommand : public CHttpCommand {
 public:
  void OnHttpCode(const HttpStatusNotice& notice) override {
    statuses.push_back(notice.status);
    CHttpCommand::OnHttpCode(notice);
  }
  void Done(CURLcode code) override {
    if (running && Http() != nullptr) headers = Http()->Headers();
    CHttpCommand::Done(code);
  }
  std::vector<int> statuses;
  ProtoValue headers;
};

class HttpCommandTest : public HttpEngineTest {
 protected:
  // Submits a GET for `path` and waits for its completion.
  bool Fetch(WatchedCommand& command, const std::string& path, DWORD limitMs = 15000) {
    command.url = server_->Url(path);
    command.completion = &RecordOutcome;
    command.userData = &outcome_;
    if (!SubmitRequest(CommandManager(), &command)) return false;
    return PumpUntil([&] { return outcome_.calls > 0; }, limitMs);
  }

  HttpTestServer::Reply Broken() {
    HttpTestServer::Reply reply = HttpTestServer::Text(200, std::string(1000, 'x'));
    reply.closeAfterBytes = 10;  // CURLE_PARTIAL_FILE
    return reply;
  }

  std::atomic<int> failuresLeft_{0};
  std::unique_ptr<HttpTestServer> server_ =
      std::make_unique<HttpTestServer>([this](const HttpTestServer::Request& request) {
        if (request.path == "/redirect") return HttpTestServer::Redirect("/final");
        if (request.path == "/missing") return HttpTestServer::Text(404, "not here");
        if (request.path == "/big") return HttpTestServer::Text(200, std::string(5 << 20, 'b'));
        if (request.path == "/stall") {
          HttpTestServer::Reply reply = HttpTestServer::Text(200, "never");
          reply.stall = true;
          return reply;
        }
        if (request.path == "/flaky" && failuresLeft_-- > 0) return Broken();
        HttpTestServer::Reply reply = HttpTestServer::Text(200, "body of " + request.path);
        reply.headers.emplace_back("X-Response", request.path);
        reply.headers.emplace_back("X-Common", "from " + request.path);
        return reply;
      });
  Outcome outcome_;
};

TEST_F(HttpCommandTest, GetDeliversTheBodyOnce) {
  WatchedCommand command;
  ASSERT_TRUE(Fetch(command, "/hello"));
  EXPECT_EQ(outcome_.type, 0);
  EXPECT_EQ(outcome_.code, 0);
  EXPECT_EQ(outcome_.response, "body of /hello");
  EXPECT_EQ(command.statuses, std::vector<int>{200});
  PumpFor(300);
  EXPECT_EQ(outcome_.calls, 1);
  EXPECT_EQ(CommandManager()->RequestCount(), 0u);
}

TEST_F(HttpCommandTest, NotFoundIsReportedAtOnceWithoutRetry) {
  WatchedCommand command;
  ASSERT_TRUE(Fetch(command, "/missing"));
  EXPECT_EQ(outcome_.type, 4);
  EXPECT_EQ(outcome_.code, 404);
  EXPECT_EQ(outcome_.response, "");  // an error body is refused
  EXPECT_EQ(server_->RequestCount(), 1u);
  PumpFor(1200);  // long enough for a retry wait to have ended
  EXPECT_EQ(server_->RequestCount(), 1u);
  EXPECT_EQ(outcome_.calls, 1);
}

TEST_F(HttpCommandTest, TwoCurlFailuresThenSuccessCallsBackOnceWithTheThirdResponse) {
  failuresLeft_ = 2;
  WatchedCommand command;
  ASSERT_TRUE(Fetch(command, "/flaky"));
  EXPECT_EQ(outcome_.type, 0);
  EXPECT_EQ(outcome_.response, "body of /flaky");
  EXPECT_EQ(server_->RequestCount(), 3u);
  EXPECT_EQ(outcome_.calls, 1);
}

TEST_F(HttpCommandTest, ThreeCurlFailuresEndWithTheLastCode) {
  failuresLeft_ = 100;
  WatchedCommand command;
  ASSERT_TRUE(Fetch(command, "/flaky"));
  EXPECT_EQ(outcome_.type, 5);
  EXPECT_EQ(outcome_.code, CURLE_PARTIAL_FILE);
  PumpFor(1200);
  EXPECT_EQ(server_->RequestCount(), 3u);  // never a fourth attempt
  EXPECT_EQ(outcome_.calls, 1);
}

TEST_F(HttpCommandTest, RedirectReportsBothStatusesAndMergesHeaders) {
  WatchedCommand command;
  ASSERT_TRUE(Fetch(command, "/redirect"));
  EXPECT_EQ(outcome_.type, 0);
  EXPECT_EQ(outcome_.response, "body of /final");
  EXPECT_EQ(command.statuses, (std::vector<int>{302, 200}));
  EXPECT_EQ(command.headers.Get(L"Location").string(), L"/final");  // from the 302
  EXPECT_EQ(command.headers.Get(L"X-Response").string(), L"/final");
  const std::vector<HttpTestServer::Request> requests = server_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].path, "/final");
}

TEST_F(HttpCommandTest, StopDuringTheTransferGivesNoCallback) {
  WatchedCommand command;
  command.url = server_->Url("/stall");
  command.completion = &RecordOutcome;
  command.userData = &outcome_;
  ASSERT_TRUE(SubmitRequest(CommandManager(), &command));
  ASSERT_TRUE(PumpUntil([&] { return !command.statuses.empty(); }));
  command.Stop();
  EXPECT_FALSE(CommandManager()->Contains(&command));
  EXPECT_EQ(CommandManager()->RunningCount(), 0u);
  PumpFor(500);
  EXPECT_EQ(outcome_.calls, 0);
}

TEST_F(HttpCommandTest, StartOnARunningCommandChangesNothing) {
  WatchedCommand command;
  command.url = server_->Url("/stall");
  ASSERT_TRUE(SubmitRequest(CommandManager(), &command));
  ASSERT_TRUE(command.running);
  CCurlBase* transfer = command.Transfer();
  EXPECT_FALSE(command.Start());
  EXPECT_EQ(command.Transfer(), transfer);
  EXPECT_EQ(command.attempts, 1u);
  command.Stop();
}

TEST_F(HttpCommandTest, ResponsesAboveTheCapFailAsWriteErrors) {
  WatchedCommand command;
  ASSERT_TRUE(Fetch(command, "/big", 30000));
  EXPECT_EQ(outcome_.type, 5);
  EXPECT_EQ(outcome_.code, CURLE_WRITE_ERROR);
  // What arrived before the cap is handed over; never more than the cap.
  EXPECT_LE(outcome_.response.size(), CHttpCommand::kMaxResponseBytes);
}

TEST_F(HttpCommandTest, StalledConnectionEndsAsACurlFailure) {
  WatchedCommand command;
  command.lowSpeedTimeSeconds = 1;
  ASSERT_TRUE(Fetch(command, "/stall", 20000));
  EXPECT_EQ(outcome_.type, 5);
  EXPECT_EQ(outcome_.code, CURLE_OPERATION_TIMEDOUT);
  EXPECT_EQ(server_->RequestCount(), 3u);
}

TEST_F(HttpCommandTest, PostSendsTheBody) {
  WatchedCommand command;
  command.method = 2;
  command.body = std::string(100000, 'p');
  ASSERT_TRUE(Fetch(command, "/post"));
  EXPECT_EQ(outcome_.type, 0);
  const std::vector<HttpTestServer::Request> requests = server_->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
}

}  // namespace
