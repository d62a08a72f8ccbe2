#pragma once

#include <winsock2.h>  // before windows.h, as the test server needs it
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/HttpTestServer.h"

// Shared by the update module's tests: a package, the manifest text that
// announces it, and a loopback server whose answers a test sets per path.
// The server's threads read the routes, so they are kept under a lock.

// Deterministic bytes that no shifted copy of themselves matches.
[[nodiscard]] std::string PackageBytes(size_t size);
[[nodiscard]] std::string Md5Hex(const std::string& bytes);
[[nodiscard]] std::string Utf8(const std::wstring& text);
[[nodiscard]] bool FileExists(const std::wstring& path);

struct ManifestFields {
  std::string url, murl, size, md5, version;
};
// An "Install" section with the five keys, in the letter case given.
[[nodiscard]] std::string ManifestText(const ManifestFields& fields, bool upperCaseKeys = false);

class RoutedServer {
 public:
  RoutedServer();

  void Route(const std::string& path, const HttpTestServer::Reply& reply);
  // The package, served with ranges honoured.
  void RoutePackage(const std::string& path, std::shared_ptr<const std::string> bytes,
                    int64_t closeAfterBytes = -1);
  [[nodiscard]] std::wstring Url(const std::string& path) const { return server_.Url(path); }
  [[nodiscard]] std::vector<std::string> Paths();
  // Ranges asked for `path`, in order ("" for none).
  [[nodiscard]] std::vector<std::string> Ranges(const std::string& path);
  [[nodiscard]] size_t RequestCount() { return server_.RequestCount(); }

 private:
  HttpTestServer::Reply Serve(const HttpTestServer::Request& request);

  std::mutex lock_;
  std::map<std::string, HttpTestServer::Reply> routes_;
  HttpTestServer server_;
};
