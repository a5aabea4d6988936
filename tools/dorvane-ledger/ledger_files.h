// dorvane-ledger's work on the ledger's files: they are streamed, never read
// whole, so a month file of several hundred MB costs time, not memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/reports.h"

namespace dorvane::ledgertool {

struct MonthFile {
  std::string month;  // "YYYY-MM"
  std::string name;
  std::string path;
};

// The month files in dir, oldest first. False (and why) when dir cannot be listed.
bool ListMonthFiles(const std::string& dir, std::vector<MonthFile>& files, std::string& error);

// Where the outputs go: results on out, notes (damaged lines, counts) on err.
struct Streams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Exit statuses: 0 done (find: something found; verify: whole), 1 nothing
// found or the chain not whole, 2 a file could not be read.
int Find(const std::string& dir, const ledger::Query& query, bool json, Streams s);
int Day(const std::string& dir, const std::string& day, Streams s);
enum class Format { kCsv, kJsonLines };
int Export(const std::string& dir, const std::string& from, const std::string& to, Format format, Streams s);
// head: the hash of a record the chain must hold, or empty.
int Verify(const std::string& dir, const std::string& head, Streams s);

}  // namespace dorvane::ledgertool
