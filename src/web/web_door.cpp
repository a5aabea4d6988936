#include "web/web_door.h"

#include <chrono>

#include "text/paths.h"

namespace dorvane::web {

WebDoor::WebDoor(FileSystem& fs, std::string dataDir, const std::string& tokenFile)
    : fs_(fs),
      dir_(std::move(dataDir)),
      tokens_(tokenFile.empty() ? JoinPath(dir_, kTokenFileName) : tokenFile),
      spool_(fs, dir_),
      keys_(fs, dir_, spool_),
      // Ids of this run's events: the time it began, in ms.
      feed_(std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count())) {}

WebDoor::~WebDoor() { Close(); }

bool WebDoor::Open(const KeyBook::LedgerLines& ledger, Waker* waker, std::string& message) {
  message.clear();
  WebSettings settings;
  std::string error;
  if (!ReadWebSettings(dir_, settings, error)) {
    message = "PORTA HTTP NON APERTA: " + error;
    return false;
  }
  if (settings.port == 0) return false;
  waker_ = waker;
  if (!Load(settings, ledger, message)) return false;
  server_ = std::make_unique<WebServer>(*api_, settings_, [this](const std::string& line) { Log(line); });
  if (!server_->Start(error)) {
    server_.reset();
    api_.reset();
    message = "PORTA HTTP NON APERTA: " + error;
    return false;
  }
  message = "PORTA HTTP APERTA SU " + std::string(settings_.network ? "TUTTI GLI INDIRIZZI" : "127.0.0.1 E ::1") +
            ", PORTA " + std::to_string(server_->Port());
  return true;
}

bool WebDoor::Load(const WebSettings& settings, const KeyBook::LedgerLines& ledger, std::string& message) {
  settings_ = settings;
  if (Status st = keys_.Load(ledger); !st) {
    message = "PORTA HTTP NON APERTA: " + JoinPath(dir_, kSpoolFolderName) + " " + st.Message();
    return false;
  }
  EngineLink engine;
  engine.status = [this] {
    std::lock_guard lock(mutex_);
    return status_;
  };
  engine.reset = [this] {
    reset_ = true;
    if (waker_) waker_->Wake();
  };
  engine.wake = [this] {
    if (waker_) waker_->Wake();
  };
  engine.closing = [this] { return closing_.load(); };
  engine.log = [this](const std::string& line) { Log(line); };
  engine.ledgerDay = ledger_.day;
  engine.ledgerRange = ledger_.range;
  engine.ledgerVerify = ledger_.verify;
  api_ = std::make_unique<WebApi>(settings_, tokens_, keys_, spool_, feed_, std::move(engine));
  return true;
}

void WebDoor::Close() {
  if (server_) server_->Stop();
  server_.reset();
}

int WebDoor::Port() const { return server_ ? server_->Port() : 0; }

void WebDoor::PublishStatus(std::string json) {
  std::lock_guard lock(mutex_);
  status_ = std::move(json);
}

void WebDoor::Log(const std::string& line) {
  std::lock_guard lock(mutex_);
  logLines_.push_back(line);
  if (waker_) waker_->Wake();
}

std::vector<std::string> WebDoor::TakeLogLines() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  lines.swap(logLines_);
  return lines;
}

}  // namespace dorvane::web
