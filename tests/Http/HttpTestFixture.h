#pragma once

#include <gtest/gtest.h>

#include "Http/HttpEngines.h"
#include "Runtime/Runtime.h"
#include "support/MessagePump.h"

// Both engines up, on the test thread as the main thread, for one test.
class HttpEngineTest : public ::testing::Test {
 protected:
  struct Record {
    void* owner = nullptr;
    UINT_PTR timerId = 0;
  };

  void SetUp() override {
    InstallHttpEngines();
    RuntimeStartup(this, record_);
    ASSERT_NE(CommandManager(), nullptr);
    ASSERT_NE(DownloadManager(), nullptr);
  }
  void TearDown() override {
    RuntimeShutdown(record_);
    SetRuntimeEngineHooks(RuntimeEngineHooks{});
  }

  Record record_;
};
