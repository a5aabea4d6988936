// A plain HTTP/1.1 client for the tests that talk to the HTTP door on a
// loopback socket (Boost.Beast, synchronous).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace dorvane::test {

struct HttpAnswer {
  int status = 0;  // 0: no answer (refused, closed, timed out)
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

struct HttpCall {
  std::string method = "GET";
  std::string target = "/";
  std::string body;
  std::string host = "127.0.0.1";  // the Host header, the port added
  std::vector<std::pair<std::string, std::string>> headers;
};

HttpAnswer Http(int port, const HttpCall& call, const std::string& address = "127.0.0.1");

}  // namespace dorvane::test
