#include "driverlink/filing.h"

#include <algorithm>
#include <cstdlib>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
// Each part is a line "NAME=length" and then exactly that many bytes and a
// line end, so any bytes survive.
void Put(std::string& text, const char* name, const std::string& bytes) {
  text += std::string(name) + "=" + std::to_string(bytes.size()) + "\r\n" + bytes + "\r\n";
}

bool Take(const std::string& text, std::size_t& at, std::string& name, std::string& bytes) {
  const std::size_t eq = text.find('=', at), eol = text.find("\r\n", at);
  if (eq == std::string::npos || eol == std::string::npos || eq > eol) return false;
  name = text.substr(at, eq - at);
  const std::size_t length = std::strtoull(text.c_str() + eq + 1, nullptr, 10);
  const std::size_t start = eol + 2;
  if (start + length + 2 > text.size()) return false;
  bytes = text.substr(start, length);
  at = start + length + 2;
  return true;
}
}  // namespace

void PendingFiling::Open(const std::string& dir) {
  if (!path_.empty()) return;
  path_ = JoinPath(dir, kFileName);
  std::string text;
  if (!fs_.ReadAll(path_, text)) return;
  // Each filing begins with its INPUT; a file of one filing, as earlier
  // runs wrote it, reads the same way.
  std::string name, bytes;
  for (std::size_t at = 0; at < text.size() && Take(text, at, name, bytes);) {
    if (name == "INPUT") {
      filings_.emplace_back().job.input = bytes;
      filings_.back().job.outcome = Outcome::kRefused;
    }
    if (filings_.empty()) continue;
    Filing& f = filings_.back();
    if (name == "CHIAVE") f.job.key = bytes;
    if (name == "RICHIESTA") f.job.requestKey = bytes;
    // Only whether it printed is kept: a failed filing files the same way
    // whatever the failure was.
    if (name == "STAMPATO") f.job.outcome = bytes == "1" ? Outcome::kPrinted : Outcome::kRefused;
    if (name == "ARCHIVIATO") f.placed = bytes == "1";
    if (name == "LASCIATO") f.released = bytes == "1";
    if (name == "RISULTATO") f.answer = bytes;
    if (name == "LAVORO") f.data = bytes;
    if (name == "ERRORE") f.errorText = bytes;
    if (name == "NOME") f.job.filedAs.push_back(bytes);
  }
  // A file cut short names no input: there is nothing it could file.
  std::erase_if(filings_, [](const Filing& f) { return f.job.input.empty(); });
}

const Filing* PendingFiling::Find(const Filing& filing) const {
  for (const Filing& f : filings_)
    if (f.SameJob(filing)) return &f;
  return nullptr;
}

bool PendingFiling::Waits(const std::string& input, const std::string& key) const {
  return std::any_of(filings_.begin(), filings_.end(),
                     [&](const Filing& f) { return f.job.input == input && f.job.key == key; });
}

bool PendingFiling::Released() const {
  return std::any_of(filings_.begin(), filings_.end(), [](const Filing& f) { return f.released; });
}

bool PendingFiling::Holds() const {
  return std::any_of(filings_.begin(), filings_.end(), [](const Filing& f) { return f.Holds(); });
}

bool PendingFiling::Keep(const Filing& filing) {
  auto it = std::find_if(filings_.begin(), filings_.end(), [&](const Filing& f) { return f.SameJob(filing); });
  if (it == filings_.end()) {
    filings_.push_back(filing);
  } else {
    *it = filing;
  }
  return Save();
}

void PendingFiling::ReleaseAll() {
  for (Filing& f : filings_) f.released = true;
  Save();
}

bool PendingFiling::Save() {
  if (path_.empty()) return false;
  std::string text;
  for (const Filing& filing : filings_) {
    Put(text, "INPUT", filing.job.input);
    Put(text, "CHIAVE", filing.job.key);
    if (!filing.job.requestKey.empty()) Put(text, "RICHIESTA", filing.job.requestKey);
    Put(text, "STAMPATO", filing.Printed() ? "1" : "0");
    Put(text, "ARCHIVIATO", filing.placed ? "1" : "0");
    if (filing.released) Put(text, "LASCIATO", "1");
    Put(text, "RISULTATO", filing.answer);
    if (filing.data) Put(text, "LAVORO", *filing.data);
    if (filing.errorText) Put(text, "ERRORE", *filing.errorText);
    for (const std::string& name : filing.job.filedAs) Put(text, "NOME", name);
  }
  return WriteDurably(fs_, path_, text).ok();
}

void PendingFiling::Done(const Filing& filing) {
  std::erase_if(filings_, [&](const Filing& f) { return f.SameJob(filing); });
  if (!filings_.empty()) {
    Save();
    return;
  }
  // Gone for good before anything else is filed: a record that came back
  // after a power cut would file its old result over a newer one.
  if (!path_.empty() && fs_.Exists(path_) && fs_.Remove(path_)) fs_.FlushFolder(DirName(path_));
}

}  // namespace dorvane
