// The observers of the job engine that the running program keeps beside the
// window's model: the receipt ledger, the notifications from the tray icon
// and the status file for other programs. Each front end builds one next to
// its Dispatcher and calls Poll() from its pump.
#pragma once

#include "dispatch/dispatcher.h"
#include "ledger/receipt_ledger.h"
#include "notify/notifier.h"
#include "notify/status_file.h"

namespace dorvane {

class JobObservers {
 public:
  JobObservers(Dispatcher& dispatcher, FileSystem& fs, Clock& clock, SystemInfo& system, Ui& ui);

  // Work that waits for no event: records the ledger kept while it could
  // not write, notices due after a grace time, the status file's refresh.
  void Poll();
  // What the status file says now, whether or not it could be written.
  std::string StatusNow() { return status_.Content(""); }

 private:
  Dispatcher& d_;
  Notifier notifier_;
  ReceiptLedger ledger_;
  StatusFile status_;
};

}  // namespace dorvane
