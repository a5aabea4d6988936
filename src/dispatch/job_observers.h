// The observers of the job engine that the running program keeps beside the
// window's model: the receipt ledger. Each front end builds one next to its
// Dispatcher and calls Poll() from its pump.
#pragma once

#include "dispatch/dispatcher.h"
#include "ledger/receipt_ledger.h"

namespace dorvane {

class JobObservers {
 public:
  JobObservers(Dispatcher& dispatcher, FileSystem& fs, Clock& clock);

  // Work that waits for no event: records the ledger kept while it could
  // not write.
  void Poll() { ledger_.Poll(); }

 private:
  Dispatcher& d_;
  ReceiptLedger ledger_;
};

}  // namespace dorvane
