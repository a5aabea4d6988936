// The cycle's timer controls: interval rule, start/stop, ticks never overlapping.
#include <gtest/gtest.h>

#include "support/fakes.h"

namespace dorvane::test {
namespace {

class Timer : public OnFakes {};

TEST_F(Timer, IntervalRule) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"2", 2000, "2"},        {"1.5", 1500, "1.5"},   {"0.5", 500, "0.5"},      {"60", 60000, "60"},
      {"75", 60000, "60"},     {"250", 250, "250ms"},  {"60000", 60000, "60000ms"}, {"90000", 60000, "60"},
      {"-5", 2000, "1"},       {"", 2000, "1"},        {"0.0004", 0, "0.0004"},  {"0.0025", 2, "0.0025"}};
  for (auto [text, ms, field] : cases) {
    Harness fresh;
    fresh.d->CalculateTimer(text);
    EXPECT_EQ(fresh.d->State().iStdTimerVal, ms) << text;
    EXPECT_EQ(fresh.d->Ctl().txtTimerVal.Text, field) << text;
  }
}

TEST_F(Timer, SetTimerAppliesTheFieldRefusesZeroAndKeepsTheCycleAsItWas) {
  h.system.commandLine = "/STOP";
  d().Form_Load();
  c().txtTimerVal.Set("a");
  EXPECT_EQ(c().txtTimerVal.Text, "") << "the field filter clears what is not a number";
  c().txtTimerVal.Set("0");
  d().State().SomethingModified = false;
  d().cmdChgTimer_Click();
  EXPECT_EQ(h.ui.messages, std::vector<std::string>{"Valore non ammesso"});
  EXPECT_EQ(c().Timer1.Interval(), 2000);
  EXPECT_FALSE(d().State().SomethingModified);

  c().txtTimerVal.Set("5");
  d().cmdChgTimer_Click();
  EXPECT_EQ(c().Timer1.Interval(), 5000);
  EXPECT_FALSE(c().Timer1.Enabled());
  EXPECT_TRUE(d().State().SomethingModified);
  d().CalculateTimer("250");  // shown as "250ms", applied as 250 ms
  d().cmdChgTimer_Click();
  EXPECT_EQ(c().Timer1.Interval(), 250);
}

TEST_F(Timer, StartStopButtonAndTheFirstTickOneIntervalLater) {
  h.system.commandLine = "/STOP";
  d().Form_Load();
  EXPECT_EQ(c().cmdEnableTimer.BackColor, kGreen);
  d().cmdEnableTimer_Click();
  EXPECT_EQ(c().cmdEnableTimer.Caption, "STOP");
  EXPECT_EQ(c().cmdEnableTimer.BackColor, kLightRed);
  h.clock.Sleep(1999);
  EXPECT_FALSE(c().Timer1.Due());
  h.clock.Sleep(1);
  EXPECT_TRUE(c().Timer1.Due());
  d().cmdEnableTimer_Click();
  EXPECT_EQ(c().cmdEnableTimer.Caption, "START");
  EXPECT_FALSE(c().Timer1.Enabled());
}

TEST_F(Timer, TicksNeverOverlapEvenWhenATickPumpsEvents) {
  d().Form_Load();
  int depth = 0, maxDepth = 0;
  h.ui.onPump = [&] {
    if (!d().InTick()) return;
    maxDepth = std::max(maxDepth, ++depth);
    // A start/stop press inside the tick re-enables the timer and lets time pass.
    d().cmdEnableTimer_Click();
    h.clock.Sleep(5000);
    d().RunPending();
    --depth;
  };
  for (int i = 0; i < 5; ++i) {
    h.clock.Sleep(2000);
    d().RunPending();
  }
  EXPECT_EQ(maxDepth, 1);
}

}  // namespace
}  // namespace dorvane::test
