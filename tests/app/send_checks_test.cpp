// What the form's "Send Page" lets through, with the real application
// wiring and no line configured: a refused page is shown in a message box
// and dials nothing (a dial would show that no device is installed), and a
// message longer than a page is announced in the count box and the status
// box before the dial.
#include "paging/transaction_flags.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

class SendChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.SetEnv("ZENTREL_LINES", QString::fromStdString(folder_.Path() + "/no-lines.conf"));
    folder_.MakeDatabase({{"12345678", "Long", "Pin", "5551234"},
                          {"1002", "Cr", "Phone", "555\r1"},
                          {"1003", "Ann", "Lee", "5559876"}});
    options_.show = false;
    options_.message_box = RecordInto(boxes_);
    app_ = std::make_unique<CZTApp>(options_);
    ASSERT_TRUE(app_->InitInstance());
    view_ = app_->View();
  }
  void TearDown() override { app_.reset(); }
  void SendTo(const QString& pin, const QString& message) {
    boxes_.clear();
    const int index = view_->m_comboPin->findText(pin, Qt::MatchExactly);
    view_->m_comboPin->setCurrentIndex(index);
    emit view_->m_comboPin->activated(index);
    view_->m_editMessage->setPlainText(message);
    view_->m_buttonSend->click();
  }

  TestFolder folder_;
  std::vector<ShownBox> boxes_;
  CZTApp::Options options_;
  std::unique_ptr<CZTApp> app_;
  CZTView* view_ = nullptr;
};

TEST_F(SendChecks, ARefusedPageIsShownAndDialsNothing) {
  const struct {
    const char* pin;
    QString message;
    const char* says;
  } rows[] = {
      {"12345678", "hi", "the page would reach PIN \"1234567\" instead"},
      {"1002", "hi", "The phone number holds the control character <CR> (character 4)"},
      {"1003", QString("a") + QChar(0x03), "The message holds the control character <ETX>"}};
  for (const auto& row : rows) {
    SendTo(row.pin, row.message);
    ASSERT_EQ(boxes_.size(), 1u) << row.pin;
    EXPECT_TRUE(boxes_[0].text.contains(row.says)) << boxes_[0].text.toStdString();
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning) << row.pin;
    EXPECT_EQ(view_->m_pTapi.load(), nullptr) << row.pin;
  }
}

TEST_F(SendChecks, ALongMessageIsAnnouncedBeforeTheDial) {
  SendTo("1003", QString(250, 'A'));
  EXPECT_TRUE(view_->m_editCharCount->toolTip().startsWith("The message is longer than a page"));
  const QString notice =
      "The message is longer than a page holds (199 bytes): only its first "
      "199 of 250 characters are sent.";
  EXPECT_TRUE(WaitUntil([&] { return view_->m_editStatus->toPlainText() == notice; }))
      << view_->m_editStatus->toPlainText().toStdString();
  ASSERT_FALSE(boxes_.empty());  // the dial went on, to find no line
  EXPECT_EQ(boxes_[0].text, "There are no telephony devices installed.");
  view_->m_editMessage->setPlainText("short");
  EXPECT_EQ(view_->m_editCharCount->toolTip(), "");
}

}  // namespace
}  // namespace zentrel::testing
