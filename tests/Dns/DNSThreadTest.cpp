#include "Dns/DNSThread.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Dns/DnsMessage.h"
#include "Runtime/Runtime.h"
#include "Runtime/TextUtils.h"
#include "support/DnsResponder.h"
#include "support/LogCapture.h"
#include "support/MessagePump.h"

namespace {

constexpr const char* kTwoAddresses = "10.1.2.3;203.0.113.250";
// Short enough to keep the suite quick, long enough to tell a resolver that
// was waited on from one that failed at once.
constexpr DWORD kShortLimitMs = 600;

// What the result function saw; the context of a run points at one.
struct Outcome {
  int calls = 0;
  int code = 99;
  std::string host;
  std::string addresses;
  DWORD thread = 0;
};

void OnResult(int code, void* context, const std::string& host, const std::string& addresses) {
  Outcome* outcome = static_cast<Outcome*>(context);
  ++outcome->calls;
  outcome->code = code;
  outcome->host = host;
  outcome->addresses = addresses;
  outcome->thread = ::GetCurrentThreadId();
}

std::vector<DnsResolverEndpoint> EndpointsOf(std::initializer_list<const DnsResponder*> list) {
  std::vector<DnsResolverEndpoint> endpoints;
  for (const DnsResponder* responder : list) endpoints.push_back(responder->Endpoint());
  return endpoints;
}

class DnsThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RuntimeStartup(&record_, record_);
    // An object a test forgot to point at its responders asks this silent
    // one, never a public resolver; TearDown checks nobody did.
    ASSERT_TRUE(guard_.IsListening());
    CDNSThread::SetDefaultResolvers({guard_.Endpoint()});
  }

  void TearDown() override {
    EXPECT_EQ(guard_.QueryCount(), 0u);
    CDNSThread::SetDefaultResolvers({});
    RuntimeShutdown(record_);
  }

  // Starts a run the way a download does: settings, stop, start.
  void Start(CDNSThread& dns, const std::string& host, std::vector<DnsResolverEndpoint> resolvers,
             DWORD limitMs, Outcome& outcome) {
    dns.SetResultFunction(&OnResult);
    dns.SetContext(&outcome);
    dns.SetHost(host);
    dns.SetResolvers(std::move(resolvers));
    dns.SetReplyLimit(limitMs);
    ASSERT_TRUE(dns.StopThread(500));
    started_ = ::GetTickCount64();
    ASSERT_TRUE(dns.StartThread());
  }

  // Milliseconds from the last Start until `outcome` got its result.
  ULONGLONG AwaitResult(const Outcome& outcome, DWORD limitMs = 10000) {
    EXPECT_TRUE(PumpUntil([&] { return outcome.calls > 0; }, limitMs));
    return ::GetTickCount64() - started_;
  }

  RuntimeRecord record_;
  DnsResponder guard_{DnsReplyKind::kSilent};
  ULONGLONG started_ = 0;
};

TEST_F(DnsThreadTest, FirstResolverSilentSecondAnswersWithBothAddressesInOrder) {
  DnsResponder silent(DnsReplyKind::kSilent);
  DnsResponder answering(DnsReplyKind::kTwoA);
  DnsResponder unused(DnsReplyKind::kTwoA);
  CDNSThread dns;
  Outcome outcome;
  Start(dns, "download.example.test", EndpointsOf({&silent, &answering, &unused}),
        CDNSThread::kDefaultReplyLimitMs, outcome);
  const ULONGLONG took = AwaitResult(outcome);

  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.code, CDNSThread::kResolved);
  EXPECT_EQ(outcome.addresses, kTwoAddresses);
  EXPECT_EQ(outcome.host, "download.example.test");
  EXPECT_EQ(outcome.thread, ::GetCurrentThreadId());
  EXPECT_GE(took, 1450u);  // the whole limit went to the silent one
  EXPECT_LT(took, 3000u);

  // Each asked once, with the same query, in order; the third not at all.
  std::vector<uint8_t> expected;
  ASSERT_TRUE(BuildDnsQuery("download.example.test",
                            static_cast<uint16_t>(::GetCurrentProcessId() & 0xFFFF), expected));
  EXPECT_EQ(silent.Queries(), std::vector<std::vector<uint8_t>>{expected});
  EXPECT_EQ(answering.Queries(), std::vector<std::vector<uint8_t>>{expected});
  EXPECT_EQ(unused.QueryCount(), 0u);

  // Exactly one result: nothing more arrives later.
  PumpFor(200);
  EXPECT_EQ(outcome.calls, 1);
}

TEST_F(DnsThreadTest, AnswerWithOnlyAliasesResolvesToAnEmptyList) {
  DnsResponder aliases(DnsReplyKind::kCnameOnly);
  DnsResponder unused(DnsReplyKind::kTwoA);
  CDNSThread dns;
  Outcome outcome;
  Start(dns, "www.example.test", EndpointsOf({&aliases, &unused}), kShortLimitMs, outcome);
  AwaitResult(outcome);
  EXPECT_EQ(outcome.code, CDNSThread::kResolved);
  EXPECT_EQ(outcome.addresses, "");
  EXPECT_EQ(unused.QueryCount(), 0u);
}

struct FaultCase {
  const char* name;
  DnsReplyKind kind;
  bool waitsOut;  // ignored until the limit, rather than failing the resolver at once
};

class DnsThreadFaultTest : public DnsThreadTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DnsThreadFaultTest, FaultyReplyFailsThatResolverAndTheNextIsAsked) {
  const FaultCase& c = GetParam();
  DnsResponder faulty(c.kind);
  DnsResponder answering(DnsReplyKind::kTwoA);
  CDNSThread dns;
  Outcome outcome;
  Start(dns, "files.example.test", EndpointsOf({&faulty, &answering}), kShortLimitMs, outcome);
  const ULONGLONG took = AwaitResult(outcome);

  EXPECT_EQ(outcome.code, CDNSThread::kResolved);
  EXPECT_EQ(outcome.addresses, kTwoAddresses);
  EXPECT_EQ(faulty.QueryCount(), 1u);
  EXPECT_EQ(answering.QueryCount(), 1u);
  if (c.waitsOut) {
    EXPECT_GE(took, kShortLimitMs - 20);
  } else {
    EXPECT_LT(took, kShortLimitMs - 200);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DnsThreadFaultTest,
    ::testing::Values(FaultCase{"Silent", DnsReplyKind::kSilent, true},
                      FaultCase{"WrongId", DnsReplyKind::kWrongId, true},
                      FaultCase{"Truncated", DnsReplyKind::kTruncated, true},
                      FaultCase{"ErrorCode", DnsReplyKind::kErrorCode, true},
                      FaultCase{"NoAnswers", DnsReplyKind::kNoAnswers, true},
                      FaultCase{"NotAResponse", DnsReplyKind::kNotAResponse, true},
                      FaultCase{"ShortHeader", DnsReplyKind::kShortHeader, true},
                      FaultCase{"Oversized", DnsReplyKind::kOversized, true},
                      FaultCase{"OtherSourcePort", DnsReplyKind::kOtherSourcePort, true},
                      FaultCase{"PointerInQuestion", DnsReplyKind::kPointerInQuestion, false},
                      FaultCase{"PointerToItself", DnsReplyKind::kPointerToItself, false},
                      FaultCase{"PointerLoop", DnsReplyKind::kPointerLoop, false},
                      FaultCase{"PointerPastEnd", DnsReplyKind::kPointerPastEnd, false},
                      FaultCase{"RootName", DnsReplyKind::kRootName, false},
                      FaultCase{"LongName", DnsReplyKind::kLongName, false},
                      FaultCase{"BadALength", DnsReplyKind::kBadALength, false},
                      FaultCase{"CutInAddress", DnsReplyKind::kCutInAddress, false},
                      FaultCase{"CutInFields", DnsReplyKind::kCutInFields, false}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(DnsThreadTest, AllResolversSilentGivesMinusOneAndAnEmptyList) {
  DnsResponder first(DnsReplyKind::kSilent);
  DnsResponder second(DnsReplyKind::kSilent);
  DnsResponder third(DnsReplyKind::kSilent);
  CDNSThread dns;
  Outcome outcome;
  Start(dns, "gone.example.test", EndpointsOf({&first, &second, &third}), 200, outcome);
  const ULONGLONG took = AwaitResult(outcome);
  EXPECT_EQ(outcome.code, CDNSThread::kFailed);
  EXPECT_EQ(outcome.addresses, "");
  EXPECT_EQ(outcome.host, "gone.example.test");
  EXPECT_GE(took, 580u);
  for (const DnsResponder* r : {&first, &second, &third}) EXPECT_EQ(r->QueryCount(), 1u);
}

TEST_F(DnsThreadTest, HostWithTwoDotsInARowIsQueriedWithoutAnEmptyLabel) {
  DnsResponder answering(DnsReplyKind::kTwoA);
  CDNSThread dns;
  Outcome outcome;
  Start(dns, "a..b", EndpointsOf({&answering}), kShortLimitMs, outcome);
  AwaitResult(outcome);
  EXPECT_EQ(outcome.code, CDNSThread::kResolved);
  EXPECT_EQ(outcome.host, "a..b");  // reported as given
  const auto queries = answering.Queries();
  ASSERT_EQ(queries.size(), 1u);
  const std::vector<uint8_t> name(queries[0].begin() + 12, queries[0].end() - 4);
  EXPECT_EQ(name, (std::vector<uint8_t>{1, 'a', 1, 'b', 0}));
}

TEST_F(DnsThreadTest, HostThatCannotBeQueriedFailsAtOnceWithoutAQuery) {
  const std::string hosts[] = {std::string(254, 'a'), std::string(64, 'a') + ".test", "..."};
  for (const std::string& host : hosts) {
    DnsResponder answering(DnsReplyKind::kTwoA);
    CDNSThread dns;
    Outcome outcome;
    Start(dns, host, EndpointsOf({&answering}), kShortLimitMs, outcome);
    const ULONGLONG took = AwaitResult(outcome);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.code, CDNSThread::kFailed);
    EXPECT_EQ(outcome.host, host);
    EXPECT_EQ(outcome.addresses, "");
    EXPECT_LT(took, 400u);
    EXPECT_EQ(answering.QueryCount(), 0u);
  }
}

// Stopping (or destroying) the resolver while it waits must end the thread
// within one wait slice: no result, and no forced termination, which would
// log the timeout line.
class DnsThreadStopTest : public DnsThreadTest {
 protected:
  void SetUp() override {
    DnsThreadTest::SetUp();
    ASSERT_TRUE(log_.IsCapturing());
  }
  std::wstring LogText() const { return log_.Text(); }

  LogCapture log_;
};

TEST_F(DnsThreadStopTest, StopWhileAwaitingPostsNothingAndNeedsNoTermination) {
  DnsResponder silent(DnsReplyKind::kSilent);
  DnsResponder answering(DnsReplyKind::kTwoA);
  CDNSThread dns;
  Outcome outcome;
  Start(dns, "stop.example.test", EndpointsOf({&silent, &answering}),
        CDNSThread::kDefaultReplyLimitMs, outcome);
  ASSERT_TRUE(silent.WaitForQueries(1, 2000));
  ::Sleep(50);  // well inside the wait
  const ULONGLONG before = ::GetTickCount64();
  EXPECT_TRUE(dns.StopThread(500));
  // One wait slice; a forced end would take the whole 500 ms first.
  EXPECT_LT(::GetTickCount64() - before, 450u);
  EXPECT_FALSE(dns.IsRunning());

  PumpFor(300);
  EXPECT_EQ(outcome.calls, 0);
  EXPECT_EQ(answering.QueryCount(), 0u);
  EXPECT_EQ(LogText().find(L"DestroyThread"), std::wstring::npos) << ToUtf8(LogText());
}

TEST_F(DnsThreadStopTest, DestroyingWhileAwaitingStopsTheRunQuickly) {
  DnsResponder silent(DnsReplyKind::kSilent);
  Outcome outcome;
  auto dns = std::make_unique<CDNSThread>();
  Start(*dns, "gone.example.test", EndpointsOf({&silent}), CDNSThread::kDefaultReplyLimitMs,
        outcome);
  ASSERT_TRUE(silent.WaitForQueries(1, 2000));
  const ULONGLONG before = ::GetTickCount64();
  dns.reset();
  const ULONGLONG took = ::GetTickCount64() - before;
  EXPECT_LT(took, 450u);
  PumpFor(200);
  EXPECT_EQ(outcome.calls, 0);
  EXPECT_EQ(LogText().find(L"DestroyThread"), std::wstring::npos) << ToUtf8(LogText());
}

TEST_F(DnsThreadTest, SettingsChangedDuringARunApplyOnlyToTheNextRun) {
  DnsResponder silent(DnsReplyKind::kSilent);
  DnsResponder answering(DnsReplyKind::kTwoA);
  DnsResponder other(DnsReplyKind::kTwoA);
  CDNSThread dns;
  Outcome first;
  Outcome second;
  Start(dns, "first.example.test", EndpointsOf({&silent, &answering}), kShortLimitMs, first);
  ASSERT_TRUE(silent.WaitForQueries(1, 2000));
  dns.SetContext(&second);
  dns.SetHost("second.example.test");
  dns.SetResolvers(EndpointsOf({&other}));
  EXPECT_TRUE(dns.StartThread());  // keeps the run in progress
  AwaitResult(first);
  EXPECT_EQ(first.calls, 1);
  EXPECT_EQ(first.host, "first.example.test");
  EXPECT_EQ(first.addresses, kTwoAddresses);
  EXPECT_EQ(second.calls, 0);
  EXPECT_EQ(answering.QueryCount(), 1u);
  EXPECT_EQ(other.QueryCount(), 0u);

  // After the result, as a download restarts it: the new settings apply.
  ASSERT_TRUE(dns.StopThread(100));
  ASSERT_TRUE(dns.StartThread());
  EXPECT_TRUE(PumpUntil([&] { return second.calls > 0; }, 5000));
  EXPECT_EQ(second.host, "second.example.test");
  EXPECT_EQ(second.code, CDNSThread::kResolved);
  EXPECT_EQ(other.QueryCount(), 1u);
  EXPECT_EQ(first.calls, 1);
}

TEST_F(DnsThreadTest, ObjectWithoutItsOwnListAsksTheProcessDefault) {
  DnsResponder answering(DnsReplyKind::kTwoA);
  CDNSThread::SetDefaultResolvers({answering.Endpoint()});
  CDNSThread dns;
  Outcome outcome;
  dns.SetResultFunction(&OnResult);
  dns.SetContext(&outcome);
  dns.SetHost("default.example.test");
  dns.SetReplyLimit(kShortLimitMs);
  ASSERT_TRUE(dns.StartThread());
  AwaitResult(outcome);
  EXPECT_EQ(outcome.addresses, kTwoAddresses);
  EXPECT_EQ(answering.QueryCount(), 1u);
}

TEST(DnsThreadDefaultsTest, BuiltInListIsTheFourPublicResolversInOrder) {
  const std::vector<DnsResolverEndpoint> expected = {{{114, 114, 114, 114}, 53},
                                                     {{223, 5, 5, 5}, 53},
                                                     {{8, 8, 8, 8}, 53},
                                                     {{208, 67, 222, 222}, 53}};
  EXPECT_EQ(CDNSThread::BuiltInResolvers(), expected);
  CDNSThread::SetDefaultResolvers({{{127, 0, 0, 1}, 5353}});
  EXPECT_EQ(CDNSThread::DefaultResolvers(),
            (std::vector<DnsResolverEndpoint>{{{127, 0, 0, 1}, 5353}}));
  CDNSThread::SetDefaultResolvers({});
  EXPECT_EQ(CDNSThread::DefaultResolvers(), expected);
}

}  // namespace
