#include "web/event_feed.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "text/paths.h"
#include "text/text.h"
#include "web/key_book.h"

namespace dorvane::web {

namespace {
using nlohmann::json;

// KEY=value of KORA1's answer; empty when absent.
std::string AnswerField(const std::string& answer, const std::string& key) {
  std::size_t at = 0;
  while (at < answer.size()) {
    std::size_t end = answer.find_first_of("\r\n", at);
    if (end == std::string::npos) end = answer.size();
    if (answer.compare(at, key.size() + 1, key + "=") == 0) return answer.substr(at + key.size() + 1, end - at - key.size() - 1);
    at = end + 1;
  }
  return "";
}

// The caller's key, or null: what the page and a till match events with.
json KeyOrNull(const std::string& key) { return key.empty() ? json(nullptr) : json(key); }
}  // namespace

EventFeed::EventFeed(std::string run) : run_(std::move(run)) {}

void EventFeed::Add(const std::string& type, const std::string& data) {
  std::lock_guard lock(mutex_);
  const std::uint64_t n = next_++;
  events_.push_back({n, "id: " + Id(n) + "\nevent: " + type + "\ndata: " + data + "\n\n"});
  if (events_.size() > kEventsKept) events_.pop_front();
}

std::string EventFeed::Newest() {
  std::lock_guard lock(mutex_);
  return events_.empty() ? "" : Id(events_.back().n);
}

std::string EventFeed::Since(std::string& lastId) {
  std::lock_guard lock(mutex_);
  std::uint64_t after = 0;
  bool known = lastId.empty();
  if (!known && StartsWith(lastId, run_ + ".")) {
    after = std::strtoull(lastId.c_str() + run_.size() + 1, nullptr, 10);
    // Kept, or the one just before the oldest kept, or the newest of all.
    const std::uint64_t oldest = events_.empty() ? next_ : events_.front().n;
    known = after + 1 >= oldest && after < next_;
  }
  if (!known) {
    lastId = next_ > 1 ? Id(next_ - 1) : "";
    return "id: " + lastId + "\nevent: reset\ndata: {}\n\n";
  }
  std::string text;
  for (const Event& e : events_) {
    if (e.n <= after) continue;
    text += e.text;
    lastId = Id(e.n);
  }
  return text;
}

void EventFeed::Taken(const Job& job) {
  std::lock_guard lock(mutex_);
  inFlightKey_ = job.requestKey;
}

void EventFeed::Settled(const Job& job) {
  json data{{"state", StateOf(job.outcome)},
            {"key", KeyOrNull(job.requestKey)},
            {"input", NameToUtf8(BaseName(job.input))},
            {"time", job.time}};
  if (job.outcome == Outcome::kPrinted) {
    data["receipt"] = Cp1252ToUtf8(AnswerField(job.text, "SCONTRINO"));
    data["total"] = Cp1252ToUtf8(AnswerField(job.text, "TOTALE"));
  } else {
    data["reason"] = Cp1252ToUtf8(job.text.substr(0, job.text.find_first_of("\r\n")));
  }
  Add("settled", data.dump());
}

void EventFeed::PaperHeld(const std::string& input, const std::string& line) {
  std::string key;
  {
    std::lock_guard lock(mutex_);
    key = inFlightKey_;
  }
  Add("paper-out", json{{"input", NameToUtf8(BaseName(input))}, {"key", KeyOrNull(key)}, {"line", Cp1252ToUtf8(line)}}.dump());
}

void EventFeed::PaperReleased(const std::string& input) {
  Add("paper-back", json{{"input", NameToUtf8(BaseName(input))}}.dump());
}

void EventFeed::Kora1Lost(const std::string& reason) { Add("kora1-lost", json{{"reason", Cp1252ToUtf8(reason)}}.dump()); }

void EventFeed::Kora1Found() { Add("kora1-found", "{}"); }

}  // namespace dorvane::web
