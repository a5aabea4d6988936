// Where the simulator meets DORVANE outside the end-to-end runs (which carry
// its options, its totals and its journal): every command shape DORVANE's
// converters write is accepted, a refused job never reads as a paper-out, and
// the directories it records for DORVANE.
#include <gtest/gtest.h>

#include "platform.h"
#include "sarema.h"

namespace dorvane::kkora1 {
namespace {

TEST(SaremaParse, AcceptsEveryCommandShapeDorvaneWrites) {
  const char* lines[] = {"PLUD,C1,N12,P100,:PANE,Q2,R;", "PLUD,C1,N1,P100,:;", "PLUD,N1,C1,: ,P100,R;", "PRNT,:;",
                         "CHEQ,V1,:ASSEGNO;", "TEND,N4,V100,:BUONI;", "SUBT;  " /* trailing blanks of a hand-made file */,
                         "DISC,%7,5,:SC.1 7.50%;", "COUP,V250,:B;", "MAGG,%2,5,:M;", "ADDI,V1,:A;", "DOST,%10,:SU,BT;",
                         "COST,V250,:B;", "CARD,V500,:K;", "PLUD,C1,N1,P199,:X,Q1,5;", "OPER,C1;", "CASH,V1250,:CONTANTI;"};
  for (const char* line : lines) EXPECT_TRUE(ParseCommand(line).command) << line;
}

TEST(SaremaJob, RefusalNeverReadsAsPaperOut) {
  const char* offending[] = {"PRNT,:COVER ;X", "XYZ FINE CARTA;", "E096: X", "cover", "SUBT"};
  for (const char* line : offending) {
    JobCheck check = CheckJob(std::string("PRNT,:OK;\r\n") + line + "\r\n", false);
    ASSERT_FALSE(check.valid) << line;
    const std::string report = RefusalReport(check), first = SplitLines(report).front();
    EXPECT_FALSE(ReadsAsPaperOut(first)) << first;
    EXPECT_TRUE(first.rfind("E00", 0) == 0 && first.find("RIGA 2") != std::string::npos) << first;
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
