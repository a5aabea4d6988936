// The observers of the job engine that the running program keeps beside the
// window's model: the receipt ledger, the notifications from the tray icon
// and the status file for other programs; and the HTTP door, opened once the
// program runs alone. Each front end builds one next to its Dispatcher and
// calls Poll() from its pump.
#pragma once

#include "dispatch/dispatcher.h"
#include "ledger/receipt_ledger.h"
#include "notify/notifier.h"
#include "notify/status_file.h"
#include "web/web_door.h"

namespace dorvane {

class JobObservers {
 public:
  JobObservers(Dispatcher& dispatcher, FileSystem& fs, Clock& clock, SystemInfo& system, Ui& ui);
  ~JobObservers();

  // Work that waits for no event: records the ledger kept while it could
  // not write, notices due after a grace time, the status file's refresh.
  void Poll();
  // What the status file says now, whether or not it could be written.
  std::string StatusNow() { return status_.Content(""); }

  // The HTTP door, when DORVWEB.txt gives it a port: after Form_Load, with
  // the front end's waker; closed before the waker goes.
  // Tests give the settings and the token file: the door then answers on
  // the engine's thread, without listening.
  struct GivenDoor {
    web::WebSettings settings;
    std::string tokenFile;
  };
  void OpenDoor(Waker* waker, const GivenDoor* given = nullptr);
  void CloseDoor();
  web::WebDoor* Door() { return door_.get(); }

 private:
  Dispatcher& d_;
  Notifier notifier_;
  ReceiptLedger ledger_;
  StatusFile status_;
  FileSystem& fs_;
  std::unique_ptr<web::WebDoor> door_;
};

}  // namespace dorvane
