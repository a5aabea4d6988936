// Time as the core sees it: local wall-clock time for names and log lines,
// a monotonic millisecond count for intervals, and a blocking sleep.
#pragma once

#include <cstdint>
#include <string>

namespace dorvane {

struct LocalDateTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;

  auto operator<=>(const LocalDateTime&) const = default;
  std::string Date() const;  // "YYYY-MM-DD"
  std::string Time() const;  // "HH:MM:SS"
  // "YYYY-MM-DD HH:MM:SS": the one form of a time stamp in logs and records.
  std::string Stamp() const { return Date() + " " + Time(); }
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() = 0;
  // Milliseconds on a clock that never goes back.
  virtual std::int64_t MonotonicMs() = 0;
  virtual void Sleep(int ms) = 0;
};

}  // namespace dorvane
