// The fixture's database file, made and read through sqlite3_exec; the
// form's PIN box walk and look-up reduced to what the flows rely on; and the
// hooks that record message boxes and drive each dialog from the step queue.
#include "fake_form.h"

#include <sqlite3.h>

#include "dialogs/sorted_combo.h"

namespace zentrel::test {

FlowTest::FlowTest() : pins(new QComboBox(&window)) {
  Exec(
      "CREATE TABLE VPdata (id INTEGER PRIMARY KEY, pin TEXT CHECK (length(pin) <= 255),"
      " fname TEXT CHECK (length(fname) <= 255), lname TEXT CHECK (length(lname) <= 255),"
      " pagephone TEXT CHECK (length(pagephone) <= 255));"
      "CREATE TABLE stored (id INTEGER PRIMARY KEY, Message TEXT CHECK (length(Message) <= 255));");
  pins->setEditable(true);
  pins->setInsertPolicy(QComboBox::NoInsert);
  database.Open(path);
  hooks.messageBox = [this](QWidget*, const QString& text, QMessageBox::Icon icon) {
    shown.emplace_back(text, icon);
  };
  hooks.ask = [this](QWidget*, const QString& text) {
    asked << text;
    if (answers.empty()) return true;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
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

void FlowTest::Start() {
  set.Open();
  for (; !set.IsEOF(); set.MoveNext()) AddPinEntry(QString::fromStdString(set.m_pin));
  pins->setCurrentIndex(0);
  OnSelchangePin();
}

Strings FlowTest::Rows(const std::string& sql) const {
  Strings rows;
  auto collect = [](void* out, int columns, char** values, char**) {
    std::string row;
    for (int i = 0; i < columns; ++i)
      row += (i ? "|" : "") + std::string(values[i] ? values[i] : "<null>");
    static_cast<Strings*>(out)->push_back(row);
    return 0;
  };
  sqlite3* db = nullptr;
  char* error = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, sql.c_str(), collect, &rows, &error) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << (error ? error : sqlite3_errmsg(db));
  }
  sqlite3_free(error);
  sqlite3_close(db);
  return rows;
}

int FlowTest::AddPinEntry(const QString& pin) { return AddSorted(*pins, pin); }

void FlowTest::OnSelchangePin() {
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

void FlowTest::Queue(int boxes, QStringList* seen, const QStringList& typed, int button) {
  steps.push_back([=](CTemplateDialog& d) {
    for (int i = 0; i < boxes; ++i) {
      if (seen) *seen << Box(d, 1000 + i)->text();
      if (i < typed.size() && !typed[i].isNull()) Box(d, 1000 + i)->setText(typed[i]);
    }
    Click(d, button);
  });
}

QStringList FlowTest::TakeMessages() {
  QStringList texts;
  for (const auto& s : shown) texts << s.first;
  shown.clear();
  return texts;
}

void FlowTest::ExpectOneStop(const char* when) {
  ASSERT_EQ(shown.size(), 1u) << when;
  EXPECT_EQ(shown[0].second, QMessageBox::Critical) << when;
  EXPECT_FALSE(shown[0].first.isEmpty()) << when;
  shown.clear();
}

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

}  // namespace zentrel::test
