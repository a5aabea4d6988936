// The choice of the next input: the OLDEST eligible file of the input
// folder, by its creation key, so that receipts print in the order they
// arrived. Links, reserved names, our own work files, other years and
// receipts already printed are never chosen.
#pragma once

#include <string>

#include "driverlink/driver_link.h"
#include "driverlink/link_report.h"

namespace dorvane {

class InputSelection {
 public:
  explicit InputSelection(DriverLink& link) : link_(link) {}

  // The name of the oldest eligible input in currentDir, or "" when none;
  // its key is kept in the link for the hand-off.
  std::string FindNewestFile(const std::string& currentDir);
  // The selection key "YYYYMMDD_HHMMSS" of a file's creation, "" when unreadable.
  std::string FindFileInfo(const std::string& filespec);
  bool IsReservedFileName(const std::string& name) const;
  bool MatchesFilePrefix(const std::string& name) const;
  // A link met in the input folder: told once, never read.
  bool RefuseLink(const std::string& name);

 private:
  bool IsOwnWorkFile(const std::string& name) const;
  void TellWaiting(int receipts);
  void TellFolder(const std::string& dir, const Status& listed);

  DriverLink& link_;
  LinkReport links_;  // links in the input folder already told
  bool inputFolderDown_ = false;
  int waiting_ = -1;
};

}  // namespace dorvane
