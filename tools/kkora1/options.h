// Settings of the simulator. Each can come from the command line, from an
// environment variable, and (for the ones that make sense while running) from
// the control file dropped into the data directory.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvane::kkora1 {

// How a paper-out report is withdrawn once paper is loaded.
enum class PaperClear {
  Remove,  // SR_ERR deleted, then the job finishes
  Empty,   // SR_ERR rewritten with an empty first line, then the job finishes
};

struct Options {
  std::string dataDir;  // empty: common application-data folder + ZTKKORA1
  std::vector<int> ports{1};
  bool registerPaths = true;
  int dumpMs = 1500;
  bool dump = true;
  int pollMs = 100;
  int takeDelayMs = 0;
  int lineMs = 0;
  bool xonxoff = false;
  int paperOutAfter = 0;          // 0: the roll never ends
  std::vector<int> coverOpenOn;   // job numbers (1 = first job since start)
  std::vector<int> failJobs;      // job numbers
  int holdMs = 0;                 // 0: a paper-out or open cover waits for the control file
  PaperClear paperClear = PaperClear::Remove;
  int crashAfter = -1;            // -1: never
  std::string journal;            // empty: KKORA1_GIORNALE.TXT in the data directory
  bool help = false;
  bool version = false;
};

struct OptionInfo {
  const char* name;     // long option without "--"; also the control-file key
  const char* env;      // environment variable, or nullptr
  const char* argName;  // nullptr for a switch
  bool atRunTime;       // may be changed through the control file
  const char* help;
};

const std::vector<OptionInfo>& OptionTable();

// Sets one option by name; returns an error text when the name or value is wrong.
// A switch takes "1", "on", "yes", "true" or "0", "off", "no", "false".
std::optional<std::string> SetOption(Options& options, std::string_view name, std::string_view value);

using EnvLookup = std::function<std::optional<std::string>(const std::string&)>;

struct CommandLine {
  Options options;
  std::string error;  // empty when the line was accepted
};

// Environment first, then the command line over it. The argument "0", which
// DORVANE passes when it starts the driver, is accepted and ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const EnvLookup& env);

std::string HelpText();

// Comma-separated list of positive numbers ("3,5").
std::optional<std::vector<int>> ParseNumberList(std::string_view text);

}  // namespace dorvane::kkora1
