#include "ledger_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "ledger/line_filter.h"
#include "text/paths.h"

namespace dorvane::ledgertool {

namespace {

using ledger::Record;

// The field that marks an exported line DORVANE has not written yet.
constexpr const char* kWaitingField = "in_attesa";

constexpr std::size_t kChunk = 1 << 20;

// Calls f(number, line) for each line of the file (LF split, the line end
// left out), until f returns false. False (and why) when it cannot be read.
template <class F>
bool StreamLines(const std::string& path, F f, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<char> buffer(kChunk);
  std::string carry;
  std::uint64_t number = 0;
  bool go = true;
  std::size_t n;
  while (go && (n = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    std::string_view chunk(buffer.data(), n);
    std::size_t start = 0;
    while (go) {
      const std::size_t nl = chunk.find('\n', start);
      if (nl == std::string_view::npos) {
        carry.append(chunk.substr(start));
        break;
      }
      if (carry.empty()) {
        go = f(++number, chunk.substr(start, nl - start));
      } else {
        carry.append(chunk.substr(start, nl - start));
        go = f(++number, std::string_view(carry));
        carry.clear();
      }
      start = nl + 1;
    }
  }
  if (std::ferror(file.get())) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  if (go && !carry.empty()) f(++number, std::string_view(carry));
  return true;
}

bool Blank(std::string_view line) { return ledger::WithoutLineEnd(line).find_first_not_of(" \t") == std::string_view::npos; }

void Damaged(Streams s, const std::string& name, std::uint64_t number) {
  std::fprintf(s.err, "dorvane-ledger: %s riga %llu: non è un record intero, saltata\n", name.c_str(),
               static_cast<unsigned long long>(number));
}

// The files that can hold records settled between two months: those
// months, and the next file, where records kept by DORVANE while the ledger
// could not be written may have gone.
std::vector<MonthFile> FilesFor(const std::vector<MonthFile>& all, const std::string& fromMonth,
                                const std::string& toMonth) {
  std::vector<MonthFile> out;
  bool next = false;
  for (const MonthFile& f : all) {
    if (!fromMonth.empty() && f.month < fromMonth) continue;
    if (!toMonth.empty() && f.month > toMonth) {
      if (next) break;
      next = true;
    }
    out.push_back(f);
  }
  return out;
}

// Reads the records of the chosen files that may match, then the records
// DORVANE keeps waiting; each(record, raw line, waiting). 2 on a read error.
template <class Each>
int Scan(const std::string& dir, const std::vector<MonthFile>& files, const ledger::Query& q, bool waitingToo,
         Streams s, Each each) {
  std::string error;
  const ledger::LineFilter filter(q);
  for (const MonthFile& f : files) {
    const bool ok = StreamLines(
        f.path,
        [&](std::uint64_t number, std::string_view line) {
          line = ledger::WithoutLineEnd(line);
          if (Blank(line)) return true;
          // A line cut short never ends with "}": it is parsed, and named.
          if (!line.empty() && line.back() == '}' && !filter.MayMatch(line)) return true;
          Record r;
          if (!ledger::FromLine(line, r)) {
            Damaged(s, f.name, number);
          } else if (q.Matches(r)) {
            each(r, line, false);
          }
          return true;
        },
        error);
    if (!ok) {
      std::fprintf(s.err, "dorvane-ledger: %s\n", error.c_str());
      return 2;
    }
  }
  const std::string pending = JoinPath(dir, ledger::kPendingFileName);
  std::error_code ec;
  if (waitingToo && std::filesystem::exists(pending, ec)) {
    StreamLines(
        pending,
        [&](std::uint64_t, std::string_view line) {
          Record r;
          if (ledger::FromLine(line, r, false) && q.Matches(r)) each(r, ledger::WithoutLineEnd(line), true);
          return true;
        },
        error);
  }
  return 0;
}

std::string Month(const std::string& stamp) { return stamp.size() >= 7 ? stamp.substr(0, 7) : std::string(); }

}  // namespace

bool ListMonthFiles(const std::string& dir, std::vector<MonthFile>& files, std::string& error) {
  files.clear();
  std::error_code ec;
  std::filesystem::directory_iterator it(std::filesystem::path(dir), ec);
  if (ec) {
    error = dir + ": " + ec.message();
    return false;
  }
  for (const auto& entry : it) {
    const std::string name = entry.path().filename().string();
    std::string month = ledger::MonthOfFileName(name);
    if (!month.empty() && entry.is_regular_file(ec)) files.push_back({month, name, JoinPath(dir, name)});
  }
  std::sort(files.begin(), files.end(), [](const MonthFile& a, const MonthFile& b) { return a.month < b.month; });
  return true;
}

// The month files of dir, or the reason there are none on standard error.
bool ListOrTell(const std::string& dir, std::vector<MonthFile>& all, Streams s) {
  std::string error;
  if (ListMonthFiles(dir, all, error)) return true;
  std::fprintf(s.err, "dorvane-ledger: %s\n", error.c_str());
  return false;
}

int Find(const std::string& dir, const ledger::Query& query, bool json, Streams s) {
  std::vector<MonthFile> all;
  if (!ListOrTell(dir, all, s)) return 2;
  std::uint64_t found = 0;
  const int status = Scan(dir, FilesFor(all, Month(query.from), Month(query.to)), query, true, s,
                          [&](const Record& r, std::string_view line, bool waiting) {
    ++found;
    if (json) {
      std::fwrite(line.data(), 1, line.size(), s.out);
      std::fputc('\n', s.out);
      return;
    }
    std::string text = (waiting ? std::string("in attesa") : "n. " + std::to_string(r.n)) + "  " + r.settled + "  " +
                       r.outcome + "  " + r.input;
    if (!r.receipt.empty()) text += "  scontrino " + r.receipt;
    if (!r.total.empty()) text += "  totale " + r.total;
    if (!r.reason.empty()) text += "  motivo: " + r.reason.substr(0, r.reason.find_first_of("\r\n"));
    for (const std::string& f : r.filedAs) text += "  -> " + f;
    if (!r.copies.empty()) text += "  copia: " + JoinPath(dir, r.copies[0]);
    std::fprintf(s.out, "%s\n", text.c_str());
  });
  if (status != 0) return status;
  std::fprintf(s.err, "Record trovati: %llu\n", static_cast<unsigned long long>(found));
  return found ? 0 : 1;
}

int Day(const std::string& dir, const std::string& day, Streams s) {
  std::vector<MonthFile> all;
  if (!ListOrTell(dir, all, s)) return 2;
  ledger::Query q;
  q.from = day + " 00:00:00";
  q.to = day + " 23:59:59";
  ledger::DaySummary summary(day);
  const int status = Scan(dir, FilesFor(all, Month(day), Month(day)), q, true, s,
                          [&](const Record& r, std::string_view line, bool waiting) { summary.Add(r, waiting, line); });
  if (status != 0) return status;
  const std::string text = summary.Text(dir);
  std::fwrite(text.data(), 1, text.size(), s.out);
  return 0;
}

int Export(const std::string& dir, const std::string& from, const std::string& to, Format format, Streams s) {
  std::vector<MonthFile> all;
  if (!ListOrTell(dir, all, s)) return 2;
  ledger::Query q;
  q.from = from;
  q.to = to;
  if (format == Format::kCsv) {
    std::fwrite(ledger::kUtf8Bom.data(), 1, ledger::kUtf8Bom.size(), s.out);
    const std::string header = ledger::CsvHeader();
    std::fwrite(header.data(), 1, header.size(), s.out);
  }
  // The records DORVANE has not written yet are exported too, marked, so
  // that the export's total is the day's.
  std::uint64_t count = 0, waitingCount = 0;
  const int status = Scan(dir, FilesFor(all, Month(from), Month(to)), q, true, s,
                          [&](const Record& r, std::string_view line, bool waiting) {
    ++count;
    if (waiting) ++waitingCount;
    if (format == Format::kCsv) {
      const std::string row = ledger::CsvRow(r, waiting);
      std::fwrite(row.data(), 1, row.size(), s.out);
      return;
    }
    if (waiting && line.size() > 2) {
      std::fprintf(s.out, "{\"%s\":true,", kWaitingField);
      line.remove_prefix(1);
    }
    std::fwrite(line.data(), 1, line.size(), s.out);
    std::fputs("\r\n", s.out);
  });
  if (status != 0) return status;
  std::fprintf(s.err, "Record esportati: %llu", static_cast<unsigned long long>(count));
  if (waitingCount)
    std::fprintf(s.err, " (%llu %s di scrittura)", static_cast<unsigned long long>(waitingCount), ledger::kWaitingMark);
  std::fputc('\n', s.err);
  return 0;
}

int Verify(const std::string& dir, const std::string& head, Streams s) {
  std::vector<MonthFile> all;
  if (!ListOrTell(dir, all, s)) return 2;
  std::string error;
  ledger::ChainVerifier chain;
  chain.ExpectRecord(head);
  for (const MonthFile& f : all) {
    bool go = true;
    if (!StreamLines(
            f.path,
            [&](std::uint64_t number, std::string_view line) { return go = chain.Line(f.name, number, line); },
            error)) {
      std::fprintf(s.err, "dorvane-ledger: %s\n", error.c_str());
      return 2;
    }
    if (!go) break;
  }
  const std::string report = chain.Report();
  std::fwrite(report.data(), 1, report.size(), s.out);
  return chain.Whole() ? 0 : 1;
}

}  // namespace dorvane::ledgertool
