#pragma once

#include <string>

#include "Http/HttpBase.h"

// An in-memory request: fetches its URL (or posts its body) into memory and
// hands the response and the result to its owner's callback. libcurl errors
// are retried twice; HTTP errors are not. Main thread only.
class CHttpCommand : public CHttpBase {
 public:
  using Completion = void (*)(void* userData, const std::string& response, int type, int code);

  // In-memory responses above this size fail as a write error.
  static constexpr uint32_t kMaxResponseBytes = 4 * 1024 * 1024;

  CHttpCommand();

  bool Start() override;
  void Done(CURLcode code) override;
  void OnHttpCode(const HttpStatusNotice& notice) override;

  std::string body;
  Completion completion = nullptr;
  void* userData = nullptr;
};
