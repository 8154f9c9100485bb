// The test database's creation and reads; the fake form: the PIN box walk
// and look-up of the real form reduced to what the flows rely on, and the
// hooks that drive dialogs from a queue.
#include "fake_form.h"

#include <sqlite3.h>

#include "dialogs/sorted_combo.h"

namespace zentrel::test {

TestDb::TestDb() {
  Exec(
      "CREATE TABLE VPdata (id INTEGER PRIMARY KEY, pin TEXT CHECK (length(pin) <= 255),"
      " fname TEXT CHECK (length(fname) <= 255), lname TEXT CHECK (length(lname) <= 255),"
      " pagephone TEXT CHECK (length(pagephone) <= 255));"
      "CREATE TABLE stored (id INTEGER PRIMARY KEY, Message TEXT CHECK (length(Message) <= 255));");
}

std::vector<std::string> TestDb::Rows(const std::string& sql) const {
  std::vector<std::string> rows;
  auto collect = [](void* out, int columns, char** values, char**) {
    std::string row;
    for (int i = 0; i < columns; ++i) row += (i ? "|" : "") + std::string(values[i] ? values[i] : "<null>");
    static_cast<std::vector<std::string>*>(out)->push_back(row);
    return 0;
  };
  sqlite3* db = nullptr;
  char* error = nullptr;
  if (sqlite3_open(Path().c_str(), &db) != SQLITE_OK || sqlite3_exec(db, sql.c_str(), collect, &rows, &error) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << (error ? error : sqlite3_errmsg(db));
  }
  sqlite3_free(error);
  sqlite3_close(db);
  return rows;
}

FakeForm::FakeForm(const std::string& dbPath) : pins(new QComboBox(&window)), set(nullptr, dbPath) {
  pins->setEditable(true);
  pins->setInsertPolicy(QComboBox::NoInsert);
  database.Open(dbPath);
  hooks.messageBox = [this](QWidget*, const QString& text, QMessageBox::Icon icon) {
    shown.emplace_back(text, icon);
  };
  hooks.runDialog = [this](QDialog& dialog) {
    if (steps.empty()) {
      ADD_FAILURE() << "a dialog ran with no step queued: " << dialog.windowTitle().toStdString();
      return static_cast<int>(QDialog::Rejected);
    }
    auto step = std::move(steps.front());
    steps.pop_front();
    dialog.show();
    step(dynamic_cast<CTemplateDialog&>(dialog));
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
  if (set.GetRecordCount() == 0) {
    hooks.messageBox(&window, QStringLiteral("Did not find Pin number in database, try again!"),
                     QMessageBox::Warning);
    return;
  }
  lname = set.m_lname;
  fname = set.m_fname;
  phone = set.m_pagephone;
  pins->setCurrentIndex(FindPrefix(*pins, QString::fromStdString(pin)));
}

QStringList FakeForm::TakeMessages() {
  QStringList texts;
  for (const auto& s : shown) texts << s.first;
  shown.clear();
  return texts;
}

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

void FlowTest::Queue(int boxes, QStringList* seen, const QStringList& typed, int button) {
  form.steps.push_back([=](CTemplateDialog& d) {
    for (int i = 0; i < boxes; ++i) {
      if (seen) *seen << Box(d, 1000 + i)->text();
      if (i < typed.size() && !typed[i].isNull()) Box(d, 1000 + i)->setText(typed[i]);
    }
    Click(d, button);
  });
}

void FlowTest::ExpectOneStop(const char* when) {
  ASSERT_EQ(form.shown.size(), 1u) << when;
  EXPECT_EQ(form.shown[0].second, QMessageBox::Critical) << when;
  EXPECT_FALSE(form.shown[0].first.isEmpty()) << when;
  form.shown.clear();
}

}  // namespace zentrel::test
