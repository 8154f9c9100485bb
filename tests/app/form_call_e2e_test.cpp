// One call at a time, through the real form and the emulated modem and
// terminal: a second Send Page during a call leaves the call alone and the
// first page still goes out; a call that ends before the page was accepted
// stops the wake-up timer and says the page was not sent; closing the window
// during a call hangs it up, ends every thread and leaves the line free; a
// terminal that stays silent, or does not hang up after its final word, is
// hung up on and Send Page dials again.
#include <QJsonObject>

#include <algorithm>
#include <csignal>

#include "app/main_frame.h"
#include "app/quit_signals.h"
#include "journal/page_log.h"
#include "tests/app/form_rig.h"

namespace zentrel::testing {
namespace {

class FormCall : public FormCallTest {
 protected:
  // Hang-ups the modem was told to make (escape, then ATH).
  int HangUps() const {
    int count = 0;
    for (const QJsonObject& rx : modem.Events("rx"))
      count += rx.value("text").toString().contains("ATH");
    return count;
  }
  // "PIN:message" of each block the terminal received.
  std::string PagesReceived() const {
    QStringList pages;
    for (const QJsonObject& block : modem.Events("block")) {
      pages << block.value("pin").toString() + ":" + block.value("message").toString();
    }
    return pages.join(" | ").toStdString();
  }

  EmulatorRig modem{folder};
};

TEST_F(FormCall, ASecondSendDuringACallLeavesItAloneAndTheFirstPageGoesOut) {
  ASSERT_TRUE(modem.Start("slow", {"--slow-wakeups", "2"}));  // connected, not yet logged on
  ASSERT_TRUE(form.Start("CALL 4411"));
  form.view->m_buttonSend->click();
  ASSERT_TRUE(form.StatusSeen("Preparing to send message...")) << form.Statuses();
  form.view->m_buttonSend->click();
  EXPECT_EQ(form.Boxes(), "A call is already being handled.");
  ASSERT_TRUE(form.StatusSeen("Message Sent!")) << form.Statuses();
  ASSERT_TRUE(CallStopped());
  EXPECT_EQ(PagesReceived(), "1234567:CALL 4411");
  EXPECT_EQ(modem.Events("call").size(), 1);

  // Once the call has ended, Send Page dials again as always.
  ASSERT_TRUE(modem.WaitReady());
  trace.Clear();
  form.view->m_editMessage->setPlainText("CALL 4412");
  form.view->m_buttonSend->click();
  ASSERT_TRUE(WaitUntil(
      [&] { return modem.Events("block").size() == 2 && form.LastStatus() == "Message Sent!"; },
      kCallLimitMs))
      << form.Statuses();
  EXPECT_EQ(PagesReceived(), "1234567:CALL 4411 | 1234567:CALL 4412");
  EXPECT_EQ(form.Boxes(), "A call is already being handled.");
}

// Each terminal ends the call at its own step; the status box then holds the
// last word on the page and the wake-up timer has stopped.
TEST_F(FormCall, WhenTheCallEndsTheTimerStopsAndTheStatusSaysWhetherThePageWentOut) {
  const struct {
    const char* scenario;
    const char* final_status;
  } rows[] = {
      {"hangup-at-connect",
       "Error, page not sent, the terminal hung up."},  // before any wake-up was answered
      {"hangup-after-logon",
       "Error, page not sent, the terminal hung up."},     // after "Sending Message."
      {"invalid-pin", "Error, check PIN and try again!"},  // the terminal's word stays
      {"accept", "Message Sent!"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.scenario);
    EmulatorRig rig(folder);
    // Long enough that a loaded machine's 250 ms read silence still lets the
    // block reach the terminal before it gives up on the caller.
    ASSERT_TRUE(rig.Start(row.scenario, {"--idle-timeout-ms", "1500"}));
    ASSERT_TRUE(form.Start("CALL 4411"));
    trace.Clear();
    form.view->m_buttonSend->click();
    ASSERT_TRUE(CallStopped()) << form.Statuses();
    EXPECT_TRUE(form.StatusSeen(row.final_status)) << form.Statuses();
    EXPECT_EQ(form.LastStatus(), row.final_status) << form.Statuses();
    EXPECT_FALSE(form.view->LogonTimer()->isActive());
    // The block may race a hang-up that follows the log-on answer at once (one
    // refused write); a wake-up timer left running would refuse one every 4 s.
    const auto lines = trace.Lines();
    EXPECT_LE(std::count(lines.begin(), lines.end(), std::string("Write thread not created\n")), 1);
    form.Close();
  }
  EXPECT_EQ(form.Boxes(), "");
}

// A silent terminal is hung up on after the call time-out with a final text;
// a terminal that refuses the page but keeps the line (it would wait a minute)
// is hung up on after the grace, its refusal staying. Send Page then dials.
TEST_F(FormCall, TheFormEndsACallTheTerminalDoesNotEnd) {
  const struct {
    const char* scenario;
    const char* final_status;
    bool redial;  // Send Page is tried again (once is enough: each hang-up costs the modem's guard
                  // times)
  } rows[] = {
      {"silent", kStatusNoAnswer, false},
      {"rs", "Error, check PIN and try again!", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.scenario);
    EmulatorRig rig(folder);
    ASSERT_TRUE(rig.Start(row.scenario, {"--idle-timeout-ms", "60000"}));
    ASSERT_TRUE(form.Start("CALL 4411", {.call_timeout_ms = 1500, .hangup_grace_ms = 300}));
    trace.Clear();
    form.view->m_buttonSend->click();
    ASSERT_TRUE(CallStopped()) << form.Statuses();
    EXPECT_EQ(form.LastStatus(), row.final_status) << form.Statuses();
    EXPECT_TRUE(trace.Contains("Modem on " + folder.Path() + "/modem: hanging up\n"))
        << "the form hung up";
    ASSERT_TRUE(rig.WaitReady());
    if (!row.redial) {
      form.Close();
      continue;
    }
    trace.Clear();
    const auto calls = rig.Events("call").size();  // the folder's log holds every row's
    form.view->m_buttonSend->click();
    EXPECT_TRUE(WaitUntil([&] { return rig.Events("call").size() == calls + 1; }))
        << "Send Page dials again";
    EXPECT_TRUE(CallStopped()) << form.Statuses();
    form.Close();
  }
  EXPECT_EQ(form.Boxes(), "");
}

// A message typed over two lines with letters the line cannot carry reaches
// the terminal in one field, in plain letters, and the user was told first;
// the page log keeps the text as typed beside it.
TEST_F(FormCall, LineBreaksAndForeignLettersArriveAsTheLineCarriesThem) {
  ASSERT_TRUE(modem.Start("accept"));
  ASSERT_TRUE(form.Start("CALL 4411"));
  form.view->m_editMessage->setPlainText(QStringLiteral("Grüße\nü €"));
  EXPECT_EQ(form.view->m_editCharCount->toolTip(),
            "The line carries plain letters only: ü goes as u, ß as ss, € as EUR.");
  form.view->m_buttonSend->click();
  ASSERT_TRUE(form.StatusSeen("Message Sent!")) << form.Statuses();
  EXPECT_EQ(form.statuses.value(0), form.view->m_editCharCount->toolTip())
      << "said before the page went";
  EXPECT_EQ(PagesReceived(), "1234567:Grusse u EUR");
  const auto records = PageLog(qgetenv("ZENTREL_PAGE_LOG").toStdString()).List({});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].attempt.message, "Grusse u EUR");
  EXPECT_EQ(records[0].attempt.typed, "Grüße\nü €") << "the log keeps the text as typed";
}

// However the window is closed during a call, the call is hung up and every
// thread has ended once the application object is gone; the next start
// finds the line free and pages.
TEST_F(FormCall, ClosingTheWindowDuringACallHangsUpAndTheNextStartPages) {
  ASSERT_TRUE(modem.Start("slow", {"--slow-wakeups", "3"}));
  const struct {
    const char* how;
    std::function<void(CMainFrame&)> close;
  } rows[] = {
      {"File > Exit", [](CMainFrame& frame) { frame.m_actExit->trigger(); }},
      {"close button", [](CMainFrame& frame) { frame.close(); }},
      {"SIGTERM",
       [](CMainFrame& frame) {
         QuitSignals quit;
         ASSERT_TRUE(quit.Installed());
         std::raise(SIGTERM);
         EXPECT_TRUE(WaitUntil([&] { return !frame.isVisible(); }));
       }},
  };
  int hangups = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.how);
    ASSERT_TRUE(form.Start("CALL 4411"));
    form.app->MainFrame()->show();
    const int threads_before_call = ThreadCount();
    form.view->m_buttonSend->click();
    ASSERT_TRUE(WaitUntil([&] { return form.view->LogonTimer()->isActive(); }))
        << "the call connected";
    row.close(*form.app->MainFrame());
    EXPECT_FALSE(form.app->MainFrame()->isVisible());
    form.Close();  // what main() does once the message loop has ended
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threads_before_call; }))
        << ThreadCount() << " threads, " << threads_before_call << " before the call";
    ASSERT_TRUE(modem.WaitReady());
    EXPECT_EQ(HangUps(), ++hangups);
  }
  ASSERT_TRUE(form.Start("CALL 4411"));
  form.view->m_buttonSend->click();
  EXPECT_TRUE(form.StatusSeen("Message Sent!")) << form.Statuses();
  EXPECT_EQ(PagesReceived(), "1234567:CALL 4411");
  EXPECT_EQ(form.Boxes(), "");
}

}  // namespace
}  // namespace zentrel::testing
