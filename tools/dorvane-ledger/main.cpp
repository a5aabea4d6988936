// dorvane-ledger: reads DORVANE's receipt ledger (the DORVREG-YYYY-MM.jsonl
// files): finds records, sums up a day, exports CSV or JSON Lines, checks
// the chain. It never writes into the ledger's folder.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "ledger/record.h"
#include "ledger_files.h"
#include "platform/system_clock.h"
#include "text/paths.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/win32/win32_systeminfo.h"
using NativeSystemInfo = dorvane::Win32SystemInfo;
#else
#include <sys/stat.h>

#include "platform/posix/posix_systeminfo.h"
using NativeSystemInfo = dorvane::PosixSystemInfo;
#endif

namespace {

using namespace dorvane;

constexpr const char* kUsage =
    "usage: dorvane-ledger find [--name NAME] [--from WHEN] [--to WHEN] [--outcome OUTCOME]\n"
    "                           [--text TEXT] [--json] [--dir DIR]\n"
    "       dorvane-ledger day [DATE] [--dir DIR]\n"
    "       dorvane-ledger export [--from WHEN] [--to WHEN] [--format csv|jsonl] [--out FILE] [--dir DIR]\n"
    "       dorvane-ledger verify [--head HASH] [--dir DIR]\n"
    "       dorvane-ledger --help | --version\n";

constexpr const char* kHelp =
    "Reads the receipt ledger DORVANE keeps: one record for every job it settled\n"
    "(printed, refused by KORA1, unknown outcome, input not handed over), one\n"
    "line of JSON each, in one file a month (DORVREG-YYYY-MM.jsonl), each record\n"
    "chained to the one before by SHA-256. The ledger is only read, never changed.\n"
    "\n"
    "  find     the records that meet every condition given, one a line (with\n"
    "           --json, the records' own lines):\n"
    "      --name NAME       the input's file name, any letter case, * and ? allowed;\n"
    "                        also finds UTF-8 names older versions recorded as\n"
    "                        Windows-1252\n"
    "      --from, --to WHEN settled at or after / at or before WHEN\n"
    "      --outcome WORD    printed, refused, unknown or failed (or the Italian\n"
    "                        stampato, rifiutato, sconosciuto, fallito)\n"
    "      --text TEXT       TEXT in KORA1's answer or in the reason, any letter case\n"
    "           Records DORVANE could not write yet (DORVREG-PENDENTI.jsonl) are\n"
    "           shown too, marked \"in attesa\". Exit status 1 when none is found.\n"
    "  day      the summary of one day (today when DATE is left out): jobs per\n"
    "           outcome, the sum of TOTALE of the printed receipts, the unknown\n"
    "           outcomes first with what to check; it ends with the hash of the\n"
    "           day's last record, to note for verify --head.\n"
    "  export   the records settled between --from and --to (all when left out):\n"
    "      --format csv      (the default) for spreadsheets in Italian: UTF-8 with\n"
    "                        BOM, \";\" between fields, decimal comma; texts quoted,\n"
    "                        identifiers among them, numbers and dates not (import\n"
    "                        with quoted fields as text: see the manual); a text\n"
    "                        beginning with = + - @ is preceded by ' so that it is\n"
    "                        no formula\n"
    "      --format jsonl    the records' own lines, unchanged\n"
    "           Records DORVANE could not write yet are exported too: N. says\n"
    "           \"in attesa\" in the CSV, and their JSON lines begin with\n"
    "           \"in_attesa\":true.\n"
    "      --out FILE        into FILE instead of standard output\n"
    "  verify   walks the chain through every month file and names the first\n"
    "           record where it breaks (a record changed, removed or moved), or\n"
    "           says that it is whole, with the number of records. Exit status 0\n"
    "           only when it is whole.\n"
    "      --head HASH       the hash of a record noted earlier (the day's summary\n"
    "                        ends with its last record's): the chain is whole only\n"
    "                        if it still holds that record, so that records removed\n"
    "                        from the end are seen\n"
    "\n"
    "WHEN is a date, YYYY-MM-DD or DD/MM/YYYY, optionally followed by a time\n"
    "HH:MM or HH:MM:SS; a date alone is the day's start for --from and its end\n"
    "for --to. Times are the shop PC's local time, as the records hold them.\n"
    "\n"
    "  --dir DIR  the ledger's folder. By default DORVANE's data folder, or\n"
    "             KORA1's when DORVANE's does not exist, as DORVANE chooses:\n"
#ifdef _WIN32
    "             C:\\ProgramData\\ZTKDORVANE, else C:\\ProgramData\\ZTKKORA1.\n"
#else
    "             $XDG_DATA_HOME/ZTKDORVANE (~/.local/share/ZTKDORVANE), else\n"
    "             $XDG_DATA_HOME/ZTKKORA1.\n"
#endif
    "\n"
    "Lines that are not whole records (a write cut short by a power cut, a line\n"
    "changed by hand) are named on standard error and skipped. Output is UTF-8.\n"
    "Exit status: 0 done, 1 nothing found or the chain not whole, 2 wrong\n"
    "arguments or a file that cannot be read.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "dorvane-ledger: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

bool IsDirectory(const std::string& path) {
#ifdef _WIN32
  DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

// DORVANE's data folder, else KORA1's: where DORVANE keeps the ledger.
std::string DataFolder() {
  NativeSystemInfo system({});
  const std::string common = system.CommonAppData();
  const std::string own = JoinPath(common, "ZTKDORVANE");
  return IsDirectory(own) ? own : JoinPath(common, "ZTKKORA1");
}

// An argument as UTF-8: Windows passes the system code page; elsewhere a
// text that is not UTF-8 is taken as Windows-1252, like the files.
std::string ArgText(const std::string& arg) {
#ifdef _WIN32
  return ledger::Cp1252ToUtf8(arg);
#else
  return ledger::IsValidUtf8(arg) ? arg : ledger::Cp1252ToUtf8(arg);
#endif
}

std::string Today() { return SystemClock().Now().Date(); }

std::string OutcomeWord(const std::string& w) {
  if (w == "printed" || w == ledger::kOutcomePrinted) return ledger::kOutcomePrinted;
  if (w == "refused" || w == ledger::kOutcomeRefused) return ledger::kOutcomeRefused;
  if (w == "unknown" || w == ledger::kOutcomeUnknown) return ledger::kOutcomeUnknown;
  if (w == "failed" || w == ledger::kOutcomeInputFailed) return ledger::kOutcomeInputFailed;
  return {};
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Bytes as written (CSV line ends, UTF-8), and a console that shows UTF-8.
  _setmode(_fileno(stdout), _O_BINARY);
  if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR) ::SetConsoleOutputCP(CP_UTF8);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs("\n", stdout);
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("dorvane-ledger %d.%d.%d\n", DORVANE_VERSION_MAJOR, DORVANE_VERSION_MINOR, DORVANE_VERSION_REVISION);
      return 0;
    }
  }
  if (args.empty()) return Usage("a command is needed");
  const std::string command = args[0];
  if (command != "find" && command != "day" && command != "export" && command != "verify")
    return Usage("unknown command " + command);

  std::string dir, name, from, to, outcome, text, out, format = "csv", day, head;
  bool json = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    bool ok = true;
    if (a == "--dir") {
      ok = value(dir);
    } else if (a == "--from" && command != "day" && command != "verify") {
      ok = value(from);
      from = ledger::NormaliseStamp(from, false);
      if (ok && from.empty()) return Usage("--from: not a date: " + args[i]);
    } else if (a == "--to" && command != "day" && command != "verify") {
      ok = value(to);
      to = ledger::NormaliseStamp(to, true);
      if (ok && to.empty()) return Usage("--to: not a date: " + args[i]);
    } else if (command == "find" && a == "--name") {
      ok = value(name);
      name = ArgText(name);
    } else if (command == "find" && a == "--outcome") {
      ok = value(outcome);
      outcome = OutcomeWord(outcome);
      if (ok && outcome.empty()) return Usage("--outcome: one of printed, refused, unknown, failed");
    } else if (command == "find" && a == "--text") {
      ok = value(text);
      text = ArgText(text);
    } else if (command == "find" && a == "--json") {
      json = true;
    } else if (command == "verify" && a == "--head") {
      ok = value(head);
      for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (ok && (head.size() != 64 || head.find_first_not_of("0123456789abcdef") != std::string::npos))
        return Usage("--head: 64 hexadecimal digits, as the day's summary shows them");
    } else if (command == "export" && a == "--format") {
      ok = value(format);
      if (ok && format != "csv" && format != "jsonl") return Usage("--format: csv or jsonl");
    } else if (command == "export" && a == "--out") {
      ok = value(out);
    } else if (command == "day" && day.empty() && !a.empty() && a[0] != '-') {
      day = ledger::NormaliseStamp(a, false);
      if (day.empty()) return Usage("not a date: " + a);
      day.resize(10);
    } else {
      return Usage("unexpected argument " + a);
    }
    if (!ok) return Usage(a + " needs a value");
  }
  if (dir.empty()) dir = DataFolder();
  if (!IsDirectory(dir)) {
    std::fprintf(stderr, "dorvane-ledger: %s: folder not found\n", dir.c_str());
    return 2;
  }

  ledgertool::Streams streams;
  if (command == "find") {
    ledger::Query q;
    q.name = name;
    q.from = from;
    q.to = to;
    q.outcome = outcome;
    q.text = text;
    return ledgertool::Find(dir, q, json, streams);
  }
  if (command == "day") return ledgertool::Day(dir, day.empty() ? Today() : day, streams);
  if (command == "verify") return ledgertool::Verify(dir, head, streams);

  std::FILE* file = nullptr;
  if (!out.empty()) {
    file = std::fopen(out.c_str(), "wb");
    if (!file) {
      std::fprintf(stderr, "dorvane-ledger: %s: %s\n", out.c_str(), std::strerror(errno));
      return 2;
    }
    streams.out = file;
  }
  int status = ledgertool::Export(dir, from, to, format == "csv" ? ledgertool::Format::kCsv : ledgertool::Format::kJsonLines,
                                  streams);
  if (file && std::fclose(file) != 0 && status == 0) {
    std::fprintf(stderr, "dorvane-ledger: %s: %s\n", out.c_str(), std::strerror(errno));
    status = 2;
  }
  return status;
}
