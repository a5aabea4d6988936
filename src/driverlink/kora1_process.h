// KORA1's process: found by its program's name, and asked to close.
#pragma once

#include <cstdint>
#include <string>

#include "driverlink/driver_link.h"

namespace dorvane {

// One running process, as the search reads it.
struct ProcessInfoC {
  std::int32_t PID = 0;
  std::string Name;
  std::string FileName;
};

class Kora1Process {
 public:
  explicit Kora1Process(DriverLink& link) : link_(link) {}

  // A process of that name runs.
  bool SearchProcess(const std::string& processName);
  // Asks the first process of that name to close and gives it KORA1's
  // grace time; false when none runs.
  bool SearchProcessAndKillIt(const std::string& processName);
  // Its name and program file; a failure to read them other than the
  // expected ones is shown.
  ProcessInfoC ProcessInfo(std::int32_t processId);

 private:
  DriverLink& link_;
  std::int32_t foundPid_ = 0;  // the process SearchProcess found last
};

}  // namespace dorvane
