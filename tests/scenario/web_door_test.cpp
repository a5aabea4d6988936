// The HTTP door's answers on the virtual shop, asked on the engine's thread:
// one print per request key across retries and restarts.
#include <nlohmann/json.hpp>

#include "scenario.h"
#include "support/files.h"
#include "web/tokens.h"

namespace dorvane::test {
namespace {

using nlohmann::json;

class Door : public Shop {
 protected:
  void SetUp() override {
    Shop::SetUp();
    std::string error;
    ASSERT_TRUE(web::CreateToken(tokenFile, "cassa", web::kScopePrint | web::kScopeRead, {"https://till.example"},
                                 "2026-03-05 08:00:00", token, error));
    ASSERT_TRUE(web::CreateToken(tokenFile, "lettore", web::kScopeRead, {}, "2026-03-05 08:00:00", reader, error));
    kora1.Start();
    OpenAll();
  }
  void OpenAll() {
    Open();
    JobObservers::GivenDoor given;
    given.settings.port = 8377;
    given.settings.ratePerMinute = 30;
    given.tokenFile = tokenFile;
    h.observers->OpenDoor(nullptr, &given);
  }
  web::WebResponse Ask(const std::string& method, const std::string& target, const std::string& body = "",
                       const std::string& with = "", const std::string& host = "127.0.0.1:8377",
                       const std::string& origin = "") {
    web::WebRequest r;
    r.method = method;
    r.target = target;
    r.host = host;
    r.authorization = "Bearer " + (with.empty() ? token : with);
    r.origin = origin;
    r.body = body;
    r.privateNetwork = method == "OPTIONS";
    return h.observers->Door()->Api()->Handle(r);
  }
  static std::string Header(const web::WebResponse& r, const std::string& name) {
    for (const auto& [n, v] : r.headers)
      if (n == name) return v;
    return "";
  }
  web::WebResponse Put(const std::string& key, const std::string& text, const std::string& layout = "sarema") {
    return Ask("PUT", "/v1/receipts/" + key, json{{"layout", layout}, {"text", text}}.dump());
  }
  json State(const std::string& key) { return json::parse(Ask("GET", "/v1/receipts/" + key).body); }
  std::string Spool() { return JoinPath(JoinPath(h.commonDir, "ZTKDORVANE"), web::kSpoolFolderName); }

  TempDir temp;
  std::string tokenFile = temp.Path("DORVWEB-TOKEN.txt");
  std::string token, reader;
};

TEST_F(Door, AKeyPrintsOnceWhateverIsAskedAgain) {
  const web::WebResponse put = Put("vendita-1", "VEND,1,\"CAFFÈ\",100;\nCHIU,1;\n");
  EXPECT_EQ(put.status, 202);
  EXPECT_EQ(json::parse(put.body)["state"], "queued");
  EXPECT_EQ(Header(put, "Location"), "/v1/receipts/vendita-1");
  h.RunFor(8000);
  // Windows-1252 with CR LF, as the folder's receipts are.
  EXPECT_EQ(kora1.printed, std::vector<std::string>{"VEND,1,\"CAFF\xC8\",100;\r\nCHIU,1;\r\n"});
  json s = State("vendita-1");
  EXPECT_EQ(s["state"], "printed");
  EXPECT_EQ(s["record"]["chiave"], "vendita-1");
  EXPECT_EQ(s["record"]["esito"], "stampato");

  // Asked again, before and after a restart: the same answer, no print.
  EXPECT_EQ(Put("vendita-1", "VEND,1,\"CAFFÈ\",100;\r\nCHIU,1;\r\n").status, 200);
  EXPECT_EQ(Put("vendita-1", "VEND,1,\"TÈ\",100;\nCHIU,1;\n").status, 409);
  EXPECT_EQ(Put("vendita-1", "VEND,1,\"CAFFÈ\",100;\nCHIU,1;\n", "itineris").status, 409);
  h.Restart();
  OpenAll();
  EXPECT_EQ(State("vendita-1"), s);
  EXPECT_EQ(Put("vendita-1", "VEND,1,\"CAFFÈ\",100;\nCHIU,1;\n").status, 200);
  h.RunFor(8000);
  EXPECT_EQ(kora1.printed.size(), 1u);
  // A key file that lost its last line (a crash between the ledger's append
  // and its own), or lost whole, is made good from the ledger.
  const std::string keyFile = JoinPath(JoinPath(h.commonDir, "ZTKDORVANE"), web::kKeyFileName);
  for (bool whole : {false, true}) {
    if (whole) h.mem.Erase(keyFile); else h.mem.Put(keyFile, "");
    h.Restart();
    OpenAll();
    EXPECT_EQ(State("vendita-1"), s);
    EXPECT_EQ(h.mem.Content(keyFile).rfind("vendita-1\tsarema\t", 0), 0u);
  }
  // Nothing in the shop's folders: the answer is the record.
  EXPECT_TRUE(h.mem.FilesIn(out).empty());
  EXPECT_TRUE(h.mem.FilesIn(err).empty());
  EXPECT_TRUE(h.mem.FilesIn(Spool()).empty());
}

TEST_F(Door, ACrashWhileKora1PrintsSettlesTheKeyOnce) {
  kora1.printMs = 5000;
  EXPECT_EQ(Put("k1", "VEND,1,\"PANE\",100;\r\nCHIU,1;\r\n").status, 202);
  h.RunFor(4500);
  EXPECT_EQ(State("k1")["state"], "printing");
  EXPECT_EQ(Put("k2", "<SCONTRINO></SCONTRINO>", "itineris").status, 202);  // waits behind k1
  h.Restart();  // DORVANE dies; KORA1 goes on
  OpenAll();
  EXPECT_EQ(State("k1")["state"], "queued");  // the spool still holds them, with their layouts
  EXPECT_EQ(State("k2")["layout"], "itineris");
  h.RunFor(12000);
  EXPECT_EQ(State("k1")["state"], "printed");
  EXPECT_EQ(Put("k1", "VEND,1,\"PANE\",100;\r\nCHIU,1;\r\n").status, 200);
  h.RunFor(8000);
  EXPECT_EQ(kora1.printed.size(), 2u);  // k1 once, then k2
  EXPECT_EQ(State("k2")["state"], "printed");
  // Only the converter's work files stay beside the spool, as in the input folder.
  for (const std::string& name : h.mem.FilesIn(Spool())) EXPECT_NE(name.rfind("R", 0), 0u) << name;
}

TEST_F(Door, RefusalsAndTheirCodes) {
  h.fs.SetFolderFault(Spool(), kErrDiskFull);
  const struct {
    std::string method, target, body, with, host;
    int status;
    std::string code;
  } rows[] = {
      {"PUT", "/v1/receipts/a", R"({"layout":"sarema","text":"x"})", "", "evil\r\n\x7f.example", 403, "host-non-permesso"},
      {"PUT", "/v1/receipts/a", R"({"layout":"sarema","text":"x"})", "dvw_nope", "", 401, "token-non-valido"},
      {"PUT", "/v1/receipts/a", R"({"layout":"sarema","text":"x"})", "reader", "", 403, "permesso-mancante"},
      {"POST", "/v1/reset", "", "", "", 403, "permesso-mancante"},
      {"GET", "/v2/x", "", "", "", 404, "non-trovato"},
      {"GET", "/v1/receipts/nessuna", "", "", "[::1]:8377", 404, "chiave-sconosciuta"},
      {"PUT", "/v1/receipts/a%2Fb", R"({"layout":"sarema","text":"x"})", "", "", 400, "chiave-non-valida"},
      {"PUT", "/v1/receipts/" + std::string(65, 'k'), R"({"layout":"sarema","text":"x"})", "", "", 400, "chiave-non-valida"},
      {"PUT", "/v1/receipts/a", R"({"layout":"csv","text":"x"})", "", "", 400, "tracciato-sconosciuto"},
      {"PUT", "/v1/receipts/a", R"({"layout":"sarema"})", "", "", 400, "corpo-non-valido"},
      {"PUT", "/v1/receipts/a", "{", "", "", 400, "corpo-non-valido"},
      {"PUT", "/v1/receipts/a", R"({"layout":"sarema","text":"\u0101"})", "", "", 400, "testo-non-convertibile"},
      {"PUT", "/v1/receipts/a", R"({"layout":"sarema","text":"x"})", "", "localhost", 503, "coda-non-scrivibile"},
  };
  for (const auto& r : rows) {
    const web::WebResponse a = Ask(r.method, r.target, r.body, r.with == "reader" ? reader : r.with,
                                   r.host.empty() ? "127.0.0.1:8377" : r.host);
    EXPECT_EQ(a.status, r.status) << r.target << " " << r.body;
    EXPECT_EQ(json::parse(a.body)["error"]["code"], r.code) << r.target << " " << r.body;
  }
  // Nothing was queued, and a key refused for the spool can be put again.
  h.fs.SetFolderFault(Spool(), 0);
  EXPECT_EQ(Put("a", "x").status, 202);
  // The token's rate: 30 a minute here, the rows included.
  int limited = 0;
  for (int i = 0; i < 30; ++i) limited += Ask("GET", "/v1/receipts/a").status == 429;
  EXPECT_EQ(limited, 9);  // 8 rows and one put counted before
  h.RunFor(100);
  EXPECT_NE(h.Log().find("PORTA HTTP: TROPPE RICHIESTE DAL TOKEN cassa"), std::string::npos);
  EXPECT_EQ(h.Log().find(token), std::string::npos);
  EXPECT_NE(h.Log().find("NOME HOST: evil???.example|"), std::string::npos);  // no line of its own
}

TEST_F(Door, OnlyListedOriginsReadAnswersAndEventsResume) {
  const std::string body = json{{"layout", "sarema"}, {"text", "CHIU,1;"}}.dump();
  const struct {
    std::string method, origin;
    int status;
    std::string allowed;  // Access-Control-Allow-Origin
  } rows[] = {
      {"OPTIONS", "https://till.example", 204, "https://till.example"},
      {"OPTIONS", "https://evil.example", 403, ""},
      {"PUT", "https://evil.example", 403, ""},
      {"PUT", "https://till.example:443/", 202, "https://till.example"},
      {"PUT", "http://127.0.0.1:8377", 200, ""},  // the door's own page
  };
  for (const auto& r : rows) {
    const web::WebResponse a = Ask(r.method, "/v1/receipts/o1", body, "", "127.0.0.1:8377", r.origin);
    EXPECT_EQ(a.status, r.status) << r.method << " " << r.origin;
    EXPECT_EQ(Header(a, "Access-Control-Allow-Origin"), r.allowed) << r.method << " " << r.origin;
    if (r.method == "OPTIONS" && r.status == 204) {
      EXPECT_EQ(Header(a, "Access-Control-Allow-Private-Network"), "true");
      EXPECT_EQ(Header(a, "Vary"), "Origin");
    }
  }
  EXPECT_EQ(h.mem.FilesIn(Spool()).size(), 1u);  // the refused origin spooled nothing

  h.RunFor(8000);
  std::string last;
  const std::string events = h.observers->Door()->Api()->Events(last);
  EXPECT_NE(events.find("event: settled\ndata: {\"input\":\"R0-6f31.txt\",\"key\":\"o1\""), std::string::npos) << events;
  EXPECT_EQ(h.observers->Door()->Api()->Events(last), "");  // resumed: nothing new
  std::string old = "1.1";
  EXPECT_NE(h.observers->Door()->Api()->Events(old).find("\nevent: reset\n"), std::string::npos);
  // The page needs no token, and loads nothing from elsewhere.
  const web::WebResponse page = Ask("GET", "/", "", "dvw_none");
  EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
  EXPECT_EQ(Header(page, "Content-Security-Policy"), "default-src 'self'");
}

}  // namespace
}  // namespace dorvane::test
