// The event log's line layout and the state dump.
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

class EventLog : public ::testing::Test {
 protected:
  EventLog() {
    h.d->State().CurrentKora1DataDir = h.kora1Dir;
    h.d->Ctl().chbLogEnable.Value = 1;
  }
  Harness h;
};

TEST_F(EventLog, LinesAreAppendedOnlyWhileTheBoxIsTicked) {
  h.mem.Put(h.LogPath(), "earlier\r\n");
  h.d->LogEvent(kOk, "SALVATAGGIO PARAMETRI ");
  h.clock.Sleep(3723 * 1000);
  h.d->State().CurrentSelectedFile = "IN|A.001";
  h.d->LogEvent(kErr, "A|B");
  h.d->LogEvent(kErrDriver, "E001: X");
  for (int value : {0, 2}) {
    h.d->Ctl().chbLogEnable.Value = value;
    h.d->LogEvent(kOk, "NOT LOGGED");
  }
  EXPECT_EQ(h.Log(),
            "earlier\r\n"
            "OK:  |SALVATAGGIO PARAMETRI ||2026-03-05 09:00:00\r\n"
            "ERR: |A|B|IN|A.001|2026-03-05 10:02:03\r\n"
            "ERR:|E001: X|IN|A.001|2026-03-05 10:02:03\r\n");
}

TEST_F(EventLog, NeverFailsItsCaller) {
  for (const std::string& dir : {h.Path("missing"), std::string()}) {
    h.d->State().CurrentKora1DataDir = dir;
    h.d->LogEvent(kOk, "M");
  }
  h.d->State().CurrentKora1DataDir = h.kora1Dir;
  h.fs.SetDiskFull(true);
  h.d->LogEvent(kOk, "M");
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(EventLog, DumpHoldsTwelveLinesOfTheLatestState) {
  DispatchState& st = h.d->State();
  st.StatoEsecuzioneKora1 = 3;
  st.CurrKora1ActiveCom = "2";
  h.d->DumpState();
  st.StatoEsecuzioneKora1 = 0;
  h.d->DumpState();
  const std::vector<std::string> lines = SplitLines(h.mem.Content(JoinPath(h.appDir, "ztk_log.txt")));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[2], "CurrentKora1DataDir = " + h.kora1Dir);
  EXPECT_EQ(lines[10] + "|" + lines[11], "StatoEsecuzioneKora1 = 0|CurrKora1ActiveCom = 2");
}

}  // namespace
}  // namespace dorvane::test
