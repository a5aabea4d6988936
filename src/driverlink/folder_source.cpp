#include "driverlink/folder_source.h"

#include <algorithm>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

std::string FolderSource::Filters() const {
  const LinkSettings& s = link_.set;
  return s.fileFilter + "|" + s.filePrefix + "|" + s.OutExt() + "|" + s.ErrExt() + "|" + (s.AdHoc() ? "1" : "0");
}

FolderSource::Kind FolderSource::Classify(const std::string& name) const {
  // Our own work files are skipped without a word: they are no one's mistake.
  if (!MatchesPattern(name, link_.set.fileFilter) || selection_.IsOwnWorkFile(name)) return Kind::kIgnored;
  if (selection_.IsReservedFileName(name)) return Kind::kReserved;
  if (!selection_.MatchesFilePrefix(name) || name == "." || name == "..") return Kind::kIgnored;
  return Kind::kCandidate;
}

void FolderSource::Index(const std::string& name, Entry& e) {
  e.seq = nextSeq_++;
  if (e.kind == Kind::kReserved) reserved_.emplace(e.seq, name);
  if (e.kind != Kind::kCandidate) return;
  candidates_.emplace(e.key, e.seq, name);
  inYear_ += e.key.compare(0, 4, std::to_string(year_)) == 0;
}

void FolderSource::Unindex(const std::string& name, const Entry& e) {
  if (e.kind == Kind::kReserved) reserved_.erase({e.seq, name});
  if (e.kind != Kind::kCandidate) return;
  candidates_.erase({e.key, e.seq, name});
  inYear_ -= e.key.compare(0, 4, std::to_string(year_)) == 0;
}

void FolderSource::Forget(const std::string& name) {
  auto it = names_.find(name);
  if (it == names_.end()) return;
  Unindex(name, it->second);
  names_.erase(it);
}

void FolderSource::Learn(const std::string& name, bool listed) {
  const Kind kind = Classify(name);
  const std::string path = JoinPath(dir_, name);
  // A receipt's key is read now; "-" marks a reserved name that is there.
  std::string key;
  if (kind != Kind::kIgnored && (listed || link_.fs.Exists(path)))
    key = kind == Kind::kCandidate ? selection_.FindFileInfo(path) : "-";
  if (key.empty()) {
    // Gone, unreadable, no receipt, or a link: a link is told once.
    if (kind != Kind::kIgnored && !listed && link_.fs.IsLink(path)) selection_.SeeLink(name);
    Forget(name);
    return;
  }
  auto it = names_.find(name);
  if (it != names_.end()) {
    if (it->second.kind == kind && it->second.key == key) return;  // unchanged: keeps its place
    Unindex(name, it->second);
  }
  Entry& e = names_[name];
  e.kind = kind;
  e.key = key;
  Index(name, e);
}

bool FolderSource::List(std::vector<std::string>& names) {
  std::vector<std::string> links;
  const Status listed = link_.fs.ListFilesAndLinks(dir_, names, links);
  selection_.TellLinks(links);
  reach_.Tell(FolderReach::Role::kInput, dir_, listed);
  sweptMs_ = link_.clock.MonotonicMs();
  return listed.ok();
}

void FolderSource::Relist() {
  names_.clear();
  candidates_.clear();
  reserved_.clear();
  inYear_ = 0;
  std::vector<std::string> names;
  if (!List(names)) return;
  // In listing order: on equal keys the first listed goes first.
  for (const std::string& name : names) Learn(name, true);
  stale_ = false;
}

void FolderSource::Sweep() {
  std::vector<std::string> names;
  if (!List(names)) {
    stale_ = true;
    return;
  }
  // Marked as listed in this sweep; the names left unmarked are gone.
  ++sweep_;
  for (const std::string& name : names) {
    auto it = names_.find(name);
    if (it == names_.end()) {
      Learn(name, true);
      it = names_.find(name);
    }
    if (it != names_.end()) it->second.sweep = sweep_;
  }
  for (auto it = names_.begin(); it != names_.end();) {
    if (it->second.sweep == sweep_) {
      ++it;
      continue;
    }
    Unindex(it->first, it->second);
    it = names_.erase(it);
  }
}

void FolderSource::Apply() {
  for (const FolderChange& c : std::exchange(changes_, {})) {
    if (c.kind == FolderChange::Kind::kLost) {
      if (c.path.empty() || c.path == dir_) stale_ = true;
      continue;
    }
    if (stale_ || DirName(c.path) != dir_) continue;
    const std::string name = BaseName(c.path);
    if (c.kind == FolderChange::Kind::kRemoved) {
      Forget(name);
      selection_.LinkGone(name);
    } else {
      Learn(name, false);
    }
  }
}

std::optional<InputChoice> FolderSource::Oldest() {
  const std::string& dir = link_.set.inputDir;
  const int year = link_.clock.Now().year;
  // What the index was made for no longer holds: it is made again.
  if (dir != dir_ || year != year_ || Filters() != filters_ || !watched_) {
    stale_ = true;
    dir_ = dir;
    year_ = year;
    filters_ = Filters();
  }
  if (dir_.empty()) {
    changes_.clear();
    selection_.TellWaiting(0);
    return std::nullopt;
  }
  Apply();
  if (stale_) {
    Relist();
  } else if (link_.clock.MonotonicMs() - sweptMs_ >= kSafetyNetMs) {
    Sweep();
  }
  if (stale_) {
    selection_.TellWaiting(0);
    return std::nullopt;
  }
  if (!reserved_.empty()) link_.ShowResult("NOME FILE NON PERMESSO: " + reserved_.rbegin()->second);
  const std::string thisYear = std::to_string(year_);
  int printed = 0;
  for (auto it = candidates_.lower_bound({thisYear, 0, ""});
       it != candidates_.end() && std::get<0>(*it).compare(0, 4, thisYear) == 0;) {
    const auto [key, seq, name] = *it;
    const std::string path = JoinPath(dir_, name);
    // A receipt already printed in this run whose input could not be
    // deleted stays where it is and is never handed over again; nor is one
    // whose filing waits while the receipts after it go on.
    if (link_.journal.WasPrinted(path, key) || link_.pending.Waits(path, key)) {
      ++printed;
      ++it;
      continue;
    }
    // The file may have gone or been replaced since it was indexed: it is
    // learned again and the choice made again.
    if (!link_.fs.Exists(path) || selection_.FindFileInfo(path) != key) {
      Learn(name, false);
      printed = 0;
      it = candidates_.lower_bound({thisYear, 0, ""});
      continue;
    }
    selection_.TellWaiting(inYear_ - printed);
    return InputChoice{path, key, std::nullopt, ""};
  }
  selection_.TellWaiting(inYear_ - printed);
  return std::nullopt;
}

bool FolderSource::Owns(const std::string& path) const { return DirName(path) == link_.set.inputDir; }

void FolderSource::Took(const Job&) {
  // The receipt taken is no longer waiting.
  selection_.TellWaiting(std::max(0, selection_.Waiting() - 1));
}

void FolderSource::Settled(const Job& job) {
  // The input deleted or filed away leaves the index now, not at its event.
  if (!stale_ && DirName(job.input) == dir_) Learn(BaseName(job.input), false);
}

void FolderSource::Changed(const std::vector<FolderChange>& changes, bool watched) {
  // A watch that begins needs a listing to start from.
  if (watched && !watched_) stale_ = true;
  watched_ = watched;
  changes_.insert(changes_.end(), changes.begin(), changes.end());
  // Changes piling up while no choice is made (the cycle stopped for the
  // operator) are worth less than a listing: a listing it will be.
  if (changes_.size() > kMaxChanges) changes_.assign(1, {FolderChange::Kind::kLost, ""});
}

}  // namespace dorvane
