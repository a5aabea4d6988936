#include "ui/qt/binding.h"

#include <algorithm>

#include "ui/bound_controls.h"
#include "ui/qt/ansi.h"

namespace dorvane {

Binding::Binding(MainWindow& w, Dispatcher& d, std::function<void()> showAbout) : w_(w), d_(d) {
  Controls& c = d.Ctl();
  texts_.reserve(16);
  ForEachTextBox(w, c, [this](QLineEdit* edit, TextBox& box) { BindText(edit, box); });
  ForEachCheckBox(w, c, [this](QCheckBox* check, CheckBox& box) { BindCheck(check, box); });

  QObject::connect(w.cboComSelect, &QComboBox::activated, w.cboComSelect,
                   [this](int index) { User([&] { d_.Ctl().cboComSelect.Select(index); }); });
  const std::pair<QRadioButton*, int> layouts[] = {{w.OptionSL, 0}, {w.OptionFasyVola, 1}, {w.OptionItinerisXml, 2}};
  for (auto [radio, layout] : layouts)
    QObject::connect(radio, &QRadioButton::clicked, radio,
                     [this, layout = layout] { User([&] { d_.Ctl().ChooseLayout(layout); }); });

  ForEachCommandButton(w, c, [this](QPushButton* button, CommandButton* model, void (Dispatcher::*handler)()) {
    BindButton(button, model, handler);
  });

  // The folder open in Dir1 is part of the model; the "Set" buttons read it.
  auto openFolder = [this] { d_.Ctl().Dir1Path = ToAnsi(w_.Dir1->OpenPath()); };
  openFolder();
  w.Dir1->onOpened = [this, openFolder, previous = w.Dir1->onOpened] {
    if (previous) previous();
    openFolder();
  };

  QObject::connect(w.m_esci, &QAction::triggered, &w, [this] { d_.RequestClose(); });
  QObject::connect(w.m_manual, &QAction::triggered, &w, [this] { User([&] { d_.m_manual_Click(); }); });
  QObject::connect(w.m_registro, &QAction::triggered, &w, [this] { User([&] { d_.m_registro_Click(); }); });
  QObject::connect(w.m_info, &QAction::triggered, &w, [showAbout = std::move(showAbout)] {
    if (showAbout) showAbout();
  });
  Refresh();
}

void Binding::BindText(QLineEdit* edit, TextBox& box) {
  texts_.push_back({edit, &box, {}});
  ShowText(texts_.back());
  QObject::connect(edit, &QLineEdit::textEdited, edit, [this, &box, index = texts_.size() - 1](const QString& typed) {
    User([&] {
      texts_[index].shown = ToAnsi(typed);
      box.Set(texts_[index].shown);
    });
  });
}

void Binding::BindCheck(QCheckBox* check, CheckBox& box) {
  checks_.push_back({check, &box});
  QObject::connect(check, &QCheckBox::clicked, check,
                   [this, &box](bool ticked) { User([&] { box.Set(ticked ? 1 : 0); }); });
}

void Binding::BindButton(QPushButton* button, CommandButton* model, void (Dispatcher::*handler)()) {
  if (model) buttons_.push_back({button, model, {}, 0, false});
  if (handler) QObject::connect(button, &QPushButton::clicked, button, [this, handler] { User([&] { (d_.*handler)(); }); });
}

void Binding::User(const std::function<void()>& action) {
  action();
  Refresh();
}

void Binding::ShowText(Text& t) {
  const TextBox& box = *t.box;
  // The limit is on typing: a longer text set by the program is shown whole.
  const int limit = box.MaxLength > 0 ? std::max<int>(box.MaxLength, static_cast<int>(box.Text.size())) : 32767;
  if (t.edit->maxLength() != limit) t.edit->setMaxLength(limit);
  if (t.edit->isReadOnly() != box.Locked) t.edit->setReadOnly(box.Locked);
  if (box.Text != t.shown || t.edit->text().isEmpty() != box.Text.empty()) {
    t.shown = box.Text;
    t.edit->setText(FromAnsi(box.Text));
  }
}

void Binding::Refresh() {
  Controls& c = d_.Ctl();
  for (Text& t : texts_) ShowText(t);
  for (Check& k : checks_) {
    const Qt::CheckState state = k.box->Value == 1 ? Qt::Checked : k.box->Value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
    if (k.check->checkState() != state) {
      k.check->setTristate(state == Qt::PartiallyChecked);
      k.check->setCheckState(state);
    }
  }
  const std::pair<QRadioButton*, const OptionButton*> options[] = {
      {w_.OptionSL, &c.OptionSL}, {w_.OptionFasyVola, &c.OptionFasyVola}, {w_.OptionItinerisXml, &c.OptionItinerisXml}};
  for (auto [radio, option] : options) {
    if (radio->isChecked() != option->Value) radio->setChecked(option->Value);
    if (radio->isHidden() == option->Visible) radio->setVisible(option->Visible);
  }
  if (w_.cboComSelect->currentIndex() != c.cboComSelect.ListIndex) w_.cboComSelect->setCurrentIndex(c.cboComSelect.ListIndex);
  for (Button& b : buttons_) {
    if (b.model->Caption != b.caption || !b.painted) {
      b.caption = b.model->Caption;
      b.button->setText(FromAnsi(b.caption));
    }
    if (b.model->BackColor != b.colour || !b.painted) {
      b.colour = b.model->BackColor;
      QPalette p = b.button->palette();
      p.setColor(QPalette::Button, ToQColor(b.colour));
      b.button->setPalette(p);
    }
    b.painted = true;
  }
}

}  // namespace dorvane
