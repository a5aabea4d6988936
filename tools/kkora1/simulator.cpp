#include "simulator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "fileio.h"

namespace dorvane::kkora1 {

namespace {

std::string LocalTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string Trim(std::string s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  std::size_t start = 0;
  while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start]))) ++start;
  return s.substr(start);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool Contains(const std::vector<int>& list, int n) {
  return std::find(list.begin(), list.end(), n) != list.end();
}

// Text padded so that the amount lines up at the right edge of a 40-column roll.
std::string JournalRow(const std::string& text, const std::optional<Cents>& amount) {
  if (!amount) return text + "\r\n";
  const std::string value = FormatCents(*amount);
  const std::size_t width = 40;
  std::string row = text;
  const std::size_t used = row.size() + value.size();
  row.append(used < width ? width - used : 1, ' ');
  return row + value + "\r\n";
}

const char* KindName(JobKind kind) {
  switch (kind) {
    case JobKind::Fiscal: return "FISCALE";
    case JobKind::NonFiscal: return "NON FISCALE";
    case JobKind::XonXoff: return "XON-XOFF";
    default: return "VUOTO";
  }
}

}  // namespace

Simulator::Simulator(Options options, std::string dataDir)
    : options_(std::move(options)), dataDir_(std::move(dataDir)) {
  journalPath_ = options_.journal.empty() ? JoinPath(dataDir_, kJournalFileName) : options_.journal;
  for (int number : options_.ports) {
    Port port;
    port.number = number;
    ports_.push_back(port);
  }
}

std::string Simulator::PortFile(const Port& port, const char* base) const {
  return JoinPath(dataDir_, ExchangeName(base, port.number));
}

bool Simulator::Start() {
  std::string error;
  if (!EnsureDirectory(dataDir_, &error)) {
    Log("cannot use data directory " + dataDir_ + ": " + error);
    return false;
  }
  // A marker left by an earlier run that crashed would tell DORVANE we are
  // ready before the dump is done.
  RemoveMatr();
  dumpPending_ = options_.dump;
  dumpDueAt_ = Clock::now() + std::chrono::milliseconds(options_.dumpMs);
  if (options_.dump)
    Log("dump started, SR_MATR in " + std::to_string(options_.dumpMs) + " ms");
  else
    Log("dump started; it will never end (--no-dump)");
  return true;
}

void Simulator::CreateMatr() {
  for (const Port& port : ports_) {
    const std::string content = "MATRICOLA=KK99000001\r\nPORTA=" + std::to_string(port.number) +
                                "\r\nDUMP=" + LocalTimestamp() + "\r\n";
    if (WriteExchange(port, "SR_MATR", content))
      Log("port " + std::to_string(port.number) + ": dump done, SR_MATR created");
  }
  ready_ = true;
  dumpPending_ = false;
}

void Simulator::RemoveMatr() {
  for (const Port& port : ports_) {
    const std::string path = PortFile(port, "SR_MATR");
    if (FileExists(path)) {
      RemoveFile(path);
      Log("port " + std::to_string(port.number) + ": SR_MATR removed");
    }
  }
  ready_ = false;
}

void Simulator::Poll() {
  ReadControlFile();
  if (quit_) return;
  if (!ready_ && dumpPending_ && Clock::now() >= dumpDueAt_) CreateMatr();
  for (Port& port : ports_) PollPort(port);
}

int Simulator::MillisToNextPoll() const {
  int ms = options_.pollMs;
  for (const Port& port : ports_)
    if (port.phase == Phase::Printing && options_.lineMs > 0) ms = std::min(ms, options_.lineMs);
  return std::max(ms, 1);
}

void Simulator::ReadControlFile() {
  const std::string path = JoinPath(dataDir_, kControlFileName);
  if (!FileExists(path)) return;
  const auto bytes = ReadFileBytes(path);
  RemoveFile(path);
  if (!bytes) {
    Log("control file could not be read");
    return;
  }
  Log("control file read");
  for (const std::string& raw : SplitLines(*bytes)) {
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
      Log("control: ignored line without '=': " + line);
      continue;
    }
    ApplyControl(Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
  }
}

void Simulator::ApplyControl(const std::string& key, const std::string& value) {
  const std::string v = Lower(value);
  const std::string what = "control: " + key + "=" + value;
  auto releaseHeld = [&](Fault fault) {
    bool any = false;
    for (Port& port : ports_)
      if (port.phase == Phase::Held && port.job && port.job->fault == fault) {
        Release(port);
        any = true;
      }
    return any;
  };
  if (key == "paper" && v == "out") {
    paperOutNext_ = true;
    Log(what + ": the next job runs out of paper");
  } else if (key == "paper" && v == "load") {
    Log(what + ": paper loaded");
    paperOutNext_ = false;
    receiptsOnRoll_ = 0;
    releaseHeld(Fault::PaperOut);
  } else if (key == "cover" && v == "open") {
    coverOpenNext_ = true;
    Log(what + ": the cover opens during the next job");
  } else if (key == "cover" && v == "close") {
    Log(what + ": cover closed");
    coverOpenNext_ = false;
    releaseHeld(Fault::CoverOpen);
  } else if (key == "fail" && v == "next") {
    failNext_ = true;
    Log(what + ": the next job will be refused");
  } else if (key == "crash" && v == "next") {
    crashNext_ = true;
    Log(what + ": crash during the next job");
  } else if (key == "dump" && v == "now") {
    Log(what);
    CreateMatr();
  } else if (key == "matr" && v == "remove") {
    Log(what + ": not ready until dump=now");
    RemoveMatr();
    dumpPending_ = false;
  } else if (key == "quit") {
    Log(what + ": exiting");
    quit_ = true;
  } else {
    const auto& table = OptionTable();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const OptionInfo& info) { return key == info.name; });
    if (it == table.end() || !it->atRunTime) {
      Log(what + ": ignored, unknown or not changeable at run time");
      return;
    }
    if (auto error = SetOption(options_, key, value))
      Log(what + ": ignored, " + *error);
    else
      Log(what + ": applied");
  }
}

bool Simulator::WriteExchange(const Port& port, const char* base, const std::string& content) {
  std::string error;
  if (WriteFileAtomic(PortFile(port, base), content, &error)) return true;
  Log("port " + std::to_string(port.number) + ": cannot write " + base + ": " + error);
  return false;
}

void Simulator::PollPort(Port& port) {
  const auto now = Clock::now();
  switch (port.phase) {
    case Phase::Idle:
      if (!ready_ || !FileExists(PortFile(port, "SR_START"))) return;
      if (options_.takeDelayMs > 0) {
        port.phase = Phase::Waiting;
        port.since = now;
        Log("port " + std::to_string(port.number) + ": SR_START seen, printer busy for " +
            std::to_string(options_.takeDelayMs) + " ms");
        return;
      }
      TakeJob(port);
      return;
    case Phase::Waiting:
      if (now - port.since < std::chrono::milliseconds(options_.takeDelayMs)) return;
      port.phase = Phase::Idle;
      if (!ready_ || !FileExists(PortFile(port, "SR_START"))) {
        Log("port " + std::to_string(port.number) + ": SR_START withdrawn before the job was taken");
        return;
      }
      TakeJob(port);
      return;
    case Phase::Printing:
      Print(port);
      return;
    case Phase::Held:
      if (options_.holdMs > 0 && now - port.since >= std::chrono::milliseconds(options_.holdMs)) {
        Log("port " + std::to_string(port.number) + ": hold time over");
        if (port.job->fault == Fault::PaperOut) receiptsOnRoll_ = 0;
        Release(port);
      }
      return;
  }
}

void Simulator::TakeJob(Port& port) {
  const std::string p = "port " + std::to_string(port.number) + ": ";
  Job job;
  job.ordinal = ++jobsTaken_;
  const std::string j = p + "job " + std::to_string(job.ordinal) + ": ";
  // A FINESCO still present would tell DORVANE this new job has already ended;
  // an SR_ERR still present would fail it at once.
  for (const char* stale : {"SR_OUT", "FINESCO", "SR_ERR"}) {
    const std::string path = PortFile(port, stale);
    if (FileExists(path)) {
      RemoveFile(path);
      Log(p + "previous " + stale + " removed");
    }
  }
  RemoveFile(PortFile(port, "SR_START"));
  Log(j + "SR_START consumed, job taken");

  const auto bytes = ReadFileBytes(PortFile(port, "SR_DATI"));
  if (!bytes) {
    Refuse(port, "E010: SR_DATI MANCANTE O ILLEGGIBILE\r\n");
    return;
  }
  job.check = CheckJob(*bytes, options_.xonxoff);
  if (!job.check.valid) {
    Refuse(port, RefusalReport(job.check));
    return;
  }
  if (failNext_ || Contains(options_.failJobs, job.ordinal)) {
    failNext_ = false;
    Refuse(port, "E050: ERRORE DI STAMPA SIMULATO SUL LAVORO " + std::to_string(job.ordinal) + "\r\n");
    return;
  }
  Log(j + std::to_string(job.check.printLines.size()) + " lines, " + KindName(job.check.kind) +
      (job.check.kind == JobKind::XonXoff ? ", passed through unchecked" : ", valid"));

  if (crashNext_ || (options_.crashAfter >= 0 && job.ordinal == options_.crashAfter + 1)) {
    crashNext_ = false;
    job.fault = Fault::Crash;
  } else if (job.check.kind != JobKind::Empty) {
    if (paperOutNext_ || (options_.paperOutAfter > 0 && receiptsOnRoll_ >= options_.paperOutAfter)) {
      paperOutNext_ = false;
      job.fault = Fault::PaperOut;
    } else if (coverOpenNext_ || Contains(options_.coverOpenOn, job.ordinal)) {
      coverOpenNext_ = false;
      job.fault = Fault::CoverOpen;
    }
  }
  job.faultLine = job.check.printLines.size() / 2;
  job.nextLineAt = Clock::now() + std::chrono::milliseconds(options_.lineMs);
  port.job = std::move(job);
  port.phase = Phase::Printing;
  Print(port);
}

void Simulator::Refuse(Port& port, const std::string& report) {
  const int ordinal = jobsTaken_;
  if (WriteExchange(port, "SR_ERR", report))
    Log("port " + std::to_string(port.number) + ": job " + std::to_string(ordinal) +
        ": refused, SR_ERR: " + SplitLines(report).front());
  port.job.reset();
  port.phase = Phase::Idle;
}

void Simulator::Print(Port& port) {
  Job& job = *port.job;
  const auto& lines = job.check.printLines;
  const std::string j = "port " + std::to_string(port.number) + ": job " + std::to_string(job.ordinal) + ": ";
  while (true) {
    if (job.fault != Fault::None && job.nextLine == job.faultLine) {
      if (job.fault == Fault::Crash) {
        Log(j + "simulated crash after " + std::to_string(job.nextLine) + " lines");
        std::fflush(stdout);
        std::_Exit(3);
      }
      Hold(port);
      return;
    }
    if (job.nextLine >= lines.size()) {
      Finish(port);
      return;
    }
    if (options_.lineMs > 0) {
      const auto now = Clock::now();
      if (now < job.nextLineAt) return;
      job.nextLineAt = now + std::chrono::milliseconds(options_.lineMs);
      Log(j + "printed line " + std::to_string(job.nextLine + 1) + "/" + std::to_string(lines.size()));
    }
    ++job.nextLine;
  }
}

void Simulator::Hold(Port& port) {
  Job& job = *port.job;
  const bool paper = job.fault == Fault::PaperOut;
  const std::string report =
      std::string(paper ? "E096: FINE CARTA - CARICARE LA CARTA" : "E097: COVER APERTO - CHIUDERE IL COPERCHIO") +
      "\r\nLAVORO " + std::to_string(job.ordinal) + " FERMO ALLA RIGA " + std::to_string(job.nextLine + 1) +
      " DI " + std::to_string(job.check.printLines.size()) + "\r\n";
  WriteExchange(port, "SR_ERR", report);
  port.phase = Phase::Held;
  port.since = Clock::now();
  Log("port " + std::to_string(port.number) + ": job " + std::to_string(job.ordinal) + ": " +
      (paper ? "paper out" : "cover open") + ", SR_ERR written, job held");
}

void Simulator::Release(Port& port) {
  Job& job = *port.job;
  const std::string p = "port " + std::to_string(port.number) + ": job " + std::to_string(job.ordinal) + ": ";
  if (options_.paperClear == PaperClear::Empty) {
    WriteExchange(port, "SR_ERR", "\r\n");
    Log(p + "resumed, SR_ERR emptied");
  } else {
    RemoveFile(PortFile(port, "SR_ERR"));
    Log(p + "resumed, SR_ERR removed");
  }
  job.fault = Fault::None;
  job.nextLineAt = Clock::now() + std::chrono::milliseconds(options_.lineMs);
  port.phase = Phase::Printing;
  Print(port);
}

std::string Simulator::JournalEntry(const Port& port, int number, const std::string& when) const {
  const Job& job = *port.job;
  const std::string rule(40, '=');
  std::string title = job.check.kind == JobKind::Fiscal      ? "SCONTRINO N. "
                      : job.check.kind == JobKind::NonFiscal ? "DOCUMENTO NON FISCALE N. "
                                                             : "DOCUMENTO XON-XOFF N. ";
  std::string entry = rule + "\r\n" + title + std::to_string(number) + "\r\n" + when + "  PORTA " +
                      std::to_string(port.number) + "  LAVORO " + std::to_string(job.ordinal) + "\r\n" +
                      std::string(40, '-') + "\r\n";
  if (job.check.kind == JobKind::XonXoff) {
    for (const std::string& line : job.check.printLines) entry += line + "\r\n";
    entry += "(XON-XOFF, NON VERIFICATO)\r\n";
  } else {
    for (const JournalLine& line : job.check.receipt.Lines()) entry += JournalRow(line.text, line.amount);
  }
  entry += "FINE " + title + std::to_string(number) + "\r\n" + rule + "\r\n";
  return entry;
}

void Simulator::Finish(Port& port) {
  Job& job = *port.job;
  const std::string p = "port " + std::to_string(port.number) + ": job " + std::to_string(job.ordinal) + ": ";
  const std::string when = LocalTimestamp();
  std::string out = "ESITO=OK\r\nTIPO=" + std::string(KindName(job.check.kind)) + "\r\n";
  if (job.check.kind == JobKind::Empty) {
    Log(p + "nothing to print");
  } else {
    const std::string counterPath = JoinPath(dataDir_, kCounterFileName);
    const int number = std::atoi(Trim(ReadFileBytes(counterPath).value_or("0")).c_str()) + 1;
    std::string error;
    if (!AppendFile(journalPath_, JournalEntry(port, number, when), &error)) {
      Log(p + "journal: " + error);
      Refuse(port, "E060: GIORNALE ELETTRONICO NON SCRIVIBILE\r\n");
      return;
    }
    WriteFileAtomic(counterPath, std::to_string(number) + "\r\n");
    ++receiptsOnRoll_;
    out += "SCONTRINO=" + std::to_string(number) + "\r\n";
    if (job.check.kind == JobKind::Fiscal) {
      out += "TOTALE=" + FormatCents(job.check.receipt.Total()) + "\r\n";
      out += "PAGATO=" + FormatCents(job.check.receipt.Paid()) + "\r\n";
      out += "RESTO=" + FormatCents(job.check.receipt.Change()) + "\r\n";
    } else {
      out += "TOTALE=N/D\r\n";
    }
    Log(p + "journaled as number " + std::to_string(number) +
        (job.check.kind == JobKind::Fiscal ? ", total " + FormatCents(job.check.receipt.Total()) : ""));
  }
  out += "DATA=" + when + "\r\nPORTA=" + std::to_string(port.number) + "\r\nLAVORO=" +
         std::to_string(job.ordinal) + "\r\n";
  // SR_OUT must be complete before FINESCO tells DORVANE to copy it.
  if (WriteExchange(port, "SR_OUT", out) && WriteExchange(port, "FINESCO", "FINESCO\r\n"))
    Log(p + "SR_OUT and FINESCO written");
  port.job.reset();
  port.phase = Phase::Idle;
}

void Simulator::Stop() {
  for (Port& port : ports_)
    if (port.job)
      Log("port " + std::to_string(port.number) + ": job " + std::to_string(port.job->ordinal) +
          " abandoned at close, no result");
  RemoveMatr();
}

}  // namespace dorvane::kkora1
