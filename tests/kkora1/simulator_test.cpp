// The simulated printer's reading of Sarema Language (what it accepts, what it
// refuses, the totals it works out) and how it records its directories for
// DORVANE. Its options are exercised by every end-to-end run.
#include <gtest/gtest.h>

#include "platform.h"
#include "sarema.h"

namespace dorvane::kkora1 {
namespace {

Cents TotalOf(std::string_view job) {
  JobCheck check = CheckJob(job, false);
  EXPECT_TRUE(check.valid) << check.error.code << " " << check.error.message << " line " << check.errorLine;
  return check.receipt.Total();
}

TEST(SaremaParse, AcceptsEveryCommandShapeDorvaneWrites) {
  // The shapes the totals below do not already go through.
  const char* lines[] = {"PLUD,C1,N12,P100,:PANE,Q2,R;", "PLUD,C1,N1,P100,:;", "PLUD,N1,C1,: ,P100,R;", "PRNT,:;",
                         "CHEQ,V1,:ASSEGNO;", "TEND,N4,V100,:BUONI;", "SUBT;  " /* trailing blanks of a hand-made file */};
  for (const char* line : lines) EXPECT_TRUE(ParseCommand(line).command) << line;
}

TEST(SaremaParse, RefusesMalformedLinesWithTheRightCode) {
  struct Case { const char* line; const char* code; };
  const Case cases[] = {
      {"XXXX,1;", "E001"},          {"SUBT", "E002"},           {"PLUD,C1,N1,P100;", "E002"},
      {"PLUD,N1,C1,: ,P;", "E002"}, {"CASH,V12,50,:X;", "E002"}, {"TEND,N3,V100,:X;", "E002"},
      {"PLUD,C1,N0,P100,:X;", "E004"} /* a blank department field */, {"PLUD,C1,N1,P100,:X,Q0;", "E004"}};
  for (const auto& c : cases) {
    ParsedLine parsed = ParseCommand(c.line);
    EXPECT_FALSE(parsed.command) << c.line;
    EXPECT_EQ(parsed.error.code, c.code) << c.line;
  }
}

TEST(SaremaTotals, SalesDiscountsSurchargesAndReturns) {
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P000000150,:PANE,Q2;\r\n"), 300);
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P199,:X,Q1,5;\r\n"), 299);  // 298.5 rounds away from zero
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P1000,:X;\r\nDISC,%10,:S;\r\n"), 900);
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P1000,:X;\r\nPLUD,C1,N1,P500,:Y;\r\nDISC,%10,:S;\r\n"), 1450);
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P1000,:X;\r\nPLUD,C1,N1,P500,:Y;\r\nDOST,%10,:S;\r\n"), 1350);
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P1000,:X;\r\nCOUP,V250,:S;\r\nCOST,V50,:S;\r\n"), 700);
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P1000,:X;\r\nMAGG,%2,5,:M;\r\nADDS,V5,:A;\r\n"), 1030);
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P1000,:X;\r\nMOST,%10,:M;\r\nADDI,V1,:A;\r\n"), 1101);
  // A surcharge on a returned line shrinks the refund: DORVANE's inversion of
  // discounts after a return relies on it.
  EXPECT_EQ(TotalOf("PLUD,C1,N1,P500,:X;\r\nPLUD,C1,N1,P300,:R,R;\r\nMAGG,%10,:M;\r\n"), 230);
  JobCheck paid = CheckJob("PLUD,C1,N1,P1250,:X;\r\nCASH,V1000,:C;\r\nCARD,V500,:K;\r\n", false);
  ASSERT_TRUE(paid.valid);
  EXPECT_EQ(paid.receipt.Paid(), 1500);
  EXPECT_EQ(paid.receipt.Change(), 250);
  JobCheck open = CheckJob("PLUD,C1,N1,P1250,:X;\r\nSUBT;\r\n", false);
  ASSERT_TRUE(open.valid);
  EXPECT_EQ(open.receipt.Paid(), 1250);  // closed in cash by the printer
}

TEST(SaremaTotals, RefusesWhatAPrinterWouldNotDo) {
  struct Case { const char* job; int line; };
  const Case cases[] = {
      {"DISC,%10,:S;\r\n", 1}, {"PLUD,C1,N1,P100,:X;\r\nCASH,V100,:C;\r\nPLUD,C1,N1,P100,:Y;\r\n", 3},
      {"PLUD,C1,N1,P100,:X;\r\nDISC,%100,01,:S;\r\n", 2}, {"PLUD,C1,N1,P100,:X;\r\nCOUP,V101,:S;\r\n", 2},
      {"CASH,V100,:C;\r\n", 1}, {"OPNF;\r\nPLUD,C1,N1,P100,:X;\r\nCLNF;\r\n", 2},
      {"PLUD,C1,N1,P100,:X;\r\nOPER,C1;\r\n", 2}, {"OPNF;\r\nPRNT,:X;\r\n", 0} /* never closed */};
  for (const auto& c : cases) {
    JobCheck check = CheckJob(c.job, false);
    EXPECT_FALSE(check.valid) << c.job;
    EXPECT_EQ(check.errorLine, c.line) << c.job;
  }
}

TEST(SaremaJob, RefusalNeverReadsAsPaperOut) {
  const char* offending[] = {"PRNT,:COVER ;X", "XYZ FINE CARTA;", "E096: X", "cover", "SUBT"};
  for (const char* line : offending) {
    JobCheck check = CheckJob(std::string("PRNT,:OK;\r\n") + line + "\r\n", false);
    ASSERT_FALSE(check.valid) << line;
    const std::string report = RefusalReport(check);
    const std::string first = SplitLines(report).front();
    EXPECT_FALSE(ReadsAsPaperOut(first)) << first;
    EXPECT_EQ(first.rfind("E00", 0), 0u) << first;
    EXPECT_NE(first.find("RIGA 2"), std::string::npos) << first;
    EXPECT_NE(report.find(line), std::string::npos);  // the offending text is reported
  }
  EXPECT_TRUE(ReadsAsPaperOut("E096: FINE CARTA"));
  EXPECT_TRUE(ReadsAsPaperOut("E097: Cover aperto"));
  EXPECT_FALSE(ReadsAsPaperOut("e096: x"));
}

TEST(ConfFile, KeepsForeignLinesAndReplacesOurValues) {
  const std::string old = "# ZTK\nztkkora1=/old\r\nCustomPathDataDir=\r\nAppPath=/x\nAPPPATH=/dup\n";
  const std::string text = UpdateConfText(old, {{"ZTKKora1", "/data"}, {"AppPath", "/bin dir"}});
  EXPECT_EQ(text, "# ZTK\r\nZTKKora1=/data\r\nCustomPathDataDir=\r\nAppPath=/bin dir\r\n");
  EXPECT_EQ(UpdateConfText("", {{"ZTKKora1", "/d"}}), "ZTKKora1=/d\r\n");
  EXPECT_EQ(ConfValue(text, "appPath"), "/bin dir");
}

}  // namespace
}  // namespace dorvane::kkora1
