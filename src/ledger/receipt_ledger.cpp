#include "ledger/receipt_ledger.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "text/paths.h"
#include "text/sha256.h"
#include "text/text.h"

namespace dorvane {

void ForEachLedgerLine(FileSystem& fs, const std::string& dir, bool all,
                       const std::function<void(const std::string& file, std::string_view line)>& f) {
  std::vector<std::string> names, months;
  fs.ListFiles(dir, names);
  for (const std::string& name : names)
    if (!ledger::MonthOfFileName(name).empty()) months.push_back(name);
  std::sort(months.begin(), months.end());
  if (!all && months.size() > 2) months.erase(months.begin(), months.end() - 2);
  months.push_back("");
  for (const std::string& month : months) {
    std::string bytes;
    if (!fs.ReadAll(JoinPath(dir, month.empty() ? ledger::kPendingFileName : month), bytes)) continue;
    ledger::ForEachLine(bytes, [&](std::string_view line) { f(month, line); });
  }
}

using ledger::Record;

namespace {

// How much of a month file's end is read to find the last record and the
// jobs recorded last: some hundreds of records.
constexpr std::size_t kTailBytes = 256 * 1024;
// Identities remembered to refuse a second record of the same job.
constexpr std::size_t kRecentKeys = 1024;

// The words records hold, in the order of the enumerations.
constexpr const char* kLayoutWords[] = {"sarema", "fasyvola", "itineris"};


}  // namespace

bool IsLedgerFile(const std::string& name) { return ledger::IsLedgerFileName(name); }

ReceiptLedger::ReceiptLedger(FileSystem& fs, Clock& clock, Folder folder, Notice notice)
    : fs_(fs), clock_(clock), folder_(std::move(folder)), notice_(std::move(notice)) {}

Record ReceiptLedger::MakeRecord(const Job& job, std::vector<Copy>* copies) {
  Record r;
  r.id = ledger::Cp1252ToUtf8(job.id);
  r.outcome = Words(job.outcome).ledger;
  r.taken = job.time;
  r.settled = clock_.Now().Stamp();
  r.input = NameToUtf8(BaseName(job.input));
  r.requestKey = job.requestKey;
  r.folder = NameToUtf8(DirName(job.input));
  std::string bytes;
  const Status read = fs_.ReadAll(job.input, bytes);
  if (read) {
    r.inputBytes = bytes.size();
    r.inputSha256 = Sha256Hex(bytes);
  } else {
    bytes.clear();
    r.inputBytes = job.inputSize;
    r.inputError = ledger::Cp1252ToUtf8(read.Message());
  }
  // A hand-off failed on the input tells only the input and the time.
  if (job.outcome != Outcome::kInputFailed) {
    r.layout = kLayoutWords[static_cast<int>(job.layout)];
    r.dataBytes = job.dataSize;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(job.dataChecksum));
    r.dataFnv1a = hex;
  }
  if (job.outcome == Outcome::kPrinted) {
    r.answerBytes = job.text.size();
    r.answer = ledger::Cp1252ToUtf8(std::string_view(job.text).substr(0, ledger::kAnswerLimit));
    r.receipt = ledger::Cp1252ToUtf8(ledger::AnswerField(job.text, "SCONTRINO"));
    r.total = ledger::Cp1252ToUtf8(ledger::AnswerField(job.text, "TOTALE"));
  } else {
    r.reason = ledger::Cp1252ToUtf8(job.text);
  }
  for (const std::string& p : job.filedAs) r.filedAs.push_back(NameToUtf8(p));
  r.filedNote = ledger::Cp1252ToUtf8(job.filedNote);
  r.recovered = job.recovered;
  if (copies && job.outcome != Outcome::kPrinted) {
    // Named by the job's identity; a job without one by when it was taken
    // and what it holds.
    std::string ident = job.id;
    if (ident.empty()) {
      for (char c : job.time)
        if (c >= '0' && c <= '9') ident += c;
      ident += "-" + (read ? r.inputSha256 : Sha256Hex(job.data.value_or(""))).substr(0, 16);
    }
    if (read) copies->push_back({ledger::CopyName(ident, true), bytes});
    if (job.data && (!read || *job.data != bytes)) copies->push_back({ledger::CopyName(ident, false), *job.data});
    for (const Copy& c : *copies) r.copies.push_back(c.name);
  }
  return r;
}

void ReceiptLedger::Settled(const Job& job) {
  Entry e;
  e.record = MakeRecord(job, &e.copies);
  const std::string key = e.record.Key();
  // The same job settled again (recovery after a crash): already recorded,
  // or already waiting.
  if (!stale_ && recentSet_.count(key)) return;
  for (const Entry& q : queue_)
    if (q.record.Key() == key) return;
  queue_.push_back(std::move(e));
  if (!Drain()) KeepPending();
}

bool ReceiptLedger::Recorded() const {
  for (const Entry& e : queue_)
    if (!e.inPendingFile) return false;
  return true;
}

void ReceiptLedger::Poll() {
  if (!pendingLoaded_) {
    // Records a previous run could not write: they go first.
    if (!fs_.Exists(JoinPath(folder_(), ledger::kPendingFileName))) {
      pendingLoaded_ = true;
      return;
    }
  } else if (queue_.empty() && !pendingFileStale_) {
    return;
  }
  if (!Drain()) KeepPending();
}

void ReceiptLedger::Remember(const std::string& key) {
  if (!recentSet_.insert(key).second) return;
  recent_.push_back(key);
  if (recent_.size() > kRecentKeys) {
    recentSet_.erase(recent_.front());
    recent_.pop_front();
  }
}

Status ReceiptLedger::Open(const std::string& dir) {
  if (dir != dir_) pendingLoaded_ = false;
  dir_ = dir;
  lastHash_ = ledger::kNoPrevious;
  lastN_ = 0;
  lastMonth_.clear();
  tornFile_.clear();
  durableFile_.clear();
  recent_.clear();
  recentSet_.clear();

  std::vector<std::string> names;
  if (Status st = fs_.ListFiles(dir, names); !st) {
    failedPath_ = dir;
    return st;
  }
  std::vector<std::string> months;
  for (const std::string& name : names)
    if (std::string m = ledger::MonthOfFileName(name); !m.empty()) months.push_back(m);
  std::sort(months.begin(), months.end());
  months.erase(std::unique(months.begin(), months.end()), months.end());
  if (!months.empty()) lastMonth_ = months.back();

  // Records a previous run kept: they go first, before anything queued now.
  std::vector<Entry> kept;
  if (!pendingLoaded_) {
    const std::string path = JoinPath(dir, ledger::kPendingFileName);
    std::string bytes;
    if (fs_.Exists(path)) {
      if (Status st = fs_.ReadAll(path, bytes); !st) {
        failedPath_ = path;
        return st;
      }
    }
    ledger::ForEachLine(bytes, [&](std::string_view line) {
      Record r;
      if (ledger::FromLine(line, r, false)) kept.push_back({std::move(r), true, {}});
    });
    pendingTorn_ = !bytes.empty() && bytes.back() != '\n';
  }

  // The chain goes on from the last whole record: of the newest month file,
  // or of an older one when the newest holds none. A pending file makes the
  // whole of the last two files count for the jobs already recorded.
  bool found = false;
  int read = 0;
  std::set<std::string> written;  // every job in the files read whole
  for (auto m = months.rbegin(); m != months.rend(); ++m) {
    const std::string path = JoinPath(dir, ledger::MonthFileName(*m));
    std::string bytes;
    std::uint64_t size = 0;
    const bool whole = !kept.empty() && read < 2;
    Status st = whole ? fs_.ReadAll(path, bytes) : fs_.ReadTail(path, kTailBytes, bytes, size);
    if (whole) size = bytes.size();
    if (st && !found && bytes.size() < size) {
      // No whole record in the end read (lines damaged by hand): all of it.
      bool any = false;
      Record r;
      ledger::ForEachLine(bytes, [&](std::string_view line) { any = any || ledger::FromLine(line, r); });
      if (!any) {
        st = fs_.ReadAll(path, bytes);
        size = bytes.size();
      }
    }
    if (!st) {
      failedPath_ = path;
      return st;
    }
    ++read;
    if (m == months.rbegin() && !bytes.empty() && bytes.back() != '\n') tornFile_ = path;
    std::string_view view(bytes);
    if (bytes.size() < size) {  // the first line is cut: skip it
      std::size_t nl = view.find('\n');
      view = nl == std::string_view::npos ? std::string_view() : view.substr(nl + 1);
    }
    std::vector<std::string> keys;
    std::string hash;
    std::uint64_t n = 0;
    ledger::ForEachLine(view, [&](std::string_view line) {
      Record r;
      if (!ledger::FromLine(line, r)) return;
      keys.push_back(r.Key());
      hash = ledger::LineHash(line);
      n = r.n;
    });
    // Older files first, so that the newest keys are remembered last.
    if (!kept.empty()) written.insert(keys.begin(), keys.end());
    std::vector<std::string> newer(recent_.begin(), recent_.end());
    recent_.clear();
    recentSet_.clear();
    for (const std::string& k : keys) Remember(k);
    for (const std::string& k : newer) Remember(k);
    if (!found && !hash.empty()) {
      found = true;
      lastHash_ = hash;
      lastN_ = n;
    }
    if (found && (kept.empty() || read >= 2)) break;
  }

  if (!pendingLoaded_) {
    // A failure told by an earlier run: this run tells it again while it
    // lasts, and when it is over.
    if (!kept.empty()) owesWritableAgain_ = true;
    // Kept records already in the ledger (the pending file outlived their
    // writing) are dropped, and the file with them.
    const auto before = kept.size();
    std::erase_if(kept, [&](const Entry& e) { return written.count(e.record.Key()) != 0; });
    if (kept.size() != before) pendingFileStale_ = true;
    queue_.insert(queue_.begin(), kept.begin(), kept.end());
    pendingLoaded_ = true;
  }
  stale_ = false;
  return Status::Ok();
}

Status ReceiptLedger::AppendOne(Record& r) {
  std::string month = r.settled.substr(0, 7);
  // The files follow one another: a record never goes back into an older
  // month's file (a clock put back, records kept since last month).
  if (!lastMonth_.empty() && month < lastMonth_) month = lastMonth_;
  const std::string path = JoinPath(dir_, ledger::MonthFileName(month));
  r.n = lastN_ + 1;
  r.previous = lastHash_;
  const std::string line = ledger::ToLine(r);
  // A line cut short (power cut) stays outside the chain, on its own line.
  const std::string bytes = (path == tornFile_ ? "\r\n" : "") + line + "\r\n";
  failedPath_ = path;
  Status st = fs_.Append(path, bytes);
  if (st) st = fs_.Flush(path);
  // The file's entry in the folder is made durable once per file and open:
  // the file may be new, or made by an append that failed.
  if (st && path != durableFile_) st = fs_.FlushFolder(dir_);
  if (!st) return st;
  durableFile_ = path;
  lastHash_ = Sha256Hex(line);
  lastN_ = r.n;
  lastMonth_ = month;
  tornFile_.clear();
  Remember(r.Key());
  if (keyed_ && !r.requestKey.empty()) keyed_(BaseName(path), line);
  return st;
}

Status ReceiptLedger::WriteCopies(Entry& e, const std::string& dir) {
  for (const Copy& c : e.copies) {
    const std::string path = JoinPath(dir, c.name);
    if (Status st = WriteDurably(fs_, path, c.bytes); !st) {
      failedPath_ = path;
      return st;
    }
  }
  if (!e.copies.empty() && notice_) notice_(LedgerNotice::kCopyKept, kLedgerCopyKept + JoinPath(dir, e.copies[0].name));
  e.copies.clear();
  return Status::Ok();
}

Status ReceiptLedger::Drain() {
  const std::string dir = folder_();
  if (dir != dir_) stale_ = true;
  if (stale_) {
    if (Status st = Open(dir); !st) {
      Report(st, failedPath_);
      return st;
    }
  }
  while (!queue_.empty()) {
    Entry& e = queue_.front();
    if (!recentSet_.count(e.record.Key())) {
      if (Status st = WriteCopies(e, dir_); !st) {
        Report(st, failedPath_);
        return st;
      }
      if (Status st = AppendOne(e.record); !st) {
        // What reached the file is not known: read its end again next time.
        stale_ = true;
        Report(st, failedPath_);
        return st;
      }
    }
    if (e.inPendingFile) pendingFileStale_ = true;
    queue_.pop_front();
  }
  if (pendingFileStale_) RemovePendingFile();
  if (!writable_ || owesWritableAgain_) {
    writable_ = true;
    owesWritableAgain_ = false;
    if (notice_) notice_(LedgerNotice::kWritableAgain, kLedgerWritableAgain + dir_);
  }
  return Status::Ok();
}

void ReceiptLedger::KeepPending() {
  const std::string dir = dir_.empty() ? folder_() : dir_;
  const std::string path = JoinPath(dir, ledger::kPendingFileName);
  for (Entry& e : queue_) {
    if (e.inPendingFile) continue;
    // A record is kept only with its copies: they must be there for it.
    if (!WriteCopies(e, dir)) return;
    Record r = e.record;
    r.n = 0;
    r.previous.clear();
    const std::string bytes = (pendingTorn_ ? "\r\n" : "") + ledger::ToLine(r) + "\r\n";
    Status st = fs_.Append(path, bytes);
    if (st) st = fs_.Flush(path);
    if (st) st = fs_.FlushFolder(dir);  // rare: no need to know whether the file is new
    if (!st) {
      pendingTorn_ = true;  // maybe half a line
      return;
    }
    pendingTorn_ = false;
    e.inPendingFile = true;
  }
}

void ReceiptLedger::RemovePendingFile() {
  const std::string path = JoinPath(dir_, ledger::kPendingFileName);
  Status st;
  if (fs_.Exists(path)) st = fs_.Remove(path);
  if (st) st = fs_.FlushFolder(dir_);
  pendingFileStale_ = !st;
  if (st) pendingTorn_ = false;
}

void ReceiptLedger::Report(const Status& st, const std::string& path) {
  if (!writable_) return;
  writable_ = false;
  if (notice_) notice_(LedgerNotice::kNotWritable, kLedgerNotWritable + path + " " + st.Message());
}

}  // namespace dorvane
