// DORVCONF.txt: eighteen positional lines, read at start-up and written on
// request. Other shops copy these files around, so the layout is fixed.
#include <cmath>

#include "dispatch/dispatcher.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {

constexpr const char* kConfigName = "DORVCONF.txt";

// The system's conversion of a text to a 16-bit integer: a number, rounded
// half to even, that fits.
Status ToInt16(const std::string& text, int& value) {
  if (!IsNumeric(text)) return Status::Of(kErrTypeMismatch);
  double rounded = RoundHalfEven(Val(text));
  if (rounded < -32768 || rounded > 32767) return Status::Of(kErrOverflow);
  value = static_cast<int>(rounded);
  return Status::Ok();
}

Status SetCheckBox(CheckBox& box, const std::string& line) {
  int value = 0;
  if (Status st = ToInt16(line, value); !st) return st;
  if (value < 0 || value > 2) return Status::Of(kErrInvalidProperty);
  box.Set(value);
  return Status::Ok();
}

// Check-box lines are printed numbers: a blank, the digit, a blank.
std::string CheckBoxLine(const CheckBox& box) { return " " + std::to_string(box.Value) + " "; }

}  // namespace

std::string Dispatcher::ConfigPathIn(const std::string& dir) { return JoinPath(dir, kConfigName); }
std::string Dispatcher::ConfigPathInOwnDir() { return ConfigPathIn(system_.OwnDirectory()); }

Status Dispatcher::ApplyConfigLine(int number, const std::string& line) {
  switch (number) {
    case 1: {
      st_.CurrKora1ActiveCom = IsNumeric(line) ? line : "1";
      int port = 0;
      if (Status st = ToInt16(st_.CurrKora1ActiveCom, port); !st) return st;
      if (port - 1 < -1 || port - 1 >= static_cast<int>(c_.cboComSelect.Items.size()))
        return Status::Of(kErrInvalidProperty);
      c_.cboComSelect.Select(port - 1);
      return Status::Ok();
    }
    case 2:
      c_.txtFileFilter.Set(TrimLeft(line).empty() ? "" : line);
      st_.CurrFileFilter = c_.txtFileFilter.Text;
      return Status::Ok();
    case 3:
      c_.txtFilePrefix.Set(TrimLeft(line).empty() ? "" : line);
      return Status::Ok();
    case 4:
      st_.CurrInputFilePath = line;
      c_.txtInputDir.Set(line);
      return Status::Ok();
    case 5:
      st_.CurrOutputFilePath = line;
      c_.txtOutputDir.Set(line);
      return Status::Ok();
    case 6:
      st_.CurrErrorFilePath = line;
      c_.txtErrorDir.Set(line);
      return Status::Ok();
    case 7:
      if (!TrimLeft(line).empty()) c_.txtOutExt.Set(line);
      return Status::Ok();
    case 8: return SetCheckBox(c_.chbExitKora1, line);
    case 9: return SetCheckBox(c_.chbLogEnable, line);
    case 10:
      if (!TrimLeft(line).empty()) c_.txtErrExt.Set(line);
      return Status::Ok();
    case 11: {
      std::string value = Trim(line);
      if (!value.empty() && IsNumeric(value)) CalculateTimer(value);
      return Status::Ok();
    }
    case 12: {
      std::string value = Trim(line);
      double layout = IsNumeric(value) ? Val(value) : -1;
      c_.SelectLayout(layout == 1 ? 1 : layout == 2 ? 2 : 0);
      return Status::Ok();
    }
    case 13: return SetCheckBox(c_.chkInversioneScontiSuReso, line);
    case 14:
      if (!Trim(line).empty()) {
        c_.txtKora1PathDir.Set(line);
        st_.CurrKora1PathSet = line;
      }
      return Status::Ok();
    case 15:
      if (!TrimLeft(line).empty()) {
        c_.txtKora1ProcName.Set(line);
        st_.CurrKora1ProcName = line;
      }
      return Status::Ok();
    case 16: return SetCheckBox(c_.chkErrorReset, line);
    case 17: return SetCheckBox(c_.chbOutUnitario, line);
    case 18: return SetCheckBox(c_.chkCompatAdHoc, line);
    default: return Status::Ok();
  }
}

void Dispatcher::LoadConfig() {
  std::string path = ConfigPathInOwnDir();
  if (!fs_.Exists(path)) {
    path = ConfigPathIn(st_.CurrentKora1DataDir);
    if (!fs_.Exists(path)) return;
  }
  std::string bytes;
  if (Status st = fs_.ReadAll(path, bytes); !st) {
    ShowError(st);
    return;
  }
  LineReader reader(bytes);
  std::string line;
  int number = 1;
  for (; number <= 18 && reader.ReadLine(line); ++number) {
    if (number == 15) st_.CurrKora1ProcName.clear();  // emptied whenever the file was opened
    if (Status st = ApplyConfigLine(number, line); !st) {
      ShowError(st);
      return;
    }
  }
  if (number <= 15) st_.CurrKora1ProcName.clear();  // the file ended before line 15
}

std::string Dispatcher::BuildConfig() {
  if (st_.CurrFileFilter.empty()) st_.CurrFileFilter = "*.001";
  auto orBlank = [](const std::string& text, const char* placeholder) { return text.empty() ? std::string(placeholder) : text; };
  std::string timer = st_.iStdTimerVal < 1000 ? std::to_string(st_.iStdTimerVal) : FormatNumber(st_.iStdTimerVal / 1000.0);
  return JoinLines({
      st_.CurrKora1ActiveCom,
      st_.CurrFileFilter,
      orBlank(c_.txtFilePrefix.Text, "  "),
      st_.CurrInputFilePath,
      st_.CurrOutputFilePath,
      st_.CurrErrorFilePath,
      c_.txtOutExt.Text,
      CheckBoxLine(c_.chbExitKora1),
      CheckBoxLine(c_.chbLogEnable),
      c_.txtErrExt.Text,
      timer,
      std::to_string(c_.InputLayout()),
      CheckBoxLine(c_.chkInversioneScontiSuReso),
      orBlank(c_.txtKora1PathDir.Text, " "),
      orBlank(c_.txtKora1ProcName.Text, "  "),
      CheckBoxLine(c_.chkErrorReset),
      CheckBoxLine(c_.chbOutUnitario),
      CheckBoxLine(c_.chkCompatAdHoc),
  });
}

void Dispatcher::SaveConfig() {
  // Swapped in only when complete and on disk, so a crash, a power cut or a
  // full disk never leaves a shop with half a configuration.
  Status st = WriteDurably(fs_, ConfigPathInOwnDir(), BuildConfig());
  if (!st) ShowError(st);
  LogEvent(st ? kOk : kErr, "SALVATAGGIO PARAMETRI ");
  DumpState();
}

}  // namespace dorvane
