// A day of receipts (printed, refused, one held by a paper-out) run again and
// again: with the Nth file-system operation failing, with DORVANE killed at
// the Nth operation (with and without a power cut that loses what was not
// flushed) and started again, and with KORA1 ended at every moment of a job.
// No receipt may reach KORA1 twice, be lost, or be filed as printed unprinted.
#include <algorithm>
#include <set>

#include "driverlink/recovery.h"
#include "ledger/record.h"
#include "scenario/scenario.h"

namespace dorvane::test {
namespace {

using Outcome = SimKora1::Outcome;

struct Day {
  Harness h;
  SimKora1 kora1{h};
  std::string in = h.Path("in"), out = h.Path("out"), err = h.Path("err");
  std::vector<std::string> names{"R1.001", "R2.001", "R3.001", "R4.001", "R5.001", "R6.001"};
  std::int64_t end = 0;

  Day() {
    for (const std::string& dir : {in, out, err}) h.mem.AddDir(dir);
    kora1.plan = {Outcome::kPrint, Outcome::kFail, Outcome::kPrint, Outcome::kPaperOut};
    kora1.printMs = 1000;
    // A KORA1 that has gone is started again by DORVANE, as the shell would.
    h.processes.onOpen = [this](const std::string&) { h.clock.After(1000, [this] { kora1.Start(500); }); };
    kora1.Start();
    Open();
    h.processes.programs.insert(JoinPath(h.d->State().CurrentKora1AppPathDir, "kkora1.exe"));
    for (std::size_t i = 0; i < names.size(); ++i) {
      h.mem.Put(JoinPath(in, names[i]), "VEND,1,\"" + names[i] + "\",100;\r\n");
      h.mem.SetCreationTime(JoinPath(in, names[i]), {2026, 3, 5, 8, 0, static_cast<int>(i)});
    }
    end = h.clock.MonotonicMs() + 120000;
  }
  void Open() {
    EXPECT_TRUE(OpenShop(*h.d, in, out, err));
    h.d->Ctl().chbOutUnitario.Set(1);
    h.d->Ctl().chkErrorReset.Set(1);
  }
  // Runs the day to its end and returns how many file-system operations
  // DORVANE made; operation failAt fails, and at crashAt DORVANE dies and is
  // started again.
  int Run(int failAt, int crashAt = 0, bool powerCut = false) {
    h.fs.ResetCount();
    h.fs.FailNth(failAt);
    h.fs.CrashAt(crashAt);
    for (;;) {
      try {
        h.RunFor(end - h.clock.MonotonicMs());
        return h.fs.Operations();
      } catch (const SimulatedCrash&) {
        h.fs.CrashAt(0);
        if (powerCut) h.mem.PowerCut();
        h.Restart();
        Open();
      }
    }
  }
  // Each input in one place: still in the input folder (only where an
  // operation failed), its result in the output folder, its job and reason
  // in the error folder. Only printed receipts in the output folder. After
  // crashes no receipt reaches KORA1 twice; a failing operation may leave a
  // refused one to be sent again, never a printed one.
  // The receipt ledger's records, in order, from its month files.
  std::vector<ledger::Record> Ledger() const {
    std::vector<ledger::Record> records;
    const std::string dir = JoinPath(h.commonDir, "ZTKDORVANE");
    for (const std::string& name : h.mem.FilesIn(dir)) {
      if (ledger::MonthOfFileName(name).empty()) continue;
      ledger::ForEachLine(h.mem.Content(JoinPath(dir, name)), [&](std::string_view line) {
        ledger::Record r;
        EXPECT_TRUE(ledger::FromLine(line, r)) << line;
        records.push_back(r);
      });
    }
    return records;
  }
  void Check(const std::string& how, bool afterCrashes) {
    h.checker.ExpectNoneLost();
    // Each receipt filed has its one record, with its outcome, in the order
    // the receipts were settled; records are chained without a gap.
    const std::vector<ledger::Record> records = Ledger();
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].n, i + 1) << how;
    std::size_t next = 0;
    for (const std::string& name : names) {
      const bool inOut = h.mem.Has(JoinPath(out, name + ".OUT")), inErr = h.mem.Has(JoinPath(err, name + ".ERR"));
      const auto mine = std::count_if(records.begin(), records.end(), [&](auto& r) { return r.input == name; });
      if (!afterCrashes || (!inOut && !inErr)) continue;
      EXPECT_EQ(mine, 1) << name << " records " << how;
      while (next < records.size() && records[next].input != name) ++next;
      ASSERT_LT(next, records.size()) << name << " recorded out of order " << how;
      EXPECT_EQ(records[next].outcome == ledger::kOutcomePrinted, inOut) << name << " " << how;
    }
    const std::vector<std::string>& sent = afterCrashes ? kora1.taken : kora1.printed;
    EXPECT_EQ(std::set<std::string>(sent.begin(), sent.end()).size(), sent.size()) << "a receipt sent twice " << how;
    for (const std::string& name : names) {
      const bool inOut = h.mem.Has(JoinPath(out, name + ".OUT"));
      const bool inErr = h.mem.Has(JoinPath(err, name + ".ERR"));
      const bool inIn = !afterCrashes && h.mem.Has(JoinPath(in, name));
      EXPECT_EQ(inIn + inOut + inErr, 1) << name << " " << how;
      EXPECT_TRUE(!inErr || !afterCrashes || h.mem.Has(JoinPath(err, name + "_ERR.ERR"))) << name << " " << how;
      const auto printed = std::count_if(kora1.printed.begin(), kora1.printed.end(),
                                         [&](const std::string& job) { return job.find(name) != std::string::npos; });
      EXPECT_TRUE(!inOut || printed == 1) << name << " filed as printed " << how;
      EXPECT_TRUE(!inIn || printed == 1) << name << " left unprinted in the input folder " << how;
    }
  }
};

TEST(FaultInjection, EveryFailingOperationLeavesEachReceiptInOnePlace) {
  Day whole;
  const int operations = whole.Run(0);
  whole.Check("without faults", true);
  ASSERT_EQ(whole.kora1.printed.size(), 5u);
  ASSERT_GT(operations, 100);
  for (int n = 1; n <= operations && !HasFailure(); ++n) {
    Day day;
    day.Run(n);
    day.end += 60000;  // a minute more without faults: nothing unprinted may stay behind
    day.Run(0);
    day.Check("with operation " + std::to_string(n) + " failing", false);
  }
}

// The output or error folder full (each write leaving half its bytes) or
// gone for eight seconds at every moment of the day: the filings wait and are
// done once the fault ends, and no one ever sees a partial result.
TEST(FaultInjection, OutputAndErrorFoldersFullOrGoneForAWhile) {
  for (int error : {kErrDiskFull, kErrPathNotFound}) {
    for (bool output : {true, false}) {
      for (int ms = 3000; ms <= 33000 && !HasFailure(); ms += 3000) {
        Day day;
        const std::string folder = output ? day.out : day.err;
        for (int at : {ms, ms + 20000}) {  // two episodes
          day.h.clock.After(at, [&] { day.h.fs.SetFolderFault(folder, error); });
          day.h.clock.After(at + 8000, [&] { day.h.fs.SetFolderFault(folder, 0); });
        }
        const std::string how = "with " + folder + " failing (" + std::to_string(error) + ") at " + std::to_string(ms);
        day.h.ui.onPump = [&] {
          for (const std::string& dir : {day.out, day.err})
            for (const std::string& name : day.h.mem.FilesIn(dir))
              if (!IsPlacingName(name)) ASSERT_TRUE(EndsWith(day.h.mem.Content(JoinPath(dir, name)), "\n")) << name << " " << how;
        };
        day.Run(0);
        day.Check(how, true);
        // Each failed filing is told once with its cause, and once when done.
        EXPECT_EQ(Count(day.h.Log(), "ARCHIVIAZIONE NON RIUSCITA"), Count(day.h.Log(), "ARCHIVIAZIONE COMPLETATA")) << how;
      }
    }
  }
}

// DORVANE's data folder read-only: no job can be recorded, so none is handed
// over; told once (log, notification, status), and every receipt prints once
// when the folder can be written again.
TEST(FaultInjection, AReadOnlyDataFolderHoldsTheHandOffsToldOnce) {
  Day day;
  const std::string data = JoinPath(day.h.commonDir, "ZTKDORVANE");
  day.h.fs.SetFolderFault(data, kErrPermissionDenied);
  day.h.RunFor(20000);
  EXPECT_TRUE(day.kora1.taken.empty());
  EXPECT_EQ(Count(day.h.Log(), "REGISTRO DEI LAVORI NON SCRIVIBILE: " + data + " "), 1) << day.h.Log();
  EXPECT_EQ(Count(day.h.Log(), "ERR"), 1) << day.h.Log();
  EXPECT_TRUE(!day.h.ui.notices.empty() && day.h.ui.notices.back().title == "REGISTRO DEI LAVORI NON SCRIVIBILE");
  EXPECT_NE(day.h.observers->StatusNow().find("\"registro_lavori_non_scrivibile\": {\"cartella\""), std::string::npos);
  day.h.fs.SetFolderFault(data, 0);
  day.Run(0);
  day.Check("after a read-only data folder", true);
  EXPECT_EQ(day.kora1.taken.size(), day.names.size());
  EXPECT_EQ(Count(day.h.Log(), "REGISTRO DEI LAVORI DI NUOVO SCRIVIBILE: " + data), 1);
  EXPECT_NE(day.h.observers->StatusNow().find("\"registro_lavori_non_scrivibile\": null"), std::string::npos);
}

TEST(FaultInjection, DorvaneKilledAtEveryOperationWithAndWithoutAPowerCut) {
  const int operations = Day().Run(0);
  for (bool powerCut : {false, true}) {
    for (int n = 1; n <= operations && !HasFailure(); ++n) {
      Day day;
      day.Run(0, n, powerCut);
      day.Check("after a crash at operation " + std::to_string(n) + (powerCut ? " with a power cut" : ""), true);
    }
  }
}

// A restart while KORA1 prints watches the job to its verdict: no false alarm.
TEST(FaultInjection, ARestartWhileKora1PrintsFilesTheReceiptAsPrinted) {
  Day day;
  day.kora1.printMs = 5000;  // still printing when the restarted DORVANE first looks
  while (day.kora1.taken.empty()) day.h.RunFor(10);
  day.h.Restart();
  day.Open();
  day.Run(0);
  EXPECT_TRUE(day.h.mem.Has(JoinPath(day.out, "R1.001.OUT"))) << day.h.Log();
}

TEST(FaultInjection, Kora1EndedAtEveryMomentOfAJob) {
  // Ended cleanly (SR_MATR removed), killed (SR_MATR left behind), or killed
  // and started again at once by someone else.
  for (int ms = 2000; ms <= 12000 && !HasFailure(); ms += 100) {
    Day day;
    day.h.clock.After(ms, [&day, ms] {
      day.kora1.Stop(ms % 200 == 0);
      if (ms % 300 == 0) day.kora1.Start(1000);
    });
    day.Run(0);
    day.Check("with KORA1 ended at " + std::to_string(ms) + " ms", true);
  }
}

TEST(FaultInjection, RecoverySettlesEachRecordedJobFromWhatKora1Left) {
  using S = Settlement;
  struct Row {
    bool there, same, data, waiting, started, finished;
    const char* error;
    bool running;
    Settlement expected;
  };
  const Row rows[] = {
      {false, false, true, false, true, true, "", true, S::kForget},
      {true, false, true, false, true, true, "", true, S::kForget},
      {true, true, false, false, true, true, "", true, S::kUnknown},
      {true, true, true, true, true, false, "", false, S::kResend},
      {true, true, true, false, true, true, "", false, S::kPrinted},
      {true, true, true, false, true, true, "E050: ERRORE", true, S::kFailed},
      {true, true, true, false, true, false, "E096: FINE CARTA", true, S::kPaperOut},
      {true, true, true, false, true, false, "COPERCHIO COVER APERTO", false, S::kUnknown},
      {true, true, true, false, true, false, "", true, S::kWatch},
      {true, true, true, false, false, false, "", true, S::kUnknown},
      {true, true, true, false, true, false, "", false, S::kUnknown},
  };
  for (const Row& r : rows) {
    JobEvidence e{r.there, r.same, r.data, r.waiting, r.started, r.finished, r.error, IsPaperOutLine(r.error), r.running};
    EXPECT_EQ(Settle(e), r.expected) << "row " << (&r - rows);
  }
}

}  // namespace
}  // namespace dorvane::test
