#include "web/spool.h"

#include <cstdio>
#include <vector>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane::web {

namespace {
constexpr const char* kLayoutWords[] = {"sarema", "fasyvola", "itineris"};
constexpr const char* kSuffix = ".txt";
constexpr const char* kHex = "0123456789abcdef";

std::string Hex(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

const char* LayoutWord(InputLayout layout) { return kLayoutWords[static_cast<int>(layout)]; }

std::optional<InputLayout> LayoutOfWord(const std::string& word) {
  for (int i = 0; i < 3; ++i)
    if (word == kLayoutWords[i]) return static_cast<InputLayout>(i);
  return std::nullopt;
}

Spool::Spool(FileSystem& fs, std::string dataDir) : fs_(fs), folder_(JoinPath(dataDir, kSpoolFolderName)) {}

bool Spool::ParseName(const std::string& name, std::string& requestKey, InputLayout& layout) {
  // "R<digit>-<hex>.txt"; a temporary or a converter's work file is none.
  if (name.size() < 9 || name[0] != 'R' || name[2] != '-' || !EndsWith(name, kSuffix)) return false;
  if (name[1] < '0' || name[1] > '2') return false;
  layout = static_cast<InputLayout>(name[1] - '0');
  const std::string hex = name.substr(3, name.size() - 3 - 4);
  if (hex.empty() || hex.size() % 2 != 0) return false;
  requestKey.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    requestKey += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

std::string Spool::TimeKey(const std::string& path) {
  // The same key the input folder's receipts get: when the file was made.
  LocalDateTime t;
  if (!fs_.CreationTime(path, t)) return "";
  char key[32];
  std::snprintf(key, sizeof key, "%d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return key;
}

Status Spool::Load() {
  if (!fs_.IsDirectory(folder_)) {
    if (Status st = fs_.MakeDir(folder_); !st) return st;
  }
  std::vector<std::string> names;
  if (Status st = fs_.ListFiles(folder_, names); !st) return st;
  std::lock_guard lock(mutex_);
  entries_.clear();
  for (const std::string& name : names) {
    const std::string path = JoinPath(folder_, name);
    std::string key;
    InputLayout layout;
    if (ParseName(name, key, layout)) {
      entries_[key] = Entry{path, TimeKey(path), layout, ++puts_};
    } else if (EndsWith(name, ".tmp") && name[0] == 'R') {
      fs_.Remove(path);  // a put cut short: its caller never heard 202
    }
  }
  return Status::Ok();
}

Status Spool::Put(const std::string& requestKey, InputLayout layout, const std::string& bytes) {
  const std::string name = std::string("R") + static_cast<char>('0' + static_cast<int>(layout)) + "-" +
                           Hex(requestKey) + kSuffix;
  const std::string path = JoinPath(folder_, name);
  if (!fs_.IsDirectory(folder_)) {
    if (Status st = fs_.MakeDir(folder_); !st) return st;
  }
  if (Status st = WriteDurably(fs_, path, bytes); !st) return st;
  std::lock_guard lock(mutex_);
  entries_[requestKey] = Entry{path, TimeKey(path), layout, ++puts_};
  return Status::Ok();
}

std::optional<Spool::Waiting> Spool::Find(const std::string& requestKey) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(requestKey);
  if (it == entries_.end()) return std::nullopt;
  return Waiting{it->second.path, it->second.layout};
}

std::map<std::string, Spool::Waiting> Spool::All() {
  std::lock_guard lock(mutex_);
  std::map<std::string, Waiting> all;
  for (const auto& [key, e] : entries_) all[key] = Waiting{e.path, e.layout};
  return all;
}

void Spool::Settle(const std::string& requestKey) {
  std::lock_guard lock(mutex_);
  entries_.erase(requestKey);
}

std::optional<InputChoice> Spool::Oldest() {
  std::lock_guard lock(mutex_);
  const std::pair<const std::string, Entry>* best = nullptr;
  for (const auto& e : entries_) {
    if (!best || e.second.timeKey < best->second.timeKey ||
        (e.second.timeKey == best->second.timeKey && e.second.order < best->second.order))
      best = &e;
  }
  if (!best) return std::nullopt;
  InputChoice choice{best->second.path, best->second.timeKey, best->second.layout, best->first};
  return choice;
}

bool Spool::Owns(const std::string& path) const { return DirName(path) == folder_; }

void Spool::Settled(const Job& job) { Settle(job.requestKey); }

}  // namespace dorvane::web
