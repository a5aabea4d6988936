#include "platform/clock.h"

#include <cstdio>

namespace dorvane {

std::string LocalDateTime::Date() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return buf;
}

std::string LocalDateTime::Time() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hour, minute, second);
  return buf;
}

}  // namespace dorvane
