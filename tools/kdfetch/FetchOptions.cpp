#include "FetchOptions.h"

#include <cwchar>

#include "Runtime/TextUtils.h"

namespace {

// A whole decimal number from `low` to `high`; nothing else.
bool ParseNumber(const std::wstring& text, uint32_t low, uint32_t high, uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t result = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    result = result * 10 + static_cast<uint32_t>(c - L'0');
  }
  if (result < low || result > high) return false;
  value = result;
  return true;
}

}  // namespace

bool FetchOptions::Parse(const std::vector<std::wstring>& arguments, std::wstring& error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& name = arguments[i];
    if (name == L"--verify") {
      verify = true;
      continue;
    }
    if (name != L"--manifest" && name != L"--dir" && name != L"--resolver" &&
        name != L"--attempts" && name != L"--retry-delay" && name != L"--log") {
      error = L"unknown option " + name;
      return false;
    }
    if (i + 1 >= arguments.size()) {
      error = name + L" needs a value";
      return false;
    }
    const std::wstring& value = arguments[++i];
    if (name == L"--manifest") {
      std::vector<std::wstring> urls;
      SplitList(value, urls);
      for (const std::wstring& url : urls) {
        if (!url.empty()) manifestUrls.push_back(url);
      }
    } else if (name == L"--dir") {
      dir = value;
    } else if (name == L"--resolver") {
      DnsResolverEndpoint endpoint;
      if (!ParseDnsResolverEndpoint(ToUtf8(value), endpoint)) {
        error = L"--resolver takes IP or IP:PORT, not " + value;
        return false;
      }
      resolvers.push_back(endpoint);
    } else if (name == L"--attempts") {
      if (!ParseNumber(value, 1, 1000000, attempts)) {
        error = L"--attempts takes a number from 1, not " + value;
        return false;
      }
    } else if (name == L"--retry-delay") {
      if (!ParseNumber(value, 0, 3600000, retryDelayMs)) {
        error = L"--retry-delay takes milliseconds, not " + value;
        return false;
      }
    } else {
      logFile = value;
    }
  }
  if (manifestUrls.empty() || dir.empty()) {
    error = L"--manifest and --dir are required";
    return false;
  }
  return true;
}
