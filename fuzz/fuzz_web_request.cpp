// The HTTP door's request handling on arbitrary bytes: whatever a caller
// sends is parsed by Beast with the server's limits and answered by WebApi,
// never a crash, a hang or an answer outside the documented ones, and no
// origin allowed but the one the token lists. "@TOKEN@" in the input stands
// for a valid token with every scope, which lists https://till.example.
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz_check.h"
#include "platform/sim/mem_filesystem.h"
#include "web/web_door.h"

using namespace dorvane;
namespace http = boost::beast::http;

namespace {
std::string TokenFile(std::string& token) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "dorvane-fuzz-web";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "tokens.txt").string();
  std::filesystem::remove(file);
  std::string error;
  web::CreateToken(file, "fuzz", web::kAllScopes, {"https://till.example"}, "2026-03-05 08:00:00", token, error);
  return file;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::string token;
  static const std::string tokenFile = TokenFile(token);
  std::string bytes(reinterpret_cast<const char*>(data), size);
  for (std::size_t at; (at = bytes.find("@TOKEN@")) != std::string::npos;) bytes.replace(at, 7, token);

  http::request_parser<http::string_body> parser;
  parser.header_limit(8 * 1024);
  parser.body_limit(web::kMaxBody);
  parser.eager(true);
  boost::beast::error_code ec;
  parser.put(boost::asio::buffer(bytes), ec);
  if (!ec && !parser.is_done()) parser.put_eof(ec);
  if (ec || !parser.is_done()) return 0;
  const auto& req = parser.get();

  MemFileSystem fs;
  fs.AddDir("/d");
  web::WebDoor door(fs, "/d", tokenFile);
  web::WebSettings settings;
  settings.hosts = {"cassa.local"};
  std::string message;
  FUZZ_CHECK(door.Load(settings, {}, message));
  web::WebRequest r{std::string(req.method_string()), std::string(req.target()),
                    std::string(req[http::field::host]), std::string(req[http::field::authorization]),
                    std::string(req[http::field::origin]), req.body(), std::string(req["Last-Event-ID"]),
                    req["Access-Control-Request-Private-Network"] == "true"};
  // Twice: a repeated request must answer as the first, or say why not.
  for (int round = 0; round < 2; ++round) {
    const web::WebResponse a = door.Api()->Handle(r);
    FUZZ_CHECK(a.status == 200 || a.status == 202 || a.status == 204 || (a.status >= 400 && a.status <= 503));
    FUZZ_CHECK(a.waitSeconds >= 0 && a.waitSeconds <= web::kMaxWaitSeconds);
    FUZZ_CHECK((a.status == 204 || a.events || a.produce || !a.body.empty()) && a.body.find(token) == std::string::npos);
    // CORS, exactly: only a listed origin is ever allowed, and never "*".
    for (const auto& [name, value] : a.headers)
      if (name == "Access-Control-Allow-Origin") FUZZ_CHECK(value == "https://till.example");
  }
  return 0;
}
