// The send-page form over a real vp.mdb: its controls' pixels and tab order,
// PIN list order, first showing, look-up, character count, Clear Message,
// the start of a send, and what store failures and an empty table do.
#include "paging/view/form_layout.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

const std::vector<Recipient> kRecipients = {
    {"2", "Ann", "Bell", "5551234"},   {"10", "Carl", "Dunn", "5559876"},
    {"1500", "Eve", "Fox", "5550000"}, {"b7", "Gus", "Hill", "5551111"},
    {"A9", "Ida", "Jones", "5552222"}, {"O'1", "Kim", "Lee", "5553333"},
};

TEST(FormLayout, DialogUnitsBecomePixelsFromTheFontsCharacterSize) {
  // Base units 6 by 13: a quarter of 6 across, an eighth of 13 down.
  EXPECT_EQ(DialogToPixels(QRect(20, 59, 98, 14), {6, 13}), QRect(30, 95, 147, 22));
  EXPECT_EQ(DialogToPixels(QRect(0, 0, 284, 219), {8, 16}), QRect(0, 0, 568, 438));
}

TEST(FormLayout, TabVisitsTheControlsInTemplateOrder) {
  CZTView view(nullptr);
  view.show();
  QApplication::setActiveWindow(&view);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  view.m_editPhone->setFocus();
  std::vector<int> order;
  for (int i = 0; i < 13; ++i) {
    QWidget* w = QApplication::focusWidget();
    while (w && w->property("controlId").toInt() == 0) w = w->parentWidget();
    order.push_back(w ? w->property("controlId").toInt() : 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (std::vector<int>{1003, 1005, 1006, 1007, 1008, 1009, 1010, 1012, 1013, 1014,
                                     1015, 1016, 1003}));
}

TEST_F(FormTest, PinsSortAsTextAndChoosingOneLooksItUp) {
  Open(kRecipients);
  EXPECT_EQ(Pins(), (QStringList{"10", "1500", "2", "A9", "b7", "O'1"}));
  EXPECT_EQ(Shown(), (QStringList{"10", "Carl", "Dunn", "5559876"}));
  EXPECT_EQ(view->m_editCharCount->text(), "0");
  for (const QStringList& row :
       {QStringList{"2", "Ann", "Bell", "5551234"},
        QStringList{"O'1", "Kim", "Lee", "5553333"},  // a quote is only a character
        QStringList{"b7", "Gus", "Hill", "5551111"}}) {
    Choose(row[0]);
    EXPECT_EQ(Shown(), row) << row[0].toStdString();
  }
  view->m_comboPin->lineEdit()->setText("777");  // typing looks nothing up
  EXPECT_EQ(view->m_editPhone->text(), "5551111");
  EXPECT_EQ(view->PinBoxText(), "777");
  EXPECT_EQ(view->m_comboPin->AddString("11"), 1);
  EXPECT_EQ(view->m_comboPin->AddString("a1"), 4);
  EXPECT_EQ(Pins(), (QStringList{"10", "11", "1500", "2", "a1", "A9", "b7", "O'1"}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormTest, AFailedLookUpIsShownAndTheBoxesStay) {
  Open(kRecipients);
  folder.Exec("DELETE FROM VPdata WHERE pin = '2'");
  Choose("2");
  folder.Exec("DROP TABLE VPdata");  // the re-query itself fails
  Choose("2");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Did not find Pin number in database, try again!");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(boxes[1].icon, QMessageBox::Critical);
  EXPECT_EQ(Shown().mid(1), (QStringList{"Carl", "Dunn", "5559876"}));
}

TEST_F(FormTest, CharacterCountLeavesLineBreaksOutAndClearMessageEmptiesTheBox) {
  Open(kRecipients);
  const struct {
    const char *text, *count, *terminal_text;
  } rows[] = {
      {"AB\nCD", "4", "AB CD"}, {"HELLO", "5", "HELLO"}, {"A\n\nB\n", "2", "A  B "}, {"", "0", ""}};
  for (const auto& row : rows) {
    view->m_editMessage->setPlainText(row.text);
    EXPECT_EQ(view->m_editCharCount->text(), row.count) << row.text;
    EXPECT_EQ(view->MessageBoxText(), row.terminal_text) << row.text;
  }
  view->m_editMessage->setPlainText("AB\nCD");
  view->m_buttonClear->click();
  EXPECT_EQ(view->m_editMessage->toPlainText(), "");
  EXPECT_EQ(view->m_editCharCount->text(), "0");
}

// The number goes to the send whole: one too long to dial is refused there,
// never cut to another number.
TEST_F(FormTest, SendPageClearsTheFlagsFirstAndHandsOnTheNumberWhole) {
  Open(kRecipients);
  const struct {
    std::string phone;
    int dial_result;
    std::string dialled;
  } rows[] = {{std::string(40, '7'), 1, std::string(40, '7')},
              {"5551234", 0, "5551234"},
              {std::string(31, '9'), 1, std::string(31, '9')}};
  for (const auto& row : rows) {
    g_bBlockSent = g_bLogonSent = g_bPageAccepted = 1;
    std::vector<int> flags_at_dial;
    std::string dialled;
    view->SetStartSend([&](const char* number) {
      flags_at_dial = {g_bBlockSent.load(), g_bLogonSent.load(), g_bPageAccepted.load()};
      dialled = number;
      return row.dial_result;
    });
    view->m_editPhone->setText(QString::fromStdString(row.phone));
    TraceCapture trace;
    view->m_buttonSend->click();
    EXPECT_EQ(flags_at_dial, (std::vector<int>{0, 0, 0})) << row.phone;
    EXPECT_EQ(dialled, row.dialled) << row.phone;
    EXPECT_EQ(trace.Contains("Dial call failed.\n"), row.dial_result == 0) << row.phone;
  }
  view->SetStartSend(nullptr);  // no dialer plugged in: the send fails as a failed dial
  g_bLogonSent = 1;
  TraceCapture trace;
  view->OnSendPage();
  EXPECT_EQ(g_bLogonSent.load(), 0);
  EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Dial call failed.\n"}));
}

TEST_F(FormTest, AnEmptyTableShowsAnEmptyListAndNoError) {
  Open({});
  EXPECT_EQ(Shown(), (QStringList{"", "", "", ""}));
  EXPECT_EQ(view->m_comboPin->count(), 0);
  EXPECT_EQ(view->m_editCharCount->text(), "0");
  view->m_editMessage->setPlainText("OK");
  EXPECT_EQ(view->m_editCharCount->text(), "2");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormTest, AStoreFailureInAButtonsFlowIsShownWithTheStopIcon) {
  Open(kRecipients);
  view->SetStoredMessages([&] { throw CDaoException("locked"); });
  view->m_buttonStored->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "locked");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
}

}  // namespace
}  // namespace zentrel::testing
