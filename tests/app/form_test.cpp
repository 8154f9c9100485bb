// The send-page form's handlers over a real vp.mdb: PIN list order, first
// showing, look-up, character count, Clear Message, the start of a send,
// and what store failures and an empty table do.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "seriallink/trace.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

const std::vector<Recipient> kRecipients = {
    {"2", "Ann", "Bell", "5551234"},    {"10", "Carl", "Dunn", "5559876"},
    {"1500", "Eve", "Fox", "5550000"},  {"b7", "Gus", "Hill", "5551111"},
    {"A9", "Ida", "Jones", "5552222"},  {"O'1", "Kim", "Lee", "5553333"},
};

TEST_F(FormTest, FirstShowingSortsPinsAsTextAndShowsTheFirst) {
  Open(kRecipients);
  EXPECT_EQ(Pins(), (QStringList{"10", "1500", "2", "A9", "b7", "O'1"}));
  EXPECT_EQ(Shown(), (QStringList{"10", "Carl", "Dunn", "5559876"}));
  EXPECT_EQ(view->m_editCharCount->text(), "0");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormTest, ChoosingAPinLooksItUp) {
  Open(kRecipients);
  const struct {
    const char* pin;
    QStringList shown;
  } rows[] = {
      {"2", {"2", "Ann", "Bell", "5551234"}},
      {"O'1", {"O'1", "Kim", "Lee", "5553333"}},  // a quote is only a character
      {"b7", {"b7", "Gus", "Hill", "5551111"}},
  };
  for (const auto& row : rows) {
    Choose(row.pin);
    EXPECT_EQ(Shown(), row.shown) << row.pin;
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormTest, APinRemovedMeanwhileIsReportedAndTheBoxesStay) {
  Open(kRecipients);
  folder.Exec("DELETE FROM VPdata WHERE pin = '2'");
  Choose("2");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Did not find Pin number in database, try again!");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(view->m_editFirstName->text(), "Carl");
  EXPECT_EQ(view->m_editPhone->text(), "5559876");
}

TEST_F(FormTest, TypingAPinLooksNothingUp) {
  Open(kRecipients);
  view->m_comboPin->lineEdit()->setText("777");
  EXPECT_EQ(view->m_editPhone->text(), "5559876");
  EXPECT_EQ(view->PinBoxText(), "777");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FormTest, AnAddedPinLandsAtItsSortedPlace) {
  Open(kRecipients);
  EXPECT_EQ(view->m_comboPin->AddString("11"), 1);
  EXPECT_EQ(view->m_comboPin->AddString("a1"), 4);
  EXPECT_EQ(Pins(), (QStringList{"10", "11", "1500", "2", "a1", "A9", "b7", "O'1"}));
}

TEST_F(FormTest, CharacterCountLeavesLineBreaksOut) {
  Open(kRecipients);
  const struct {
    const char* text;
    const char* count;
    const char* terminal_text;
  } rows[] = {
      {"AB\nCD", "4", "AB\r\nCD"},
      {"HELLO", "5", "HELLO"},
      {"A\n\nB\n", "2", "A\r\n\r\nB\r\n"},
      {"", "0", ""},
  };
  for (const auto& row : rows) {
    view->m_editMessage->setPlainText(row.text);
    EXPECT_EQ(view->m_editCharCount->text(), row.count) << row.text;
    EXPECT_EQ(view->MessageBoxText(), row.terminal_text) << row.text;
  }
}

TEST_F(FormTest, ClearMessageEmptiesTheBoxAndShowsZero) {
  Open(kRecipients);
  view->m_editMessage->setPlainText("AB\nCD");
  view->m_buttonClear->click();
  EXPECT_EQ(view->m_editMessage->toPlainText(), "");
  EXPECT_EQ(view->m_editCharCount->text(), "0");
  EXPECT_EQ(view->MessageBoxText(), "");
}

TEST_F(FormTest, SendPageClearsTheFlagsFirstAndDialsAtMost31Characters) {
  Open(kRecipients);
  const struct {
    std::string phone;
    int dial_result;
    std::string dialled;
    bool failure_line;
  } rows[] = {
      {std::string(40, '7'), 1, std::string(31, '7'), false},
      {"5551234", 0, "5551234", true},
      {std::string(31, '9'), 1, std::string(31, '9'), false},
  };
  for (const auto& row : rows) {
    g_bBlockSent = 1;
    g_bLogonSent = 1;
    g_bPageAccepted = 1;
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
    EXPECT_EQ(trace.Contains("Dial call failed.\n"), row.failure_line) << row.phone;
  }
}

TEST_F(FormTest, SendPageWithoutADialerClearsTheFlagsAndReportsTheFailure) {
  Open(kRecipients);
  g_bLogonSent = 1;
  TraceCapture trace;
  view->OnSendPage();
  EXPECT_EQ(g_bLogonSent.load(), 0);
  EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Dial call failed.\n"}));
}

TEST_F(FormTest, AnEmptyTableShowsAnEmptyListAndNoError) {
  Open({});
  EXPECT_EQ(view->m_comboPin->count(), 0);
  EXPECT_EQ(Shown(), (QStringList{"", "", "", ""}));
  EXPECT_EQ(view->m_editCharCount->text(), "0");
  EXPECT_TRUE(boxes.empty());
  view->m_editMessage->setPlainText("OK");
  EXPECT_EQ(view->m_editCharCount->text(), "2");
}

TEST_F(FormTest, AMissingDatabaseIsShownWithTheStopIconAndTheFormGoesOn) {
  Open({}, /*make_db=*/false);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(boxes[0].text.contains("vp.mdb")) << boxes[0].text.toStdString();
  EXPECT_EQ(view->m_comboPin->count(), 0);
  view->m_editMessage->setPlainText("AB");
  view->m_buttonClear->click();
  EXPECT_EQ(view->m_editCharCount->text(), "0");
}

TEST_F(FormTest, AFailedRequeryIsShownAndTheBoxesStay) {
  Open(kRecipients);
  folder.Exec("DROP TABLE VPdata");
  Choose("2");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(Shown()[1], "Carl");
}

TEST_F(FormTest, ButtonHooksRunAndTheirStoreFailuresAreShown) {
  Open(kRecipients);
  int runs = 0;
  view->SetAddRecipient([&] { ++runs; });
  view->SetEditRecipient([&] { ++runs; });
  view->SetStoredMessages([&] { throw CDaoException("locked"); });
  view->m_buttonAdd->click();
  view->m_buttonEdit->click();
  view->m_buttonStored->click();
  EXPECT_EQ(runs, 2);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "locked");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
}

}  // namespace
}  // namespace zentrel::testing
