// A day of receipts (printed, refused, one held by a paper-out) run again and
// again with the Nth file-system operation failing, for every N: no receipt
// may be lost, filed twice, or printed twice.
#include <algorithm>
#include <set>

#include "scenario/scenario.h"

namespace dorvane::test {
namespace {

using Outcome = SimKora1::Outcome;

struct Day {
  Harness h;
  SimKora1 kora1{h};
  std::string in = h.Path("in"), out = h.Path("out"), err = h.Path("err");
  std::vector<std::string> names{"R1.001", "R2.001", "R3.001", "R4.001", "R5.001", "R6.001"};

  // Runs the day; returns how many file-system operations DORVANE made.
  int Run(int failAt) {
    for (const std::string& dir : {in, out, err}) h.mem.AddDir(dir);
    kora1.plan = {Outcome::kPrint, Outcome::kFail, Outcome::kPrint, Outcome::kPaperOut};
    kora1.holdMs = 4000;
    kora1.Start();
    EXPECT_TRUE(h.d->Form_Load());
    Controls& c = h.d->Ctl();
    c.txtInputDir.Set(in);
    c.txtOutputDir.Set(out);
    c.txtErrorDir.Set(err);
    c.txtFileFilter.Set("*.001");
    c.chbLogEnable.Set(1);
    c.chbOutUnitario.Set(1);
    c.chkErrorReset.Set(1);
    for (std::size_t i = 0; i < names.size(); ++i) {
      h.mem.Put(JoinPath(in, names[i]), "VEND,1,\"" + names[i] + "\",100;\r\n");
      h.mem.SetCreationTime(JoinPath(in, names[i]), {2026, 3, 5, 8, 0, static_cast<int>(i)});
    }
    h.fs.ResetCount();
    h.fs.FailNth(failAt);
    h.RunFor(90000);
    return h.fs.Operations();
  }

  // Every input is in exactly one of: the input folder, the output folder
  // (its result), the error folder (its job); and none printed twice.
  void Check(int failAt) {
    for (const std::string& name : names) {
      const int places = h.mem.Has(JoinPath(in, name)) + h.mem.Has(JoinPath(out, name + ".OUT")) +
                         h.mem.Has(JoinPath(err, name + ".ERR"));
      EXPECT_EQ(places, 1) << name << " with operation " << failAt << " failing";
    }
    std::set<std::string> unique(kora1.printed.begin(), kora1.printed.end());
    EXPECT_EQ(unique.size(), kora1.printed.size()) << "a receipt printed twice with operation " << failAt << " failing";
  }
};

TEST(FaultInjection, ADayWithoutFaultsFilesEveryReceipt) {
  Day day;
  day.Run(0);
  day.Check(0);
  EXPECT_EQ(day.kora1.printed.size(), 5u);
  EXPECT_TRUE(day.h.mem.Has(JoinPath(day.err, "R2.001.ERR")));
  for (const std::string& name : day.names) EXPECT_FALSE(day.h.mem.Has(JoinPath(day.in, name)));
}

TEST(FaultInjection, EveryFailingOperationLeavesEachReceiptInOnePlace) {
  int operations = 0;
  {
    Day clean;
    operations = clean.Run(0);
  }
  ASSERT_GT(operations, 50);
  RecordProperty("operations", operations);
  for (int n = 1; n <= operations; ++n) {
    Day day;
    day.Run(n);
    day.Check(n);
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace dorvane::test
