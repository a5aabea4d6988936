// The window's controls as a plain model. The core reads and writes it and
// fires the change handlers itself; a front end binds widgets to it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace dorvane {

// Colours are 0x00BBGGRR values.
using Colour = std::uint32_t;
inline constexpr Colour kGreen = 0x00FF00;
inline constexpr Colour kRed = 0x0000FF;
inline constexpr Colour kLightRed = 0xC0C0FF;
inline constexpr Colour kGrey = 0xC0C0C0;
// The settings window's design colours, the same in every front end.
inline constexpr Colour kWindowBack = 0x404040;
inline constexpr Colour kPathBack = 0xC0C0FF;
inline constexpr Colour kPickerBack = 0xC0FFFF;
inline constexpr Colour kSetBack = 0xFFFF80;
inline constexpr Colour kSelectedFileBack = 0xC0FFC0;

// Handlers fire on any change of the value, whether typed or set by the program.
struct TextBox {
  std::string Text;
  int MaxLength = 0;  // limit on typing; 0 = none
  bool Locked = false;
  std::function<void()> Change;

  void Set(const std::string& text) {
    if (text == Text) return;
    Text = text;
    if (Change) Change();
  }
};

struct CheckBox {
  int Value = 0;  // 0 clear, 1 ticked, 2 grayed
  std::function<void()> Click;

  void Set(int value) {
    if (value == Value) return;
    Value = value;
    if (Click) Click();
  }
  bool Ticked() const { return Value == 1; }
};

struct OptionButton {
  bool Value = false;
  bool Visible = true;
  std::function<void()> Click;  // fires when the user chooses this button
};

struct CommandButton {
  std::string Caption;
  Colour BackColor = kGrey;

  void Show(const std::string& caption, Colour colour) {
    Caption = caption;
    BackColor = colour;
  }
};

struct ComboList {
  std::vector<std::string> Items;
  int ListIndex = -1;
  std::function<void()> Click;

  // Choosing an entry fires the click handler, as a user's choice does.
  void Select(int index) {
    ListIndex = index;
    if (index >= 0 && Click) Click();
  }
  std::string Text() const { return ListIndex >= 0 && ListIndex < static_cast<int>(Items.size()) ? Items[ListIndex] : ""; }
};

// The window timer. Enabling it or changing its interval restarts the count,
// so the first tick comes one whole interval later.
class WindowTimer {
 public:
  explicit WindowTimer(Clock& clock) : clock_(clock) {}
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  // Whether a tick is due now; an interval below 1 ms counts as 1 ms.
  bool Due() const;
  // Milliseconds until the next tick (-1 when disabled).
  std::int64_t MsUntilDue() const;
  void Restart() { startedMs_ = clock_.MonotonicMs(); }
  // Makes the next tick due now, as if the interval had just passed.
  void FireNow();

 private:
  Clock& clock_;
  bool enabled_ = false;
  int interval_ = 0;
  std::int64_t startedMs_ = 0;
};

struct Controls {
  explicit Controls(Clock& clock);

  // Settings.
  ComboList cboComSelect;
  TextBox txtFileFilter, txtFilePrefix, txtInputDir, txtOutputDir, txtErrorDir, txtOutExt, txtErrExt;
  CheckBox chbExitKora1, chbLogEnable, chkCompatAdHoc, chkInversioneScontiSuReso, chbOutUnitario, chkErrorReset;
  OptionButton OptionSL, OptionFasyVola, OptionItinerisXml;
  TextBox txtKora1PathDir, txtKora1ProcName;

  // The cycle.
  TextBox txtTimerVal;
  CommandButton cmdEnableTimer, cmdResetError, cmdKora1Connection;
  TextBox txtKora1Result, txtSelectedFile;
  WindowTimer Timer1;

  // Directory picker: the folder open in Dir1.
  std::string Dir1Path;

  // Input layout from the option buttons: 0 Sarema Language / Xon-Xoff, 1 Fasy Vola, 2 Itineris XML.
  int InputLayout() const { return OptionFasyVola.Value ? 1 : OptionItinerisXml.Value ? 2 : 0; }
  void SelectLayout(int layout) {
    OptionSL.Value = layout == 0;
    OptionFasyVola.Value = layout == 1;
    OptionItinerisXml.Value = layout == 2;
  }
  // The user's choice of layout: fires the chosen button's handler when the
  // choice changes anything.
  void ChooseLayout(int layout) {
    if (InputLayout() == layout && (layout != 0 || OptionSL.Value)) return;
    SelectLayout(layout);
    OptionButton& chosen = layout == 1 ? OptionFasyVola : layout == 2 ? OptionItinerisXml : OptionSL;
    if (chosen.Click) chosen.Click();
  }
};

}  // namespace dorvane
