// Early ticks: the cycle runs at once, instead of at its next timer tick,
// when what it waits for has come: a new input while no job is in flight,
// KORA1's verdict (FINESCO or SR_ERR) while a job runs or is held, a job
// just filed (more receipts may wait), or a wake-up from another thread.
// What the watcher saw in the input folder also goes to the engine's index. Only the moment of a tick changes:
// the tick itself is the timer's, and the timer still paces connection
// checks, resets and everything else, alone where folders cannot be watched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dispatch/dispatcher.h"
#include "platform/folder_watcher.h"
#include "platform/waker.h"

namespace dorvane {

class EarlyTick {
 public:
  EarlyTick(Dispatcher& dispatcher, FolderWatcher& watcher, Waker* waker = nullptr)
      : d_(dispatcher), watcher_(watcher), waker_(waker) {}

  // The front end's loop calls this before Dispatcher::RunPending(): it
  // keeps the watch on the folders of the moment and, when a wake-up has
  // come and the cycle is waiting for its timer, makes the tick due now.
  void Poll();

 private:
  void Retarget();
  void Collect();

  Dispatcher& d_;
  FolderWatcher& watcher_;
  Waker* waker_;
  std::vector<std::string> watched_;
  bool watching_ = false;  // every folder asked for is watched
  bool wasConnected_ = false;
  ExecState lastState_ = ExecState::kReady;
  bool inputArrived_ = false;    // a receipt landed in the input folder
  bool verdictArrived_ = false;  // FINESCO or SR_ERR written
  bool jobFiled_ = false;
};

}  // namespace dorvane
