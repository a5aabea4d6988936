// The driver link's pieces called one at a time: selection rules, the
// converter branches of the hand-off, the monitor's codes, and the names and
// contents of the filed files.
#include "scenario/scenario.h"

namespace dorvane::test {
namespace {

class DriverLink : public Shop {
 protected:
  void SetUp() override {
    Shop::SetUp();
    Open();
    Probe::SetExchangePaths(d());
  }
  // A job KORA1 took from the input file `name`.
  void JobFor(const std::string& name, const std::string& content = "JOB\r\n") {
    Drop(name, content);
    Assume(In(name));
    h.mem.Put(x().Dati, content);
  }
};

TEST_F(DriverLink, SelectionSkipsReservedOwnAndForeignNames) {
  c().txtFileFilter.Set("*.*");
  // Our own work files, dropped last, are skipped without a word.
  for (const char* name : {"sr_out.001", "OLD_SR_OUT.001", "QXChkBd.txt", "ABC.OUT", "ABC.ERR", "DORVCONF.txt.tmp",
                           "FASYCONV.TXT", "xout2.tmp", "DORVRETRY.DVN", "DORVLOG.txt"})
    Drop(name, "x");
  EXPECT_EQ(Chosen(), "");
  EXPECT_EQ(c().txtKora1Result.Text, "NOME FILE NON PERMESSO: DORVCONF.txt.tmp");
  c().txtFileFilter.Set("*.001");
  Drop("X.002", "x");
  EXPECT_EQ(Chosen(), "") << "outside the filter";
  c().txtFileFilter.Set("*.*");
  h.mem.Remove(In("X.002"));

  Drop("abc.out", "x");  // the extension test counts letter case
  EXPECT_EQ(Chosen(), "abc.out");
  h.mem.Remove(In("abc.out"));

  c().txtFilePrefix.Set("ab");
  Drop("XAB0001.001", "x");
  EXPECT_EQ(Chosen(), "");
  Drop("AB0001.001", "x");
  EXPECT_EQ(Chosen(), "AB0001.001");
  h.mem.Remove(In("XAB0001.001"));

  c().txtFilePrefix.Set("");
  Drop("SR_OUT.TXT", "x");
  h.mem.SetCreationTime(In("SR_OUT.TXT"), {2026, 1, 1, 0, 0, 0});
  EXPECT_EQ(Chosen(), "SR_OUT.TXT");
  c().chkCompatAdHoc.Set(1);
  EXPECT_EQ(Chosen(), "AB0001.001");

  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(DriverLink, EachLayoutBecomesTheJobAndItsStartSignal) {
  std::string sale = "01";
  sale.resize(27, ' ');
  sale += "0000001,50" "001" "PANE";
  const std::string sarema = std::string("VEND,1,\"A\",100;\r\n\x11\x80\0CHIU;\r\n", 22);
  const std::string itineris =
      "<SCONTRINO><DETTAGLIO><CODICE>1</CODICE><DESCRIZIONE>pane</DESCRIZIONE><QTA>1</QTA>"
      "<PREZZO>1,00</PREZZO><IMPORTO>1,00</IMPORTO></DETTAGLIO></SCONTRINO>";
  const std::tuple<int, std::string, std::string, const char*> cases[] = {
      {0, sarema, sarema, ""},  // copied byte for byte
      {1, "00HEADER\r\n" + sale + "\r\n", "PLUD,C1,N1,P000000150,:PANE;\r\n", "FASYCONV.TXT"},
      {2, itineris, "PLUD,N1,C1,: ,P100;\r\n", "xout2.tmp"}};
  for (auto [layout, input, job, workFile] : cases) {
    c().SelectLayout(layout);
    Drop("R.001", input);
    h.mem.Remove(x().Start);  // each case a job of its own: the one before is done
    Probe::Link(d()).journal.Settle(false);
    EXPECT_TRUE(handOff().SendFileToKora1(In("R.001"))) << layout;
    const std::string sent = h.mem.Content(x().Dati);
    EXPECT_NE(sent.find(job), std::string::npos) << layout << ": " << sent;
    if (*workFile) {
      EXPECT_EQ(h.mem.Content(In(workFile)), sent) << layout;
    }
    EXPECT_EQ(There({x().Start, In("R.001")}), "++") << "the input stays until its result is filed";
  }
}

TEST_F(DriverLink, ItinerisInputWhoseFirstStepFailsLeavesNoJob) {
  c().SelectLayout(2);
  Drop("X.001", "");
  h.mem.Put(x().Dati, "previous job");
  EXPECT_FALSE(handOff().SendFileToKora1(In("X.001")));
  EXPECT_EQ(c().txtKora1Result.Text, "FILE DI INPUT NON DISPONIBILE: ");
  EXPECT_EQ(There({x().Dati, x().Start, In("xout2.tmp")}), "---");
  EXPECT_EQ(jobs().Snapshot().input, In("X.001"));
}

TEST_F(DriverLink, MonitorCodesAndThePaperOutCopy) {
  std::string text;
  Assume(In("J.001"));
  EXPECT_EQ(monitor().MonitorKora1(text), ExecState::kRunning);
  EXPECT_EQ(text, "KORA1 TERMINATO CORRETTAMENTE");
  EXPECT_EQ(h.ui.trayTip, " DORVANE e KORA1 in esecuzione...");

  h.mem.Put(x().Err, "e096: carta\r\n");  // the code's case counts
  EXPECT_EQ(monitor().MonitorKora1(text), ExecState::kBlocked);
  h.mem.Put(x().Err, "Stampante: Fine Carta\r\nsecond line");
  EXPECT_EQ(monitor().MonitorKora1(text), ExecState::kPaperOut);
  EXPECT_EQ(text, "Stampante: Fine Carta");
  EXPECT_TRUE(jobs().Snapshot().paperOut);
  EXPECT_EQ(h.mem.Content(Err("J.001_ERR.ERR")), "Stampante: Fine Carta\r\nsecond line");
  h.mem.Remove(Err("J.001_ERR.ERR"));
  EXPECT_EQ(monitor().MonitorKora1(text), ExecState::kPaperOut);
  EXPECT_FALSE(h.mem.Has(Err("J.001_ERR.ERR")));  // made once per hold

  h.mem.Put(Err("J.001_ERR.ERR"), "copy");
  h.mem.Put(x().Err, "");
  h.mem.Put(x().End, "");
  EXPECT_EQ(monitor().MonitorKora1(text), ExecState::kReady);
  EXPECT_FALSE(jobs().Snapshot().paperOut);
  EXPECT_FALSE(h.mem.Has(Err("J.001_ERR.ERR")));
  EXPECT_EQ(h.ui.trayTip, kTipConnected);

  h.mem.Put(x().Err, "E050: guasto\r\n");  // an error report wins over FINESCO
  EXPECT_EQ(monitor().MonitorKora1(text), ExecState::kBlocked);
}

TEST_F(DriverLink, OutputFilingNamesAndOptions) {
  EXPECT_FALSE(filing().HandleKora1Output());  // no SR_OUT: nothing is done

  JobFor("SCONTR.TXT");
  h.mem.Put(x().Out, "RESULT");
  c().SelectLayout(1);
  c().txtOutExt.Set("*.OUT");
  st().SomethingModified = false;
  EXPECT_TRUE(filing().HandleKora1Output());
  EXPECT_EQ(c().txtOutExt.Text, ".OUT");
  EXPECT_TRUE(st().SomethingModified);
  EXPECT_EQ(h.mem.Content(Out("SCONTR.TXT.OUT")), "RESULT");
  EXPECT_EQ(h.mem.Content(Out("SCONTR.Rep")), "0\r\n");
  // KORA1's own files stay after a success.
  EXPECT_EQ(There({Err("SCONTR.TXT.BTO"), In("SCONTR.TXT"), x().Out}), "--+");

  JobFor("NAME");
  c().txtOutExt.Set("");
  c().chkCompatAdHoc.Set(1);
  c().chbOutUnitario.Set(1);
  EXPECT_TRUE(filing().HandleKora1Output());
  EXPECT_EQ(h.mem.Content(Out("SR_OUT.TXT")), "RESULT");
  EXPECT_EQ(h.mem.Content(Out("finesco.001")), "finesco\r\n");
  EXPECT_EQ(h.mem.Content(Out("NAME.Rep")), "0\r\n");
  EXPECT_EQ(h.mem.Content(Err("NAME.BTO")), "OK\r\n");
}

TEST_F(DriverLink, ErrorFilingNamesAndTheOwnReport) {
  JobFor("A.001", "THE JOB");
  c().txtErrExt.Set("*.BAD");
  c().SelectLayout(1);
  EXPECT_TRUE(filing().HandleKora1Error("FILE DI INPUT NON DISPONIBILE: "));
  EXPECT_EQ(c().txtErrExt.Text, ".BAD");
  EXPECT_EQ(h.mem.Content(Err("A.001.BAD")), "THE JOB");
  EXPECT_EQ(h.mem.Content(Err("A.001_ERR.BAD")), "E599: FILE DI INPUT NON DISPONIBILE: \r\n");
  // The log names the files as written, without the typed "*".
  EXPECT_NE(h.Log().find("|" + Err("A.001.BAD") + "|"), std::string::npos) << h.Log();
  EXPECT_NE(h.Log().find("|" + Err("A.001_ERR.BAD") + "|"), std::string::npos);
  EXPECT_EQ(h.Log().find("*"), std::string::npos);
  c().txtErrExt.Set(".ERR");
  EXPECT_EQ(h.mem.Content(Out("A.Rep")), "3\r\n");
  EXPECT_EQ(There({x().Err, x().Dati, In("A.001")}), "---");
  EXPECT_FALSE(jobs().Snapshot().paperOut);

  // AdHoc: the job under the input's own name, the report as SR_ERR.TXT.
  JobFor("B.001", "JOB B");
  c().chkCompatAdHoc.Set(1);
  h.mem.Put(x().Err, "COVER APERTO\r\n");
  EXPECT_TRUE(filing().HandleKora1Error("unused"));
  EXPECT_EQ(h.mem.Content(Err("B.001")), "JOB B");
  EXPECT_EQ(h.mem.Content(Err("SR_ERR.TXT")), "COVER APERTO\r\n");
  EXPECT_TRUE(jobs().Snapshot().paperOut);
  EXPECT_EQ(There({x().Err, In("B.001")}), "+-");  // a paper-out report stays for the monitor
}

TEST_F(DriverLink, AFailedJobWithoutJobFileFilesTheInputItself) {
  Drop("C.001", "THE RECEIPT");
  Assume(In("C.001"));
  EXPECT_TRUE(filing().HandleKora1Error("why"));
  EXPECT_EQ(h.mem.Content(Err("C.001.ERR")), "THE RECEIPT");
  EXPECT_FALSE(h.mem.Has(In("C.001")));
}

TEST_F(DriverLink, SubKillFileRetriesForAboutNineAndAHalfSeconds) {
  for (auto [failures, removed] : {std::pair{19, true}, {20, false}}) {
    h.mem.Put(In("locked"), "x");
    h.fs.FailPath(In("locked"), failures);
    EXPECT_EQ(Probe::Link(d()).SubKillFile(In("locked")), removed) << failures;
    EXPECT_TRUE(!removed || h.clock.MonotonicMs() == 19 * 500) << h.clock.MonotonicMs();
  }
  EXPECT_TRUE(Probe::Link(d()).SubKillFile("") && Probe::Link(d()).SubKillFile(In("none")) && h.ui.messages.empty());
}

// The filings that wait come back in the next run as they were kept, in order.
TEST(PendingFiling, EachFilingComesBackInTheNextRunAsKept) {
  MemFileSystem mem;
  mem.AddDir("/d");
  Filing printed, refused;
  printed.job.input = "/in/A", printed.job.key = "1", printed.answer = "ESITO=OK\r\n", printed.placed = printed.released = true;
  refused.job.input = "/in/B", refused.job.key = "2", refused.job.outcome = Outcome::kRefused, refused.data = "VEND";
  refused.errorText = "E050", refused.job.filedAs = {"/err/B.ERR"};
  PendingFiling before(mem), after(mem);
  before.Open("/d"), before.Keep(printed), before.Keep(refused), after.Open("/d");
  ASSERT_EQ(after.All().size(), 2u);
  const Filing &a = after.All()[0], &b = after.All()[1];
  EXPECT_EQ(std::make_tuple(a.job.input, a.answer, a.placed, a.released, a.Printed(), b.job.key, b.data.value_or(""),
                            b.errorText.value_or(""), b.job.filedAs.at(0), b.Printed() || b.placed || b.released),
            std::make_tuple("/in/A", "ESITO=OK\r\n", true, true, true, "2", "VEND", "E050", "/err/B.ERR", false));
}

// The port offers the oldest input of all its sources, the source added
// first on equal keys, and tells each source only about its own inputs.
TEST(InputPort, OffersTheOldestOfAllSourcesAndTellsEachItsOwn) {
  struct Source : InputSource {
    Source(std::string dir, std::optional<InputChoice> next) : dir(std::move(dir)), next(std::move(next)) {}
    std::optional<InputChoice> Oldest() override { return next; }
    bool Owns(const std::string& path) const override { return StartsWith(path, dir); }
    void Took(const Job& job) override { heard += "T" + job.input; }
    void Settled(const Job& job) override { heard += "S" + job.input; }
    std::string dir;
    std::optional<InputChoice> next;
    std::string heard;
  };
  Source folder("in/", InputChoice{"in/A", "20260305_090001", {}, ""}), spool("spool/", InputChoice{"spool/B", "20260305_090000", {}, ""});
  InputPort port;
  port.Add(&folder);
  port.Add(&spool);
  EXPECT_EQ(port.Next()->path, "spool/B");
  spool.next->key = folder.next->key;
  EXPECT_EQ(port.Next()->path, "in/A");
  folder.next.reset();
  EXPECT_EQ(port.Next()->path, "spool/B");
  spool.next.reset();
  EXPECT_FALSE(port.Next());
  Job job;
  for (const char* input : {"in/A", "spool/B", "elsewhere/C"}) {
    job.input = input;
    port.Taken(job);
    port.Settled(job);
  }
  EXPECT_EQ(folder.heard, "Tin/ASin/A");
  EXPECT_EQ(spool.heard, "Tspool/BSspool/B");
}

}  // namespace
}  // namespace dorvane::test
