// Choosing the next input file: the oldest eligible one, so receipts print
// in the order they arrived.
#include <cstdio>

#include "dispatch/dispatcher.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {

// Larger than any real key: the best key's start value.
constexpr const char* kSentinelKey = "29991231_235959";

// Names of the driver link's and of KORA1's own files, refused as substrings.
constexpr const char* kReservedParts[] = {
    "SR_MATR.00",   "SR_START.00",  "SR_ERR.00",    "SR_OUT.00",   "SR_DATI.00",   "FINESCO.00",
    "QXCHKCOM.TXT", "QXTIMER1.TXT", "QXCHKXXS.TXT", "QXChkBd.txt", "QXCHKSCO.TXT", "DORVCONF.txt",
};

// Files this program writes beside the receipts: never receipts themselves.
constexpr const char* kOwnWorkFiles[] = {
    "FASYCONV.TXT", "xout1.tmp",   "xout2.tmp",       "ITINERIS_ERR.LOG", "DORVRETRY.DVN",
    "DORVLOG.txt",  "ztk_log.txt", "DORVJOB.DVN",     "DORVJOB.DVN.tmp",
};

constexpr const char* kLinkRefused = "COLLEGAMENTO SIMBOLICO NON PERMESSO, NON LETTO: ";

}  // namespace

bool Dispatcher::IsOwnWorkFile(const std::string& name) {
  for (const char* own : kOwnWorkFiles)
    if (EqualsNoCase(name, own)) return true;
  return false;
}

std::string Dispatcher::FindFileInfo(const std::string& filespec) {
  LocalDateTime t;
  if (!fs_.CreationTime(filespec, t)) return "";
  char key[32];
  std::snprintf(key, sizeof key, "%d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return key;
}

bool Dispatcher::IsReservedFileName(const std::string& name) {
  for (const char* part : kReservedParts)
    if (ContainsNoCase(name, part)) return true;
  if (IsOwnWorkFile(name)) return true;
  const std::string outExt = c_.txtOutExt.Text.empty() ? ".OUT" : c_.txtOutExt.Text;
  if (EndsWith(name, outExt)) return true;
  const std::string errExt = c_.txtErrExt.Text.empty() ? ".ERR" : c_.txtErrExt.Text;
  if (EndsWith(name, errExt)) return true;
  return c_.chkCompatAdHoc.Value == 1 && (name == "SR_ERR.TXT" || name == "SR_OUT.TXT");
}

bool Dispatcher::MatchesFilePrefix(const std::string& name) {
  const std::string& prefix = c_.txtFilePrefix.Text;
  return prefix.empty() || StartsWith(UpperAnsi(name), UpperAnsi(prefix));
}

bool Dispatcher::RefuseLink(const std::string& name) {
  links_.Told(name);
  c_.txtKora1Result.Set(kLinkRefused + name);
  LogEvent(kErr, c_.txtKora1Result.Text);
  return false;
}

std::string Dispatcher::FindNewestFile(const std::string& currentDir) {
  selectedKey_.clear();
  if (currentDir.empty()) return "";
  // A link is never a receipt, whatever it points at: it stays where it is,
  // is told once, and the receipts after it go on.
  for (const std::string& name : links_.NotYetTold(fs_, currentDir, st_.CurrFileFilter)) RefuseLink(name);
  std::vector<std::string> names;
  // A folder that cannot be listed has no file to offer.
  if (!fs_.ListFiles(currentDir, names) || names.empty()) return "";
  const std::string year = std::to_string(clock_.Now().year);

  std::string bestKey = kSentinelKey;
  std::string bestName;
  for (const std::string& name : names) {
    if (!MatchesPattern(name, st_.CurrFileFilter)) continue;
    // Our own work files are skipped without a word: they are no one's mistake.
    if (IsOwnWorkFile(name)) continue;
    const bool reserved = IsReservedFileName(name);
    if (!reserved && MatchesFilePrefix(name)) {
      const std::string path = JoinPath(currentDir, name);
      const std::string key = FindFileInfo(path);
      // A receipt already printed in this run whose input could not be
      // deleted stays where it is and is never handed over again.
      if (key.empty() || journal_.WasPrinted(path, key)) continue;
      if (key.compare(0, 4, year) == 0 && name != "." && name != ".." && key < bestKey) {
        bestKey = key;
        bestName = name;
      }
    } else if (reserved) {
      c_.txtKora1Result.Set("NOME FILE NON PERMESSO: " + name);
    }
  }
  if (bestName.empty() || bestKey == kSentinelKey) return "";
  selectedKey_ = bestKey;
  return bestName;
}

}  // namespace dorvane
