#pragma once

#include <gtest/gtest.h>

#include "Dns/DNSThread.h"
#include "Http/HttpEngines.h"
#include "Runtime/Runtime.h"
#include "support/DnsResponder.h"
#include "support/MessagePump.h"

// Both engines up, on the test thread as the main thread, for one test.
class HttpEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A download that falls back to the spare resolver asks this silent
    // loopback guard unless the test names its own resolver.
    ASSERT_TRUE(guard_.IsListening());
    CDNSThread::SetDefaultResolvers({guard_.Endpoint()});
    InstallHttpEngines();
    RuntimeStartup(this, record_);
    ASSERT_NE(CommandManager(), nullptr);
    ASSERT_NE(DownloadManager(), nullptr);
  }
  void TearDown() override {
    RuntimeShutdown(record_);
    SetRuntimeEngineHooks(RuntimeEngineHooks{});
    CDNSThread::SetDefaultResolvers({guard_.Endpoint()});
  }

  DnsResponder guard_{DnsReplyKind::kSilent};
  RuntimeRecord record_;
};
