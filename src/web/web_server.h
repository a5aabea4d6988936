// The HTTP door's server: HTTP/1.1 on Boost.Beast and Boost.Asio, on a
// thread of its own, answering through WebApi. It listens on the loopback
// addresses (127.0.0.1 and ::1), or on every address when the shop chose
// its network. Limits that protect printing: headers up to 8 KB, a request
// whole within 10 s, bodies up to 1 MiB, at most 64 connections; past them
// the caller gets its error and the connection is closed.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "web/web_api.h"

namespace dorvane::web {

inline constexpr std::size_t kMaxHeader = 8 * 1024;
inline constexpr int kRequestSeconds = 10;
inline constexpr int kMaxConnections = 64;

class WebServer {
 public:
  // log: a failure of the server itself, from its thread.
  WebServer(WebApi& api, const WebSettings& settings, std::function<void(const std::string&)> log);
  ~WebServer();

  // Listens and starts the thread; false and why when the port cannot be had.
  bool Start(std::string& error);
  // Closes every connection and joins the thread.
  void Stop();
  // The port listened on (the settings' port, or the one the system gave
  // for port 0).
  int Port() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace dorvane::web
