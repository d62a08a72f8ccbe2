#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Dns/DnsResolverEndpoint.h"

// kdfetch's command line:
//   kdfetch --manifest URL[;URL] --dir DIR [--resolver IP:PORT]... [--verify]
//           [--attempts N] [--retry-delay MS] [--log FILE]
// Plain value; any thread.
struct FetchOptions {
  std::vector<std::wstring> manifestUrls;
  std::wstring dir;
  std::vector<DnsResolverEndpoint> resolvers;  // empty: the built-in list
  bool verify = false;
  uint32_t attempts = 3;         // failure reports before giving up
  uint32_t retryDelayMs = 5000;  // as the installer waits between attempts
  std::wstring logFile;

  // Fills the options from `arguments` (without the program name). False
  // with a one-line `error` for anything it does not understand.
  [[nodiscard]] bool Parse(const std::vector<std::wstring>& arguments, std::wstring& error);

  static constexpr const wchar_t* kUsage =
      L"usage: kdfetch --manifest URL[;URL] --dir DIR [--resolver IP:PORT]... [--verify]\n"
      L"               [--attempts N] [--retry-delay MS] [--log FILE]";
};
