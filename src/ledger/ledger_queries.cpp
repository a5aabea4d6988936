#include "ledger/ledger_queries.h"

#include <algorithm>
#include <vector>

#include "ledger/line_filter.h"
#include "ledger/reports.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::ledger {

namespace {
std::vector<std::string> MonthFiles(FileSystem& fs, const std::string& dir) {
  std::vector<std::string> names, months;
  fs.ListFiles(dir, names);
  for (const std::string& name : names)
    if (!MonthOfFileName(name).empty()) months.push_back(name);
  std::sort(months.begin(), months.end());
  return months;
}

// A pending record's line with the mark its readers know.
std::string Waiting(std::string_view line) { return "{\"in_attesa\":true," + std::string(line.substr(1)); }
}  // namespace

std::string DayJson(FileSystem& fs, const std::string& dir, const std::string& day) {
  DaySummary summary(day);
  std::vector<std::string> lines;
  ReadDay(fs, dir, summary, &lines);
  std::string out = "{\"day\":";
  AppendJsonString(out, day);
  out += ",\"summary\":";
  AppendJsonString(out, summary.Text(Cp1252ToUtf8(dir)));
  out += ",\"records\":[";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Record r;
    out += (i ? "," : "") + (FromLine(lines[i], r) ? lines[i] : Waiting(lines[i]));
  }
  return out + "]}";
}

void RangeLines(FileSystem& fs, const std::string& dir, const std::string& from, const std::string& to,
                const std::function<bool(std::string_view line)>& line) {
  Query q;
  q.from = from;
  q.to = to;
  const LineFilter filter(q);
  // A month's file may hold the first records of the next month (kept while
  // the ledger could not write): the month after `to` is read too.
  const std::string fromMonth = from.substr(0, 7), toMonth = to.substr(0, 7);
  bool go = true, past = false;
  for (const std::string& name : MonthFiles(fs, dir)) {
    const std::string month = MonthOfFileName(name);
    if (!go || past || (!fromMonth.empty() && month < fromMonth)) continue;
    past = !toMonth.empty() && month > toMonth;
    std::string bytes;
    if (!fs.ReadAll(JoinPath(dir, name), bytes)) continue;
    ForEachLine(bytes, [&](std::string_view l) {
      Record r;
      if (go && filter.MayMatch(l) && FromLine(l, r) && q.Matches(r)) go = line(WithoutLineEnd(l));
    });
  }
  std::string pending;
  if (go && fs.ReadAll(JoinPath(dir, kPendingFileName), pending))
    ForEachLine(pending, [&](std::string_view l) {
      Record r;
      if (go && FromLine(l, r, false) && q.Matches(r)) go = line(Waiting(WithoutLineEnd(l)));
    });
}

std::string VerifyJson(FileSystem& fs, const std::string& dir, const std::string& head) {
  ChainVerifier chain;
  chain.ExpectRecord(head);
  for (const std::string& name : MonthFiles(fs, dir)) {
    std::string bytes;
    if (!fs.ReadAll(JoinPath(dir, name), bytes)) continue;
    std::uint64_t n = 0;
    bool go = true;
    ForEachLine(bytes, [&](std::string_view l) { go = go && chain.Line(name, ++n, l); });
    if (!go) break;
  }
  std::string out = std::string("{\"whole\":") + (chain.Whole() ? "true" : "false") +
                    ",\"records\":" + std::to_string(chain.Records()) + ",\"report\":";
  AppendJsonString(out, chain.Report());
  return out + "}";
}

}  // namespace dorvane::ledger
