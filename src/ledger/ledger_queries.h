// The receipt ledger asked for by the HTTP door (through the program that
// holds both): a day, a span of time, the chain. Answers are JSON, as the
// door sends them; each reads the files afresh, on the caller's thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/filesystem.h"

namespace dorvane::ledger {

// {"day": ..., "summary": the day's summary text, "records": [...]}; the
// records kept pending carry "in_attesa": true.
std::string DayJson(FileSystem& fs, const std::string& dir, const std::string& day);
// Each record settled from `from` to `to` ("YYYY-MM-DD HH:MM:SS", empty: no
// bound), as its line, oldest month first, then those kept pending; until
// line returns false.
void RangeLines(FileSystem& fs, const std::string& dir, const std::string& from, const std::string& to,
                const std::function<bool(std::string_view line)>& line);
// {"whole": bool, "records": n, "report": the check's report}.
std::string VerifyJson(FileSystem& fs, const std::string& dir, const std::string& head = "");

}  // namespace dorvane::ledger
