#include "Updater/UpdaterTestSupport.h"

#include "Runtime/MD5.h"
#include "Runtime/TextUtils.h"

std::string PackageBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 4093) & 0xFF);
  return bytes;
}

std::string Md5Hex(const std::string& bytes) {
  MD5 digest;
  digest.update(bytes.data(), bytes.size());
  digest.finalize();
  return digest.hex_digest();
}

std::string Utf8(const std::wstring& text) {
  return ToUtf8(text);
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ManifestText(const ManifestFields& fields, bool upperCaseKeys) {
  auto key = [&](const char* name, const char* upper) { return upperCaseKeys ? upper : name; };
  return std::string("; 安装包清单\r\n[") + key("Install", "INSTALL") + "]\r\n" +
         key("Url", "URL") + "=" + fields.url + "\r\n" + key("murl", "MURL") + "=" + fields.murl +
         "\r\n" + key("Size", "size") + "=" + fields.size + "\r\n" + key("Md5", "md5") + "=" +
         fields.md5 + "\r\n" + key("Version", "VERSION") + "=" + fields.version + "\r\n";
}

RoutedServer::RoutedServer()
    : server_([this](const HttpTestServer::Request& request) { return Serve(request); }) {}

void RoutedServer::Route(const std::string& path, const HttpTestServer::Reply& reply) {
  std::lock_guard<std::mutex> hold(lock_);
  routes_[path] = reply;
}

void RoutedServer::RoutePackage(const std::string& path, std::shared_ptr<const std::string> bytes,
                                int64_t closeAfterBytes) {
  HttpTestServer::Reply reply = HttpTestServer::Text(200, "");
  reply.body = std::move(bytes);
  reply.closeAfterBytes = closeAfterBytes;
  Route(path, reply);
}

std::vector<std::string> RoutedServer::Paths() {
  std::vector<std::string> paths;
  for (const auto& request : server_.Requests()) paths.push_back(request.path);
  return paths;
}

std::vector<std::string> RoutedServer::Ranges(const std::string& path) {
  std::vector<std::string> ranges;
  for (const auto& request : server_.Requests()) {
    if (request.path == path) ranges.push_back(request.range);
  }
  return ranges;
}

HttpTestServer::Reply RoutedServer::Serve(const HttpTestServer::Request& request) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = routes_.find(request.path);
  return it == routes_.end() ? HttpTestServer::Text(404, "no route") : it->second;
}
