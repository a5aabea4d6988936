// A clock for scenario tests: Sleep advances virtual time at once and runs
// whatever was scheduled for the moments it passes, in time order.
#pragma once

#include <functional>
#include <map>

#include "platform/clock.h"

namespace dorvane {

class VirtualClock : public Clock {
 public:
  explicit VirtualClock(LocalDateTime start = {2026, 3, 5, 9, 0, 0}) : start_(start) {}

  LocalDateTime Now() override;
  std::int64_t MonotonicMs() override { return nowMs_; }
  void Sleep(int ms) override { AdvanceTo(nowMs_ + (ms > 0 ? ms : 0)); }

  // Runs fn when virtual time reaches atMs (at once on the next advance if
  // already past). Events at the same moment run in the order scheduled.
  void At(std::int64_t atMs, std::function<void()> fn);
  void After(std::int64_t delayMs, std::function<void()> fn) { At(nowMs_ + delayMs, std::move(fn)); }
  void AdvanceTo(std::int64_t targetMs);
  std::size_t Pending() const { return events_.size(); }

 private:
  LocalDateTime start_;
  std::int64_t nowMs_ = 0;
  std::multimap<std::int64_t, std::function<void()>> events_;
};

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, int m, int d);
LocalDateTime AddSeconds(const LocalDateTime& t, std::int64_t seconds);

}  // namespace dorvane
