// Watching the job in flight: finished, running, failed, or held by a
// paper-out (or an open cover) until KORA1 resumes.
#pragma once

#include <string>

#include "driverlink/driver_link.h"

namespace dorvane {

class Monitor {
 public:
  explicit Monitor(DriverLink& link) : link_(link) {}

  // Reads KORA1's verdict: ready (FINESCO), running, blocked (an error
  // text, in message) or paper out.
  ExecState MonitorKora1(std::string& message);
  bool PaperOut() const { return paperOut_; }
  // The hold begins or ends; each has its log line and its event.
  void SetPaperOut(bool paperOut, const std::string& line = "");
  // A hold settled from what KORA1 left: the next poll tells it anew.
  void ForgetPaperOut() { paperOut_ = false; }
  // Whether SR_ERR reports a paper-out.
  Status IsPaperOut(bool& paperOut);
  // The job is filed as failed: its error file stays, unless a paper-out
  // holds the job, when it is the paper-out copy, which goes if it prints.
  void FiledAsFailed() { paperCopy_ = paperOut_ ? PaperOutCopyPath() : ""; }

 private:
  std::string PaperOutCopyPath();
  void RemovePaperOutCopy();

  DriverLink& link_;
  bool paperOut_ = false;  // the job is held by a paper-out or an open cover
  // The copy of this job's paper-out report placed in the error folder: it
  // goes when the job prints, whatever polls came between.
  std::string paperCopy_;
};

}  // namespace dorvane
