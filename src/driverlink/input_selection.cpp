#include "driverlink/input_selection.h"

#include <cstdio>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {

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

bool InputSelection::IsOwnWorkFile(const std::string& name) const {
  if (IsPlacingName(name) || link_.events.OwnsFile(name)) return true;
  for (const char* own : kOwnWorkFiles)
    if (EqualsNoCase(name, own)) return true;
  return false;
}

std::string InputSelection::FindFileInfo(const std::string& filespec) {
  LocalDateTime t;
  if (!link_.fs.CreationTime(filespec, t)) return "";
  char key[32];
  std::snprintf(key, sizeof key, "%d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return key;
}

bool InputSelection::IsReservedFileName(const std::string& name) const {
  for (const char* part : kReservedParts)
    if (ContainsNoCase(name, part)) return true;
  if (IsOwnWorkFile(name)) return true;
  const std::string outExt = link_.set.OutExt().empty() ? ".OUT" : link_.set.OutExt();
  if (EndsWith(name, outExt)) return true;
  const std::string errExt = link_.set.ErrExt().empty() ? ".ERR" : link_.set.ErrExt();
  if (EndsWith(name, errExt)) return true;
  return link_.set.AdHoc() && (name == "SR_ERR.TXT" || name == "SR_OUT.TXT");
}

bool InputSelection::MatchesFilePrefix(const std::string& name) const {
  const std::string& prefix = link_.set.filePrefix;
  return prefix.empty() || StartsWith(UpperAnsi(name), UpperAnsi(prefix));
}

bool InputSelection::RefuseLink(const std::string& name) {
  links_.Told(name);
  link_.ShowResult(kLinkRefused + name);
  link_.host.LogEvent(kErr, link_.result);
  link_.events.LinkRefused(name);
  return false;
}

void InputSelection::TellWaiting(int receipts) {
  if (receipts == waiting_) return;
  waiting_ = receipts;
  link_.events.Waiting(receipts);
}

void InputSelection::TellLinks(const std::vector<std::string>& links) {
  // A link is never a receipt, whatever it points at: it stays where it is,
  // is told once, and the receipts after it go on.
  for (const std::string& name : links_.NotYetTold(links, link_.set.fileFilter)) RefuseLink(name);
}

void InputSelection::SeeLink(const std::string& name) {
  if (MatchesPattern(name, link_.set.fileFilter) && !links_.WasTold(name)) RefuseLink(name);
}

}  // namespace dorvane
