// A stand-in for the send-page form behind FormHost, over a real database
// file: a PIN box filled and looked up as the form does it, the name and
// phone texts, the message text, and recording hooks. Message boxes are
// recorded; each dialog a flow runs is driven by the next queued step (fill
// boxes, click buttons), so nothing blocks. The real form has its own tests.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/form_host.h"

namespace zentrel::test {

struct Shown {
  QString text;
  QMessageBox::Icon icon;
};

class FakeForm : public FormHost {
 public:
  explicit FakeForm(const std::string& dbPath);

  // Opens the recipient recordset and the connection, fills the PIN box and
  // shows the first recipient, as the form's first showing does.
  void Start();

  QWidget* Parent() override { return &window; }
  CZTSet& RecipientSet() override { return set; }
  QComboBox& PinBox() override { return *pins; }
  int AddPinEntry(const QString& pin) override;
  void OnSelchangePin() override;
  CDaoDatabase& Database() override { return database; }
  void SetMessageText(const QString& text) override { message = text; }
  void UpdateCharCount() override { ++charCounts; }
  const DialogHooks& Hooks() override { return hooks; }

  QStringList PinEntries() const;
  QString SelectedPin() const { return pins->currentIndex() < 0 ? QString() : pins->itemText(pins->currentIndex()); }
  // The texts of the message boxes shown so far; clears the record.
  std::vector<QString> TakeMessages();

  QWidget window;
  QComboBox* pins;
  CZTSet set;
  CDaoDatabase database;
  std::string fname, lname, phone;  // the form's three boxes
  QString message;                  // the form's message box
  int charCounts = 0;
  std::vector<Shown> shown;
  std::deque<std::function<void(QDialog&)>> steps;  // one per dialog run
  DialogHooks hooks;
};

// Dialog driving: the text of a control, setting it, clicking a button.
QString TextOf(QDialog& dialog, int id);
void SetTextOf(QDialog& dialog, int id, const QString& text);
void Click(QDialog& dialog, int id);

}  // namespace zentrel::test
