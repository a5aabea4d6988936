#include "options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace dorvane::kkora1 {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::optional<int> ParseInt(std::string_view s, int min, int max) {
  s = Trim(s);
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || value < min || value > max)
    return std::nullopt;
  return value;
}

std::optional<bool> ParseSwitch(std::string_view s) {
  const std::string v = Lower(Trim(s));
  if (v == "1" || v == "on" || v == "yes" || v == "true") return true;
  if (v == "0" || v == "off" || v == "no" || v == "false") return false;
  return std::nullopt;
}

const OptionInfo* FindOption(std::string_view name) {
  for (const auto& info : OptionTable())
    if (name == info.name) return &info;
  return nullptr;
}

constexpr int kMaxMs = 24 * 3600 * 1000;

}  // namespace

const std::vector<OptionInfo>& OptionTable() {
  static const std::vector<OptionInfo> table = {
      {"data-dir", "KKORA1_DATA_DIR", "DIR", false,
       "data directory holding the exchange files (default: common application-data\n"
       "folder + ZTKKORA1); created when missing"},
      {"port", nullptr, "N", false,
       "serve serial port N (1-8); repeat for more ports (default: 1)"},
      {"ports", "KKORA1_PORTS", "N,M", false, "serve the listed ports"},
      {"no-register", "KKORA1_NO_REGISTER", nullptr, false,
       "do not record the data and program directories where DORVANE looks for them"},
      {"dump-ms", "KKORA1_DUMP_MS", "MS", false,
       "time of the start-up dump; SR_MATR appears after it (default: 1500)"},
      {"no-dump", "KKORA1_NO_DUMP", nullptr, false,
       "the dump never ends: no SR_MATR, no job is ever taken"},
      {"poll-ms", "KKORA1_POLL_MS", "MS", true, "interval between looks for SR_START (default: 100)"},
      {"take-delay-ms", "KKORA1_TAKE_DELAY_MS", "MS", true,
       "busy printer: wait this long after SR_START appears before taking the job"},
      {"line-ms", "KKORA1_LINE_MS", "MS", true, "slow printing: time per printed line"},
      {"xonxoff", "KKORA1_XONXOFF", nullptr, true,
       "pass Xon-Xoff jobs to the printer unchecked: a job holding an XON or XOFF\n"
       "byte, or whose first line is not shaped like a Sarema Language command"},
      {"paper-out-after", "KKORA1_PAPER_OUT_AFTER", "N", true,
       "the paper roll holds N receipts: the next job runs out of paper halfway"},
      {"cover-open-on", "KKORA1_COVER_OPEN_ON", "LIST", true,
       "the cover opens halfway through these jobs (1 = first job since start)"},
      {"hold-ms", "KKORA1_HOLD_MS", "MS", true,
       "paper is loaded / the cover closed by itself after MS; 0 = wait for the\n"
       "control file (default: 0)"},
      {"paper-clear", "KKORA1_PAPER_CLEAR", "remove|empty", true,
       "once resumed, delete SR_ERR (remove, default) or rewrite it with an empty\n"
       "first line (empty)"},
      {"fail-receipts", "KKORA1_FAIL_RECEIPTS", "LIST", true,
       "refuse these jobs with a printer error (1 = first job since start)"},
      {"crash-after", "KKORA1_CRASH_AFTER", "N", true,
       "die halfway through the job after N jobs (0 = the first one), leaving no\n"
       "result; exit code 3"},
      {"journal", "KKORA1_JOURNAL", "FILE", false,
       "electronic journal (default: KKORA1_GIORNALE.TXT in the data directory)"},
      {"help", nullptr, nullptr, false, "show this text"},
      {"version", nullptr, nullptr, false, "show the version"},
  };
  return table;
}

std::optional<std::vector<int>> ParseNumberList(std::string_view text) {
  std::vector<int> numbers;
  text = Trim(text);
  if (text.empty()) return numbers;
  while (true) {
    const auto comma = text.find(',');
    auto n = ParseInt(text.substr(0, comma), 1, 1'000'000);
    if (!n) return std::nullopt;
    numbers.push_back(*n);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return numbers;
}

std::optional<std::string> SetOption(Options& o, std::string_view name, std::string_view value) {
  const OptionInfo* info = FindOption(name);
  if (!info) return "unknown option '" + std::string(name) + "'";
  const std::string bad = "bad value '" + std::string(value) + "' for " + std::string(name);
  if (!info->argName) {
    auto on = ParseSwitch(value);
    if (!on) return bad;
    if (name == "no-register") o.registerPaths = !*on;
    else if (name == "no-dump") o.dump = !*on;
    else if (name == "xonxoff") o.xonxoff = *on;
    else if (name == "help") o.help = *on;
    else if (name == "version") o.version = *on;
    return std::nullopt;
  }
  auto setMs = [&](int& field, int min) -> std::optional<std::string> {
    auto n = ParseInt(value, min, kMaxMs);
    if (!n) return bad;
    field = *n;
    return std::nullopt;
  };
  if (name == "data-dir") {
    if (Trim(value).empty()) return bad;
    o.dataDir = std::string(Trim(value));
  } else if (name == "journal") {
    o.journal = std::string(Trim(value));
  } else if (name == "port" || name == "ports") {
    auto list = ParseNumberList(value);
    if (!list || list->empty() || std::any_of(list->begin(), list->end(), [](int p) { return p > 8; }))
      return bad;
    if (name == "ports") o.ports.clear();
    for (int p : *list)
      if (std::find(o.ports.begin(), o.ports.end(), p) == o.ports.end()) o.ports.push_back(p);
  } else if (name == "dump-ms") {
    return setMs(o.dumpMs, 0);
  } else if (name == "poll-ms") {
    return setMs(o.pollMs, 1);
  } else if (name == "take-delay-ms") {
    return setMs(o.takeDelayMs, 0);
  } else if (name == "line-ms") {
    return setMs(o.lineMs, 0);
  } else if (name == "hold-ms") {
    return setMs(o.holdMs, 0);
  } else if (name == "paper-out-after") {
    auto n = ParseInt(value, 0, 1'000'000);
    if (!n) return bad;
    o.paperOutAfter = *n;
  } else if (name == "crash-after") {
    auto n = ParseInt(value, -1, 1'000'000);
    if (!n) return bad;
    o.crashAfter = *n;
  } else if (name == "cover-open-on" || name == "fail-receipts") {
    auto list = ParseNumberList(value);
    if (!list) return bad;
    (name == "cover-open-on" ? o.coverOpenOn : o.failJobs) = *list;
  } else if (name == "paper-clear") {
    const std::string v = Lower(Trim(value));
    if (v == "remove") o.paperClear = PaperClear::Remove;
    else if (v == "empty") o.paperClear = PaperClear::Empty;
    else return bad;
  }
  return std::nullopt;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args, const EnvLookup& env) {
  CommandLine result;
  Options& o = result.options;
  for (const auto& info : OptionTable()) {
    if (!info.env) continue;
    if (auto value = env(info.env)) {
      if (auto error = SetOption(o, info.name, *value)) {
        result.error = std::string(info.env) + ": " + *error;
        return result;
      }
    }
  }
  bool portGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "0") continue;  // what DORVANE passes when it starts the driver
    if (arg == "-h" || arg == "/?") {
      o.help = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      result.error = "unexpected argument '" + arg + "'";
      return result;
    }
    std::string name = arg.substr(2);
    std::optional<std::string> value;
    if (const auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    const OptionInfo* info = FindOption(name);
    if (!info) {
      result.error = "unknown option '" + arg + "'";
      return result;
    }
    if (info->argName && !value) {
      if (i + 1 >= args.size()) {
        result.error = "option '" + arg + "' needs a value";
        return result;
      }
      value = args[++i];
    }
    if (name == "port" && !portGiven) {
      o.ports.clear();  // ports on the command line replace the default and the environment
      portGiven = true;
    }
    if (auto error = SetOption(o, name, value.value_or("1"))) {
      result.error = *error;
      return result;
    }
  }
  return result;
}

std::string HelpText() {
  std::string text =
      "kkora1 - print-driver simulator (KORA1 stand-in) for DORVANE\n"
      "\n"
      "usage: kkora1 [0] [options]\n"
      "\n"
      "The argument 0, passed by DORVANE when it starts the driver, is ignored.\n"
      "Every option can also be given as --name=value. Environment variables are\n"
      "read first; the command line overrides them.\n"
      "\n"
      "options:\n";
  for (const auto& info : OptionTable()) {
    std::string head = "  --" + std::string(info.name);
    if (info.argName) head += " " + std::string(info.argName);
    text += head + "\n";
    std::string_view help = info.help;
    while (!help.empty()) {
      const auto nl = help.find('\n');
      text += "        " + std::string(help.substr(0, nl)) + "\n";
      if (nl == std::string_view::npos) break;
      help.remove_prefix(nl + 1);
    }
    if (info.env) text += "        environment: " + std::string(info.env) + "\n";
  }
  text +=
      "\n"
      "control file:\n"
      "  Drop KKORA1.CTL into the data directory (write it under another name and\n"
      "  rename it, so it is never read half written). It is read and deleted at\n"
      "  the next poll. Each line is key=value:\n"
      "    paper=out      the next job runs out of paper halfway\n"
      "    paper=load     load paper: a held job resumes and finishes\n"
      "    cover=open     the cover opens halfway through the next job\n"
      "    cover=close    close the cover: a held job resumes and finishes\n"
      "    fail=next      refuse the next job with a printer error\n"
      "    crash=next     die halfway through the next job\n"
      "    dump=now       end the dump now: create SR_MATR\n"
      "    matr=remove    delete SR_MATR (no job is taken until dump=now)\n"
      "    quit=1         exit cleanly\n"
      "  and these options, by their names, which may change while running:\n"
      "   ";
  for (const auto& info : OptionTable())
    if (info.atRunTime) text += " " + std::string(info.name);
  text +=
      "\n"
      "\n"
      "files (n = port digit), in the data directory:\n"
      "  SR_MATR.00n   created when the dump is done; deleted on a clean exit\n"
      "  SR_DATI.00n   the job, read when SR_START.00n appears (SR_START is deleted)\n"
      "  SR_OUT.00n    receipt number and total of a printed job, then FINESCO.00n\n"
      "  SR_ERR.00n    why a job was refused (E0xx: ...), or E096: paper out,\n"
      "                E097: cover open while a job is held\n"
      "  KKORA1_GIORNALE.TXT  electronic journal; KKORA1_NUMERO.TXT  last receipt number\n"
      "\n"
      "Ends cleanly on SIGTERM or SIGINT (POSIX), or when its hidden window is\n"
      "closed, as TASKKILL without /F does (Windows); exit code 0.\n";
  return text;
}

}  // namespace dorvane::kkora1
