#include "driverlink/filing.h"

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
  Filing f;
  f.job.outcome = Outcome::kRefused;
  std::string name, bytes;
  for (std::size_t at = 0; at < text.size() && Take(text, at, name, bytes);) {
    if (name == "INPUT") f.job.input = bytes;
    if (name == "CHIAVE") f.job.key = bytes;
    // Only whether it printed is kept: a failed filing files the same way
    // whatever the failure was.
    if (name == "STAMPATO") f.job.outcome = bytes == "1" ? Outcome::kPrinted : Outcome::kRefused;
    if (name == "ARCHIVIATO") f.placed = bytes == "1";
    if (name == "RISULTATO") f.answer = bytes;
    if (name == "LAVORO") f.data = bytes;
    if (name == "ERRORE") f.errorText = bytes;
    if (name == "NOME") f.job.filedAs.push_back(bytes);
  }
  // A file cut short names no input: there is nothing it could file.
  if (!f.job.input.empty()) filing_ = f;
}

bool PendingFiling::Keep(const Filing& filing) {
  filing_ = filing;
  if (path_.empty()) return false;
  std::string text;
  Put(text, "INPUT", filing.job.input);
  Put(text, "CHIAVE", filing.job.key);
  Put(text, "STAMPATO", filing.Printed() ? "1" : "0");
  Put(text, "ARCHIVIATO", filing.placed ? "1" : "0");
  Put(text, "RISULTATO", filing.answer);
  if (filing.data) Put(text, "LAVORO", *filing.data);
  if (filing.errorText) Put(text, "ERRORE", *filing.errorText);
  for (const std::string& name : filing.job.filedAs) Put(text, "NOME", name);
  return WriteDurably(fs_, path_, text).ok();
}

void PendingFiling::Done() {
  filing_.reset();
  // Gone for good before anything else is filed: a record that came back
  // after a power cut would file its old result over a newer one.
  if (!path_.empty() && fs_.Exists(path_) && fs_.Remove(path_)) fs_.FlushFolder(DirName(path_));
}

}  // namespace dorvane
