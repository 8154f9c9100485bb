// What the form says and what the page log keeps, for each way a call from
// the form can end, through the real form, the real page log and the
// emulated modem and terminal: the final status names the cause, and the
// record carries the recipient's names, the terminal's or the modem's
// words, "interrupted" for a call the closing window ended and "accepted"
// for a page sent while a second Send Page was refused.
#include <QJsonObject>

#include <functional>

#include "app/main_frame.h"
#include "journal/page_log.h"
#include "tests/app/form_rig.h"

namespace zentrel::testing {
namespace {

class FormCallRecord;

struct Row {
  const char* name;
  const char* scenario;
  const char* number;
  // What the user does once Send Page was pressed; returns when the call is over.
  std::function<void(FormCallRecord&)> act;
  const char* status;  // the status box at the end ("" when the window is gone)
  PageOutcome outcome;
  const char* reason;            // the record's reason
  const char* terminal;          // the record's terminal words
  const char* boxes = "";        // the message boxes shown
  const char* idle_ms = "1500";  // the terminal's patience with a silent caller
};

class FormCallRecord : public FormCallTest {
 public:  // the rows' steps reach the form
  using FormCallTest::form;
  std::vector<PageRecord> Records() const {
    return PageLog(qgetenv("ZENTREL_PAGE_LOG").toStdString()).List({});
  }
  // The call has ended and its record is complete.
  void AwaitEnd() {
    ASSERT_TRUE(CallStopped());
    ASSERT_TRUE(WaitUntil(
        [&] { return Records().size() == 1 && Records()[0].outcome != PageOutcome::kInterrupted; },
        kCallLimitMs));
  }
  void AwaitConnected() {
    ASSERT_TRUE(WaitUntil([&] { return form.view->LogonTimer()->isActive(); }))
        << "the call connected";
  }

  // Each row in a folder of its own (database, page log); its form closes
  // before the folder goes.
  void Run(const Row& row) {
    SCOPED_TRACE(row.name);
    TestFolder scratch;
    scratch.MakeDatabase({{"1234567", "Carl", "Dunn", row.number}});
    EmulatorRig modem(scratch);
    Check(row, modem);
    form.Close();
  }
  void Check(const Row& row, EmulatorRig& modem) {
    ASSERT_TRUE(
        modem.Start(row.scenario, {"--idle-timeout-ms", row.idle_ms, "--slow-wakeups", "2"}));
    form.boxes.clear();
    ASSERT_TRUE(form.Start("CALL 4411", {.call_timeout_ms = 2500, .hangup_grace_ms = 300}));
    const int index = form.view->m_comboPin->findText("1234567");
    form.view->m_comboPin->setCurrentIndex(index);
    emit form.view->m_comboPin->activated(index);
    trace.Clear();
    form.view->m_buttonSend->click();
    row.act(*this);
    if (form.app) {
      EXPECT_TRUE(WaitUntil([&] { return form.Status() == row.status; }, 5000))
          << form.Status().toStdString();
    }
    const std::vector<PageRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    const PageRecord& record = records[0];
    EXPECT_STREQ(OutcomeName(record.outcome), OutcomeName(row.outcome));
    EXPECT_EQ(record.attempt.names, "Carl Dunn");
    EXPECT_EQ(record.attempt.line, row.number);
    EXPECT_EQ(record.attempt.typed, "CALL 4411");
    EXPECT_EQ(record.reason, row.reason);
    EXPECT_EQ(record.terminal, row.terminal);
    EXPECT_EQ(form.Boxes(), row.boxes);
  }
};

// The step of the rows where the user only waits.
void Wait(FormCallRecord& t) { t.AwaitEnd(); }

TEST_F(FormCallRecord, EachEndOfTheCallIsSaidAndLoggedWithItsCause) {
  const Row rows[] = {
      {"accepted", "accept", "5559876", Wait, "Message Sent!", PageOutcome::kAccepted, "",
       "211 Page accepted"},
      {"refused", "invalid-pin", "5559876", Wait, "Error, check PIN and try again!",
       PageOutcome::kRefused, "refused by the terminal", "Invalid Pin"},
      {"busy", "busy", "5559876", Wait, "Error, page not sent, the line was busy.",
       PageOutcome::kNotSent, "the line was busy (the modem said \"BUSY\")", ""},
      {"no dial tone", "no-dialtone", "5559876", Wait, "Error, page not sent, no dial tone.",
       PageOutcome::kNotSent, "no dial tone (the modem said \"NO DIALTONE\")", ""},
      {"no answer", "no-answer", "5559876", Wait,
       "Error, page not sent, the number did not answer.", PageOutcome::kNotSent,
       "the number did not answer (the modem said \"NO ANSWER\")", ""},
      {"hang-up after the log-on", "hangup-after-logon", "5559876", Wait,
       "Error, page not sent, the terminal hung up.", PageOutcome::kNotSent, "the terminal hung up",
       ""},
      {"refused number", "accept", "555;ATH", Wait,
       "Error, page not sent, the number holds a ';' at position 4; nothing was dialled.",
       PageOutcome::kNotSent, "the number holds a ';' at position 4; nothing was dialled", "",
       "Dial failed."},
  };
  for (const Row& row : rows) Run(row);
}

TEST_F(FormCallRecord, WhatTheUserAndTheFormDoDuringTheCallIsLogged) {
  auto close_mid_call = [](FormCallRecord& t) {
    t.AwaitConnected();
    t.form.app->MainFrame()->close();
    t.form.Close();
  };
  auto double_send = [](FormCallRecord& t) {
    t.AwaitConnected();
    t.form.view->m_buttonSend->click();
    t.AwaitEnd();
  };
  const Row rows[] = {
      {"silent terminal", "silent", "5559876", Wait, kStatusNoAnswer, PageOutcome::kNotSent,
       "the terminal did not answer", "", "", "60000"},
      {"window closed mid-call", "slow", "5559876", close_mid_call, "", PageOutcome::kInterrupted,
       "the window was closed during the call", ""},
      {"double Send", "slow", "5559876", double_send, "Message Sent!", PageOutcome::kAccepted, "",
       "211 Page accepted", "A call is already being handled."},
  };
  for (const Row& row : rows) Run(row);
}

}  // namespace
}  // namespace zentrel::testing
