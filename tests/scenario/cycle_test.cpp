// The dispatch cycle on the virtual clock: every row of its state table, the
// paper-out hold, the retry marker, writers and links in the input folder.
#include "ledger/receipt_ledger.h"
#include "scenario/scenario.h"

namespace dorvane::test {
namespace {

using Outcome = SimKora1::Outcome;

class Cycle : public Shop {
 protected:
  void SetUp() override {
    Shop::SetUp();
    kora1.Start();
    Open();
  }
};

TEST_F(Cycle, OneReceiptIsPrintedFiledAndItsInputDeleted) {
  c().chbOutUnitario.Set(1);
  Drop("ABC.001", Receipt(1));
  h.RunFor(2000);  // first tick: KORA1 found
  EXPECT_EQ(h.ui.trayTip, kTipConnected);
  EXPECT_EQ(c().cmdKora1Connection.Caption, "KORA1 CONNESSO");
  EXPECT_FALSE(h.mem.Has(kora1.File("SR_DATI")));

  h.RunFor(2000);  // second tick: handed over
  EXPECT_EQ(jobs().Snapshot().input, In("ABC.001"));
  EXPECT_EQ(jobs().State(), ExecState::kRunning);
  EXPECT_EQ(h.mem.Content(kora1.File("SR_DATI")), Receipt(1));
  EXPECT_TRUE(h.mem.Has(In("ABC.001")));

  h.RunFor(2000);  // third tick: KORA1 has printed it
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  EXPECT_EQ(kora1.printed, std::vector<std::string>{Receipt(1)});
  EXPECT_EQ(h.mem.Content(Out("ABC.001.OUT")) + h.mem.Content(Err("ABC.001.BTO")), "ESITO=OK\r\nLAVORO=1\r\nOK\r\n");
  EXPECT_FALSE(h.mem.Has(In("ABC.001")));
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{"OK:  |KORA1 CONNESSO (b)|",
                                                   "OK:  |KORA1 TERMINATO CORRETTAMENTE|" + In("ABC.001")}));
  // Idle ticks look for KORA1's process and log nothing.
  h.RunFor(6000);
  EXPECT_EQ(LogEvents().size(), 2u);
  EXPECT_GE(jobs().Snapshot().idleTicks, 3);
}

TEST_F(Cycle, ReceiptsGoOutOldestFirstAndOtherYearsStay) {
  Drop("C.001", Receipt(3));
  Drop("B.001", Receipt(2));
  Drop("A.001", Receipt(1));
  Drop("OLD.001", Receipt(0));
  h.mem.SetCreationTime(In("A.001"), {2026, 3, 5, 8, 0, 0});
  h.mem.SetCreationTime(In("B.001"), {2026, 3, 5, 8, 0, 1});
  h.mem.SetCreationTime(In("C.001"), {2026, 3, 5, 8, 0, 1});  // same second as B, listed first
  h.mem.SetCreationTime(In("OLD.001"), {2025, 12, 31, 23, 59, 59});
  h.RunFor(30000);
  EXPECT_EQ(kora1.printed, (std::vector<std::string>{Receipt(1), Receipt(3), Receipt(2)}));
  EXPECT_TRUE(h.mem.Has(In("OLD.001")));
}

TEST_F(Cycle, JobErrorIsFiledAndBlocksUntilTheRetryMarker) {
  c().chbOutUnitario.Set(1);
  kora1.plan = {Outcome::kFail};
  Drop("BAD.001", Receipt(1));
  h.RunFor(6000);
  EXPECT_EQ(jobs().State(), ExecState::kBlocked);
  EXPECT_EQ(c().txtKora1Result.Text, "E050: ERRORE STAMPANTE");
  EXPECT_EQ(h.mem.Content(Err("BAD.001.ERR")), Receipt(1));
  EXPECT_EQ(h.mem.Content(Err("BAD.001_ERR.ERR")), "E050: ERRORE STAMPANTE\r\n");
  EXPECT_EQ(h.mem.Content(Err("BAD.001.BTO")), "KO\r\n");
  EXPECT_EQ(There({In("BAD.001"), kora1.File("SR_DATI")}), "--");
  for (const std::string& event :
       {"ERR:|" + Err("BAD.001.ERR"), "ERR:|" + Err("BAD.001_ERR.ERR"), std::string("ERR: |E050: ERRORE STAMPANTE")})
    EXPECT_TRUE(Logged(event + "|" + In("BAD.001"))) << event;

  Drop("NEXT.001", Receipt(2));
  h.RunFor(10000);
  EXPECT_EQ(jobs().State(), ExecState::kBlocked);
  EXPECT_EQ(c().cmdResetError.BackColor, kRed);
  EXPECT_TRUE(h.mem.Has(In("NEXT.001")));

  h.mem.Put(In("DORVRETRY.DVN"), "");
  h.RunFor(2000);
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  EXPECT_EQ(c().txtKora1Result.Text, "");
  EXPECT_FALSE(h.mem.Has(In("DORVRETRY.DVN")));
  h.RunFor(4000);
  EXPECT_EQ(kora1.printed, std::vector<std::string>{Receipt(2)});
  EXPECT_FALSE(h.mem.Has(In("NEXT.001")));
}

TEST_F(Cycle, PaperOutHoldsTheJobUntilKora1Resumes) {
  kora1.plan = {Outcome::kPaperOut};
  kora1.holdMs = 9000;
  Drop("P.001", Receipt(1));
  h.RunFor(6000);
  EXPECT_EQ(jobs().State(), ExecState::kPaperOut);
  EXPECT_TRUE(jobs().Snapshot().paperOut);
  EXPECT_EQ(h.mem.Content(Err("P.001_ERR.ERR")), "E096: FINE CARTA\r\n");
  EXPECT_EQ(There({In("P.001"), kora1.File("SR_DATI")}), "++");
  h.RunFor(10000);  // paper loaded: KORA1 finishes the receipt
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  EXPECT_FALSE(jobs().Snapshot().paperOut);
  EXPECT_EQ(kora1.printed.size(), 1u);
  // Removed report, then a running poll: a printed receipt leaves no
  // paper-out copy behind, whatever polls came between.
  EXPECT_EQ(There({Out("P.001.OUT"), In("P.001"), Err("P.001_ERR.ERR")}), "+--");
}

TEST_F(Cycle, ALateKora1NeverLendsTheLastVerdictToTheNextJob) {
  Drop("ONE.001", Receipt(1));
  h.RunFor(6000);
  ASSERT_EQ(kora1.printed.size(), 1u);
  kora1.takeDelayMs = 7000;  // several ticks before it takes job two
  Drop("TWO.001", Receipt(2));
  h.RunFor(2000);
  ASSERT_EQ(jobs().State(), ExecState::kRunning);
  h.RunFor(6000);
  EXPECT_EQ(jobs().State(), ExecState::kRunning);
  EXPECT_EQ(There({Out("TWO.001.OUT"), In("TWO.001")}), "-+");
  h.RunFor(4000);
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  EXPECT_EQ(h.mem.Content(Out("TWO.001.OUT")), "ESITO=OK\r\nLAVORO=2\r\n");
  EXPECT_EQ(kora1.printed.size(), 2u);
}

TEST_F(Cycle, AStaleVerdictThatCannotBeRemovedStopsTheHandOff) {
  Drop("ONE.001", Receipt(1));
  h.RunFor(6000);
  ASSERT_EQ(kora1.printed.size(), 1u);
  Drop("TWO.001", Receipt(2));
  h.fs.FailPath(kora1.File("FINESCO"), 25);  // held for one whole hand-off and more
  h.RunFor(2000 + 9500);
  EXPECT_EQ(There({kora1.File("SR_START"), kora1.File("SR_DATI"), In("TWO.001")}), "--+");
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  EXPECT_TRUE(StartsWith(c().txtKora1Result.Text, "FILE DI INPUT NON DISPONIBILE: "));
  EXPECT_TRUE(Logged("ERR: |" + c().txtKora1Result.Text + "|" + In("TWO.001")));
  // Once FINESCO can go, the receipt is sent and printed once.
  h.RunFor(20000);
  EXPECT_EQ(kora1.printed, (std::vector<std::string>{Receipt(1), Receipt(2)}));
  EXPECT_EQ(h.mem.Content(Out("TWO.001.OUT")), "ESITO=OK\r\nLAVORO=2\r\n");
}

// The tick that hands a receipt over waits about 50 retries 100 ms apart
// for its writer; a receipt still held then is reported and left in place.
TEST_F(Cycle, ASourceHeldByItsWriterIsSentOnceItIsFree) {
  h.RunFor(2000);
  Drop("W.001", Receipt(1));
  h.mem.SetHeld(In("W.001"), true);
  h.clock.After(2000 + 5000, [&] { h.mem.SetHeld(In("W.001"), false); });
  h.RunFor(2000);
  EXPECT_GE(h.clock.MonotonicMs(), 4000 + 5000);
  EXPECT_LT(h.clock.MonotonicMs(), 4000 + 5500);
  EXPECT_EQ(h.mem.Content(kora1.File("SR_DATI")), Receipt(1));
  h.RunFor(4000);
  Drop("V.001", Receipt(2));
  h.mem.SetHeld(In("V.001"), true);
  h.RunFor(2000);
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  EXPECT_TRUE(StartsWith(c().txtKora1Result.Text, "FILE DI INPUT NON DISPONIBILE: "));
  EXPECT_EQ(There({kora1.File("SR_START"), Err("V.001.ERR"), In("V.001")}), "--+");
  h.mem.SetHeld(In("V.001"), false);
  h.RunFor(6000);
  EXPECT_EQ(kora1.printed, (std::vector<std::string>{Receipt(1), Receipt(2)}));
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(Cycle, AJobFileKora1HoldsIsCopiedAgainUntilItIsFree) {
  h.RunFor(2000);
  Drop("W.001", Receipt(1));
  h.fs.FailPath(kora1.File("SR_DATI"), 50);
  h.RunFor(2000);
  EXPECT_EQ(jobs().State(), ExecState::kRunning);
  EXPECT_EQ(h.mem.Content(kora1.File("SR_DATI")), Receipt(1));
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(Cycle, APrintedReceiptWhoseInputCannotBeDeletedIsNeverSentAgain) {
  Drop("STUCK.001", Receipt(1));
  h.RunFor(4000);
  ASSERT_EQ(jobs().State(), ExecState::kRunning);
  h.fs.FailPath(In("STUCK.001"), 1000);  // read-only from now on
  h.RunFor(2000 + 9500);
  EXPECT_EQ(jobs().State(), ExecState::kReady) << "it printed: no job error";
  EXPECT_EQ(c().txtKora1Result.Text, "ERRORE: FILE DI INPUT NON CANCELLATO - Autorizzazione negata 70");
  EXPECT_TRUE(Logged("ERR: |ERRORE: FILE DI INPUT NON CANCELLATO|" + In("STUCK.001")));
  EXPECT_TRUE(h.mem.Has(Out("STUCK.001.OUT")));
  // No reset: the undeletable receipt stays, the next one goes.
  Drop("NEXT.001", Receipt(2));
  h.RunFor(30000);
  EXPECT_EQ(kora1.printed, (std::vector<std::string>{Receipt(1), Receipt(2)}));
  EXPECT_TRUE(h.mem.Has(In("STUCK.001")));
  EXPECT_EQ(h.Log().find("REGOLA DI SICUREZZA"), std::string::npos) << "the selection never offers it";
  // Deleted at last (by hand): the journal forgets it at the next tick.
  h.fs.FailPath(In("STUCK.001"), 0);
  h.mem.Erase(In("STUCK.001"));
  h.RunFor(4000);
  EXPECT_EQ(h.mem.Content(JoinPath(JoinPath(h.commonDir, "ZTKDORVANE"), "DORVJOB.DVN")).find("STAMPATO="), std::string::npos);
}

TEST_F(Cycle, AReceiptTheConverterRefusesIsFiledWithItsOwnReport) {
  c().SelectLayout(1);
  // A payment record (kind 6) whose payment code (column 49) no printer knows.
  const std::string receipt = "00HEADER\r\n6 12,50     CONTANTI" + std::string(28, ' ') + "999\r\n";
  Drop("BAD.001", receipt);
  h.RunFor(4000);
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  EXPECT_TRUE(kora1.taken.empty());
  EXPECT_EQ(h.mem.Content(Err("BAD.001.ERR")), receipt);
  EXPECT_EQ(h.mem.Content(Err("BAD.001_ERR.ERR")), "E599: FILE DI INPUT NON DISPONIBILE: \r\n");
  EXPECT_FALSE(h.mem.Has(In("BAD.001")));
  EXPECT_FALSE(h.ui.messages.empty());  // the converter's own error box
}

class HeldJob : public Cycle {
 protected:
  // A job in flight whose report reads paper-out, without KORA1 behind it.
  void SetUp() override {
    Cycle::SetUp();
    kora1.Stop();
    kora1.Start();  // a KORA1 that takes no job: the test writes its answers
    kora1.pollMs = 1000000;
    h.RunFor(2000);
    Drop("J.001", Receipt(1));
    Assume(In("J.001"), ExecState::kRunning);
    h.mem.Put(kora1.File("SR_DATI"), Receipt(1));
    h.mem.Put(kora1.File("SR_ERR"), "E096: FINE CARTA\r\n");
  }
};

TEST_F(HeldJob, PaperOutThatClearsWithinTheTickFilesTheJobAtOnce) {
  // The tick at 4 s polls twice, reading at 4.3 s and 4.6 s.
  h.clock.At(4450, [&] {
    h.mem.Put(kora1.File("SR_ERR"), "");
    h.mem.Put(kora1.File("SR_OUT"), "ESITO=OK\r\n");
    h.mem.Put(kora1.File("FINESCO"), "");
  });
  h.RunFor(2000);
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  EXPECT_FALSE(jobs().Snapshot().paperOut);
  EXPECT_EQ(h.mem.Content(Out("J.001.OUT")), "ESITO=OK\r\n");
  EXPECT_EQ(There({Err("J.001_ERR.ERR"), In("J.001")}), "--");
}

TEST_F(HeldJob, AnErrorAfterThePaperOutBlocksTheCycle) {
  h.RunFor(2000);
  ASSERT_EQ(jobs().State(), ExecState::kPaperOut);
  h.mem.Put(kora1.File("SR_ERR"), "E050: GUASTO\r\n");
  const std::size_t logged = LogLines().size();
  h.RunFor(2000);
  EXPECT_EQ(jobs().State(), ExecState::kBlocked);
  EXPECT_EQ(c().txtKora1Result.Text, "E096: FINE CARTA");  // nothing shown, nothing logged
  EXPECT_EQ(LogLines().size(), logged);
  EXPECT_TRUE(h.mem.Has(In("J.001")));
}

TEST_F(Cycle, StopPressedDuringATickIsObeyedWhenTheTickEnds) {
  Drop("A.001", Receipt(1));
  h.RunFor(4000);
  ASSERT_EQ(jobs().State(), ExecState::kRunning);
  // The next tick waits 300 ms on FINESCO; STOP is pressed meanwhile.
  bool pressed = false;
  h.ui.onPump = [&] {
    if (d().InTick() && !pressed) {
      pressed = true;
      d().cmdEnableTimer_Click();
    }
  };
  h.RunFor(2000);
  ASSERT_TRUE(pressed);
  EXPECT_EQ(jobs().State(), ExecState::kReady);  // the tick still finished its job
  EXPECT_FALSE(c().Timer1.Enabled());
  EXPECT_EQ(c().cmdEnableTimer.Caption, "START");
  Drop("B.001", Receipt(2));  // not even an early tick while stopped
  h.RunFor(10000);
  EXPECT_EQ(kora1.printed.size(), 1u);
}

// Each of the three folders gone while idle, then back: told once each way,
// in the log at once and by the notification and the status file after 10 s.
TEST_F(Cycle, EachFolderGoneWhileIdleIsToldOnceAndAgainWhenBack) {
  for (const std::string& dir : {in, out, err}) {
    h.mem.RemoveDir(dir);
    h.RunFor(15000);
    EXPECT_NE(h.observers->StatusNow().find("NON RAGGIUNGIBILE DA PIU' DI 10 SECONDI"), std::string::npos) << dir;
    h.mem.AddDir(dir);
    h.RunFor(3000);
    EXPECT_EQ(Count(h.Log(), "ERR: |CARTELLA NON ACCESSIBILE: " + dir + " "), 1) << dir;
    EXPECT_EQ(Count(h.Log(), "OK:  |CARTELLA DI NUOVO ACCESSIBILE: " + dir + "|"), 1) << dir;
    EXPECT_EQ(h.ui.notices.back().text, dir) << "back";
  }
  EXPECT_EQ(h.ui.notices.size(), 6u);
}

// A filing that waits outlives a restart: the next run places it once the
// folder is back, and a run after that never places it again.
TEST_F(Cycle, AFilingThatWaitsOutlivesARestartAndIsDoneOnce) {
  const std::string pending = JoinPath(JoinPath(h.commonDir, "ZTKDORVANE"), "DORVPEND.DVN");
  h.fs.SetFolderFault(out, kErrPathNotFound);
  Drop("A.001", Receipt(1));
  h.RunFor(8000);
  ASSERT_EQ(kora1.printed.size(), 1u);
  EXPECT_EQ(There({pending, In("A.001"), Out("A.001.OUT")}), "++-");
  // Told at once, with no box to stop the till; no job error.
  EXPECT_TRUE(h.ui.messages.empty()) << h.ui.messages[0];
  EXPECT_TRUE(!h.ui.notices.empty() && h.ui.notices.back().title == "ARCHIVIAZIONE NON RIUSCITA");
  EXPECT_NE(h.observers->StatusNow().find("\"titolo\": \"ARCHIVIAZIONE NON RIUSCITA\""), std::string::npos);
  EXPECT_EQ(jobs().State(), ExecState::kReady);
  for (int run = 1; run <= 2; ++run) {
    h.Restart();
    Open();
    h.fs.SetFolderFault(out, 0);
    h.RunFor(6000);
    EXPECT_EQ(There({pending, In("A.001"), Out("A.001.OUT")}), "--+") << "run " << run;
  }
  EXPECT_EQ(Count(h.Log(), "ARCHIVIAZIONE COMPLETATA"), 1);
  EXPECT_EQ(kora1.printed.size(), 1u);
  // Within one run: the receipt after a filing that waits goes once it is
  // done, with no reset.
  h.fs.SetFolderFault(out, kErrPathNotFound);
  Drop("B.001", Receipt(2));
  h.RunFor(4000);
  Drop("C.001", Receipt(3));
  h.RunFor(4000);
  h.fs.SetFolderFault(out, 0);
  h.RunFor(6000);
  EXPECT_EQ(There({Out("B.001.OUT"), Out("C.001.OUT"), In("C.001")}), "++-");
  EXPECT_EQ(kora1.printed.size(), 3u);
}

// A filing held by an output folder gone for long holds the receipts after
// it, until the operator lets them go on ("Reset Errore", then "Sì"); each
// is printed once and all are filed, in order, once the folder is back.
TEST_F(Cycle, TheOperatorLetsTheReceiptsAfterAHeldFilingGoOn) {
  h.fs.SetFolderFault(out, kErrPathNotFound);
  Drop("A.001", Receipt(1));
  h.RunFor(6000);
  Drop("B.001", Receipt(2));
  h.RunFor(2000);
  Drop("C.001", Receipt(3));
  h.RunFor(8000);
  ASSERT_EQ(kora1.printed.size(), 1u);
  for (bool yes : {false, true}) {
    h.ui.answerYes = yes;
    d().cmdResetError_Click();
    h.RunFor(10000);
    EXPECT_EQ(kora1.printed.size(), yes ? 3u : 1u);
  }
  EXPECT_EQ(h.ui.questions.size(), 2u);
  EXPECT_EQ(Count(h.Log(), "SCONTRINI SUCCESSIVI SBLOCCATI, ARCHIVIAZIONE ANCORA IN ATTESA: " + In("A.001")), 1);
  EXPECT_EQ(There({In("A.001"), In("B.001"), In("C.001")}), "+++");
  h.fs.SetFolderFault(out, 0);
  h.RunFor(6000);
  EXPECT_EQ(There({In("A.001"), In("B.001"), In("C.001"), Out("A.001.OUT"), Out("B.001.OUT"), Out("C.001.OUT")}), "---+++");
  const std::string log = h.Log();
  const std::size_t a = log.find("COMPLETATA|" + In("A.001")), b = log.find("COMPLETATA|" + In("B.001")),
                    c3 = log.find("COMPLETATA|" + In("C.001"));
  EXPECT_TRUE(a < b && b < c3 && c3 != std::string::npos) << log;
  EXPECT_EQ(kora1.printed, (std::vector<std::string>{Receipt(1), Receipt(2), Receipt(3)}));
}

// The window stays live inside a step's waits, and what its buttons ask is
// done when the step ends: STOP shows at once, "Reset Errore" and close
// act after the step, which still files or hands over what it was doing.
enum class Wait { kCopyRetry, kOwnReport };  // a source held by its writer; DORVANE's own E599
enum class Button { kStop, kReset, kClose };

class PressedInAWait : public Cycle, public ::testing::WithParamInterface<std::tuple<Wait, Button>> {};

TEST_P(PressedInAWait, TheStepEndsBeforeTheButtonActs) {
  const auto [wait, button] = GetParam();
  h.RunFor(2000);  // connected
  bool held = false;
  if (wait == Wait::kCopyRetry) {
    Drop("J.001", Receipt(1));
    h.mem.SetHeld(In("J.001"), held = true);
    h.clock.At(5000, [&] { h.mem.SetHeld(In("J.001"), held = false); });
  } else {
    c().SelectLayout(1);  // a payment code no printer knows: the converter refuses it
    Drop("J.001", "00HEADER\r\n6 12,50     CONTANTI" + std::string(28, ' ') + "999\r\n");
  }
  auto inTheWait = [&] {
    return wait == Wait::kCopyRetry ? held : StartsWith(h.mem.Content(kora1.File("SR_ERR")), "E599");
  };
  bool pressed = false;
  h.ui.onPump = [&] {
    if (pressed || !d().InTick() || !inTheWait()) return;
    pressed = true;
    const ExecState before = d().Jobs().State();
    switch (button) {
      case Button::kStop:
        d().cmdEnableTimer_Click();
        EXPECT_EQ(c().cmdEnableTimer.Caption, "START");
        break;
      case Button::kReset:
        d().cmdResetError_Click();
        EXPECT_EQ(There({kora1.File("SR_ERR")}), wait == Wait::kOwnReport ? "+" : "-");
        break;
      case Button::kClose:
        d().RequestClose();
        EXPECT_TRUE(d().State().InChiusura);
        break;
    }
    EXPECT_EQ(d().Jobs().State(), before);
    EXPECT_FALSE(d().Ended());
  };
  h.RunFor(4000);
  ASSERT_TRUE(pressed);
  if (wait == Wait::kOwnReport) {
    EXPECT_EQ(h.mem.Content(Err("J.001_ERR.ERR")), "E599: FILE DI INPUT NON DISPONIBILE: \r\n");
    EXPECT_EQ(There({Err("J.001.ERR"), In("J.001")}), "+-");
    EXPECT_TRUE(kora1.taken.empty());
  } else {
    EXPECT_EQ(kora1.taken, std::vector<std::string>{Receipt(1)});  // handed over once the writer let go
    EXPECT_EQ(d().Jobs().State(), ExecState::kRunning);  // a reset never drops a job in flight
  }
  h.RunFor(8000);
  EXPECT_EQ(d().Ended(), button == Button::kClose);
  EXPECT_EQ(c().Timer1.Enabled(), button == Button::kReset);
  // A reset never drops a job in flight: it is filed once, printed once.
  if (wait == Wait::kCopyRetry) EXPECT_EQ(kora1.printed.size(), 1u);
  if (wait == Wait::kCopyRetry && button == Button::kReset) EXPECT_TRUE(h.mem.Has(Out("J.001.OUT")));
}

INSTANTIATE_TEST_SUITE_P(Buttons, PressedInAWait,
                         ::testing::Combine(::testing::Values(Wait::kCopyRetry, Wait::kOwnReport),
                                            ::testing::Values(Button::kStop, Button::kReset, Button::kClose)));

// The safety rules hold in the program too: a hand-off that would print a
// receipt twice, start a second job, or start KORA1 on data other than the
// job recorded stops before the start signal, and a printed receipt whose
// ledger record is neither written nor kept keeps its input; each with one
// log line naming the rule and a state dump. The reset reconnects, and the
// receipt is then printed, filed and recorded once.
enum class Broken { kPrintedAgain, kJobInFlight, kJobNotAsRecorded, kNotRecorded };

class SafetyRule : public Cycle, public ::testing::WithParamInterface<Broken> {};

TEST_P(SafetyRule, StopsTheHandOffAndTheCycleForTheOperator) {
  const std::string ledgerDir = JoinPath(h.commonDir, "ZTKDORVANE");
  h.RunFor(2000);  // connected
  Drop("A.001", Receipt(1));
  bool corrupted = false;
  switch (GetParam()) {
    case Broken::kPrintedAgain: {
      // As if the selection offered a receipt the journal marks printed.
      const std::string key = selection().FindFileInfo(In("A.001"));
      h.mem.Put(JoinPath(JoinPath(h.commonDir, "ZTKDORVANE"), "DORVJOB.DVN"), "STAMPATO=" + In("A.001") + "|" + key + "\r\n");
      h.Restart();
      Open();
      Probe::Link(d()).x = MakeExchangeFiles(h.kora1Dir, "1");
      Probe::Link(d()).OpenRecords();
      Probe::Link(d()).key = key;
      EXPECT_FALSE(handOff().SendFileToKora1(In("A.001")));
      break;
    }
    case Broken::kJobInFlight:
      kora1.pollMs = 1000000;  // a start signal KORA1 has not taken yet
      h.RunFor(100);
      h.mem.Put(kora1.File("SR_START"), "1\r\n");
      h.RunFor(2000);
      break;
    case Broken::kJobNotAsRecorded:
      h.mem.onChange = [&](const std::string& path) {
        if (path == kora1.File("SR_DATI") && !corrupted) corrupted = true, h.mem.Put(path, Receipt(9));
      };
      h.RunFor(2000);
      break;
    case Broken::kNotRecorded:
      for (const char* file : {"DORVREG-2026-03.jsonl", "DORVREG-PENDENTI.jsonl"})
        h.fs.FailPath(JoinPath(ledgerDir, file), 1000000);
      h.RunFor(6000);
      break;
  }
  const bool printed = GetParam() == Broken::kNotRecorded;
  int told = 0;
  for (const std::string& e : LogEvents()) told += StartsWith(e, "ERR: |REGOLA DI SICUREZZA VIOLATA: ");
  EXPECT_EQ(told, 1) << h.Log();
  EXPECT_TRUE(h.mem.Has(JoinPath(h.appDir, "ztk_log.txt")));
  EXPECT_TRUE(StartsWith(c().txtKora1Result.Text, "REGOLA DI SICUREZZA VIOLATA: "));
  EXPECT_EQ(kora1.taken.size(), printed ? 1u : 0u);
  EXPECT_TRUE(h.mem.Has(In("A.001")));
  if (!printed) EXPECT_FALSE(h.mem.Has(kora1.File("SR_DATI")));
  if (GetParam() == Broken::kPrintedAgain) return;
  EXPECT_EQ(d().Jobs().State(), ExecState::kBlocked);
  EXPECT_FALSE(Probe::Link(d()).journal.Job());
  // The operator resets: KORA1's stale start signal goes with the
  // reconnection, and the receipt prints once.
  h.mem.onChange = nullptr;
  for (const char* file : {"DORVREG-2026-03.jsonl", "DORVREG-PENDENTI.jsonl"}) h.fs.FailPath(JoinPath(ledgerDir, file), 0);
  d().cmdResetError_Click();
  h.RunFor(2500);
  EXPECT_FALSE(h.mem.Has(kora1.File("SR_START")));
  kora1.pollMs = 50;
  kora1.Stop();
  kora1.Start();
  h.RunFor(10000);
  EXPECT_EQ(kora1.printed, std::vector<std::string>{Receipt(1)});
  EXPECT_EQ(There({Out("A.001.OUT"), In("A.001")}), "+-");
  const std::string ledger = h.mem.Content(JoinPath(ledgerDir, "DORVREG-2026-03.jsonl"));
  EXPECT_EQ(std::count(ledger.begin(), ledger.end(), '\n'), 1) << ledger;
}

INSTANTIATE_TEST_SUITE_P(Rules, SafetyRule,
                         ::testing::Values(Broken::kPrintedAgain, Broken::kJobInFlight, Broken::kJobNotAsRecorded,
                                           Broken::kNotRecorded));

// An unknown outcome says who was interrupted while KORA1 had the job, as
// far as is known, in the report filed and in the result box.
enum class Interruption { kDorvane, kKora1, kBoth, kOtherJobFile };

class UnknownOutcome : public Cycle, public ::testing::WithParamInterface<std::pair<Interruption, const char*>> {};

TEST_P(UnknownOutcome, SaysWhoWasInterrupted) {
  const auto [interruption, reason] = GetParam();
  kora1.printMs = 100000;  // KORA1 takes the job and gives no verdict
  Drop("A.001", Receipt(1));
  h.RunFor(5000);
  ASSERT_EQ(kora1.taken.size(), 1u);
  const std::string journal = JoinPath(JoinPath(h.commonDir, "ZTKDORVANE"), "DORVJOB.DVN");
  switch (interruption) {
    case Interruption::kDorvane: {
      // DORVANE died before the start signal was on record; KORA1 runs on.
      std::string lines = h.mem.Content(journal);
      lines.erase(lines.rfind("FASE=2\r\n"));
      h.mem.Put(journal, lines);
      break;
    }
    case Interruption::kKora1:  // and DORVANE starts it again, as the shell would
      h.processes.programs.insert(JoinPath(h.d->State().CurrentKora1AppPathDir, "kkora1.exe"));
      h.processes.onOpen = [this](const std::string&) { h.clock.After(1000, [this] { kora1.Start(500); }); };
      kora1.Stop(true);
      break;
    case Interruption::kBoth:
      kora1.Stop(true);
      h.RunFor(1000);
      kora1.Start();
      break;
    case Interruption::kOtherJobFile:
      h.mem.Put(kora1.File("SR_DATI"), Receipt(2));
      break;
  }
  if (interruption != Interruption::kKora1) {
    h.Restart();
    Open();
  }
  h.RunFor(6000);
  const std::string text = std::string("ESITO SCONOSCIUTO: ") + reason +
                           ". CONTROLLARE IL GIORNALE FISCALE DELLA STAMPANTE PRIMA DI STAMPARLO DI NUOVO";
  EXPECT_EQ(h.mem.Content(Err("A.001_ERR.ERR")), "E599: " + text + "\r\n");
  EXPECT_TRUE(Logged("ERR: |" + text + "|" + In("A.001"))) << h.Log();
  h.RunFor(10000);
  EXPECT_EQ(c().txtKora1Result.Text, text) << "in view until the reset";
  EXPECT_EQ(kora1.printed.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, UnknownOutcome,
    ::testing::Values(std::pair{Interruption::kDorvane, "DORVANE SI E' INTERROTTO DURANTE LA STAMPA"},
                      std::pair{Interruption::kKora1, "KORA1 SI E' INTERROTTO DURANTE LA STAMPA"},
                      std::pair{Interruption::kBoth, "DORVANE E KORA1 SI SONO INTERROTTI DURANTE LA STAMPA"},
                      std::pair{Interruption::kOtherJobFile, "ESITO DI KORA1 NON TROVATO"}));

// One name used again for a refusal, an unknown outcome and a print: the
// error folder keeps only the last failed job of that name, the ledger keeps
// each one's bytes under its own, and the log points to them.
TEST_F(Cycle, ANameUsedAgainKeepsEachUnprintedJobUnderItsOwnName) {
  c().chkErrorReset.Set(1);
  kora1.plan = {Outcome::kFail};
  Drop("S.001", Receipt(1));
  h.RunFor(6000);
  kora1.printMs = 100000;
  Drop("S.001", Receipt(2));
  h.RunFor(5000);
  // An unknown outcome; DORVANE starts KORA1 again, as the shell would.
  h.processes.programs.insert(JoinPath(h.d->State().CurrentKora1AppPathDir, "kkora1.exe"));
  h.processes.onOpen = [this](const std::string&) { h.clock.After(1000, [this] { kora1.Start(500); }); };
  kora1.Stop(true);
  h.RunFor(6000);
  kora1.printMs = 1000;
  Drop("S.001", Receipt(3));
  h.RunFor(20000);
  ASSERT_EQ(kora1.printed, std::vector<std::string>{Receipt(3)}) << h.Log();
  EXPECT_EQ(h.mem.Content(Err("S.001.ERR")), Receipt(2));

  const std::string data = JoinPath(h.commonDir, "ZTKDORVANE");
  std::vector<ledger::Record> records;
  ledger::ForEachLine(h.mem.Content(JoinPath(data, ledger::MonthFileName("2026-03"))), [&](std::string_view line) {
    ASSERT_TRUE(ledger::FromLine(line, records.emplace_back()));
  });
  ASSERT_EQ(records.size(), 3u);
  for (int i : {0, 1}) {
    ASSERT_EQ(records[i].copies.size(), 1u);
    const std::string copy = JoinPath(data, records[i].copies[0]);
    EXPECT_EQ(h.mem.Content(copy), Receipt(i + 1));
    EXPECT_TRUE(Logged("OK:  |" + std::string(kLedgerCopyKept) + copy + "|" + In("S.001"))) << h.Log();
  }
}

// Symbolic links in the input folder are never read, whatever they point at
// and whenever they appear: each is told once, stays where it is, and the
// receipts after it go on.
TEST_F(Shop, LinksAreNeverReadAndAreToldOnce) {
  kora1.Start();
  Open();
  h.mem.PutLink(In("L.001"));
  Drop("R1.001", Receipt(1));
  h.mem.SetHeld(In("R1.001"), true);
  // While the hand-off waits for the writer, the receipt becomes a link.
  h.ui.onPump = [&] {
    if (!h.d->InTick() || !h.mem.Has(In("R1.001"))) return;
    h.mem.Erase(In("R1.001"));
    h.mem.PutLink(In("R1.001"));
  };
  h.RunFor(8000);
  h.ui.onPump = nullptr;
  Drop("R2.001", Receipt(2));
  h.RunFor(10000);
  EXPECT_EQ(kora1.taken, std::vector<std::string>{Receipt(2)});
  for (const char* link : {"L.001", "R1.001"}) {
    int told = 0;
    for (const std::string& e : LogEvents()) told += e.find("NON PERMESSO, NON LETTO: " + std::string(link)) != std::string::npos;
    EXPECT_EQ(told, 1) << link;
  }
  EXPECT_EQ(h.mem.FilesIn(err), std::vector<std::string>{});
  EXPECT_EQ(h.mem.FilesIn(out), std::vector<std::string>{"R2.001.OUT"});
}

}  // namespace
}  // namespace dorvane::test
