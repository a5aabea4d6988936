// Settings of the window that have no handler of their own.
#include "dispatch/dispatcher.h"

namespace dorvane {

// The input layout, the conversion and reset options and the KORA1 process
// name are saved like every other setting, so changing one of them must
// bring up the save question on closing too; otherwise a layout chosen and
// not saved is silently lost and the next start converts the wrong way.
void Dispatcher::WireWindowHandlers() {
  auto modified = [this] { st_.SomethingModified = true; };
  for (CheckBox* box : {&c_.chkCompatAdHoc, &c_.chkInversioneScontiSuReso, &c_.chbOutUnitario, &c_.chkErrorReset})
    box->Click = modified;
  for (OptionButton* option : {&c_.OptionSL, &c_.OptionFasyVola, &c_.OptionItinerisXml}) option->Click = modified;
  c_.txtKora1ProcName.Change = modified;
}

}  // namespace dorvane
