#include "driverlink/job_journal.h"

#include <cstdlib>
#include <vector>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
// The field a line holds, or "" when it holds another one.
std::string Field(const std::string& line, const std::string& name) {
  return StartsWith(line, name + "=") ? line.substr(name.size() + 1) : std::string();
}
}  // namespace

std::uint32_t JobChecksum(const std::string& bytes) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
  return h;
}

void JobJournal::Open(const std::string& dir) {
  if (IsOpen()) return;
  path_ = JoinPath(dir, kFileName);
  std::vector<std::string> lines;
  if (!ReadLines(fs_, path_, lines)) return;
  dorvane::Job job;
  for (const std::string& line : lines) {
    if (std::string v = Field(line, "FASE"); !v.empty()) job.started = v == "2";
    if (std::string v = Field(line, "INPUT"); !v.empty()) job.input = v;
    if (std::string v = Field(line, "CHIAVE"); !v.empty()) job.key = v;
    if (std::string v = Field(line, "PORTA"); !v.empty()) job.port = v;
    if (std::string v = Field(line, "DIMENSIONE"); !v.empty()) job.dataSize = std::strtoull(v.c_str(), nullptr, 10);
    if (std::string v = Field(line, "CHECKSUM"); !v.empty()) job.dataChecksum = static_cast<std::uint32_t>(std::strtoul(v.c_str(), nullptr, 10));
    if (std::string v = Field(line, "ORA"); !v.empty()) job.time = v;
    if (std::string v = Field(line, "ID"); !v.empty()) job.id = v;
    if (std::string v = Field(line, "RICHIESTA"); !v.empty()) job.requestKey = v;
    if (std::string v = Field(line, "DIMENSIONE_INPUT"); !v.empty()) job.inputSize = std::strtoull(v.c_str(), nullptr, 10);
    // A layout this program does not know is read as Sarema Language.
    if (std::string v = Field(line, "FORMATO"); v == "1" || v == "2") job.layout = static_cast<InputLayout>(v[0] - '0');
    std::string printed = Field(line, "STAMPATO");
    const std::size_t bar = printed.rfind('|');
    if (bar == std::string::npos) continue;
    // An entry whose input is gone is forgotten; the file follows at the next tick.
    if (fs_.Exists(printed.substr(0, bar))) {
      printed_.insert(printed);
    } else {
      forgotten_ = true;
    }
  }
  if (!job.input.empty()) job_ = job;
}

Status JobJournal::Save() {
  // A cleared record need not reach the disk: one that comes back after a
  // power cut finds its input filed, and the next job's record replaces it.
  if (!job_ && printed_.empty()) {
    Status st = fs_.Exists(path_) ? fs_.Remove(path_) : Status::Ok();
    if (st) forgotten_ = false;
    return st;
  }
  std::string text;
  if (job_) {
    text += std::string("FASE=") + (job_->started ? "2" : "1") + "\r\n";
    text += "INPUT=" + job_->input + "\r\n";
    text += "CHIAVE=" + job_->key + "\r\n";
    text += "PORTA=" + job_->port + "\r\n";
    text += "DIMENSIONE=" + std::to_string(job_->dataSize) + "\r\n";
    text += "CHECKSUM=" + std::to_string(job_->dataChecksum) + "\r\n";
    text += "ORA=" + job_->time + "\r\n";
    text += "ID=" + job_->id + "\r\n";
    text += "DIMENSIONE_INPUT=" + std::to_string(job_->inputSize) + "\r\n";
    text += "FORMATO=" + std::to_string(static_cast<int>(job_->layout)) + "\r\n";
    if (!job_->requestKey.empty()) text += "RICHIESTA=" + job_->requestKey + "\r\n";
  }
  for (const std::string& p : printed_) text += "STAMPATO=" + p + "\r\n";
  Status st = WriteDurably(fs_, path_, text);
  if (st) forgotten_ = false;
  return st;
}

Status JobJournal::Record(const dorvane::Job& job) {
  job_ = job;
  Status st = Save();
  if (!st) job_.reset();
  return st;
}

Status JobJournal::MarkStarted() {
  if (!job_) return Status::Ok();
  job_->started = true;
  // One line appended and flushed: the last FASE line counts, and a line
  // lost half-written leaves the record as it was, which is safe.
  Status st = fs_.Append(path_, "FASE=2\r\n");
  return st ? fs_.Flush(path_) : st;
}

Status JobJournal::Settle(bool printedInputStillThere) {
  if (!job_) return Status::Ok();
  if (printedInputStillThere) printed_.insert(job_->input + "|" + job_->key);
  job_.reset();
  DropGone();
  return Save();
}

void JobJournal::DropGone() {
  for (auto it = printed_.begin(); it != printed_.end();) {
    const bool gone = !fs_.Exists(it->substr(0, it->rfind('|')));
    forgotten_ = forgotten_ || gone;
    it = gone ? printed_.erase(it) : std::next(it);
  }
}

void JobJournal::ForgetGone() {
  if (!IsOpen() || job_) return;
  DropGone();
  if (forgotten_) Save();
}

}  // namespace dorvane
