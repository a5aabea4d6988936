// The HTTP door as the program holds it: its settings (DORVWEB.txt), its
// tokens, its spool, its keys and its server, opened once the program runs
// alone. The server's thread reaches the engine only through what is here:
// the spool (a source of the input port), the key book (an observer of the
// job events), the status published by the front end's pump, a reset asked
// for, and the waker.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/waker.h"
#include "web/event_feed.h"
#include "web/key_book.h"
#include "web/spool.h"
#include "web/tokens.h"
#include "web/web_api.h"
#include "web/web_server.h"
#include "web/web_settings.h"

namespace dorvane::web {

class WebDoor {
 public:
  // tokenFile: the token file, when not DORVWEB-TOKEN.txt in dataDir.
  WebDoor(FileSystem& fs, std::string dataDir, const std::string& tokenFile = "");
  ~WebDoor();

  // Reads the settings; with a port, loads the keys and the spool and
  // listens. False when the door stays shut: message says why (empty when
  // it is simply not configured).
  bool Open(const KeyBook::LedgerLines& ledger, Waker* waker, std::string& message);
  // The door with these settings, not listening: its answers are asked of
  // Api() on the engine's thread (scenario tests).
  bool Load(const WebSettings& settings, const KeyBook::LedgerLines& ledger, std::string& message);
  WebApi* Api() { return api_.get(); }
  void Close();
  bool IsOpen() const { return api_ != nullptr; }
  int Port() const;

  Spool& Source() { return spool_; }
  KeyBook& Keys() { return keys_; }
  EventFeed& Feed() { return feed_; }

  // How the ledger is read for the door's ledger requests (before Open);
  // each is called on the server's ledger thread.
  struct LedgerReader {
    std::function<std::string(const std::string& day)> day;
    std::function<void(const std::string& from, const std::string& to,
                       const std::function<bool(std::string_view)>& line)> range;
    std::function<std::string(const std::string& head)> verify;
  };
  void ReadLedgerWith(LedgerReader reader) { ledger_ = std::move(reader); }

  // The engine's thread, from the pump.
  void PublishStatus(std::string json);
  void SetClosing() { closing_ = true; }
  bool TakeResetRequest() { return reset_.exchange(false); }
  // Lines for the event log the server's thread had to tell.
  std::vector<std::string> TakeLogLines();

 private:
  void Log(const std::string& line);

  FileSystem& fs_;
  const std::string dir_;
  WebSettings settings_;
  TokenStore tokens_;
  Spool spool_;
  KeyBook keys_;
  EventFeed feed_;
  std::unique_ptr<WebApi> api_;
  std::unique_ptr<WebServer> server_;
  Waker* waker_ = nullptr;
  LedgerReader ledger_;
  std::atomic<bool> closing_{false};
  std::atomic<bool> reset_{false};
  std::mutex mutex_;
  std::string status_;
  std::vector<std::string> logLines_;
};

}  // namespace dorvane::web
