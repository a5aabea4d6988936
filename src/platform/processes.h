// The process port: find KORA1 by its executable's base name, ask it to
// close, start it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

// What reading one process gives. The error codes are the system's own
// (0 = none); the core decides which of them are worth showing.
struct ProcessModule {
  int openError = 0;     // opening the process failed with this code
  int modulesError = 0;  // reading its modules failed with this code
  std::string name;      // base name of the main module, e.g. "kkora1.exe"
  std::string fileName;  // full path of the main module
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Every running process id, in the system's order.
  virtual std::vector<std::int32_t> EnumerateIds() = 0;
  virtual ProcessModule ReadModule(std::int32_t pid) = 0;
  // The system's text for an error code.
  virtual std::string ErrorText(int code) = 0;
  // Asks the process to close, without force and without waiting.
  virtual bool AskToClose(std::int32_t pid) = 0;
  // Shell "open" of a program or document; show: 1 normal, 2 minimised.
  virtual bool ShellOpen(const std::string& file, const std::string& params, int show) = 0;
  // A program file that ShellOpen can start exists at this path.
  virtual bool ProgramExists(const std::string& path) = 0;
};

}  // namespace dorvane
