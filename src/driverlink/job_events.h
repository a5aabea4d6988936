// What the job engine tells about each job's life, as it happens. Observers
// (the receipt ledger, the notifications, the status file, the tests'
// invariant checker) hear it synchronously, at fixed points: a settled job's
// event comes before its input is deleted and before its record in the job
// journal is cleared, so an observer can make its own record durable in time.
// Observers never change what the engine does, and must not throw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driverlink/job.h"

namespace dorvane {

// The execution state of the cycle. The numbers are those the state dump
// and the log write.
enum class ExecState : std::int16_t { kReady = 0, kRunning = 1, kBlocked = 2, kPaperOut = 3 };

inline int Number(ExecState s) { return static_cast<int>(s); }
// A word for the state, for readers of the status file.
inline const char* Word(ExecState s) {
  static constexpr const char* kWords[] = {"pronto", "in stampa", "bloccato", "carta esaurita"};
  return kWords[Number(s)];
}

class JobEvents {
 public:
  virtual ~JobEvents() = default;
  virtual void Taken(const Job&) {}
  // The job with its outcome, text and the names it was filed under.
  virtual void Settled(const Job&) {}
  // A paper-out or an open cover holds the job (SR_ERR's first line), and
  // the hold ends.
  virtual void PaperHeld(const std::string& /*input*/, const std::string& /*line*/) {}
  virtual void PaperReleased(const std::string& /*input*/) {}
  // A printed or failed job could not be filed (the port's description of
  // the failure), and was filed later (the names it was filed under).
  virtual void FilingFailed(const std::string& /*input*/, const std::string& /*reason*/) {}
  virtual void FiledLater(const std::string& /*input*/, const std::vector<std::string>& /*filedAs*/) {}
  // A job's files went under a short name (path: its main file), since the
  // folder can never hold its input's name (the port's description).
  virtual void FiledUnderOtherName(const std::string& /*input*/, const std::string& /*path*/,
                                   const std::string& /*reason*/) {}
  virtual void LinkRefused(const std::string& /*name*/) {}
  // KORA1 not connected or not ready (the result box's text), and back.
  virtual void Kora1Lost(const std::string& /*reason*/) {}
  virtual void Kora1Found() {}
  // One of the input, output or error folders cannot be reached, and is back.
  virtual void FolderUnreachable(const std::string& /*folder*/, const std::string& /*reason*/) {}
  virtual void FolderBack(const std::string& /*folder*/) {}
  // The job journal cannot be written (its folder, the port's description):
  // nothing is handed over until it can, again.
  virtual void JournalUnwritable(const std::string& /*folder*/, const std::string& /*reason*/) {}
  virtual void JournalWritable(const std::string& /*folder*/) {}
  virtual void StateChanged(ExecState /*from*/, ExecState /*to*/) {}
  // Receipts in the input folder the selection would take, counted at each
  // selection.
  virtual void Waiting(int /*receipts*/) {}
  // An observer that writes files names them here: the selection never takes
  // one as a receipt, whatever the filter.
  virtual bool OwnsFile(const std::string& /*name*/) const { return false; }
  // Every record this observer made of a settled job is durable: on disk,
  // or kept where the next run finds it. A job's input is deleted only when
  // every observer says so.
  virtual bool Recorded() const { return true; }
};

// Passes every event on to each observer in turn.
class JobEventsFanOut : public JobEvents {
 public:
  void Add(JobEvents* observer) { observers_.push_back(observer); }
  void Taken(const Job& j) override { Each([&](JobEvents& o) { o.Taken(j); }); }
  void Settled(const Job& j) override { Each([&](JobEvents& o) { o.Settled(j); }); }
  void PaperHeld(const std::string& i, const std::string& l) override { Each([&](JobEvents& o) { o.PaperHeld(i, l); }); }
  void PaperReleased(const std::string& i) override { Each([&](JobEvents& o) { o.PaperReleased(i); }); }
  void FilingFailed(const std::string& i, const std::string& r) override {
    Each([&](JobEvents& o) { o.FilingFailed(i, r); });
  }
  void FiledLater(const std::string& i, const std::vector<std::string>& f) override {
    Each([&](JobEvents& o) { o.FiledLater(i, f); });
  }
  void FiledUnderOtherName(const std::string& i, const std::string& p, const std::string& r) override {
    Each([&](JobEvents& o) { o.FiledUnderOtherName(i, p, r); });
  }
  void LinkRefused(const std::string& n) override { Each([&](JobEvents& o) { o.LinkRefused(n); }); }
  void Kora1Lost(const std::string& r) override { Each([&](JobEvents& o) { o.Kora1Lost(r); }); }
  void Kora1Found() override { Each([&](JobEvents& o) { o.Kora1Found(); }); }
  void FolderUnreachable(const std::string& f, const std::string& r) override {
    Each([&](JobEvents& o) { o.FolderUnreachable(f, r); });
  }
  void FolderBack(const std::string& f) override { Each([&](JobEvents& o) { o.FolderBack(f); }); }
  void JournalUnwritable(const std::string& f, const std::string& r) override {
    Each([&](JobEvents& o) { o.JournalUnwritable(f, r); });
  }
  void JournalWritable(const std::string& f) override { Each([&](JobEvents& o) { o.JournalWritable(f); }); }
  void StateChanged(ExecState a, ExecState b) override { Each([&](JobEvents& o) { o.StateChanged(a, b); }); }
  void Waiting(int n) override { Each([&](JobEvents& o) { o.Waiting(n); }); }
  bool OwnsFile(const std::string& name) const override {
    for (const JobEvents* o : observers_)
      if (o->OwnsFile(name)) return true;
    return false;
  }
  bool Recorded() const override {
    for (const JobEvents* o : observers_)
      if (!o->Recorded()) return false;
    return true;
  }

 private:
  template <class F>
  void Each(F f) {
    for (JobEvents* o : observers_) f(*o);
  }
  std::vector<JobEvents*> observers_;
};

}  // namespace dorvane
