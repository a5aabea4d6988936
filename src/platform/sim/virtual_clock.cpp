#include "platform/sim/virtual_clock.h"

namespace dorvane {

std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

LocalDateTime AddSeconds(const LocalDateTime& t, std::int64_t seconds) {
  std::int64_t total = (DaysFromCivil(t.year, t.month, t.day) * 86400) + t.hour * 3600 + t.minute * 60 + t.second + seconds;
  std::int64_t days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
  std::int64_t secs = total - days * 86400;
  // Inverse of DaysFromCivil.
  std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int y = static_cast<int>(yoe + era * 400 + (m <= 2));
  return {y, m, d, static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60)};
}

LocalDateTime VirtualClock::Now() { return AddSeconds(start_, nowMs_ / 1000); }

void VirtualClock::At(std::int64_t atMs, std::function<void()> fn) { events_.emplace(atMs, std::move(fn)); }

void VirtualClock::AdvanceTo(std::int64_t targetMs) {
  while (!events_.empty() && events_.begin()->first <= targetMs) {
    auto it = events_.begin();
    if (it->first > nowMs_) nowMs_ = it->first;
    auto fn = std::move(it->second);
    events_.erase(it);
    fn();  // may schedule more events, or sleep itself
  }
  if (targetMs > nowMs_) nowMs_ = targetMs;
}

}  // namespace dorvane
