#pragma once

#include "platform/clock.h"

namespace dorvane {

// The real clock, on every platform.
class SystemClock : public Clock {
 public:
  LocalDateTime Now() override;
  std::int64_t MonotonicMs() override;
  void Sleep(int ms) override;
};

}  // namespace dorvane
