#include "support/HttpTestServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace {

constexpr size_t kMaxConnections = 512;
constexpr size_t kMaxHeaderBytes = 64 * 1024;
constexpr int kMaxRequestsPerConnection = 1000;
constexpr auto kStallLimit = std::chrono::seconds(120);

bool SendAll(SOCKET s, const char* data, size_t length) {
  while (length > 0) {
    const int chunk = static_cast<int>(std::min<size_t>(length, 1 << 20));
    const int n = send(s, data, chunk, 0);
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

HttpTestServer::HttpTestServer(Handler handler) : handler_(std::move(handler)) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof(address);
  if (listener_ == INVALID_SOCKET ||
      bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener_, 64) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("test server cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  stop_ = true;
  closesocket(listener_);
  acceptor_.join();
  {
    std::lock_guard<std::mutex> hold(mutex_);
    // Unblocks connection threads waiting in recv.
    for (SOCKET s : sockets_) shutdown(s, SD_BOTH);
  }
  for (std::thread& t : connections_) t.join();
  for (SOCKET s : sockets_) closesocket(s);
  WSACleanup();
}

std::wstring HttpTestServer::Url(const std::string& path) const {
  const std::string url = "http://127.0.0.1:" + std::to_string(port_) + path;
  return std::wstring(url.begin(), url.end());
}

std::vector<HttpTestServer::Request> HttpTestServer::Requests() {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_;
}

size_t HttpTestServer::RequestCount() {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_.size();
}

HttpTestServer::Reply HttpTestServer::Text(int status, const std::string& body) {
  Reply reply;
  reply.status = status;
  reply.reason = status < 400 ? "OK" : "Error";
  reply.body = std::make_shared<const std::string>(body);
  return reply;
}

HttpTestServer::Reply HttpTestServer::Redirect(const std::string& location) {
  Reply reply = Text(302, "moved");
  reply.reason = "Found";
  reply.headers.emplace_back("Location", location);
  return reply;
}

void HttpTestServer::AcceptLoop() {
  while (!stop_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait = {0, 100 * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    std::lock_guard<std::mutex> hold(mutex_);
    if (connections_.size() >= kMaxConnections || stop_) {
      closesocket(client);
      continue;
    }
    sockets_.push_back(client);
    connections_.emplace_back([this, client] { Serve(client); });
  }
}

void HttpTestServer::Serve(SOCKET client) {
  ServeRequests(client);
  // The handle stays open until the destructor, so it is never reused while
  // the destructor may still shut it down.
  shutdown(client, SD_BOTH);
}

void HttpTestServer::ServeRequests(SOCKET client) {
  DWORD timeoutMs = 30000;
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
             sizeof(timeoutMs));
  std::string buffer;
  for (int served = 0; served < kMaxRequestsPerConnection && !stop_; ++served) {
    size_t end;
    while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
      if (buffer.size() > kMaxHeaderBytes) return;
      char chunk[4096];
      const int n = recv(client, chunk, sizeof(chunk), 0);
      if (n <= 0) return;
      buffer.append(chunk, static_cast<size_t>(n));
    }
    const std::string head = buffer.substr(0, end);
    buffer.erase(0, end + 4);

    Request request;
    const size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const size_t sp1 = line.find(' ');
    const size_t sp2 = line.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) return;
    request.method = line.substr(0, sp1);
    request.path = line.substr(sp1 + 1, sp2 - sp1 - 1);
    size_t at = lineEnd;
    int64_t bodyLength = 0;
    while (at != std::string::npos && at < head.size()) {
      const size_t next = head.find("\r\n", at + 2);
      const std::string header =
          head.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
      const size_t colon = header.find(':');
      if (colon != std::string::npos) {
        const std::string name = Lower(header.substr(0, colon));
        std::string value = header.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (name == "range") request.range = value;
        if (name == "content-length") bodyLength = std::stoll(value);
      }
      at = next;
    }
    // Uploads are read and discarded; tests script only the answers.
    while (static_cast<int64_t>(buffer.size()) < bodyLength) {
      char chunk[4096];
      const int n = recv(client, chunk, sizeof(chunk), 0);
      if (n <= 0) return;
      buffer.append(chunk, static_cast<size_t>(n));
    }
    buffer.erase(0, static_cast<size_t>(bodyLength));

    {
      std::lock_guard<std::mutex> hold(mutex_);
      requests_.push_back(request);
    }
    const Reply reply = handler_(request);
    if (!SendReply(client, request, reply)) return;
  }
}

bool HttpTestServer::SendReply(SOCKET client, const Request& request, const Reply& reply) {
  const std::string& full = *reply.body;
  size_t from = 0;
  int status = reply.status;
  std::string reason = reply.reason;
  std::vector<std::pair<std::string, std::string>> headers = reply.headers;
  if (reply.honourRange && status == 200 && request.range.rfind("bytes=", 0) == 0 &&
      request.range.back() == '-') {
    from = std::min<size_t>(std::stoull(request.range.substr(6)), full.size());
    status = 206;
    reason = "Partial Content";
    headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" +
                                              std::to_string(full.size() - 1) + "/" +
                                              std::to_string(full.size()));
  }
  const size_t bodyLength = full.size() - from;
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
  for (const auto& [name, value] : headers) head += name + ": " + value + "\r\n";
  const bool closeDelimited = !reply.chunked && !reply.sendContentLength;
  if (reply.chunked) {
    head += "Transfer-Encoding: chunked\r\n";
  } else if (reply.sendContentLength) {
    const int64_t announced =
        reply.contentLength >= 0 ? reply.contentLength : static_cast<int64_t>(bodyLength);
    head += "Content-Length: " + std::to_string(announced) + "\r\n";
  }
  if (closeDelimited || reply.closeAfterBytes >= 0) head += "Connection: close\r\n";
  head += "\r\n";
  if (!SendAll(client, head.data(), head.size())) return false;
  if (request.method == "HEAD") return true;

  if (reply.stall) {
    const auto until = std::chrono::steady_clock::now() + kStallLimit;
    while (!stop_ && std::chrono::steady_clock::now() < until) Sleep(20);
    return false;
  }

  size_t toSend = bodyLength;
  if (reply.closeAfterBytes >= 0) toSend = std::min<size_t>(toSend, reply.closeAfterBytes);
  const char* data = full.data() + from;
  const size_t piece = reply.bytesPerSecond > 0 ? std::max(1, reply.bytesPerSecond / 10) : 1 << 20;
  for (size_t sent = 0; sent < toSend && !stop_;) {
    const size_t n = std::min(piece, toSend - sent);
    if (reply.chunked) {
      char size[32];
      snprintf(size, sizeof(size), "%zx\r\n", n);
      if (!SendAll(client, size, strlen(size))) return false;
    }
    if (!SendAll(client, data + sent, n)) return false;
    if (reply.chunked && !SendAll(client, "\r\n", 2)) return false;
    sent += n;
    if (reply.bytesPerSecond > 0) Sleep(100);
  }
  if (reply.closeAfterBytes >= 0 || closeDelimited) return false;
  if (reply.chunked && !SendAll(client, "0\r\n\r\n", 5)) return false;
  return true;
}
