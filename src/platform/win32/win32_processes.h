#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/processes.h"

namespace dorvane {

// Processes through the process-status interface (psapi), ANSI names.
class Win32Processes : public Processes {
 public:
  std::vector<std::int32_t> EnumerateIds() override;
  ProcessModule ReadModule(std::int32_t pid) override;
  std::string ErrorText(int code) override;
  // Starts "TASKKILL /PID n" (no /F: the program is asked, not forced) and
  // does not wait for it.
  bool AskToClose(std::int32_t pid) override;
  bool ShellOpen(const std::string& file, const std::string& params, int show) override;
  bool ProgramExists(const std::string& path) override;
};

// Every process id, starting with room for firstCapacity ids and growing the
// buffer until the list fits: a full buffer may have cut the list short.
std::vector<std::int32_t> EnumerateProcessIds(std::size_t firstCapacity = 1024);

}  // namespace dorvane
