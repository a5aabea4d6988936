#include "web/web_api.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "text/sha256.h"
#include "text/text.h"
#include "web/page.h"

namespace dorvane::web {

namespace {
using nlohmann::json;

constexpr std::string_view kReceipts = "/v1/receipts/";

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The host of a Host header, without its port: "[::1]:8080" -> "[::1]".
std::string HostName(const std::string& host) {
  if (!host.empty() && host[0] == '[') {
    const std::size_t end = host.find(']');
    return end == std::string::npos ? host : host.substr(0, end + 1);
  }
  const std::size_t colon = host.find(':');
  return Lower(colon == std::string::npos ? host : host.substr(0, colon));
}

// A caller's text for the event log: printable ASCII only, so that no line
// end or control character reaches DORVLOG.txt, and not too long.
std::string ForLog(const std::string& text) {
  std::string out;
  for (char c : text.substr(0, 100)) out += c >= 0x20 && c < 0x7f ? c : '?';
  return out;
}

// The value of name=... in a query; empty when absent.
std::string QueryValue(const std::string& query, const std::string& name) {
  std::size_t at = 0;
  while (at <= query.size()) {
    std::size_t end = query.find('&', at);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(at, end - at);
    if (StartsWith(pair, name + "=")) return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return "";
}

// "YYYY-MM-DD".
bool IsDate(const std::string& s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

// A query value with its %XX and + decoded.
std::string Decoded(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() + 0 && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The record as JSON, or null when it is not known (yet).
json RecordJson(const std::string& line) {
  if (line.empty()) return nullptr;
  json r = json::parse(line, nullptr, false);
  return r.is_discarded() ? json(nullptr) : r;
}
}  // namespace

bool ValidKey(const std::string& key) {
  if (key.empty() || key.size() > 64) return false;
  for (char c : key) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool ToReceiptBytes(const std::string& utf8, std::string& bytes) {
  bytes.clear();
  bytes.reserve(utf8.size() + utf8.size() / 32);
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c;
    char b;
    if (!NextUtf8(utf8, i, c) || !UnicodeToAnsi(c, b)) return false;
    if (b == '\n' && (bytes.empty() || bytes.back() != '\r')) bytes += '\r';
    bytes += b;
  }
  return true;
}

WebApi::WebApi(const WebSettings& settings, TokenStore& tokens, KeyBook& keys, Spool& spool, EventFeed& feed,
               EngineLink engine)
    : settings_(settings), tokens_(tokens), keys_(keys), spool_(spool), feed_(feed), engine_(std::move(engine)) {}

WebResponse WebApi::Error(int status, const std::string& code, const std::string& message) {
  WebResponse r;
  r.status = status;
  r.body = json{{"error", {{"code", code}, {"message", message}}}}.dump();
  return r;
}

void WebApi::LogOnce(const std::string& episode, const std::string& line) {
  if (episode == lastEpisode_) return;
  lastEpisode_ = episode;
  if (engine_.log) engine_.log(line);
}

bool WebApi::HostAllowed(const std::string& host) const {
  // Only names that cannot be made to point elsewhere (DNS rebinding), and
  // those the shop configured.
  const std::string name = HostName(host);
  if (name == "localhost" || name == "127.0.0.1" || name == "[::1]") return true;
  for (const std::string& h : settings_.hosts)
    if (Lower(h) == name) return true;
  return false;
}

bool WebApi::WithinRate(const std::string& tokenHash) {
  const auto now = std::chrono::steady_clock::now();
  Window& w = rates_[tokenHash];
  if (now - w.start >= std::chrono::minutes(1)) w = Window{now, 0};
  return ++w.count <= settings_.ratePerMinute;
}

namespace {
enum class Route { kNone, kReceipt, kStatus, kReset, kEvents, kLedgerDay, kLedger, kLedgerVerify, kPage };
constexpr std::string_view kLedgerDay = "/v1/ledger/day/";

// The route of a path, and the scope each method on it needs (0: none
// allowed; kPage needs no token).
Route RouteOf(const std::string& path, std::string& key) {
  if (StartsWith(path, kReceipts)) {
    key = path.substr(kReceipts.size());
    return Route::kReceipt;
  }
  if (path == "/v1/status") return Route::kStatus;
  if (path == "/v1/reset") return Route::kReset;
  if (path == "/v1/events") return Route::kEvents;
  if (StartsWith(path, kLedgerDay)) {
    key = path.substr(kLedgerDay.size());
    return Route::kLedgerDay;
  }
  if (path == "/v1/ledger") return Route::kLedger;
  if (path == "/v1/ledger/verify") return Route::kLedgerVerify;
  return FindPageFile(path) ? Route::kPage : Route::kNone;
}

unsigned ScopeFor(Route route, const std::string& method) {
  switch (route) {
    case Route::kReceipt: return method == "PUT" ? kScopePrint : method == "GET" ? kScopeRead : 0;
    case Route::kStatus:
    case Route::kEvents:
    case Route::kLedgerDay:
    case Route::kLedger: return method == "GET" ? kScopeRead : 0;
    case Route::kLedgerVerify: return method == "POST" ? kScopeRead : 0;
    case Route::kReset: return method == "POST" ? kScopeAdmin : 0;
    default: return 0;
  }
}

constexpr const char* kAllowedMethods = "GET, PUT, POST, OPTIONS";
constexpr const char* kAllowedHeaders = "Authorization, Content-Type, Last-Event-ID";
}  // namespace

WebResponse WebApi::Preflight(const WebRequest& request) {
  // No token comes with a preflight: it is answered for an origin that some
  // token lists, and the request itself is checked against its own token.
  std::string origin;
  tokens_.Refresh();
  if (!NormalizeOrigin(request.origin, origin) || !tokens_.OriginListed(origin))
    return Error(403, "origine-non-permessa", "Origine non permessa per la porta di DORVANE");
  WebResponse r;
  r.status = 204;
  r.headers = {{"Access-Control-Allow-Origin", origin},
               {"Vary", "Origin"},
               {"Access-Control-Allow-Methods", kAllowedMethods},
               {"Access-Control-Allow-Headers", kAllowedHeaders},
               {"Access-Control-Max-Age", "600"}};
  if (request.privateNetwork) r.headers.emplace_back("Access-Control-Allow-Private-Network", "true");
  return r;
}

WebResponse WebApi::Handle(const WebRequest& request) {
  if (!HostAllowed(request.host)) {
    LogOnce("host", "PORTA HTTP: RICHIESTA RIFIUTATA PER IL NOME HOST: " + ForLog(HostName(request.host)));
    return Error(403, "host-non-permesso", "Il nome host della richiesta non è permesso");
  }
  const std::size_t mark = request.target.find('?');
  const std::string path = request.target.substr(0, mark);
  const std::string query = mark == std::string::npos ? "" : request.target.substr(mark + 1);
  // The route first, so that a wrong path is 404 whatever the token.
  std::string key;
  const Route route = RouteOf(path, key);
  if (route == Route::kNone) return Error(404, "non-trovato", "Percorso sconosciuto");
  if (request.method == "OPTIONS") return Preflight(request);
  if (route == Route::kPage) {
    if (request.method != "GET") return Error(405, "metodo-non-permesso", "Metodo non permesso su questo percorso");
    const PageFile* file = FindPageFile(path);
    WebResponse r;
    r.body = std::string(file->body);
    r.contentType = std::string(file->type);
    r.headers = {{"Content-Security-Policy", "default-src 'self'"}, {"X-Content-Type-Options", "nosniff"}};
    return r;
  }
  const unsigned scope = ScopeFor(route, request.method);
  if (scope == 0) return Error(405, "metodo-non-permesso", "Metodo non permesso su questo percorso");

  const std::string bearer = "Bearer ";
  tokens_.Refresh();
  std::optional<TokenEntry> token;
  if (StartsWith(request.authorization, bearer)) token = tokens_.Find(request.authorization.substr(bearer.size()));
  if (!token) {
    LogOnce("token", "PORTA HTTP: RICHIESTA SENZA UN TOKEN VALIDO");
    return Error(401, "token-non-valido", "Token mancante o non valido");
  }
  // A page of another origin may use only a token that names it; the
  // door's own page, and programs (no Origin), need the token alone.
  std::string origin;
  if (!request.origin.empty()) {
    std::string own;
    const bool ownOrigin = NormalizeOrigin("http://" + request.host, own) && NormalizeOrigin(request.origin, origin) &&
                           own == origin;
    const bool listed = !origin.empty() &&
                        std::find(token->origins.begin(), token->origins.end(), origin) != token->origins.end();
    if (ownOrigin) origin.clear();
    if (!ownOrigin && !listed) {
      LogOnce("origin:" + token->name, "PORTA HTTP: ORIGINE NON PERMESSA PER IL TOKEN " + token->name + ": " +
                                            ForLog(request.origin));
      return Error(403, "origine-non-permessa", "Il token non permette richieste da questa origine");
    }
  }
  if ((token->scopes & scope) == 0) return Error(403, "permesso-mancante", "Il token non ha il permesso richiesto");
  if (!WithinRate(token->sha256)) {
    LogOnce("rate:" + token->name, "PORTA HTTP: TROPPE RICHIESTE DAL TOKEN " + token->name);
    WebResponse r = Error(429, "troppe-richieste", "Troppe richieste: riprovare tra poco");
    r.headers.emplace_back("Retry-After", "60");
    return r;
  }
  lastEpisode_.clear();

  WebResponse r;
  switch (route) {
    case Route::kReceipt: r = scope == kScopePrint ? PutReceipt(key, request) : GetReceipt(key, query); break;
    case Route::kStatus:
      // Before the pump's first status, an empty object rather than no body.
      r.body = engine_.status ? engine_.status() : "";
      if (r.body.empty()) r.body = "{}";
      break;
    case Route::kLedgerDay:
    case Route::kLedger:
    case Route::kLedgerVerify: r = Ledger(static_cast<int>(route), key, request, query); break;
    case Route::kEvents:
      r.events = true;
      r.lastEventId = request.lastEventId;
      r.contentType = "text/event-stream; charset=utf-8";
      break;
    default:
      if (engine_.reset) engine_.reset();
      r.status = 202;
      r.body = json{{"reset", "richiesto"}}.dump();
  }
  if (!origin.empty()) {
    r.headers.emplace_back("Access-Control-Allow-Origin", origin);
    r.headers.emplace_back("Vary", "Origin");
    r.headers.emplace_back("Access-Control-Expose-Headers", "Location");
  }
  return r;
}

WebResponse WebApi::Ledger(int route, const std::string& day, const WebRequest& request, const std::string& query) {
  WebResponse r;
  if (static_cast<Route>(route) == Route::kLedgerDay) {
    if (!IsDate(day)) return Error(400, "data-non-valida", "La data va scritta AAAA-MM-GG");
    r.produce = [day, f = engine_.ledgerDay](const WebResponse::Write& write) { write(f ? f(day) : "{}"); };
  } else if (static_cast<Route>(route) == Route::kLedgerVerify) {
    // A hash noted from a day's summary: the chain must still hold its record.
    std::string head;
    if (!request.body.empty()) {
      const json body = json::parse(request.body, nullptr, false);
      if (body.is_object() && body.contains("head") && body["head"].is_string()) head = body["head"].get<std::string>();
      for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (head.size() != 64 || head.find_first_not_of("0123456789abcdef") != std::string::npos)
        return Error(400, "corpo-non-valido", "Il corpo, se c'è, deve essere JSON con \"head\": 64 cifre esadecimali");
    }
    r.produce = [head, f = engine_.ledgerVerify](const WebResponse::Write& write) { write(f ? f(head) : "{}"); };
  } else {
    const std::string from = Decoded(QueryValue(query, "from")), to = Decoded(QueryValue(query, "to"));
    if ((!from.empty() && !IsDate(from.substr(0, 10))) || (!to.empty() && !IsDate(to.substr(0, 10))))
      return Error(400, "data-non-valida", "Le date vanno scritte AAAA-MM-GG[ HH:MM:SS]");
    // A date alone is the whole day.
    const std::string last = to.size() == 10 ? to + " 23:59:59" : to;
    r.contentType = "application/x-ndjson; charset=utf-8";
    r.produce = [from, last, f = engine_.ledgerRange](const WebResponse::Write& write) {
      if (f) f(from, last, [&](std::string_view line) { return write(line) && write("\n"); });
    };
  }
  return r;
}

WebResponse WebApi::Answer(int status, const std::string& key, const KeyState& k) {
  json out{{"key", key}, {"state", k.state}, {"layout", LayoutWord(k.layout)}};
  json record = RecordJson(keys_.ReadRecord(k));
  if (record.is_object()) {
    for (const char* field : {"scontrino", "totale"})
      if (record.contains(field) && record[field].is_string() && !record[field].get<std::string>().empty())
        out[field == std::string("scontrino") ? "receipt" : "total"] = record[field];
    if (k.state != "printed" && record.contains("motivo")) out["reason"] = record["motivo"];
  }
  if (!out.contains("reason") && !k.reason.empty()) out["reason"] = Cp1252ToUtf8(k.reason);
  out["record"] = record;
  WebResponse r;
  r.status = status;
  r.body = out.dump();
  r.headers.emplace_back("Location", std::string(kReceipts) + key);
  return r;
}

WebResponse WebApi::PutReceipt(const std::string& key, const WebRequest& request) {
  if (!ValidKey(key)) return Error(400, "chiave-non-valida", "La chiave ammette 1-64 caratteri A-Z a-z 0-9 . _ -");
  if (engine_.closing && engine_.closing()) return Error(503, "in-chiusura", "DORVANE si sta chiudendo");
  if (request.body.size() > kMaxBody) return Error(413, "troppo-grande", "Il corpo supera 1 MiB");
  const json body = json::parse(request.body, nullptr, false);
  if (!body.is_object() || !body.contains("text") || !body["text"].is_string())
    return Error(400, "corpo-non-valido", "Il corpo deve essere JSON con \"layout\" e \"text\"");
  const std::optional<InputLayout> layout =
      body.contains("layout") && body["layout"].is_string() ? LayoutOfWord(body["layout"].get<std::string>())
                                                             : std::nullopt;
  if (!layout) return Error(400, "tracciato-sconosciuto", "Tracciato sconosciuto: sarema, fasyvola o itineris");
  std::string bytes;
  if (!ToReceiptBytes(body["text"].get<std::string>(), bytes))
    return Error(400, "testo-non-convertibile", "Il testo contiene caratteri che la stampante non può stampare");
  const std::string sha = Sha256Hex(bytes);

  if (std::optional<KeyState> k = keys_.Find(key)) {
    // The same request again answers what became of it; another one under
    // the same key is a mistake of the caller's.
    if (k->layout != *layout || (!k->sha256.empty() && k->sha256 != sha))
      return Error(409, "chiave-gia-usata", "La chiave è già stata usata per un altro scontrino");
    return Answer(200, key, *k);
  }
  keys_.Queue(key, *layout, sha);
  if (Status st = spool_.Put(key, *layout, bytes); !st) {
    keys_.Forget(key);
    LogOnce("spool", "PORTA HTTP: CODA NON SCRIVIBILE: " + spool_.Folder() + " " + st.Message());
    return Error(503, "coda-non-scrivibile", "La coda degli scontrini non è scrivibile: " + st.Message());
  }
  if (engine_.wake) engine_.wake();
  return Answer(202, key, *keys_.Find(key));
}

WebResponse WebApi::GetReceipt(const std::string& key, const std::string& query) {
  if (!ValidKey(key)) return Error(400, "chiave-non-valida", "La chiave ammette 1-64 caratteri A-Z a-z 0-9 . _ -");
  std::optional<KeyState> k = keys_.Find(key);
  if (!k) return Error(404, "chiave-sconosciuta", "Nessuno scontrino con questa chiave");
  WebResponse r = Answer(200, key, *k);
  if (!k->Final()) {
    const int wait = std::atoi(QueryValue(query, "wait").c_str());
    r.waitSeconds = wait < 0 ? 0 : wait > kMaxWaitSeconds ? kMaxWaitSeconds : wait;
  }
  return r;
}

bool WebApi::Settled(const std::string& key) {
  std::optional<KeyState> k = keys_.Find(key);
  return !k || k->Final();
}

}  // namespace dorvane::web
