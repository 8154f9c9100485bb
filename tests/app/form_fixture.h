// A send-page form over a real vp.mdb in a temporary folder, with its message
// boxes recorded instead of shown, and the user's way of choosing a PIN
// (select the entry, then the activation the list sends).
#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>

#include <memory>
#include <vector>

#include "paging/view/zt_view.h"
#include "tests/app/test_db.h"

namespace zentrel::testing {

struct ShownBox {
  QString text;
  QMessageBox::Icon icon;
};

class FormTest : public ::testing::Test {
 protected:
  // Makes vp.mdb with `rows` (unless `make_db` is false) and runs the first showing.
  void Open(const std::vector<Recipient>& rows, bool make_db = true) {
    if (make_db) folder.MakeDatabase(rows);
    set = std::make_unique<CZTSet>();
    view = std::make_unique<CZTView>(set.get(), nullptr, 5);
    view->SetMessageBox([this](QWidget*, const QString& text, QMessageBox::Icon icon) {
      boxes.push_back({text, icon});
    });
    view->Guarded([this] { view->OnInitialUpdate(); });
  }
  // What the user does when picking entry `pin` from the list.
  void Choose(const QString& pin) {
    const int index = view->m_comboPin->findText(pin, Qt::MatchExactly);
    ASSERT_GE(index, 0) << pin.toStdString();
    view->m_comboPin->setCurrentIndex(index);
    emit view->m_comboPin->activated(index);
  }
  QStringList Pins() const {
    QStringList pins;
    for (int i = 0; i < view->m_comboPin->count(); ++i) pins << view->m_comboPin->itemText(i);
    return pins;
  }
  QStringList Shown() const {
    return {view->m_comboPin->currentText(), view->m_editFirstName->text(),
            view->m_editLastName->text(), view->m_editPhone->text()};
  }

  TestFolder folder;
  std::unique_ptr<CZTSet> set;
  std::unique_ptr<CZTView> view;
  std::vector<ShownBox> boxes;
};

}  // namespace zentrel::testing
