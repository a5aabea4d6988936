// Ports for programs without a window, processes to manage or settings of
// their own (the console front end, the command-line converter, benchmarks,
// fuzz targets): every call does nothing. Subclasses route what they need.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/processes.h"
#include "platform/systeminfo.h"
#include "platform/ui.h"

namespace dorvane {

class QuietUi : public Ui {
 public:
  void ShowMessage(const std::string&) override { ++messages; }
  bool AskYesNo(const std::string&) override { return false; }
  void SetTopmost(bool) override {}
  void ShowWindowNormal() override {}
  void HideWindow() override {}
  void TrayAdd(const std::string&) override {}
  void TrayModify(const std::string&) override {}
  void TrayDelete() override {}
  void Notify(NoticeIcon, const std::string&, const std::string&) override { ++notices; }
  void ShowClosingNotice() override {}
  void ProcessEvents() override {}
  [[noreturn]] void EndNow(int exitCode) override { std::exit(exitCode); }

  int messages = 0;  // message boxes asked for
  int notices = 0;   // notifications asked for
};

class NoProcesses : public Processes {
 public:
  std::vector<std::int32_t> EnumerateIds() override { return {}; }
  ProcessModule ReadModule(std::int32_t) override { return {}; }
  std::string ErrorText(int) override { return ""; }
  bool AskToClose(std::int32_t) override { return false; }
  bool ShellOpen(const std::string&, const std::string&, int) override { return false; }
  bool ProgramExists(const std::string&) override { return false; }
};

// No registry entries; the folders and the command line are what it is given.
class FixedSystemInfo : public SystemInfo {
 public:
  bool QueryKora1Value(const std::string&, std::string&) override { return false; }
  std::string CommonAppData() override { return commonAppData; }
  bool IsNt6OrLater() override { return true; }
  std::string OwnDirectory() override { return ownDirectory; }
  std::string CommandLine() override { return commandLine; }
  bool AcquireSingleInstance() override { return true; }
  std::int64_t ProcessId() override { return processId; }

  std::string commonAppData, ownDirectory, commandLine;
  std::int64_t processId = 0;
};

}  // namespace dorvane
