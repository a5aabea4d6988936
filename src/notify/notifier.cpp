#include "notify/notifier.h"

#include <algorithm>

#include "text/paths.h"

namespace dorvane {

namespace {

// The first line of a text (a report, a reason), without its line end.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

bool IsOneShot(Episode e) { return FindNotice(e, Phase::kEnd) == nullptr; }


}  // namespace

Notifier::Notifier(Clock& clock, Ui& ui) : clock_(clock), ui_(ui) {}

bool Notifier::Tell(Episode episode, Phase phase, const NoticeValues& values, Told* told) {
  const NoticeRow* row = FindNotice(episode, phase);
  if (closing_ || !row) return false;
  Told t{episode, row->icon, row->title, RenderNotice(row->text, values), clock_.Now().Stamp()};
  ui_.Notify(t.icon, t.title, t.text);
  if (told) *told = std::move(t);
  return true;
}

Notifier::Open* Notifier::Find(Episode episode, const std::string& key) {
  for (Open& o : open_)
    if (o.episode == episode && o.key == key) return &o;
  return nullptr;
}

void Notifier::Begin(Episode episode, const std::string& key, NoticeValues values, bool delayed) {
  if (Find(episode, key)) return;  // one notification per episode
  Open o;
  o.episode = episode;
  o.key = key;
  o.values = std::move(values);
  o.sinceMs = clock_.MonotonicMs();
  if (!delayed) {
    o.told = Tell(episode, Phase::kStart, o.values, &o.notice);
    o.order = ++toldCount_;
  }
  o.delayed = delayed;
  open_.push_back(std::move(o));
}

void Notifier::Finish(Episode episode, const std::string& key, bool tellEnd) {
  auto it = std::find_if(open_.begin(), open_.end(), [&](const Open& o) { return o.episode == episode && o.key == key; });
  if (it == open_.end()) return;
  const Open ended = std::move(*it);
  open_.erase(it);
  // An end is told only after its start, and only once: the episode is gone.
  if (ended.told && tellEnd) Tell(episode, Phase::kEnd, ended.values);
}

void Notifier::EndOneShots() {
  std::erase_if(open_, [](const Open& o) { return IsOneShot(o.episode); });
}

void Notifier::Once(Episode episode, NoticeValues values) {
  EndOneShots();
  Open o;
  o.episode = episode;
  o.values = std::move(values);
  o.sinceMs = clock_.MonotonicMs();
  o.told = Tell(episode, Phase::kStart, o.values, &o.notice);
  o.order = ++toldCount_;
  if (o.told) open_.push_back(std::move(o));
}

void Notifier::Poll() {
  const std::int64_t now = clock_.MonotonicMs();
  for (Open& o : open_) {
    if (o.told || !o.delayed || now - o.sinceMs <= kGraceMs) continue;
    o.delayed = false;  // told now, or (closing) never
    o.told = Tell(o.episode, Phase::kStart, o.values, &o.notice);
    o.order = ++toldCount_;
  }
}

const Notifier::Told* Notifier::Current() const {
  const Open* latest = nullptr;
  for (const Open& o : open_)
    if (o.told && (!latest || o.order > latest->order)) latest = &o;
  return latest ? &latest->notice : nullptr;
}

void Notifier::Taken(const Job&) { EndOneShots(); }

void Notifier::StateChanged(ExecState, ExecState to) {
  if (to == ExecState::kReady) EndOneShots();
}

void Notifier::Settled(const Job& s) {
  // A hold ends with its job: a receipt printed after all is the print
  // resuming; a refused or unknown one is told as such.
  for (const Open& o : std::vector<Open>(open_))
    if (o.episode == Episode::kPaperOut) Finish(Episode::kPaperOut, o.key, s.outcome == Outcome::kPrinted);
  NoticeValues v;
  v.file = BaseName(s.input);
  switch (s.outcome) {
    case Outcome::kPrinted:
      break;
    case Outcome::kRefused:
      v.line = FirstLine(s.text);
      Once(Episode::kRefused, v);
      break;
    case Outcome::kUnknown:
      Once(Episode::kUnknownOutcome, v);
      break;
    case Outcome::kInputFailed:
      v.reason = FirstLine(s.text);
      Once(Episode::kInputFailed, v);
      break;
  }
}

void Notifier::PaperHeld(const std::string& input, const std::string& line) {
  // One job at a time: a hold of another input ends the old one.
  for (const Open& o : std::vector<Open>(open_))
    if (o.episode == Episode::kPaperOut && o.key != input) Finish(Episode::kPaperOut, o.key, false);
  NoticeValues v;
  v.file = BaseName(input);
  v.line = FirstLine(line);
  Begin(Episode::kPaperOut, input, v, false);
}

void Notifier::PaperReleased(const std::string&) {
  for (const Open& o : std::vector<Open>(open_))
    if (o.episode == Episode::kPaperOut) Finish(Episode::kPaperOut, o.key);
}

void Notifier::FilingFailed(const std::string& input, const std::string& reason) {
  NoticeValues v;
  v.file = BaseName(input);
  v.reason = FirstLine(reason);
  Begin(Episode::kFilingFailed, input, v, false);
}

void Notifier::FiledLater(const std::string& input, const std::vector<std::string>&) { Finish(Episode::kFilingFailed, input); }

void Notifier::FiledUnderOtherName(const std::string& input, const std::string& path, const std::string& reason) {
  NoticeValues v;
  v.file = BaseName(input);
  v.name = path;
  v.reason = FirstLine(reason);
  Once(Episode::kFiledUnderOtherName, v);
}

void Notifier::LinkRefused(const std::string& name) {
  NoticeValues v;
  v.name = name;
  Once(Episode::kLinkRefused, v);
}

void Notifier::Kora1Lost(const std::string& reason) {
  if (Open* o = Find(Episode::kKora1Lost, {})) {
    if (!o->told) o->values.reason = FirstLine(reason);  // the latest word, until told
    return;
  }
  NoticeValues v;
  v.reason = FirstLine(reason);
  Begin(Episode::kKora1Lost, {}, v, true);
}

void Notifier::Kora1Found() { Finish(Episode::kKora1Lost, {}); }

void Notifier::FolderUnreachable(const std::string& folder, const std::string& reason) {
  if (Open* o = Find(Episode::kFolderUnreachable, folder)) {
    if (!o->told) o->values.reason = FirstLine(reason);
    return;
  }
  NoticeValues v;
  v.folder = folder;
  v.reason = FirstLine(reason);
  Begin(Episode::kFolderUnreachable, folder, v, true);
}

void Notifier::FolderBack(const std::string& folder) { Finish(Episode::kFolderUnreachable, folder); }

void Notifier::JournalUnwritable(const std::string& folder, const std::string& reason) {
  NoticeValues v;
  v.folder = folder;
  v.reason = FirstLine(reason);
  Begin(Episode::kJournalUnwritable, {}, v, false);
}

void Notifier::JournalWritable(const std::string&) { Finish(Episode::kJournalUnwritable, {}); }

void Notifier::LedgerWritable(bool writable, const std::string& reason) {
  if (writable) {
    Finish(Episode::kLedgerUnwritable, {});
    return;
  }
  NoticeValues v;
  v.reason = FirstLine(reason);
  Begin(Episode::kLedgerUnwritable, {}, v, false);
}

}  // namespace dorvane
