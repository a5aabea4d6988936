// Choosing the next input file: the oldest eligible one, so receipts print
// in the order they arrived.
#include <cstdio>

#include "driverlink/job_runner.h"
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
    "DORVLOG.txt",  "ztk_log.txt", "DORVJOB.DVN",     "DORVJOB.DVN.tmp",  "DORVPEND.DVN",
    "DORVPEND.DVN.tmp",
};

constexpr const char* kLinkRefused = "COLLEGAMENTO SIMBOLICO NON PERMESSO, NON LETTO: ";

}  // namespace

bool JobRunner::IsOwnWorkFile(const std::string& name) const {
  if (IsPlacingName(name) || events_.OwnsFile(name)) return true;
  for (const char* own : kOwnWorkFiles)
    if (EqualsNoCase(name, own)) return true;
  return false;
}

std::string JobRunner::FindFileInfo(const std::string& filespec) {
  LocalDateTime t;
  if (!fs_.CreationTime(filespec, t)) return "";
  char key[32];
  std::snprintf(key, sizeof key, "%d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return key;
}

bool JobRunner::IsReservedFileName(const std::string& name) const {
  for (const char* part : kReservedParts)
    if (ContainsNoCase(name, part)) return true;
  if (IsOwnWorkFile(name)) return true;
  const std::string outExt = set_.OutExt().empty() ? ".OUT" : set_.OutExt();
  if (EndsWith(name, outExt)) return true;
  const std::string errExt = set_.ErrExt().empty() ? ".ERR" : set_.ErrExt();
  if (EndsWith(name, errExt)) return true;
  return set_.AdHoc() && (name == "SR_ERR.TXT" || name == "SR_OUT.TXT");
}

bool JobRunner::MatchesFilePrefix(const std::string& name) const {
  const std::string& prefix = set_.filePrefix;
  return prefix.empty() || StartsWith(UpperAnsi(name), UpperAnsi(prefix));
}

bool JobRunner::RefuseLink(const std::string& name) {
  links_.Told(name);
  ShowResult(kLinkRefused + name);
  host_.LogEvent(kErr, result_);
  events_.LinkRefused(name);
  return false;
}

void JobRunner::TellWaiting(int receipts) {
  if (receipts == waiting_) return;
  waiting_ = receipts;
  events_.Waiting(receipts);
}

std::string JobRunner::FindNewestFile(const std::string& currentDir) {
  selectedKey_.clear();
  if (currentDir.empty()) return "";
  // A link is never a receipt, whatever it points at: it stays where it is,
  // is told once, and the receipts after it go on.
  for (const std::string& name : links_.NotYetTold(fs_, currentDir, set_.fileFilter)) RefuseLink(name);
  std::vector<std::string> names;
  // A folder that cannot be listed has no file to offer.
  const Status listed = fs_.ListFiles(currentDir, names);
  if (listed.ok() == inputFolderDown_) {
    inputFolderDown_ = !listed.ok();
    if (inputFolderDown_) {
      host_.LogEvent(kErr, "CARTELLA NON ACCESSIBILE: " + currentDir + " " + listed.Message());
      events_.FolderUnreachable(currentDir, listed.Message());
    } else {
      host_.LogEvent(kOk, "CARTELLA DI NUOVO ACCESSIBILE: " + currentDir);
      events_.FolderBack(currentDir);
    }
  }
  if (!listed || names.empty()) {
    TellWaiting(0);
    return "";
  }
  const std::string year = std::to_string(clock_.Now().year);
  int waiting = 0;

  std::string bestKey = kSentinelKey;
  std::string bestName;
  for (const std::string& name : names) {
    if (!MatchesPattern(name, set_.fileFilter)) continue;
    // Our own work files are skipped without a word: they are no one's mistake.
    if (IsOwnWorkFile(name)) continue;
    const bool reserved = IsReservedFileName(name);
    if (!reserved && MatchesFilePrefix(name)) {
      const std::string path = JoinPath(currentDir, name);
      const std::string key = FindFileInfo(path);
      // A receipt already printed in this run whose input could not be
      // deleted stays where it is and is never handed over again.
      if (key.empty() || journal_.WasPrinted(path, key)) continue;
      if (key.compare(0, 4, year) != 0 || name == "." || name == "..") continue;
      ++waiting;
      if (key < bestKey) {
        bestKey = key;
        bestName = name;
      }
    } else if (reserved) {
      ShowResult("NOME FILE NON PERMESSO: " + name);
    }
  }
  TellWaiting(waiting);
  if (bestName.empty() || bestKey == kSentinelKey) return "";
  selectedKey_ = bestKey;
  return bestName;
}

}  // namespace dorvane
