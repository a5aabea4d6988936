// The process port: find KORA1 by its executable's base name, ask it to
// close, start it.
#pragma once

#include <cstdint>
#include <memory>
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

// A shell "open" whose opener is followed until it ends. A desktop opener
// (xdg-open) may run the viewer itself and end only when the viewer closes.
class ShellOpening {
 public:
  enum class State { Running, Succeeded, Failed };
  virtual ~ShellOpening() = default;
  // Never waits. Dropping the object leaves the opener running, and no
  // process of ours behind once it ends.
  virtual State Poll() = 0;
};

// An opening whose verdict was known at once.
class ShellOpened : public ShellOpening {
 public:
  explicit ShellOpened(bool ok) : state_(ok ? State::Succeeded : State::Failed) {}
  State Poll() override { return state_; }

 private:
  State state_;
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
  // Never waits: true once the program or the opener has been started (on
  // Windows, ShellExecute's verdict).
  virtual bool ShellOpen(const std::string& file, const std::string& params, int show) = 0;
  // The same open, followed: the opener's exit status can be asked for
  // without waiting. Where the shell's verdict comes at once (ShellExecute)
  // it is ShellOpen's.
  virtual std::unique_ptr<ShellOpening> ShellOpenFollowed(const std::string& file, const std::string& params,
                                                          int show) {
    return std::make_unique<ShellOpened>(ShellOpen(file, params, show));
  }
  // A program file that ShellOpen can start exists at this path.
  virtual bool ProgramExists(const std::string& path) = 0;
};

}  // namespace dorvane
