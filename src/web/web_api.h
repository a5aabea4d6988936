// The HTTP door's answers: one request in, one answer out, with no socket
// in sight, so that tests and the fuzz target drive it as the server does.
// The server parses HTTP (Boost.Beast) and hands over what it read.
//
//   PUT  /v1/receipts/{key}   print   {"layout": "sarema"|"fasyvola"|"itineris", "text": "..."}
//   GET  /v1/receipts/{key}   read    ?wait=N (seconds, at most 30): answer once settled
//   GET  /v1/status           read    what DORVSTAT.json says
//   POST /v1/reset            admin   the reset button
//   GET  /v1/events           read    server-sent events, resumed with Last-Event-ID
//   GET  /v1/ledger/day/{date} read   the day's summary and records
//   GET  /v1/ledger?from=&to= read    records settled between, as JSON Lines, streamed
//   POST /v1/ledger/verify    read    the ledger's chain checked ({"head": hash} optional)
//   GET  /                    -       DORVANE's own page (and its CSS and script)
//   OPTIONS any of the above  -       a browser's preflight
//
// CORS, exactly: a request with an Origin other than the door's own must
// come with a token that lists that origin, else 403 and nothing changes;
// a preflight is answered for an origin some token lists. Never "*".
//
// Errors are JSON, {"error": {"code": "...", "message": "..."}}, with a
// stable code and an Italian message.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "web/event_feed.h"
#include "web/key_book.h"
#include "web/spool.h"
#include "web/tokens.h"
#include "web/web_settings.h"

namespace dorvane::web {

inline constexpr std::size_t kMaxBody = 1 << 20;
inline constexpr int kMaxWaitSeconds = 30;

struct WebRequest {
  std::string method;  // "GET", "PUT", ...
  std::string target;  // path and query, as sent
  std::string host;
  std::string authorization;
  std::string origin;
  std::string body;
  std::string lastEventId;
  bool privateNetwork = false;  // Access-Control-Request-Private-Network: true
};

struct WebResponse {
  int status = 200;
  std::string body;
  std::string contentType = "application/json; charset=utf-8";
  std::vector<std::pair<std::string, std::string>> headers;
  // GET /v1/events: the server streams EventFeed::Since from this id.
  bool events = false;
  std::string lastEventId;
  // The ledger's answers: the server runs this off its own thread and
  // streams what it writes as the body, until write returns false.
  using Write = std::function<bool(std::string_view)>;
  std::function<void(const Write& write)> produce;
  // A GET with ?wait= on a key not settled yet: ask again until then.
  int waitSeconds = 0;
};

// The engine's side, as the door sees it: set by the front end's pump.
struct EngineLink {
  std::function<std::string()> status;  // DORVSTAT.json's content now
  std::function<void()> reset;          // the reset button, from any thread
  std::function<void()> wake;           // an input has come
  std::function<bool()> closing;
  // A failure worth the event log, once per episode (never a token).
  std::function<void(const std::string&)> log;
  // The ledger, read by the program around the door (see ledger_queries.h).
  std::function<std::string(const std::string& day)> ledgerDay;
  std::function<void(const std::string& from, const std::string& to,
                     const std::function<bool(std::string_view)>& line)> ledgerRange;
  std::function<std::string(const std::string& head)> ledgerVerify;  // head: a record hash it must hold, or ""
};

class WebApi {
 public:
  WebApi(const WebSettings& settings, TokenStore& tokens, KeyBook& keys, Spool& spool, EventFeed& feed,
         EngineLink engine);

  WebResponse Handle(const WebRequest& request);
  // The events after lastId, as the stream sends them.
  std::string Events(std::string& lastId) { return feed_.Since(lastId); }
  // The state of a key waited for has settled (or was never known).
  bool Settled(const std::string& key);

  // For the limits the server enforces, and tests: an error answer.
  static WebResponse Error(int status, const std::string& code, const std::string& message);

 private:
  bool HostAllowed(const std::string& host) const;
  WebResponse Preflight(const WebRequest& request);
  // True when within the token's rate (requests per minute).
  bool WithinRate(const std::string& tokenHash);
  WebResponse PutReceipt(const std::string& key, const WebRequest& request);
  WebResponse GetReceipt(const std::string& key, const std::string& query);
  WebResponse Ledger(int route, const std::string& day, const WebRequest& request, const std::string& query);
  WebResponse Answer(int status, const std::string& key, const KeyState& k);
  void LogOnce(const std::string& episode, const std::string& line);

  const WebSettings settings_;
  TokenStore& tokens_;
  KeyBook& keys_;
  Spool& spool_;
  EventFeed& feed_;
  EngineLink engine_;
  struct Window {
    std::chrono::steady_clock::time_point start;
    int count = 0;
  };
  std::map<std::string, Window> rates_;
  std::string lastEpisode_;
};

// The text of a put, UTF-8, as DORVANE's files hold it: Windows-1252 with
// CR LF. False when a character has no Windows-1252 byte.
bool ToReceiptBytes(const std::string& utf8, std::string& bytes);
// [A-Za-z0-9._-], 1 to 64.
bool ValidKey(const std::string& key);

}  // namespace dorvane::web
