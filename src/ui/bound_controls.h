// Which window control shows which part of the controls model, and which
// dispatcher handler each button runs. The same for every front end: each
// window has members of these names, whatever its toolkit.
#pragma once

#include <utility>

#include "dispatch/dispatcher.h"

namespace dorvane {

// bind(edit, TextBox&) for every text box of the window.
template <typename Window, typename Bind>
void ForEachTextBox(Window& w, Controls& c, Bind bind) {
  for (auto [edit, box] : {std::pair{w.txtFileFilter, &c.txtFileFilter}, {w.txtFilePrefix, &c.txtFilePrefix},
                           {w.txtInputDir, &c.txtInputDir}, {w.txtOutputDir, &c.txtOutputDir},
                           {w.txtErrorDir, &c.txtErrorDir}, {w.txtOutExt, &c.txtOutExt}, {w.txtErrExt, &c.txtErrExt},
                           {w.txtKora1PathDir, &c.txtKora1PathDir}, {w.txtKora1ProcName, &c.txtKora1ProcName},
                           {w.txtTimerVal, &c.txtTimerVal}, {w.txtKora1Result, &c.txtKora1Result},
                           {w.txtSelectedFile, &c.txtSelectedFile}})
    bind(edit, *box);
}

// bind(check, CheckBox&) for every check box of the window.
template <typename Window, typename Bind>
void ForEachCheckBox(Window& w, Controls& c, Bind bind) {
  for (auto [check, box] : {std::pair{w.chbExitKora1, &c.chbExitKora1}, {w.chbLogEnable, &c.chbLogEnable},
                            {w.chkCompatAdHoc, &c.chkCompatAdHoc}, {w.chkInversioneScontiSuReso, &c.chkInversioneScontiSuReso},
                            {w.chbOutUnitario, &c.chbOutUnitario}, {w.chkErrorReset, &c.chkErrorReset}})
    bind(check, *box);
}

// bind(button, model, handler) for every command button: the model is null
// for a button whose caption and colour never change, the handler for one
// that only shows.
template <typename Window, typename Bind>
void ForEachCommandButton(Window& w, Controls& c, Bind bind) {
  using D = Dispatcher;
  bind(w.cmdEnableTimer, &c.cmdEnableTimer, &D::cmdEnableTimer_Click);
  bind(w.cmdResetError, &c.cmdResetError, &D::cmdResetError_Click);
  bind(w.cmdKora1Connection, &c.cmdKora1Connection, nullptr);
  bind(w.cmdChgTimer, nullptr, &D::cmdChgTimer_Click);
  bind(w.cmdSaveConfig, nullptr, &D::cmdSaveConfig_Click);
  bind(w.cmdSetInputDir, nullptr, &D::cmdSetInputDir_Click);
  bind(w.cmdSetOutputDir, nullptr, &D::cmdSetOutputDir_Click);
  bind(w.cmdSetErrorDir, nullptr, &D::cmdSetErrorDir_Click);
  bind(w.cmdSetKora1PathDir, nullptr, &D::cmdSetKora1PathDir_Click);
  bind(w.cmdSetKora1Proc, nullptr, &D::cmdSetKora1Proc_Click);
}

}  // namespace dorvane
