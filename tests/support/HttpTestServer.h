#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// An HTTP/1.1 server on 127.0.0.1 (ephemeral port) whose answers a test
// scripts per request. Runs its own threads; every loop is bounded in count
// and time, and the destructor stops and joins everything.
class HttpTestServer {
 public:
  struct Request {
    std::string method;
    std::string path;
    std::string range;  // the Range header, empty when absent
  };

  struct Reply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    std::shared_ptr<const std::string> body = std::make_shared<const std::string>();
    bool honourRange = true;     // answer "bytes=N-" with 206 and the tail
    int64_t contentLength = -1;  // announced length; -1: the true one
    bool sendContentLength = true;
    int64_t closeAfterBytes = -1;  // drop the connection after this much body
    bool stall = false;            // headers, then silence until the server stops
    bool chunked = false;
    int bytesPerSecond = 0;  // 0: as fast as possible
  };

  using Handler = std::function<Reply(const Request&)>;

  explicit HttpTestServer(Handler handler);
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  [[nodiscard]] uint16_t Port() const { return port_; }
  [[nodiscard]] std::wstring Url(const std::string& path) const;
  [[nodiscard]] std::vector<Request> Requests();
  [[nodiscard]] size_t RequestCount();

  static Reply Text(int status, const std::string& body);
  static Reply Redirect(const std::string& location);

 private:
  void AcceptLoop();
  void Serve(SOCKET client);
  void ServeRequests(SOCKET client);
  bool SendReply(SOCKET client, const Request& request, const Reply& reply);

  Handler handler_;
  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> connections_;
  std::vector<SOCKET> sockets_;
  std::vector<Request> requests_;
};
