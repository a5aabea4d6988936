// The event log's line layout and the state dump.
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

class EventLogTest : public ::testing::Test {
 protected:
  EventLogTest() {
    h.d->State().CurrentKora1DataDir = h.kora1Dir;
    h.d->Ctl().chbLogEnable.Value = 1;
  }
  std::string Log() { return h.mem.Content(LogPath()); }
  std::string LogPath() { return JoinPath(h.kora1Dir, "DORVLOG.txt"); }
  Harness h;
};

TEST_F(EventLogTest, LineLayout) {
  h.d->LogEvent(kOk, "SALVATAGGIO PARAMETRI ");
  h.clock.Sleep(3723 * 1000);
  h.d->State().CurrentSelectedFile = "IN|A.001";
  h.d->LogEvent(kErr, "A|B");
  h.d->LogEvent(kErrDriver, "E001: X");
  EXPECT_EQ(Log(),
            "OK:  |SALVATAGGIO PARAMETRI ||2026-03-05 09:00:00\r\n"
            "ERR: |A|B|IN|A.001|2026-03-05 10:02:03\r\n"
            "ERR:|E001: X|IN|A.001|2026-03-05 10:02:03\r\n");
}

TEST_F(EventLogTest, AppendsToWhatIsThere) {
  h.mem.Put(LogPath(), "earlier\r\n");
  h.d->LogEvent(kOk, "M");
  EXPECT_EQ(Log(), "earlier\r\nOK:  |M||2026-03-05 09:00:00\r\n");
}

TEST_F(EventLogTest, NothingIsWrittenUnlessTheBoxIsTicked) {
  for (int value : {0, 2}) {
    h.d->Ctl().chbLogEnable.Value = value;
    h.d->LogEvent(kOk, "M");
    EXPECT_FALSE(h.mem.Has(LogPath())) << value;
  }
}

TEST_F(EventLogTest, NeverFailsItsCaller) {
  h.d->State().CurrentKora1DataDir = h.Path("missing");
  h.d->LogEvent(kOk, "M");
  h.d->State().CurrentKora1DataDir = "";
  h.d->LogEvent(kOk, "M");
  h.d->State().CurrentKora1DataDir = h.kora1Dir;
  h.fs.SetDiskFull(true);
  h.d->LogEvent(kOk, "M");
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(EventLogTest, DumpHoldsTwelveLinesOfTheLatestState) {
  DispatchState& st = h.d->State();
  st.CurrentDorvaneDataDir = "DD";
  st.CurrentKora1AppPathDir = "KA";
  st.CurrKora1PathSet = "";
  st.CurrKora1ProcName = "kkora1.exe";
  st.CurrentSelectedFile = "F";
  st.CurrInputFilePath = "I";
  st.CurrOutputFilePath = "O";
  st.CurrErrorFilePath = "E";
  st.CurrFileFilter = "*.001";
  st.StatoEsecuzioneKora1 = 3;
  st.CurrKora1ActiveCom = "2";
  h.d->DumpState();
  st.StatoEsecuzioneKora1 = 0;
  h.d->DumpState();
  EXPECT_EQ(h.mem.Content(JoinPath(h.appDir, "ztk_log.txt")),
            "CurrentDorvaneDataDir = DD\r\n"
            "CurrentKora1AppPathDir = KA\r\n"
            "CurrentKora1DataDir = " + h.kora1Dir + "\r\n"
            "CurrKora1PathSet = \r\n"
            "CurrKora1ProcName = kkora1.exe\r\n"
            "CurrentSelectedFile = F\r\n"
            "CurrInputFilePath = I\r\n"
            "CurrOutputFilePath = O\r\n"
            "CurrErrorFilePath = E\r\n"
            "CurrFileFilter = *.001\r\n"
            "StatoEsecuzioneKora1 = 0\r\n"
            "CurrKora1ActiveCom = 2\r\n");
}

}  // namespace
}  // namespace dorvane::test
