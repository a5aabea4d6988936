#include "notify/status_file.h"

#include <cstdio>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {

// The program's texts are Windows-1252; the file is UTF-8 JSON.
std::string Json(std::string_view ansi) {
  std::string out;
  AppendJsonString(out, Cp1252ToUtf8(ansi));
  return out;
}

// A file or folder name, as the system has it.
std::string NameJson(std::string_view name) {
  std::string out;
  AppendJsonString(out, NameToUtf8(name));
  return out;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

std::string Version() {
  return std::to_string(DORVANE_VERSION_MAJOR) + "." + std::to_string(DORVANE_VERSION_MINOR) + ".0." +
         std::to_string(DORVANE_VERSION_REVISION);
}

// The whole number after `"key": ` from position from on; -1 when missing.
long long NumberAfter(const std::string& text, std::size_t from, const std::string& key) {
  const std::string tag = "\"" + key + "\": ";
  const std::size_t at = text.find(tag, from);
  if (at == std::string::npos) return -1;
  long long n = 0;
  std::size_t i = at + tag.size();
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && n < 1000000000; ++i) n = n * 10 + (text[i] - '0');
  return n;
}

}  // namespace

bool IsStatusFile(const std::string& name) {
  return EqualsNoCase(name, StatusFile::kStatusFileName) || EqualsNoCase(name, StatusFile::kStatusTempName);
}

StatusFile::StatusFile(FileSystem& fs, Clock& clock, SystemInfo& system, std::function<std::string()> folder,
                       const Notifier* notices)
    : fs_(fs), clock_(clock), system_(system), folder_(std::move(folder)), notices_(notices) {}

void StatusFile::RollDay() {
  const std::string today = clock_.Now().Date();
  if (today == day_) return;
  day_ = today;
  counts_ = {};
}

void StatusFile::Taken(const Job& job) { printing_ = job.input; }

void StatusFile::Settled(const Job& s) {
  // The receipt stays "in stampa" while it is filed: the state says so too.
  RollDay();
  ++counts_[static_cast<int>(s.outcome)];
  last_ = Last{s.outcome, s.input, clock_.Now().Stamp(), FirstLine(s.text)};
}

void StatusFile::Kora1Lost(const std::string&) { connected_ = false; }
void StatusFile::Kora1Found() { connected_ = true; }
void StatusFile::StateChanged(ExecState, ExecState to) {
  state_ = to;
  // No job in flight: ready, or blocked by an error.
  if (to != ExecState::kRunning && to != ExecState::kPaperOut) printing_.clear();
}
void StatusFile::Waiting(int receipts) { waiting_ = receipts; }
void StatusFile::JournalUnwritable(const std::string& folder, const std::string& reason) {
  journalDown_ = "{\"cartella\": " + NameJson(folder) + ", \"motivo\": " + Json(FirstLine(reason)) + ", \"dal\": " +
                 Json(clock_.Now().Stamp()) + "}";
}
void StatusFile::JournalWritable(const std::string&) { journalDown_.reset(); }

std::string StatusFile::Content(const std::string& written) {
  RollDay();
  std::string j = "{\r\n";
  auto field = [&](const char* key, const std::string& value, bool more = true) {
    j += "  \"";
    j += key;
    j += "\": " + value + (more ? ",\r\n" : "\r\n");
  };
  field("formato", std::to_string(kFormat));
  field("programma", Json("ZTK DORVANE"));
  field("versione", Json(Version()));
  field("pid", std::to_string(system_.ProcessId()));
  field("scritto", Json(written));
  field("kora1_connesso", connected_ ? "true" : "false");
  field("stato", std::to_string(Number(state_)));
  field("stato_parola", Json(Word(state_)));
  field("in_stampa", printing_.empty() ? "null" : NameJson(printing_));
  field("in_attesa", waiting_ ? std::to_string(*waiting_) : "null");
  field("ultimo_esito", !last_ ? "null"
                               : "{\"esito\": " + Json(Words(last_->outcome).status) + ", \"file\": " +
                                     NameJson(last_->input) + ", \"ora\": " + Json(last_->time) +
                                     ", \"testo\": " + Json(last_->text) + "}");
  field("registro_lavori_non_scrivibile", journalDown_ ? *journalDown_ : "null");
  const Notifier::Told* told = notices_ ? notices_->Current() : nullptr;
  field("episodio", !told ? "null"
                          : "{\"icona\": " + Json(IconWord(told->icon)) + ", \"titolo\": " + Json(told->title) +
                                ", \"testo\": " + Json(told->text) + ", \"dal\": " + Json(told->since) + "}");
  std::string today = "{\"data\": " + Json(day_);
  for (int i = 0; i < kOutcomeCount; ++i) today += std::string(", \"") + kOutcomeWords[i].countKey + "\": " + std::to_string(counts_[i]);
  field("oggi", today + "}", false);
  return j + "}\r\n";
}

void StatusFile::AdoptCounts(const std::string& path) {
  std::string text;
  if (!fs_.Exists(path) || !fs_.ReadAll(path, text)) return;
  RollDay();
  const std::size_t at = text.find("\"oggi\": {\"data\": \"" + day_ + "\"");
  if (at == std::string::npos) return;  // another day's, or no file of ours
  std::array<int, kOutcomeCount> counts{};
  for (int i = 0; i < kOutcomeCount; ++i) {
    const long long n = NumberAfter(text, at, kOutcomeWords[i].countKey);
    if (n < 0) return;  // not whole: nothing is taken from it
    counts[i] = static_cast<int>(n);
  }
  for (int i = 0; i < kOutcomeCount; ++i) counts_[i] += counts[i];
}

void StatusFile::Poll() {
  const std::int64_t now = clock_.MonotonicMs();
  if (tried_ && now - triedMs_ < kMinGapMs) return;
  const std::string folder = folder_ ? folder_() : std::string();
  if (folder.empty()) return;
  const std::string path = JoinPath(folder, kStatusFileName);
  if (!adopted_) {
    adopted_ = true;
    AdoptCounts(path);
  }
  std::string key = Content("");
  if (written_ && key == writtenKey_ && folder == writtenFolder_ && now - writtenMs_ < kRefreshMs) return;
  tried_ = true;
  triedMs_ = now;
  const std::string temp = JoinPath(folder, kStatusTempName);
  if (!fs_.WriteAll(temp, Content(clock_.Now().Stamp())) || !fs_.Rename(temp, path)) return;
  written_ = true;
  writtenMs_ = now;
  writtenKey_ = std::move(key);
  writtenFolder_ = folder;
}

}  // namespace dorvane
