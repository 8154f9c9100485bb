// The send-page form's controls: every one of the form's table with its kind,
// text and place (dialog units turned into pixels from the font), and the
// order in which Tab visits them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "paging/view/form_layout.h"
#include "paging/view/zt_view.h"

namespace zentrel {
namespace {

enum class Kind { kEdit, kMultiLine, kButton, kStatic, kCombo, kGroup };

struct Control {
  int id;
  Kind kind;
  const char* text;
  int x, y, cx, cy;
};

// The form's controls in template order.
const Control kForm[] = {
    {1003, Kind::kEdit, "", 20, 59, 98, 14},
    {1005, Kind::kButton, "&Send Page", 121, 201, 50, 14},
    {0, Kind::kStatic, "Phone Number:", 21, 49, 54, 10},
    {1006, Kind::kMultiLine, "", 22, 172, 180, 18},
    {0, Kind::kStatic, "Status:", 22, 162, 22, 10},
    {1007, Kind::kCombo, "", 21, 30, 69, 68},
    {0, Kind::kStatic, "PIN #:", 21, 20, 23, 10},
    {1008, Kind::kMultiLine, "", 22, 105, 180, 47},
    {0, Kind::kStatic, "Message:", 23, 96, 35, 9},
    {1009, Kind::kEdit, "", 94, 30, 79, 12},
    {1010, Kind::kEdit, "", 175, 30, 90, 12},
    {0, Kind::kStatic, "First Name:", 95, 20, 59, 10},
    {0, Kind::kStatic, "Last Name:", 176, 20, 59, 10},
    {1012, Kind::kButton, "Add", 208, 65, 51, 13},
    {0, Kind::kGroup, "Recipient Information", 10, 3, 266, 80},
    {0, Kind::kGroup, "Page Information", 10, 86, 266, 110},
    {0, Kind::kStatic, "Character Count:", 129, 154, 50, 8},
    {1013, Kind::kEdit, "", 179, 152, 23, 12},
    {1014, Kind::kButton, "Clear Message", 206, 107, 61, 16},
    {1015, Kind::kButton, "Stored Messages", 206, 129, 61, 16},
    {1016, Kind::kButton, "Edit", 208, 47, 51, 13},
    {0, Kind::kStatic, "Beta   Beta    Beta", 32, 202, 59, 11},
};

Kind KindOf(QWidget* w) {
  if (qobject_cast<QComboBox*>(w)) return Kind::kCombo;
  if (qobject_cast<QPlainTextEdit*>(w)) return Kind::kMultiLine;
  if (qobject_cast<QLineEdit*>(w)) return Kind::kEdit;
  if (qobject_cast<QPushButton*>(w)) return Kind::kButton;
  if (qobject_cast<QGroupBox*>(w)) return Kind::kGroup;
  return Kind::kStatic;
}

QString TextOf(QWidget* w) {
  if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return QString();
}

TEST(FormLayout, DialogUnitsBecomePixelsFromTheFontsCharacterSize) {
  // Base units 6 by 13: a quarter of 6 across, an eighth of 13 down.
  EXPECT_EQ(DialogToPixels(QRect(20, 59, 98, 14), {6, 13}), QRect(30, 95, 147, 22));
  EXPECT_EQ(DialogToPixels(QRect(0, 0, 284, 219), {8, 16}), QRect(0, 0, 568, 438));
}

TEST(FormLayout, EveryControlHasItsKindTextAndPlace) {
  CZTView view(nullptr);
  std::vector<QWidget*> built(std::size(kForm), nullptr);
  for (QWidget* w : view.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const int index = w->property("templateIndex").toInt();
    ASSERT_TRUE(w->property("templateIndex").isValid()) << "stray widget";
    ASSERT_LT(index, static_cast<int>(std::size(kForm)));
    built[index] = w;
  }
  const DialogBaseUnits base = BaseUnitsOf(view.font());
  ASSERT_GT(base.width, 0);
  for (std::size_t i = 0; i < std::size(kForm); ++i) {
    const Control& c = kForm[i];
    QWidget* w = built[i];
    ASSERT_NE(w, nullptr) << "row " << i << " " << c.text;
    EXPECT_EQ(w->property("controlId").toInt(), c.id) << "row " << i;
    EXPECT_EQ(KindOf(w), c.kind) << "row " << i;
    EXPECT_EQ(TextOf(w), QString::fromLatin1(c.text)) << "row " << i;
    EXPECT_EQ(w->x(), c.x * base.width / 4) << "row " << i;
    EXPECT_EQ(w->y(), c.y * base.height / 8) << "row " << i;
    EXPECT_EQ(w->width(), c.cx * base.width / 4) << "row " << i;
    if (c.kind != Kind::kCombo) {
      EXPECT_EQ(w->height(), c.cy * base.height / 8) << "row " << i;
    }
    EXPECT_EQ(w->focusPolicy() == Qt::StrongFocus, c.id != 0) << "row " << i;
  }
  for (QLineEdit* edit : view.findChildren<QLineEdit*>()) EXPECT_FALSE(edit->isReadOnly());
  EXPECT_FALSE(view.m_editMessage->isReadOnly());
  EXPECT_FALSE(view.m_editStatus->isReadOnly());
  EXPECT_TRUE(view.m_comboPin->isEditable());
}

// The control (with an id) that holds the focus.
int FocusedControl() {
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
    if (w->property("controlId").toInt() != 0) return w->property("controlId").toInt();
  }
  return 0;
}

TEST(FormLayout, TabVisitsTheControlsInTemplateOrder) {
  CZTView view(nullptr);
  view.show();
  QApplication::setActiveWindow(&view);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  view.m_editPhone->setFocus();
  std::vector<int> order{FocusedControl()};
  for (int i = 0; i < 12; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order.push_back(FocusedControl());
  }
  const std::vector<int> expected{1003, 1005, 1006, 1007, 1008, 1009, 1010,
                                  1012, 1013, 1014, 1015, 1016, 1003};
  EXPECT_EQ(order, expected);
}

}  // namespace
}  // namespace zentrel
