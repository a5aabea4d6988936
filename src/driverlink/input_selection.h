// What makes a file of the input folder a receipt to choose: its name, its
// creation key, and never a link; and what the choice tells the operator
// (links refused, reserved names, receipts waiting).
// The folder source chooses the OLDEST by key, so that receipts print in
// the order they arrived.
#pragma once

#include <string>

#include "driverlink/driver_link.h"
#include "driverlink/link_report.h"

namespace dorvane {

class InputSelection {
 public:
  explicit InputSelection(DriverLink& link) : link_(link) {}

  // The selection key "YYYYMMDD_HHMMSS" of a file's creation, "" when unreadable.
  std::string FindFileInfo(const std::string& filespec);
  bool IsReservedFileName(const std::string& name) const;
  bool MatchesFilePrefix(const std::string& name) const;
  // Our own work files and the observers': never receipts.
  bool IsOwnWorkFile(const std::string& name) const;
  // A link met in the input folder: told once, never read.
  bool RefuseLink(const std::string& name);
  // The links a listing of the input folder found, those not told yet told.
  void TellLinks(const std::vector<std::string>& links);
  // A link seen by its event: told if it matches the filter and is not told yet.
  void SeeLink(const std::string& name);
  // A name gone: a link coming back under it is told again.
  void LinkGone(const std::string& name) { links_.Forget(name); }
  void TellWaiting(int receipts);
  int Waiting() const { return waiting_; }

 private:

  DriverLink& link_;
  LinkReport links_;  // links in the input folder already told
  int waiting_ = -1;
};

}  // namespace dorvane
