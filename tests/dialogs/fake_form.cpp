// The fake form: the PIN box walk and look-up of the real form reduced to
// what the flows rely on, and the hooks that drive dialogs from a queue.
#include "fake_form.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "dialogs/sorted_combo.h"
#include "dialogs/template_dialog.h"

namespace zentrel::test {

FakeForm::FakeForm(const std::string& dbPath) : pins(new QComboBox(&window)), set(nullptr, dbPath) {
  pins->setEditable(true);
  pins->setInsertPolicy(QComboBox::NoInsert);
  database.Open(dbPath);
  hooks.messageBox = [this](QWidget*, const QString& text, QMessageBox::Icon icon) {
    shown.push_back({text, icon});
  };
  hooks.runDialog = [this](QDialog& dialog) {
    if (steps.empty()) {
      ADD_FAILURE() << "a dialog ran with no step queued: " << dialog.windowTitle().toStdString();
      return static_cast<int>(QDialog::Rejected);
    }
    auto step = std::move(steps.front());
    steps.pop_front();
    dialog.show();
    step(dialog);
    if (dialog.isVisible()) {
      ADD_FAILURE() << "a step left the dialog open: " << dialog.windowTitle().toStdString();
      dialog.reject();
    }
    return dialog.result();
  };
}

void FakeForm::Start() {
  set.Open();
  for (; !set.IsEOF(); set.MoveNext()) AddPinEntry(QString::fromStdString(set.m_pin));
  if (pins->count() == 0) return;
  pins->setCurrentIndex(0);
  OnSelchangePin();
}

int FakeForm::AddPinEntry(const QString& pin) { return AddSorted(*pins, pin); }

void FakeForm::OnSelchangePin() {
  const std::string pin = SelectedPin().toStdString();
  set.m_strFilter = "pin = '" + pin + "'";
  set.Requery();
  if (set.GetRecordCount() > 0) {
    lname = set.m_lname;
    fname = set.m_fname;
    phone = set.m_pagephone;
    pins->setCurrentIndex(FindPrefix(*pins, QString::fromStdString(pin)));
  } else {
    hooks.messageBox(&window, QStringLiteral("Did not find Pin number in database, try again!"),
                     QMessageBox::Warning);
  }
}

QStringList FakeForm::PinEntries() const {
  QStringList entries;
  for (int i = 0; i < pins->count(); ++i) entries << pins->itemText(i);
  return entries;
}

std::vector<QString> FakeForm::TakeMessages() {
  std::vector<QString> texts;
  for (const auto& s : shown) texts.push_back(s.text);
  shown.clear();
  return texts;
}

QString TextOf(QDialog& dialog, int id) {
  auto* control = dialog.findChild<QWidget*>(CTemplateDialog::ControlName(id), Qt::FindDirectChildrenOnly);
  if (auto* line = qobject_cast<QLineEdit*>(control)) return line->text();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) return plain->toPlainText();
  ADD_FAILURE() << "no text control " << id;
  return {};
}

void SetTextOf(QDialog& dialog, int id, const QString& text) {
  auto* control = dialog.findChild<QWidget*>(CTemplateDialog::ControlName(id), Qt::FindDirectChildrenOnly);
  if (auto* line = qobject_cast<QLineEdit*>(control)) return line->setText(text);
  if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) return plain->setPlainText(text);
  ADD_FAILURE() << "no text control " << id;
}

void Click(QDialog& dialog, int id) {
  auto* button = dialog.findChild<QPushButton*>(CTemplateDialog::ControlName(id), Qt::FindDirectChildrenOnly);
  ASSERT_NE(button, nullptr) << "no button " << id;
  button->click();
}

}  // namespace zentrel::test
