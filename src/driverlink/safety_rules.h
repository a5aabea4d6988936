// The rules that keep a receipt from being printed twice, checked by the
// program itself at the hand-off, not only by the tests: no hand-off of a
// receipt the journal marks printed; no job data while a job is in flight
// (an unsettled job in the journal, or a start signal KORA1 has not taken);
// the job KORA1 is started on is the job the journal recorded; a settled
// job's input is deleted only once the observers' records of it (the
// receipt ledger's) are durable. A broken rule
// never goes on silently: the hand-off stops, the event log names the rule
// in one line, the state is dumped, and the cycle waits in the error state
// for the operator; the reset after it makes the engine reconnect, which
// settles whatever KORA1 was left with.
#pragma once

#include <string>

#include "driverlink/driver_link.h"

namespace dorvane {

enum class SafetyRule { kPrintedAgain, kJobInFlight, kJobNotAsRecorded, kNotRecorded };

class SafetyRules {
 public:
  explicit SafetyRules(DriverLink& link) : link_(link) {}

  // Before any job data is written for the input with this key.
  bool MayHandOver(const std::string& input, const std::string& key);
  // Once the job is recorded, before its start signal: KORA1's job file
  // holds the size and checksum the journal recorded.
  bool HandedOverAsRecorded();
  // After a job is settled, before its input is deleted.
  bool MayDeleteInput();
  // A rule was broken since the last call: the cycle is to stop.
  bool TakeBroken();

 private:
  bool Break(SafetyRule rule);

  DriverLink& link_;
  bool broken_ = false;
};

}  // namespace dorvane
