#include "support/http_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>

namespace dorvane::test {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

HttpAnswer Http(int port, const HttpCall& call, const std::string& address) {
  HttpAnswer answer;
  try {
    boost::asio::io_context io;
    beast::tcp_stream stream(io);
    stream.expires_after(std::chrono::seconds(40));
    stream.connect(tcp::endpoint(boost::asio::ip::make_address(address), static_cast<unsigned short>(port)));
    http::request<http::string_body> req{http::string_to_verb(call.method), call.target, 11};
    req.set(http::field::host, call.host + ":" + std::to_string(port));
    for (const auto& [name, value] : call.headers) req.set(name, value);
    req.body() = call.body;
    req.prepare_payload();
    http::write(stream, req);
    beast::flat_buffer buffer;
    http::response<http::string_body> res;
    http::read(stream, buffer, res);
    answer.status = res.result_int();
    answer.body = res.body();
    for (const auto& field : res) answer.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  } catch (const std::exception&) {
    answer.status = 0;
  }
  return answer;
}

}  // namespace dorvane::test
