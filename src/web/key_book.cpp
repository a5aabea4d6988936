#include "web/key_book.h"

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <vector>

#include "text/paths.h"
#include "text/sha256.h"
#include "text/text.h"

namespace dorvane::web {

namespace {
constexpr const char* kStates[] = {"printed", "refused", "unknown", "failed"};

// A key file line: key, layout, hash, state, month file, number; TABs.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1)
    out.push_back(line.substr(start, tab - start));
  out.push_back(line.substr(start));
  return out;
}

std::string_view WithoutCr(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

// A string field of a ledger line, read without parsing the whole record:
// false when absent or not a plain string (escapes), and the line is then
// read whole. A field's name with its quotes cannot occur inside a value,
// where every quote is escaped.
bool PlainField(std::string_view line, std::string_view name, std::string& value) {
  const std::string field = "\"" + std::string(name) + "\":\"";
  const std::size_t at = line.find(field);
  if (at == std::string_view::npos) return false;
  const std::size_t start = at + field.size(), end = line.find('"', start);
  if (end == std::string_view::npos || line.substr(start, end - start).find('\\') != std::string_view::npos)
    return false;
  value = line.substr(start, end - start);
  return true;
}

std::string ParseKey(std::string_view line) {
  std::string key;
  PlainField(line, "chiave", key);
  return key;
}
}  // namespace

const char* StateOf(Outcome outcome) { return kStates[static_cast<int>(outcome)]; }

bool KeyState::Final() const { return state != kStateQueued && state != kStatePrinting && state != kStatePaperOut; }

KeyBook::KeyBook(FileSystem& fs, std::string dataDir, Spool& spool)
    : fs_(fs), dir_(std::move(dataDir)), path_(JoinPath(dir_, kKeyFileName)), spool_(spool) {}

bool KeyBook::Learn(const std::string& monthFile, std::string_view line, std::string* keyOut) {
  line = WithoutCr(line);
  std::string key, layout, sha, outcome;
  std::uint64_t n = 0;
  // A year of lines is read when the key file is made again: the plain
  // fields first, the JSON parser only for a line they cannot read.
  const std::string_view head = "{\"n\":";
  bool plain = StartsWith(line, head) && PlainField(line, "chiave", key) && PlainField(line, "tracciato", layout) &&
               PlainField(line, "esito", outcome);
  if (plain) {
    PlainField(line, "sha256", sha);
    for (std::size_t i = head.size(); i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) n = n * 10 + (line[i] - '0');
  } else {
    nlohmann::json r = nlohmann::json::parse(line, nullptr, false);
    if (!r.is_object() || !r.contains("chiave") || !r["chiave"].is_string()) return false;
    key = r["chiave"].get<std::string>();
    layout = r.value("tracciato", "");
    sha = r.value("sha256", "");
    outcome = r.value("esito", "");
    n = r.value("n", std::uint64_t{0});
  }
  KeyState k;
  k.layout = LayoutOfWord(layout).value_or(InputLayout::kSarema);
  k.sha256 = sha;
  k.state = "unknown";
  for (int i = 0; i < kOutcomeCount; ++i)
    if (outcome == kOutcomeWords[i].ledger) k.state = kStates[i];
  k.monthFile = monthFile;
  k.n = n;
  // A record in a month file is read from there when asked for: a key
  // costs its few fields, not its line.
  if (monthFile.empty()) k.record = std::string(line);
  keys_[key] = std::move(k);
  if (keyOut) *keyOut = key;
  return true;
}

std::string KeyBook::KeyLine(const std::string& key, const KeyState& k) {
  return key + "\t" + LayoutWord(k.layout) + "\t" + k.sha256 + "\t" + k.state + "\t" + k.monthFile + "\t" +
         std::to_string(k.n) + "\r\n";
}

Status KeyBook::Load(const LedgerLines& ledger) {
  std::lock_guard lock(mutex_);
  keys_.clear();
  std::string bytes;
  const bool haveFile = fs_.ReadAll(path_, bytes).ok();
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::vector<std::string_view> f = Fields(WithoutCr(std::string_view(bytes).substr(start, end - start)));
    start = end + 1;
    if (f.size() != 6 || f[0].empty()) continue;  // a line cut short: the ledger has it
    KeyState& k = keys_[std::string(f[0])];
    k.layout = LayoutOfWord(std::string(f[1])).value_or(InputLayout::kSarema);
    k.sha256 = f[2];
    k.state = f[3];
    k.monthFile = f[4];
    k.n = std::strtoull(std::string(f[5]).c_str(), nullptr, 10);
  }
  // The ledger's keyed records the key file lacks (a crash between the two
  // appends, or no key file at all) are added to it.
  Status st;
  if (ledger) {
    std::string lacking;
    ledger(!haveFile, [&](const std::string& monthFile, std::string_view line) {
      // Cheap tests first: most lines hold no key, or one the file has.
      if (line.find("\"chiave\":") == std::string_view::npos || keys_.count(ParseKey(line))) return;
      std::string key;
      if (Learn(monthFile, line, &key) && !monthFile.empty()) lacking += KeyLine(key, keys_[key]);
    });
    // Made even when empty, so that the next start reads only the newest months.
    if (!lacking.empty() || !haveFile) {
      st = fs_.Append(path_, lacking);
      if (st) st = fs_.Flush(path_);
    }
  }
  // Waiting receipts: queued, unless their key is settled (never offered again).
  if (Status s = spool_.Load(); !s) return s;
  for (const auto& [key, w] : spool_.All()) {
    auto it = keys_.find(key);
    if (it != keys_.end() && it->second.Final()) {
      spool_.Settle(key);
      continue;
    }
    std::string receipt;
    KeyState k;
    k.layout = w.layout;
    if (fs_.ReadAll(w.path, receipt)) k.sha256 = Sha256Hex(receipt);
    keys_[key] = k;
  }
  return st;
}

std::optional<KeyState> KeyBook::Find(const std::string& key) {
  std::lock_guard lock(mutex_);
  auto it = keys_.find(key);
  if (it == keys_.end()) return std::nullopt;
  return it->second;
}

bool KeyBook::Queue(const std::string& key, InputLayout layout, const std::string& sha256) {
  std::lock_guard lock(mutex_);
  KeyState k;
  k.layout = layout;
  k.sha256 = sha256;
  return keys_.emplace(key, k).second;
}

void KeyBook::Forget(const std::string& key) {
  std::lock_guard lock(mutex_);
  keys_.erase(key);
}

std::size_t KeyBook::Size() {
  std::lock_guard lock(mutex_);
  return keys_.size();
}

void KeyBook::Recorded(const std::string& monthFile, const std::string& line) {
  std::lock_guard lock(mutex_);
  std::string key;
  if (!Learn(monthFile, line, &key)) return;
  // A failed append is mended at the next start, from the ledger.
  if (fs_.Append(path_, KeyLine(key, keys_[key]))) fs_.Flush(path_);
}

std::string KeyBook::ReadRecord(const KeyState& k) {
  if (!k.record.empty() || k.monthFile.empty()) return k.record;
  // Records are appended in order: a recent one is near the end, and the
  // file is read back from there, more each time, until the line is found.
  const std::string path = JoinPath(dir_, k.monthFile), head = "{\"n\":" + std::to_string(k.n) + ",";
  std::string bytes;
  std::uint64_t size = 0;
  for (std::size_t want = 64 * 1024;; want *= 8) {
    if (!fs_.ReadTail(path, want, bytes, size)) return "";
    const bool whole = bytes.size() >= size;
    std::size_t at = whole && StartsWith(bytes, head) ? 0 : bytes.find("\n" + head);
    if (at != std::string::npos) {
      if (bytes[at] == '\n') ++at;
      const std::size_t end = bytes.find('\n', at);
      return std::string(WithoutCr(std::string_view(bytes).substr(at, end == std::string::npos ? end : end - at)));
    }
    if (whole) return "";
  }
}

void KeyBook::Taken(const Job& job) {
  std::lock_guard lock(mutex_);
  inFlight_ = job.requestKey;
  if (job.requestKey.empty()) return;
  KeyState& k = keys_[job.requestKey];
  if (!k.Final()) k.state = kStatePrinting;
}

void KeyBook::SetState(const std::string& /*input*/, const char* state) {
  std::lock_guard lock(mutex_);
  if (inFlight_.empty()) return;
  KeyState& k = keys_[inFlight_];
  if (!k.Final()) k.state = state;
}

void KeyBook::PaperHeld(const std::string& input, const std::string&) { SetState(input, kStatePaperOut); }
void KeyBook::PaperReleased(const std::string& input) { SetState(input, kStatePrinting); }

void KeyBook::Settled(const Job& job) {
  if (job.requestKey.empty()) return;
  {
    std::lock_guard lock(mutex_);
    KeyState& k = keys_[job.requestKey];
    k.layout = job.layout;
    k.state = StateOf(job.outcome);
    if (job.outcome != Outcome::kPrinted) k.reason = job.text;
    if (inFlight_ == job.requestKey) inFlight_.clear();
  }
  spool_.Settle(job.requestKey);
}

bool KeyBook::OwnsFile(const std::string& name) const { return EqualsNoCase(name, kKeyFileName); }

}  // namespace dorvane::web
