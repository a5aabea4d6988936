// Tells the cashier at once: turns the job engine's events into episodes
// (paper out, a refused receipt, KORA1 missing, ...) and each episode into
// one notification from the tray icon at its start and one at its end, as
// the table in notices.cpp says. Nothing is told while the program closes.
//
// Wiring: add it to the engine's JobEventsFanOut; call Poll() on every pump
// of the front end's loop (KORA1 and a folder are told missing only after
// 10 s without news, and nothing else may come in those 10 s); call
// LedgerWritable() when the receipt ledger fails or works again, and
// SetClosing() when the shutdown starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driverlink/job_events.h"
#include "notify/notices.h"
#include "platform/clock.h"
#include "platform/ui.h"

namespace dorvane {

class Notifier : public JobEvents {
 public:
  // KORA1 or a folder missing for longer than this is told.
  static constexpr std::int64_t kGraceMs = 10000;

  // A notification that was shown.
  struct Told {
    Episode episode = Episode::kPaperOut;
    NoticeIcon icon = NoticeIcon::kInfo;
    std::string title, text;
    std::string since;  // when it was told, "YYYY-MM-DD HH:MM:SS"
  };

  Notifier(Clock& clock, Ui& ui);

  void Taken(const Job& job) override;
  void Settled(const Job& job) override;
  void PaperHeld(const std::string& input, const std::string& line) override;
  void PaperReleased(const std::string& input) override;
  void FilingFailed(const std::string& input, const std::string& reason) override;
  void FiledLater(const std::string& input, const std::vector<std::string>& filedAs) override;
  void FiledUnderOtherName(const std::string& input, const std::string& path, const std::string& reason) override;
  void LinkRefused(const std::string& name) override;
  void Kora1Lost(const std::string& reason) override;
  void Kora1Found() override;
  void FolderUnreachable(const std::string& folder, const std::string& reason) override;
  void FolderBack(const std::string& folder) override;
  void JournalUnwritable(const std::string& folder, const std::string& reason) override;
  void JournalWritable(const std::string& folder) override;
  void StateChanged(ExecState from, ExecState to) override;

  // The receipt ledger could not be written (its reason), or can be again.
  void LedgerWritable(bool writable, const std::string& reason = {});
  // From the start of the shutdown on, nothing is told.
  void SetClosing(bool closing = true) { closing_ = closing; }
  // Tells KORA1 or a folder missing once its 10 s have passed.
  void Poll();

  // The episode told last that has not ended (a refused receipt or an
  // unknown outcome lasts until the cycle takes a job or is ready again);
  // nullptr when there is none.
  const Told* Current() const;

 private:
  struct Open {
    Episode episode = Episode::kPaperOut;
    std::string key;  // the input or the folder; empty for KORA1 and the ledger
    NoticeValues values;
    std::int64_t sinceMs = 0;
    bool delayed = false;  // told after kGraceMs without its end
    bool told = false;
    std::uint64_t order = 0;  // when it was told, to find the latest
    Told notice;
  };

  Open* Find(Episode episode, const std::string& key);
  // An episode begins: told now, or after kGraceMs without its end.
  void Begin(Episode episode, const std::string& key, NoticeValues values, bool delayed);
  // An episode ends: its end is told when its start was and tellEnd holds.
  void Finish(Episode episode, const std::string& key, bool tellEnd = true);
  // A one-shot episode: told now, current until the cycle moves on.
  void Once(Episode episode, NoticeValues values);
  void EndOneShots();
  bool Tell(Episode episode, Phase phase, const NoticeValues& values, Told* told = nullptr);

  Clock& clock_;
  Ui& ui_;
  bool closing_ = false;
  std::vector<Open> open_;
  std::uint64_t toldCount_ = 0;
};

}  // namespace dorvane
