// dorvane-convert: runs one receipt converter on a file, for integrators who
// want to check what their program writes without printing anything.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "convert/fasyvola.h"
#include "convert/itineris.h"
#include "platform/system_clock.h"
#include "platform/quiet_ports.h"
#include "text/paths.h"
#include "text/text.h"

#ifdef _WIN32
#include "platform/win32/win32_filesystem.h"
using NativeFileSystem = dorvane::Win32FileSystem;
#else
#include "platform/posix/posix_filesystem.h"
using NativeFileSystem = dorvane::PosixFileSystem;
#endif

namespace {

constexpr const char* kUsage =
    "usage: dorvane-convert fasyvola INPUT OUTPUT [--invert-discounts]\n"
    "       dorvane-convert itineris INPUT OUTPUT\n"
    "       dorvane-convert --help\n";

constexpr const char* kHelp =
    "Converts one receipt into Sarema Language, the command language of the\n"
    "fiscal printer's jobs, exactly as DORVANE does before printing. Nothing is\n"
    "printed and no window is shown.\n"
    "\n"
    "  fasyvola INPUT OUTPUT   INPUT is Fasy Vola fixed-column text.\n"
    "      --invert-discounts  a discount on the line right after a returned\n"
    "                          line is written as a surcharge (the setting\n"
    "                          \"Inverti Sconti su Reso\").\n"
    "  itineris INPUT OUTPUT   INPUT is Itineris XML (at most 16 MiB). The\n"
    "                          intermediate file and the error log are kept in\n"
    "                          a temporary folder that is removed afterwards.\n"
    "\n"
    "OUTPUT is created or replaced; INPUT is never changed. Files are bytes in\n"
    "Windows-1252 with CR LF line ends, and are not re-encoded.\n"
    "\n"
    "Exit status 0: OUTPUT holds the job. Exit status 1: the conversion failed\n"
    "and the reasons are on standard error, as DORVANE would show or log them;\n"
    "OUTPUT may then hold part of a job, or a whole one with a bad record in\n"
    "it, and must not be printed.\n";

// Message boxes become lines on standard error; this tool never opens a window.
class StderrUi : public dorvane::QuietUi {
 public:
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  bool AskYesNo(const std::string& text) override {
    ShowMessage(text);
    return false;
  }
};

int Fail(const std::string& reason) {
  std::fprintf(stderr, "dorvane-convert: %s\n", reason.c_str());
  return 1;
}

// A folder of our own for xout1.tmp and ITINERIS_ERR.LOG, so that a run never
// touches the work files of a DORVANE that may be running beside it.
bool MakeWorkDir(std::filesystem::path& dir, std::string& error) {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) {
    error = "no temporary folder: " + ec.message();
    return false;
  }
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, "dorvane-convert-%016llx", static_cast<unsigned long long>(random()));
    dir = base / name;
    if (std::filesystem::create_directory(dir, ec)) return true;
    if (ec) break;
  }
  error = "cannot create a temporary folder in " + base.string() + (ec ? ": " + ec.message() : "");
  return false;
}

int ConvertItineris(dorvane::FileSystem& fs, const std::string& input, const std::string& output) {
  // The converter fails these two without a log line: say why here.
  if (!fs.Exists(input)) return Fail(input + ": file not found");
  std::string bytes;
  if (dorvane::Status st = fs.ReadAll(input, bytes); !st) return Fail(input + ": " + st.Message());
  if (bytes.empty()) return Fail(input + ": file is empty");
  bytes.clear();

  std::filesystem::path work;
  std::string error;
  if (!MakeWorkDir(work, error)) return Fail(error);
  dorvane::SystemClock clock;
  dorvane::ItinerisErrorLog log{fs, clock, dorvane::JoinPath(work.string(), dorvane::kItinerisErrorLog)};
  std::string split = dorvane::JoinPath(work.string(), dorvane::kItinerisSplitFile);

  bool ok = dorvane::SplitXmlTags(fs, log, input, split) && dorvane::ConvertXmlToSL(fs, log, split, output);
  if (!ok) {
    std::vector<std::string> lines;
    if (dorvane::ReadLines(fs, log.path, lines) && !lines.empty()) {
      for (const std::string& line : lines) std::fprintf(stderr, "%s\n", line.c_str());
    } else {
      Fail("conversion failed");
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(work, ec);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs("\n", stdout);
      std::fputs(kHelp, stdout);
      return 0;
    }
  }
  bool invert = false;
  std::vector<std::string> positional;
  for (const std::string& a : args) {
    if (a == "--invert-discounts") {
      invert = true;
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      std::fputs(kUsage, stderr);
      return Fail("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 3 || (positional[0] != "fasyvola" && positional[0] != "itineris") ||
      (invert && positional[0] != "fasyvola")) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  const std::string& input = positional[1];
  const std::string& output = positional[2];

  NativeFileSystem fs;
  if (positional[0] == "fasyvola") {
    StderrUi ui;
    return dorvane::ConvertFasyVolaToSL(fs, [&](const std::string& m) { ui.ShowMessage(m); }, input, output, invert) ? 0 : 1;
  }
  return ConvertItineris(fs, input, output);
}
