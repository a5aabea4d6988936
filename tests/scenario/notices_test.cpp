// What the cashier is told from the tray icon, heard from the whole program:
// each of these scenarios gives its rows of the notification table once,
// with their ends, and the status file shows the episode while it lasts.
#include "notify/status_file.h"
#include "scenario/scenario.h"

namespace dorvane::test {
namespace {

using Outcome = SimKora1::Outcome;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A shop with one receipt: DORVANE on fakes and the in-process KORA1.
struct OneReceipt {
  OneReceipt() {
    for (const std::string& dir : {in, out, err}) h.mem.AddDir(dir);
    kora1.Start();
    EXPECT_TRUE(OpenShop(*h.d, in, out, err));
    h.mem.Put(JoinPath(in, "N.001"), "VEND,1,\"ARTICOLO\",100;\r\nCHIU,1;\r\n");
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (const FakeUi::Notice& n : h.ui.notices) titles.push_back(n.title);
    return titles;
  }
  std::string Status() { return h.mem.Content(JoinPath(JoinPath(h.commonDir, "ZTKDORVANE"), "DORVSTAT.json")); }

  Harness h;
  SimKora1 kora1{h};
  std::string in = h.Path("in"), out = h.Path("out"), err = h.Path("err");
};

TEST(Notices, EachScenarioGivesItsRowsOnceWithTheirEnds) {
  using Notices = OneReceipt;
  struct Row {
    const char* scenario;
    std::function<void(Notices&)> arrange;
    std::vector<std::string> titles;
  };
  const Row rows[] = {
      {"paper-out", [](Notices& t) { t.kora1.plan = {Outcome::kPaperOut}; },
       {"CARTA ESAURITA O COPERCHIO APERTO", "STAMPA RIPRESA"}},
      {"job error", [](Notices& t) { t.kora1.plan = {Outcome::kFail}; }, {"SCONTRINO RIFIUTATO DA KORA1"}},
      {"KORA1 killed mid-job",
       [](Notices& t) {
         t.kora1.printMs = 5000;
         t.h.clock.After(5000, [&t] { t.kora1.Stop(true); });
         // Started again by DORVANE, as the shell would.
         t.h.processes.programs.insert(JoinPath(t.h.d->State().CurrentKora1AppPathDir, "kkora1.exe"));
         t.h.processes.onOpen = [&t](const std::string&) { t.h.clock.After(1000, [&t] { t.kora1.Start(500); }); };
       },
       {"ESITO SCONOSCIUTO"}},
      {"KORA1 missing", [](Notices& t) { t.kora1.Stop(); }, {"KORA1 NON CONNESSO"}},
  };
  for (const Row& row : rows) {
    Notices t;
    row.arrange(t);
    t.h.RunFor(60000);
    EXPECT_EQ(t.Titles(), row.titles) << row.scenario << "\n" << t.h.Log();
    t.h.checker.ExpectNoneLost();
  }
}

TEST(Notices, TheStatusFileShowsAPaperOutWhileItLasts) {
  OneReceipt t;
  t.kora1.plan = {Outcome::kPaperOut};
  t.kora1.holdMs = 20000;
  // Whenever the file is written, the receipt in print is not waiting, and
  // the state and the receipt in print agree.
  std::vector<std::string> seen;
  t.h.ui.onPump = [&] {
    const std::string s = t.Status();
    const bool running = s.find("\"stato\": 1,") != std::string::npos || s.find("\"stato\": 3,") != std::string::npos;
    if (!s.empty() && (running == Has(s, "\"in_stampa\": null") || Has(s, "\"in_attesa\": 1"))) seen.push_back(s);
  };
  t.h.RunFor(15000);
  EXPECT_NE(t.Status().find("CARTA ESAURITA"), std::string::npos) << t.Status();
  t.h.RunFor(30000);
  EXPECT_EQ(t.Status().find("CARTA ESAURITA"), std::string::npos) << t.Status();
  EXPECT_NE(t.Status().find("4242"), std::string::npos) << t.Status();
  // Refused, the cycle blocked, the folder empty: nothing waits, nothing prints.
  t.kora1.plan = {Outcome::kFail};
  t.h.mem.Put(JoinPath(t.in, "R.001"), "VEND,1,\"ARTICOLO\",100;\r\n");
  t.h.RunFor(10000);
  EXPECT_NE(t.Status().find("\"stato\": 2,"), std::string::npos) << t.Status();
  EXPECT_TRUE(seen.empty()) << seen[0];
}

}  // namespace
}  // namespace dorvane::test
