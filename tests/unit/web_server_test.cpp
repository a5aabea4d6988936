// The HTTP door's server on a real loopback socket, with its spool and keys
// on the real file system: what reaches the door, its limits, and a wait
// that ends when the job settles.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <algorithm>
#include <thread>

#include "support/files.h"
#include "support/http_client.h"
#include "text/paths.h"
#include "web/web_door.h"

#ifdef _WIN32
#include <winsock2.h>

#include "platform/win32/win32_filesystem.h"
using RealFileSystem = dorvane::Win32FileSystem;
#else
#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include "platform/posix/posix_filesystem.h"
using RealFileSystem = dorvane::PosixFileSystem;
#endif

namespace dorvane::test {
namespace {

using nlohmann::json;

class WebServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(web::CreateToken(dir.Path(web::kTokenFileName), "cassa", web::kScopePrint | web::kScopeRead,
                                 {"https://till.example"}, "2026-03-05 08:00:00", token, error));
    web::WebSettings s;
    std::string message;
    // A span of the ledger far larger than the pipe that carries it.
    door.ReadLedgerWith({{}, [](const std::string&, const std::string&, const auto& line) {
                           for (int n = 0; n < 20000 && line("{\"n\":" + std::to_string(n) + std::string(150, ' ') + "}");)
                             ++n;
                         }, {}});
    ASSERT_TRUE(door.Load(s, {}, message)) << message;
    server = std::make_unique<web::WebServer>(*door.Api(), s, nullptr);
    ASSERT_TRUE(server->Start(error)) << error;
    port = server->Port();
  }
  HttpAnswer Call(const std::string& method, const std::string& target, const std::string& body = "") {
    HttpCall c{method, target, body, "127.0.0.1", {{"Authorization", "Bearer " + token}}};
    return Http(port, c);
  }

  TempDir dir;
  RealFileSystem fs;
  web::WebDoor door{fs, dir.Root()};
  std::unique_ptr<web::WebServer> server;
  std::string token;
  int port = 0;
};

TEST_F(WebServerTest, APutIsOnDiskBeforeItsAnswerAndAWaitEndsWhenTheJobSettles) {
  const HttpAnswer put = Call("PUT", "/v1/receipts/s-1", R"({"layout":"sarema","text":"CHIU,1;\n"})");
  ASSERT_EQ(put.status, 202) << put.body;
  const std::optional<web::Spool::Waiting> w = door.Source().Find("s-1");
  ASSERT_TRUE(w);
  EXPECT_EQ(dir.Read(std::string(web::kSpoolFolderName) + "/" + w->path.substr(w->path.rfind(kPathSep) + 1)),
            "CHIU,1;\r\n");
  // Also on IPv6's loopback, where the system has one.
  EXPECT_EQ(Http(port, {"GET", "/v1/receipts/s-1", "", "[::1]", {{"Authorization", "Bearer " + token}}}, "::1").status,
            200);

  std::thread engine([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Job job;
    job.requestKey = "s-1";
    job.outcome = Outcome::kRefused;
    job.text = "E050: CARTA";
    door.Keys().Settled(job);
  });
  const auto start = std::chrono::steady_clock::now();
  const HttpAnswer got = Call("GET", "/v1/receipts/s-1?wait=20");
  engine.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(json::parse(got.body)["state"], "refused");
  EXPECT_EQ(json::parse(got.body)["reason"], "E050: CARTA");
}

TEST_F(WebServerTest, ALedgerSpanIsStreamedWholeAndInOrder) {
  const HttpAnswer span = Call("GET", "/v1/ledger?from=2026-03-01");
  ASSERT_EQ(span.status, 200);
  EXPECT_EQ(std::count(span.body.begin(), span.body.end(), '\n'), 20000);
  EXPECT_EQ(span.body.rfind("{\"n\":19999 ", std::string::npos), span.body.size() - 162);
  EXPECT_EQ(Call("GET", "/v1/ledger/day/2026-03-32x").status, 400);
}

TEST_F(WebServerTest, LimitsAnswerAndCloseWithoutStoppingTheDoor) {
  // A public page's preflight to the local network (recent Chromium asks the
  // user instead, but others may send it): answered for a listed origin only.
  const HttpCall preflight{"OPTIONS", "/v1/receipts/p", "", "127.0.0.1",
                           {{"Origin", "https://till.example"}, {"Access-Control-Request-Method", "PUT"},
                            {"Access-Control-Request-Private-Network", "true"}}};
  const HttpAnswer allowed = Http(port, preflight);
  EXPECT_EQ(allowed.status, 204);
  EXPECT_NE(std::find(allowed.headers.begin(), allowed.headers.end(),
                      std::pair<std::string, std::string>{"Access-Control-Allow-Private-Network", "true"}),
            allowed.headers.end());
  HttpCall other = preflight;
  other.headers[0].second = "https://evil.example";
  EXPECT_EQ(Http(port, other).status, 403);

  HttpCall big{"GET", "/v1/status", "", "127.0.0.1", {{"X-Pad", std::string(9000, 'x')}}};
  EXPECT_EQ(Http(port, big).status, 431);
  EXPECT_EQ(Call("PUT", "/v1/receipts/big", std::string(web::kMaxBody + 10, ' ')).status, 413);
  EXPECT_EQ(Http(port, {"GET", "/v1/status", "", "rebind.example", {{"Authorization", "Bearer " + token}}}).status, 403);

  // Connections past the limit are answered 503 and closed.
  std::vector<int> held;
  for (int i = 0; i < web::kMaxConnections; ++i) {
    const int s = static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<unsigned short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    held.push_back(s);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Call("GET", "/v1/status").status, 503);
  for (int s : held) {
#ifdef _WIN32
    ::closesocket(s);
#else
    ::close(s);
#endif
  }
  EXPECT_TRUE(WaitFor(5000, [&] { return Call("GET", "/v1/status").status == 200; }));
}

}  // namespace
}  // namespace dorvane::test
