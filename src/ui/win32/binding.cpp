#include "ui/win32/binding.h"

#include "ui/bound_controls.h"

namespace dorvane {

namespace {

std::string TextOf(HWND hwnd) {
  std::string s(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  s.resize(static_cast<size_t>(GetWindowTextA(hwnd, s.data(), static_cast<int>(s.size()))));
  return s;
}

}  // namespace

Binding::Binding(MainWindow& w, Dispatcher& d, std::function<void()> showAbout)
    : w_(w), d_(d), showAbout_(std::move(showAbout)) {
  Controls& c = d.Ctl();
  ForEachTextBox(w, c, [this](HWND edit, TextBox& box) { texts_.push_back({edit, &box, {}}); });
  ForEachCheckBox(w, c, [this](HWND check, CheckBox& box) { checks_.push_back({check, &box}); });
  ForEachCommandButton(w, c, [this](HWND button, CommandButton* model, void (Dispatcher::*handler)()) {
    buttons_.push_back({button, model, handler, {}, 0});
  });

  // The folder open in Dir1 is part of the model; the "Set" buttons read it.
  auto openFolder = [this] { d_.Ctl().Dir1Path = w_.Dir1.OpenPath(); };
  openFolder();
  w.Dir1.onOpened = [openFolder, previous = w.Dir1.onOpened] {
    if (previous) previous();
    openFolder();
  };
  w.onCommand = [this](HWND control, UINT id, UINT code) { OnCommand(control, id, code); };
  for (Text& t : texts_) ShowText(t, true);
  Refresh();
}

void Binding::OnCommand(HWND control, UINT id, UINT code) {
  if (!control) {
    if (id == MainWindow::m_esci) d_.RequestClose();
    if (id == MainWindow::m_manual) User([&] { d_.m_manual_Click(); });
    if (id == MainWindow::m_registro) User([&] { d_.m_registro_Click(); });
    if (id == MainWindow::m_info && showAbout_) showAbout_();
    return;
  }
  if (code == EN_CHANGE) {
    if (refreshing_) return;
    for (Text& t : texts_)
      if (t.edit == control) {
        User([&] {
          t.shown = TextOf(control);
          t.box->Set(t.shown);
        });
      }
    return;
  }
  if (code == CBN_SELCHANGE && control == w_.cboComSelect) {
    const int index = static_cast<int>(SendMessageA(control, CB_GETCURSEL, 0, 0));
    User([&] { d_.Ctl().cboComSelect.Select(index); });
    return;
  }
  if (code != BN_CLICKED) return;
  for (Check& k : checks_)
    if (k.check == control) return User([&] { k.box->Set(k.box->Value == 1 ? 0 : 1); });
  const std::pair<HWND, int> layouts[] = {{w_.OptionSL, 0}, {w_.OptionFasyVola, 1}, {w_.OptionItinerisXml, 2}};
  for (auto [radio, layout] : layouts)
    if (radio == control) return User([&, layout = layout] { d_.Ctl().ChooseLayout(layout); });
  for (Button& b : buttons_)
    if (b.button == control && b.handler) return User([&] { (d_.*b.handler)(); });
}

void Binding::User(const std::function<void()>& action) {
  action();
  Refresh();
}

void Binding::ShowText(Text& t, bool force) {
  const TextBox& box = *t.box;
  // The limit is on typing only: a longer text set by the program is shown whole.
  SendMessageA(t.edit, EM_LIMITTEXT, static_cast<WPARAM>(box.MaxLength), 0);
  const bool readOnly = GetWindowLongA(t.edit, GWL_STYLE) & ES_READONLY;
  if (readOnly != box.Locked) SendMessageA(t.edit, EM_SETREADONLY, box.Locked, 0);
  if (force || box.Text != t.shown) {
    t.shown = box.Text;
    refreshing_ = true;
    SetWindowTextA(t.edit, box.Text.c_str());
    refreshing_ = false;
  }
}

void Binding::Refresh() {
  Controls& c = d_.Ctl();
  for (Text& t : texts_) ShowText(t, false);
  for (Check& k : checks_) {
    if (SendMessageA(k.check, BM_GETCHECK, 0, 0) != k.box->Value)
      SendMessageA(k.check, BM_SETCHECK, static_cast<WPARAM>(k.box->Value), 0);
  }
  const std::pair<HWND, const OptionButton*> options[] = {
      {w_.OptionSL, &c.OptionSL}, {w_.OptionFasyVola, &c.OptionFasyVola}, {w_.OptionItinerisXml, &c.OptionItinerisXml}};
  for (auto [radio, option] : options) {
    if ((SendMessageA(radio, BM_GETCHECK, 0, 0) == BST_CHECKED) != option->Value)
      SendMessageA(radio, BM_SETCHECK, option->Value ? BST_CHECKED : BST_UNCHECKED, 0);
    const bool visible = GetWindowLongA(radio, GWL_STYLE) & WS_VISIBLE;
    if (visible != option->Visible) ShowWindow(radio, option->Visible ? SW_SHOWNA : SW_HIDE);
  }
  if (SendMessageA(w_.cboComSelect, CB_GETCURSEL, 0, 0) != c.cboComSelect.ListIndex)
    SendMessageA(w_.cboComSelect, CB_SETCURSEL, static_cast<WPARAM>(c.cboComSelect.ListIndex), 0);
  for (Button& b : buttons_) {
    if (!b.model) continue;
    if (b.model->Caption != b.caption || TextOf(b.button) != b.caption) {
      b.caption = b.model->Caption;
      SetWindowTextA(b.button, b.caption.c_str());
    }
    if (b.model->BackColor != w_.Back(b.button)) w_.SetBack(b.button, b.model->BackColor);
  }
}

}  // namespace dorvane
