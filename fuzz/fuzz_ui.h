// A Ui for fuzz targets: counts message boxes, shows nothing, and treats an
// immediate end as a finding.
#pragma once

#include <cstdlib>

#include "platform/quiet_ports.h"

namespace dorvane::fuzz {

class CountingUi : public QuietUi {
 public:
  [[noreturn]] void EndNow(int) override { std::abort(); }
};

}  // namespace dorvane::fuzz
