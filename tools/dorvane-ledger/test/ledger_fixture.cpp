// Writes a small receipt ledger into a folder, through the real ledger on the
// real file system, for the command-line test: names in Windows-1252 with
// accented letters and formula characters, every outcome, a month boundary.
// With "names": two receipts whose names differ only in how the accent is
// written, UTF-8 and Windows-1252. Identifiers a spreadsheet would like to
// read as numbers: checksums of digits alone or with one "e", a receipt
// number with leading zeros.
#include <cstdio>
#include <string>
#include <vector>

#include "ledger/receipt_ledger.h"
#include "platform/sim/virtual_clock.h"
#include "text/paths.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_filesystem.h"
using NativeFileSystem = dorvane::Win32FileSystem;
#else
#include <sys/stat.h>

#include "platform/posix/posix_filesystem.h"
using NativeFileSystem = dorvane::PosixFileSystem;
#endif

int main(int argc, char** argv) {
  using namespace dorvane;
  const bool namesOnly = argc == 3 && std::string(argv[2]) == "names";
  if (argc != 2 && !namesOnly) {
    std::fprintf(stderr, "usage: ledger_fixture DIR [names]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string in = JoinPath(dir, "in");
#ifdef _WIN32
  CreateDirectoryA(in.c_str(), nullptr);
#else
  mkdir(in.c_str(), 0755);
#endif
  NativeFileSystem fs;
  VirtualClock clock({2026, 2, 28, 23, 58, 0});
  ReceiptLedger ledger(fs, clock, [&] { return dir; });
  struct Sale {
    const char* name;
    Outcome outcome;
    const char* text;
  };
  const std::vector<Sale> names = {
      {"CAFF\xC3\x88-utf8name.001", Outcome::kPrinted, "ESITO=OK\r\nSCONTRINO=51\r\nTOTALE=1,00\r\n"},
      {"CAFF\xC8-1252.001", Outcome::kPrinted, "ESITO=OK\r\nSCONTRINO=52\r\nTOTALE=2,00\r\n"},
  };
  const std::vector<Sale> all = {
      {"CAFF\xC8 PERCH\xC9.001", Outcome::kPrinted, "ESITO=OK\r\nSCONTRINO=41\r\nTOTALE=12,50\r\n"},
      {"=SOMMA(A1).001", Outcome::kPrinted, "ESITO=OK\r\nSCONTRINO=42\r\nTOTALE=N/D\r\n"},
      {"+39 RESO.001", Outcome::kPrinted, "ESITO=OK\r\nSCONTRINO=43\r\nTOTALE=-3,50\r\n"},
      {"@CLIENTE.001", Outcome::kRefused, "-E012: CARTA INCEPPATA"},
      {"PI\xD9.001", Outcome::kUnknown, "E599: ESITO SCONOSCIUTO: KORA1 SI E' INTERROTTO"},
      {"ROTTO.001", Outcome::kInputFailed, "ERRORE: Tipo non corrispondente - 13"},
      {"ULTIMO.001", Outcome::kPrinted, "ESITO=OK\r\nSCONTRINO=0044\r\nTOTALE=1.000,05\r\n"},
  };
  const unsigned checksums[] = {0x04968280u, 0x7459e389u, 0x1e500000u, 0x00000012u, 0x1234abcdu, 0x2026e305u, 0x00000001u};
  int n = 0;
  for (const Sale& j : namesOnly ? names : all) {
    dorvane::Job s;
    s.outcome = j.outcome;
    s.dataChecksum = checksums[n++ % 7];
    // As the engine names jobs: the time, then eight hexadecimal digits.
    char id[48];
    std::snprintf(id, sizeof id, "20260228%06d-%08x", n, s.dataChecksum);
    if (j.outcome != Outcome::kInputFailed) s.id = id;
    s.input = JoinPath(in, j.name);
    s.time = clock.Now().Stamp();
    s.dataSize = 100;
    s.text = j.text;
    s.filedAs = {JoinPath(dir, std::string("out\\") + j.name + ".OUT")};
    if (!fs.WriteAll(s.input, std::string("receipt ") + j.name)) return 1;
    ledger.Settled(s);
    fs.Remove(s.input);
    clock.Sleep(30000);  // the first four in February, the rest on 1 March
  }
  return ledger.Waiting() == 0 ? 0 : 1;
}
