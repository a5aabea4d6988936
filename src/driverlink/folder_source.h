// The input folder as a source of inputs: the oldest eligible file the
// selection finds there.
#pragma once

#include <optional>

#include "driverlink/driver_link.h"
#include "driverlink/input_port.h"
#include "driverlink/input_selection.h"

namespace dorvane {

class FolderSource : public InputSource {
 public:
  FolderSource(DriverLink& link, InputSelection& selection) : link_(link), selection_(selection) {}

  std::optional<InputChoice> Oldest() override;
  bool Owns(const std::string& path) const override;

 private:
  DriverLink& link_;
  InputSelection& selection_;
};

}  // namespace dorvane
