// Early ticks on the virtual clock: each wake-up runs the cycle at once;
// without notifications the timer alone still runs it, an interval later.
#include "dispatch/early_tick.h"
#include "platform/sim/sim_folder_watcher.h"
#include "scenario/scenario.h"

namespace dorvane::test {
namespace {

using Outcome = SimKora1::Outcome;

class EarlyTicks : public Shop, public ::testing::WithParamInterface<std::tuple<int, bool>> {
 protected:
  SimFolderWatcher watcher{h.mem};
  EarlyTick early{d(), watcher};
};

TEST_P(EarlyTicks, EachWakeUpRunsTheCycleAtOnceAndTheTimerAloneStillDoes) {
  struct WakeUp {
    const char* what;
    Outcome outcome;
    std::function<bool()> from;  // the moment the wake-up comes
    std::function<bool()> to;    // what the cycle then does
    bool notified;               // the wake-up comes from the watcher
  };
  auto filed = [&] { return !h.mem.Has(In("A.001")); };
  const WakeUp kWakeUps[] = {
      {"a new input", Outcome::kPrint, [] { return true; }, [&] { return kora1.taken.size() == 1; }, true},
      {"FINESCO", Outcome::kPrint, [&] { return h.mem.Has(kora1.File("FINESCO")); }, filed, true},
      {"SR_ERR", Outcome::kFail, [&] { return h.mem.Has(kora1.File("SR_ERR")); }, filed, true},
      {"a job filed, one more waiting", Outcome::kPrint, filed, [&] { return kora1.taken.size() == 2; }, false},
  };
  const auto [row, notifying] = GetParam();
  const WakeUp& w = kWakeUps[row];
  SCOPED_TRACE(std::string(w.what) + (notifying ? "" : ", no notifications"));
  watcher.notifying = notifying;
  // Pumps come every 10 ms, and every 50 ms inside a tick's waits.
  bool dropped = false;
  std::int64_t fromMs = -1, toMs = -1;
  h.ui.onPump = [&] {
    if (fromMs < 0 && dropped && w.from()) fromMs = h.clock.MonotonicMs();
    if (fromMs >= 0 && toMs < 0 && w.to()) toMs = h.clock.MonotonicMs();
    early.Poll();
  };
  kora1.plan = {w.outcome};
  kora1.Start();
  Open();
  // Connected, and a timer tick has just run: the next is an interval away.
  for (int ms = 0; !(jobs().Snapshot().connected && c().Timer1.MsUntilDue() > 1900); ms += 10) {
    ASSERT_LT(ms, 6000);
    h.RunFor(10);
  }
  Drop("A.001", Receipt(1));
  Drop("B.001", Receipt(2));
  dropped = true;
  h.RunFor(12000);
  ASSERT_GE(toMs, 0);
  // A verdict is read after the cycle's own 300 ms wait.
  if (notifying || !w.notified) {
    EXPECT_LE(toMs - fromMs, 400);
  } else {
    EXPECT_GE(toMs - fromMs, 1000);
  }
}

INSTANTIATE_TEST_SUITE_P(EachKind, EarlyTicks, ::testing::Combine(::testing::Range(0, 4), ::testing::Bool()));

// The input folder's index trusts the watcher: changes it reports lost are
// made good by a listing at once, changes it never reports by the safety
// net's listing half a minute later. Either way each receipt prints once, in order.
class Index : public Shop, public ::testing::WithParamInterface<bool> {
 protected:
  SimFolderWatcher watcher{h.mem};
  EarlyTick early{d(), watcher};
};

TEST_P(Index, ReceiptsTheWatcherMissedArePrintedOnceInOrder) {
  const bool toldLost = GetParam();
  h.ui.onPump = [&] { early.Poll(); };
  kora1.Start();
  Open();
  h.RunFor(3000);
  ASSERT_TRUE(jobs().Snapshot().connected);
  Drop("A.001", Receipt(0));
  h.RunFor(3000);
  ASSERT_EQ(kora1.taken.size(), 1u);
  // Changes are dropped from now on: told as lost after six, or never told.
  if (toldLost) {
    watcher.dropNext = 6;
  } else {
    watcher.notifying = false;
  }
  std::vector<std::string> dropped{Receipt(0)};
  for (int i = 1; i <= 8; ++i) {
    Drop("R" + std::to_string(10 - i) + ".001", Receipt(i));  // name order is not creation order
    dropped.push_back(Receipt(i));
  }
  const std::int64_t from = h.clock.MonotonicMs();
  while (kora1.taken.size() < 2 && h.clock.MonotonicMs() - from < 70000) h.RunFor(100);
  const std::int64_t waited = h.clock.MonotonicMs() - from;
  EXPECT_TRUE(toldLost ? waited < 3000 : waited >= 25000) << waited << " ms";
  h.RunFor(60000);
  EXPECT_EQ(kora1.taken, dropped);
}

INSTANTIATE_TEST_SUITE_P(LostOrNeverTold, Index, ::testing::Bool());

}  // namespace
}  // namespace dorvane::test
