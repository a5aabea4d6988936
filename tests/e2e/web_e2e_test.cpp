// The HTTP door of the real dorvane, set up with the real dorvane-web, in
// front of the real kkora1: a receipt put by key prints once, with its
// receipt number, across retries and a SIGKILL; the spool not writable, and
// a request that never ends.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>

#include "support/http_client.h"
#include "support/process.h"

namespace dorvane::test {
namespace {

#if defined(KKORA1_EXE) && defined(DORVANE_WEB_EXE)

using nlohmann::json;

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  ::close(s);
  return ntohs(a.sin_port);
}

class WebShop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"in", "out", "err"}) inst.tree.MakeDir(dir);
    inst.Configure("0.05", T().Path("in"), T().Path("out"), T().Path("err"));
    const std::string data = T().Path("data/ZTKKORA1");
    ASSERT_EQ(Tool({"config", "--port", std::to_string(port), "--dir", data}), 0);
    ASSERT_EQ(Tool({"token", "new", "cassa", "--scopes", "print,read", "--dir", data}), 0);
    const std::string said = T().Read("tool.txt");
    token = said.substr(said.find("dvw_"), 47);
    kora1 = std::make_unique<Child>(std::vector<std::string>{KKORA1_EXE, "0", "--dump-ms", "100", "--poll-ms", "10"},
                                    inst.Env(), T().Path("kkora1.txt"));
    ASSERT_TRUE(WaitFor(10000, [&] { return T().Exists("data/ZTKKORA1/SR_MATR.001"); }));
    StartDorvane();
  }
  int Tool(std::vector<std::string> args) {
    args.insert(args.begin(), DORVANE_WEB_EXE);
    return Child(args, inst.Env(), T().Path("tool.txt")).Wait(10000);
  }
  void StartDorvane() {
    dorvane = std::make_unique<Child>(std::vector<std::string>{DORVANE_EXE, "--headless", "/NONID"}, inst.Env(),
                                      T().Path("dorvane.txt"));
    ASSERT_TRUE(WaitFor(10000, [&] { return Call("GET", "/v1/status").status == 200; }));
  }
  HttpAnswer Call(const std::string& method, const std::string& target, const std::string& body = "") {
    return Http(port, {method, target, body, "localhost", {{"Authorization", "Bearer " + token}}});
  }
  HttpAnswer Put(const std::string& key, int cents) {
    const std::string text = "PLUD,C1,N1,P" + std::to_string(cents) + ",:ARTICOLO;\nCASH,V" + std::to_string(cents) +
                             ",:CONTANTI;\n";
    return Call("PUT", "/v1/receipts/" + key, json{{"layout", "sarema"}, {"text", text}}.dump());
  }
  const TempDir& T() const { return inst.tree; }

  Installation inst;
  int port = FreePort();
  std::string token;
  std::unique_ptr<Child> kora1, dorvane;
};

TEST_F(WebShop, AKeyPrintsOnceWithItsNumberAcrossRetriesAndAKill) {
  EXPECT_EQ(Put("vendita-7", 150).status, 202);
  const HttpAnswer done = Call("GET", "/v1/receipts/vendita-7?wait=20");
  json s = json::parse(done.body);
  ASSERT_EQ(s["state"], "printed") << done.body;
  EXPECT_EQ(s["total"], "1,50");
  const std::string number = s["receipt"];
  EXPECT_FALSE(number.empty());
  for (int retry = 0; retry < 3; ++retry) EXPECT_EQ(json::parse(Put("vendita-7", 150).body)["receipt"], number);
  EXPECT_EQ(Put("vendita-7", 151).status, 409);

  dorvane->Signal(SIGKILL);
  dorvane->Wait(10000);
  StartDorvane();
  EXPECT_EQ(Put("vendita-7", 150).status, 200);
  s = json::parse(Call("GET", "/v1/receipts/vendita-7").body);
  EXPECT_EQ(s["receipt"], number);
  EXPECT_EQ(s["record"]["chiave"], "vendita-7");
  // A new key prints a new receipt; none went to the shop's folders.
  EXPECT_EQ(Put("vendita-8", 200).status, 202);
  EXPECT_EQ(json::parse(Call("GET", "/v1/receipts/vendita-8?wait=20").body)["receipt"], std::to_string(std::stoi(number) + 1));
  EXPECT_FALSE(T().Exists("out/SR_OUT.TXT"));

  // The ledger, read through the door: the day, a span as JSON Lines, the chain.
  const std::string day = s["record"]["chiuso"].get<std::string>().substr(0, 10);
  const json summary = json::parse(Call("GET", "/v1/ledger/day/" + day).body);
  EXPECT_EQ(summary["records"].size(), 2u);
  EXPECT_NE(summary["summary"].get<std::string>().find("2"), std::string::npos);
  const HttpAnswer span = Call("GET", "/v1/ledger?from=" + day + "&to=" + day);
  EXPECT_EQ(span.status, 200);
  EXPECT_EQ(std::count(span.body.begin(), span.body.end(), '\n'), 2);
  EXPECT_NE(span.body.find("\"chiave\":\"vendita-8\""), std::string::npos);
  EXPECT_EQ(json::parse(Call("POST", "/v1/ledger/verify").body)["whole"], true);
  // The day's last hash, as its summary shows it, checked through the door.
  const std::string text = summary["summary"].get<std::string>(), mark = "ULTIMO RECORD DEL GIORNO: n. 2, hash\n  ";
  ASSERT_NE(text.find(mark), std::string::npos) << text;
  const std::string head = text.substr(text.find(mark) + mark.size(), 64);
  EXPECT_EQ(json::parse(Call("POST", "/v1/ledger/verify", json{{"head", head}}.dump()).body)["whole"], true);
  EXPECT_EQ(json::parse(Call("POST", "/v1/ledger/verify", json{{"head", std::string(64, 'a')}}.dump()).body)["whole"],
            false);
  EXPECT_EQ(Call("POST", "/v1/ledger/verify", "{\"head\":\"abc\"}").status, 400);
  EXPECT_EQ(Call("GET", "/v1/ledger/day/ieri").status, 400);
}

TEST_F(WebShop, ASpoolThatCannotBeWrittenAndARequestThatNeverEnds) {
  // The spool's folder replaced by a file: nothing can be queued.
  const std::string spool = "data/ZTKKORA1/DORVWEB-CODA";
  std::filesystem::remove_all(T().Path(spool));
  T().Write(spool, "");
  const HttpAnswer refused = Put("s-1", 100);
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(json::parse(refused.body)["error"]["code"], "coda-non-scrivibile");
  std::filesystem::remove(T().Path(spool));
  EXPECT_EQ(Put("s-1", 100).status, 202);

  // Half a request, then nothing: closed after 10 s; the door goes on.
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<unsigned short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  const std::string half = "GET /v1/status HTTP/1.1\r\nHost: localhost\r\n";
  ::send(s, half.data(), half.size(), 0);
  timeval wait{15, 0};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  char byte;
  EXPECT_EQ(::recv(s, &byte, 1, 0), 0) << "still open after 15 s";
  ::close(s);
  EXPECT_EQ(json::parse(Call("GET", "/v1/receipts/s-1?wait=20").body)["state"], "printed");
  EXPECT_NE(inst.Log().find("PORTA HTTP: CODA NON SCRIVIBILE"), std::string::npos);
  EXPECT_NE(inst.Log().find("PORTA HTTP APERTA"), std::string::npos);
}

#ifdef BROWSER_TEST_PY
// Debian's Chromium, headless, through selenium: a till page of another
// origin, the same page from an origin its token does not list, and
// DORVANE's own page through a paper-out.
TEST_F(WebShop, ARealBrowserPutsFromAListedOriginOnlyAndWatchesThePaperOut) {
  if (!std::filesystem::exists("/usr/bin/chromedriver") || !std::filesystem::exists("/usr/bin/python3"))
    GTEST_SKIP() << "no chromium driver here (scripts/deps.sh browser)";
  const std::string data = T().Path("data/ZTKKORA1");
  const int till = FreePort(), other = FreePort();
  auto token = [&](const std::vector<std::string>& args) {
    EXPECT_EQ(Tool(args), 0);
    const std::string said = T().Read("tool.txt");
    return said.substr(said.find("dvw_"), 47);
  };
  const std::string tillToken = token({"token", "new", "till", "--scopes", "print,read", "--origin",
                                       "http://127.0.0.1:" + std::to_string(till), "--dir", data});
  const std::string reader = token({"token", "new", "pagina", "--scopes", "read", "--dir", data});
  Child browser({"/usr/bin/python3", BROWSER_TEST_PY, std::to_string(port), std::to_string(till), std::to_string(other),
                 tillToken, reader, data, T().Path("shots")},
                inst.Env(), T().Path("browser.txt"));
  EXPECT_EQ(browser.Wait(180000), 0) << T().Read("browser.txt");
  // The unlisted origin's put was refused before anything was spooled.
  EXPECT_EQ(Call("GET", "/v1/receipts/web-" + std::to_string(other)).status, 404);
  EXPECT_EQ(json::parse(Call("GET", "/v1/receipts/web-" + std::to_string(till)).body)["state"], "printed");
  if (const char* keep = std::getenv("DORVANE_SCREENSHOTS"))
    for (const auto& shot : std::filesystem::directory_iterator(T().Path("shots")))
      std::filesystem::copy_file(shot.path(), std::filesystem::path(keep) / shot.path().filename(),
                                 std::filesystem::copy_options::overwrite_existing);
}
#endif

#endif

}  // namespace
}  // namespace dorvane::test
