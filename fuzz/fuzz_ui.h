// A Ui for fuzz targets: counts message boxes, shows nothing.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/ui.h"

namespace dorvane::fuzz {

class CountingUi : public Ui {
 public:
  void ShowMessage(const std::string&) override { ++messages; }
  bool AskYesNo(const std::string&) override { return false; }
  void SetTopmost(bool) override {}
  void ShowWindowNormal() override {}
  void HideWindow() override {}
  void TrayAdd(const std::string&) override {}
  void TrayModify(const std::string&) override {}
  void TrayDelete() override {}
  void ShowClosingNotice() override {}
  void ProcessEvents() override {}
  [[noreturn]] void EndNow(int) override { std::abort(); }

  int messages = 0;
};

}  // namespace dorvane::fuzz
