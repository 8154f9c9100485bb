// What the dialog tests stand on: a database file for each test, made with
// SQLite's own API and read back with plain SQL (each text column limited to
// 255 characters by a check, standing in for a column's width), and a
// stand-in for the send-page form behind FormHost over that file, whose
// message boxes are recorded and whose dialogs are each driven by the next
// queued step, so nothing blocks. The real modal loop has its own test.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/form_host.h"
#include "dialogs/template_dialog.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace zentrel::test {

enum { kOk = 1, kCancel = 2 };
using Strings = std::vector<std::string>;

// VPdata and stored as the program expects them, in a fresh temporary folder.
class TestDb {
 public:
  TestDb();
  std::string Path() const { return (dir_.path() + "/vp.mdb").toStdString(); }
  void Exec(const std::string& sql) const { Rows(sql); }  // fails the test on an error
  std::vector<std::string> Rows(const std::string& sql) const;  // columns joined with '|'

 private:
  QTemporaryDir dir_;
};

class FakeForm : public FormHost {
 public:
  explicit FakeForm(const std::string& dbPath);
  // Opens the recipient recordset, fills the PIN box and shows the first
  // recipient, as the form's first showing does.
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

  QString SelectedPin() const { return pins->currentIndex() < 0 ? QString() : pins->itemText(pins->currentIndex()); }
  QStringList TakeMessages();  // the texts of the boxes shown so far; clears them

  QWidget window;
  QComboBox* pins;
  CZTSet set;
  CDaoDatabase database;
  std::string fname, lname, phone;  // the form's three boxes
  QString message;                  // the form's message box
  int charCounts = 0;
  std::vector<std::pair<QString, QMessageBox::Icon>> shown;
  std::deque<std::function<void(CTemplateDialog&)>> steps;  // one per dialog run
  DialogHooks hooks;
};

QStringList Items(const QComboBox& box);
inline QLineEdit* Box(CTemplateDialog& d, int id) { return qobject_cast<QLineEdit*>(d.Control(id)); }
inline void Click(CTemplateDialog& d, int id) { qobject_cast<QPushButton*>(d.Control(id))->click(); }

class FlowTest : public ::testing::Test {
 protected:
  // Queues one dialog run: records boxes 1000 onwards (as many as `boxes`)
  // into `seen`, types `typed` into them (a null string leaves a box alone),
  // then clicks `button`.
  void Queue(int boxes, QStringList* seen, const QStringList& typed, int button);
  // Expects exactly one message box since the last call, a stop with a text.
  void ExpectOneStop(const char* when);

  TestDb db;
  FakeForm form{db.Path()};
};

}  // namespace zentrel::test
