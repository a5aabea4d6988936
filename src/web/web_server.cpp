#include "web/web_server.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <condition_variable>
#include <mutex>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <thread>
#include <vector>

namespace dorvane::web {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// What a ledger query writes on its own thread, until the connection takes
// it: at most kPipeBytes waiting, so a year of records never sits in memory,
// nor a day's summary once per caller.
struct Pipe {
  static constexpr std::size_t kPipeBytes = 64 * 1024;
  explicit Pipe(const std::atomic<bool>& stopping) : stopping(stopping) {}
  const std::atomic<bool>& stopping;  // the server stops: nobody will take more
  std::mutex mutex;
  std::condition_variable room;
  std::string bytes;
  bool done = false, abandoned = false;

  bool Write(std::string_view text) {
    std::unique_lock lock(mutex);
    while (!text.empty()) {
      while (!room.wait_for(lock, std::chrono::milliseconds(100), [&] { return abandoned || bytes.size() < kPipeBytes; }))
        if (stopping) return false;
      if (abandoned) return false;
      const std::size_t n = std::min(text.size(), kPipeBytes - bytes.size());
      bytes.append(text.substr(0, n));
      text.remove_prefix(n);
    }
    return true;
  }
  // The bytes written so far, taken; done: nothing more will come.
  std::string Take(bool& finished) {
    std::lock_guard lock(mutex);
    std::string out;
    out.swap(bytes);
    finished = done && out.empty();
    room.notify_all();
    return out;
  }
  bool Abandoned() {
    std::lock_guard lock(mutex);
    return abandoned;
  }
  void Finish(bool abandon) {
    std::lock_guard lock(mutex);
    (abandon ? abandoned : done) = true;
    room.notify_all();
  }
};

// What every connection shares with the server.
struct Shared {
  explicit Shared(WebApi& api) : api(api) {}
  WebApi& api;
  std::atomic<int> open{0};          // connections
  std::atomic<bool> stopping{false};
  std::atomic<int> ledgerQueries{0};  // asked and not yet done
  asio::thread_pool ledger{1};        // ledger queries, off the thread that answers status requests
};

// Ledger queries waiting past this are refused for now: a queue that never
// ends would keep reading the ledger for callers that have long gone.
constexpr int kMaxLedgerQueries = 8;

// One connection: requests read and answered one after the other.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, Shared& shared)
      : stream_(std::move(socket)), timer_(stream_.get_executor()), shared_(shared), api_(shared.api) {
    ++shared_.open;
  }
  ~Session() {
    if (pipe_) pipe_->Finish(true);
    --shared_.open;
  }

  void Start() { Read(); }

  // Too many connections: the answer, then the connection closes.
  void Refuse() {
    Send(WebApi::Error(503, "troppe-connessioni", "Troppe connessioni aperte: riprovare tra poco"), false);
  }

 private:
  void Read() {
    parser_.emplace();
    parser_->header_limit(kMaxHeader);
    parser_->body_limit(kMaxBody);
    // The whole request within the limit, whatever pace it comes at.
    stream_.expires_after(std::chrono::seconds(kRequestSeconds));
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnRead(ec); });
  }

  void OnRead(beast::error_code ec) {
    if (ec == http::error::end_of_stream || ec == beast::error::timeout || ec == asio::error::operation_aborted ||
        ec == asio::error::connection_reset || ec == asio::error::eof) {
      Close();
      return;
    }
    if (ec == http::error::header_limit) return Send(WebApi::Error(431, "intestazioni-troppo-grandi", "Intestazioni oltre 8 KB"), false);
    if (ec == http::error::body_limit) return Send(WebApi::Error(413, "troppo-grande", "Il corpo supera 1 MiB"), false);
    if (ec) return Send(WebApi::Error(400, "richiesta-non-valida", "Richiesta HTTP non valida"), false);
    stream_.expires_never();
    const http::request<http::string_body>& req = parser_->get();
    request_.method = std::string(req.method_string());
    request_.target = std::string(req.target());
    request_.host = std::string(req[http::field::host]);
    request_.authorization = std::string(req[http::field::authorization]);
    request_.origin = std::string(req[http::field::origin]);
    request_.body = req.body();
    request_.lastEventId = std::string(req["Last-Event-ID"]);
    request_.privateNetwork = req["Access-Control-Request-Private-Network"] == "true";
    keepAlive_ = req.keep_alive();
    version_ = req.version();
    Answer(api_.Handle(request_));
  }

  void Answer(WebResponse r) {
    if (r.events || r.produce) return StartStream(std::move(r));
    if (r.waitSeconds <= 0) return Send(std::move(r), keepAlive_);
    // Asked again as soon as the job settles, or when the wait is over.
    const std::string key = request_.target.substr(0, request_.target.find('?'));
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(r.waitSeconds);
    waitKey_ = key.substr(key.rfind('/') + 1);
    Poll();
  }

  void Poll() {
    if (api_.Settled(waitKey_) || std::chrono::steady_clock::now() >= deadline_) {
      WebResponse r = api_.Handle(request_);
      r.waitSeconds = 0;
      return Send(std::move(r), keepAlive_);
    }
    timer_.expires_after(std::chrono::milliseconds(20));
    timer_.async_wait([self = shared_from_this()](beast::error_code ec) {
      if (!ec) self->Poll();
    });
  }

  void Send(WebResponse r, bool keepAlive) {
    auto res = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(r.status), version_);
    res->set(http::field::content_type, r.contentType);
    res->set(http::field::cache_control, "no-store");
    for (const auto& [name, value] : r.headers) res->set(name, value);
    res->body() = std::move(r.body);
    res->keep_alive(keepAlive);
    res->prepare_payload();
    stream_.expires_after(std::chrono::seconds(kRequestSeconds));
    http::async_write(stream_, *res, [self = shared_from_this(), res, keepAlive](beast::error_code ec, std::size_t) {
      if (ec) return self->Close();
      if (!keepAlive) return self->Linger();
      self->Read();
    });
  }

  // The answer is sent and the connection ends, but the caller may still be
  // sending what was refused (a body too large): what it sends is read and
  // dropped for up to 2 s, since closing a socket with unread bytes resets
  // it and the caller would lose the answer.
  void Linger() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    stream_.expires_after(std::chrono::seconds(2));
    Drain();
  }

  void Drain() {
    stream_.async_read_some(asio::buffer(scratch_), [self = shared_from_this()](beast::error_code ec, std::size_t) {
      if (ec) return self->Close();
      self->Drain();
    });
  }

  // A body that comes as it is made, ended by closing the connection:
  // server-sent events (each event as it comes, and a comment every 15 s so
  // that a dead peer is found), or what a ledger query writes on the
  // server's ledger thread.
  void StartStream(WebResponse r) {
    stream_.expires_never();
    lastEventId_ = r.lastEventId;
    if (r.produce) {
      if (++shared_.ledgerQueries > kMaxLedgerQueries) {
        --shared_.ledgerQueries;
        return Send(WebApi::Error(503, "registro-occupato", "Troppe letture del registro in corso: riprovare tra poco"),
                    false);
      }
      pipe_ = std::make_shared<Pipe>(shared_.stopping);
      asio::post(shared_.ledger, [pipe = pipe_, produce = std::move(r.produce), &queries = shared_.ledgerQueries] {
        // A caller that went away before its turn costs no reading.
        if (!pipe->Abandoned()) produce([&](std::string_view text) { return pipe->Write(text); });
        pipe->Finish(false);
        --queries;
      });
    }
    events_.emplace(http::status::ok, version_);
    events_->set(http::field::content_type, r.contentType);
    events_->set(http::field::cache_control, "no-store");
    for (const auto& [name, value] : r.headers) events_->set(name, value);
    events_->keep_alive(false);
    eventsHead_.emplace(*events_);
    http::async_write_header(stream_, *eventsHead_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
      if (ec) return self->Close();
      self->quiet_ = std::chrono::steady_clock::now();
      self->NextEvents();
    });
  }

  void NextEvents() {
    bool finished = false;
    if (pipe_) {
      pending_ = pipe_->Take(finished);
      if (finished) return Close();
    } else {
      pending_ = api_.Events(lastEventId_);
      if (pending_.empty() && std::chrono::steady_clock::now() - quiet_ > std::chrono::seconds(15)) pending_ = ":\n\n";
    }
    if (pending_.empty()) {
      timer_.expires_after(std::chrono::milliseconds(pipe_ ? 5 : 50));
      timer_.async_wait([self = shared_from_this()](beast::error_code ec) {
        if (!ec) self->NextEvents();
      });
      return;
    }
    stream_.expires_after(std::chrono::seconds(kRequestSeconds));
    asio::async_write(stream_, asio::buffer(pending_), [self = shared_from_this()](beast::error_code ec, std::size_t) {
      if (ec) return self->Close();
      self->stream_.expires_never();
      self->quiet_ = std::chrono::steady_clock::now();
      self->NextEvents();
    });
  }

  void Close() {
    if (pipe_) pipe_->Finish(true);  // a query still writing stops
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    stream_.close();
  }

  beast::tcp_stream stream_;
  asio::steady_timer timer_;
  std::array<char, 16 * 1024> scratch_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  Shared& shared_;
  WebApi& api_;
  std::shared_ptr<Pipe> pipe_;
  WebRequest request_;
  bool keepAlive_ = false;
  unsigned version_ = 11;
  std::string waitKey_;
  std::chrono::steady_clock::time_point deadline_;
  std::optional<http::response<http::empty_body>> events_;
  std::optional<http::response_serializer<http::empty_body>> eventsHead_;
  std::string lastEventId_, pending_;
  std::chrono::steady_clock::time_point quiet_;
};

}  // namespace

struct WebServer::Impl {
  Impl(WebApi& api, const WebSettings& settings, std::function<void(const std::string&)> log)
      : settings(settings), log(std::move(log)), shared(api) {}

  void Accept(tcp::acceptor& acceptor) {
    acceptor.async_accept(asio::make_strand(io), [this, &acceptor](beast::error_code ec, tcp::socket socket) {
      if (ec == asio::error::operation_aborted) return;
      if (!ec) {
        auto session = std::make_shared<Session>(std::move(socket), shared);
        if (shared.open > kMaxConnections) {
          session->Refuse();
        } else {
          session->Start();
        }
      }
      Accept(acceptor);
    });
  }

  const WebSettings settings;
  std::function<void(const std::string&)> log;
  Shared shared;  // before io: its sessions use it as they go
  asio::io_context io{1};
  std::vector<std::unique_ptr<tcp::acceptor>> acceptors;
  std::thread thread;
  int port = 0;
};

WebServer::WebServer(WebApi& api, const WebSettings& settings, std::function<void(const std::string&)> log)
    : impl_(std::make_unique<Impl>(api, settings, std::move(log))) {}

WebServer::~WebServer() { Stop(); }

bool WebServer::Start(std::string& error) {
  Impl& m = *impl_;
  const bool any = m.settings.network;
  std::vector<tcp::endpoint> endpoints{
      tcp::endpoint(any ? asio::ip::address(asio::ip::address_v4::any()) : asio::ip::address_v4::loopback(),
                    static_cast<unsigned short>(m.settings.port)),
      tcp::endpoint(any ? asio::ip::address(asio::ip::address_v6::any()) : asio::ip::address_v6::loopback(),
                    static_cast<unsigned short>(m.settings.port))};
  for (tcp::endpoint& ep : endpoints) {
    // The second address listens on the port the first one got.
    if (m.port != 0) ep.port(static_cast<unsigned short>(m.port));
    auto acceptor = std::make_unique<tcp::acceptor>(m.io);
    beast::error_code ec;
    acceptor->open(ep.protocol(), ec);
    if (!ec && ep.address().is_v6()) acceptor->set_option(asio::ip::v6_only(true), ec);
    if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor->bind(ep, ec);
    if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
      // A system without IPv6 still has the door on IPv4.
      if (ep.address().is_v6() && !m.acceptors.empty()) continue;
      error = ep.address().to_string() + ":" + std::to_string(ep.port()) + " " + ec.message();
      m.acceptors.clear();
      return false;
    }
    m.port = acceptor->local_endpoint().port();
    m.acceptors.push_back(std::move(acceptor));
  }
  for (auto& a : m.acceptors) m.Accept(*a);
  m.thread = std::thread([&m] {
    for (;;) {
      try {
        m.io.run();
        return;
      } catch (const std::exception& e) {
        // A fault in one answer must not take the door down.
        if (m.log) m.log(std::string("PORTA HTTP: ERRORE INTERNO: ") + e.what());
      }
    }
  });
  return true;
}

void WebServer::Stop() {
  Impl& m = *impl_;
  if (!m.thread.joinable()) return;
  m.shared.stopping = true;
  m.io.stop();
  m.thread.join();
  m.shared.ledger.join();
  m.acceptors.clear();
}

int WebServer::Port() const { return impl_->port; }

}  // namespace dorvane::web
