// What the dialog tests stand on: a fixture that is the send-page form as
// the flows see it (FormHost), over a real database file made with SQLite's
// own API and read back with plain SQL, so that what a dialog did is checked
// in the file. Each text column is limited to 255 characters by a check,
// standing in for a column's width. Message boxes are recorded, and each
// dialog a flow runs is driven by the next queued step, so nothing blocks.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/form_host.h"
#include "dialogs/template_dialog.h"

inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace zentrel::test {

enum { kOk = 1, kCancel = 2 };
using Strings = std::vector<std::string>;

QStringList Items(const QComboBox& box);
inline QLineEdit* Box(CTemplateDialog& d, int id) {
  return qobject_cast<QLineEdit*>(d.Control(id));
}
inline void Click(CTemplateDialog& d, int id) {
  qobject_cast<QPushButton*>(d.Control(id))->click();
}

class FlowTest : public ::testing::Test, public FormHost {
 protected:
  FlowTest();
  // Fills the PIN box and shows the first recipient, as the form's first showing does.
  void Start();
  // Runs SQL on the file (failing the test on an error); each row's columns joined with '|'.
  Strings Rows(const std::string& sql) const;
  void Exec(const std::string& sql) const { Rows(sql); }
  // Queues one dialog run: records boxes 1000 onwards (as many as `boxes`)
  // into `seen`, types `typed` into them (a null string leaves a box alone),
  // then clicks `button`.
  void Queue(int boxes, QStringList* seen, const QStringList& typed, int button);
  QStringList TakeMessages();            // the texts of the boxes shown so far; clears them
  void ExpectOneStop(const char* when);  // exactly one box since the last call: a stop with a text
  QString SelectedPin() const {
    return pins->currentIndex() < 0 ? QString() : pins->itemText(pins->currentIndex());
  }

  QWidget* Parent() override { return &window; }
  CZTSet& RecipientSet() override { return set; }
  QComboBox& PinBox() override { return *pins; }
  int AddPinEntry(const QString& pin) override;
  void OnSelchangePin() override;
  CDaoDatabase& Database() override { return database; }
  void SetMessageText(const QString& text) override { message = text; }
  void UpdateCharCount() override { ++charCounts; }
  void ShowNoRecipient() override { fname = lname = phone = ""; }
  const DialogHooks& Hooks() override { return hooks; }

  QTemporaryDir dir;
  std::string path = (dir.path() + "/vp.mdb").toStdString();
  QWidget window;
  QComboBox* pins;
  CZTSet set{nullptr, path};
  CDaoDatabase database;
  std::string fname, lname, phone;  // the form's three boxes
  QString message;                  // the form's message box
  int charCounts = 0;
  std::vector<std::pair<QString, QMessageBox::Icon>> shown;
  QStringList asked;         // the questions asked so far
  std::deque<bool> answers;  // the answers to give, in turn; Yes when none is left
  std::deque<std::function<void(CTemplateDialog&)>> steps;  // one per dialog run
  DialogHooks hooks;
};

}  // namespace zentrel::test
