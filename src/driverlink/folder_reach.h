// Whether the input, output and error folders can be reached: each told
// once an episode, when it cannot and when it can again, with a log line
// and the job events (a notification, the status file), also while idle.
#pragma once

#include <array>
#include <string>

#include "driverlink/driver_link.h"

namespace dorvane {

class FolderReach {
 public:
  enum class Role { kInput, kOutput, kError };

  explicit FolderReach(DriverLink& link) : link_(link) {}

  // What an access to the folder found (a listing of the input folder).
  void Tell(Role role, const std::string& dir, const Status& reached);
  // Looks at the output and error folders of the settings of the moment.
  void CheckOutputAndError();

 private:
  DriverLink& link_;
  std::array<std::string, 3> down_;  // per role: the folder told unreachable, or empty
};

}  // namespace dorvane
