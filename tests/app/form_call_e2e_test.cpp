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
#include "tests/app/emulator_rig.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

constexpr int kCallLimitMs = 20000;  // only guards against a hang

class FormCall : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!EmulatorRig::Available()) GTEST_SKIP() << "no emulator built";
    folder.MakeDatabase({{"1234567", "Carl", "Dunn", "5559876"}});
  }
  void StartForm(int call_timeout_ms = kCallTimeoutMs, int grace_ms = kHangUpGraceMs) {
    statuses.clear();
    CZTApp::Options options;
    options.call_timeout_ms = call_timeout_ms;
    options.hangup_grace_ms = grace_ms;
    options.show = false;
    options.timer_interval_ms = 500;  // longer than the 250 ms silence that ends a read
    options.message_box = RecordInto(boxes);
    app = std::make_unique<CZTApp>(options);
    ASSERT_TRUE(app->InitInstance());
    view = app->View();
    view->m_editMessage->setPlainText("CALL 4411");
    QObject::connect(view->m_editStatus, &QPlainTextEdit::textChanged, view, [this] {
      const QString text = view->m_editStatus->toPlainText();
      if (!text.isEmpty() && (statuses.isEmpty() || statuses.back() != text)) statuses << text;
    });
  }
  bool StatusSeen(const char* text, int limit_ms = kCallLimitMs) {
    return WaitUntil([&] { return statuses.contains(text); }, limit_ms);
  }
  // The teardown's last line: the call and its line are gone.
  bool CallStopped() {
    return WaitUntil([&] { return trace.Contains("Call stopped\n"); }, kCallLimitMs);
  }
  // What the message boxes said, and what the status box showed, in order.
  std::string Shown() const {
    QStringList texts;
    for (const ShownBox& box : boxes) texts << box.text;
    return texts.join(" | ").toStdString();
  }
  std::string Statuses() const { return statuses.join(" | ").toStdString(); }
  QString LastStatus() const { return statuses.isEmpty() ? QString() : statuses.back(); }
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

  TestFolder folder;
  EmulatorRig modem{folder.Path()};
  TraceCapture trace;
  std::vector<ShownBox> boxes;
  QStringList statuses;
  std::unique_ptr<CZTApp> app;
  CZTView* view = nullptr;
};

TEST_F(FormCall, ASecondSendDuringACallLeavesItAloneAndTheFirstPageGoesOut) {
  ASSERT_TRUE(modem.Start("slow", {"--slow-wakeups", "2"}));  // connected, not yet logged on
  StartForm();
  view->m_buttonSend->click();
  ASSERT_TRUE(StatusSeen("Preparing to send message...")) << Statuses();
  view->m_buttonSend->click();
  EXPECT_EQ(Shown(), "A call is already being handled.");
  ASSERT_TRUE(StatusSeen("Message Sent!")) << Statuses();
  ASSERT_TRUE(CallStopped());
  EXPECT_EQ(PagesReceived(), "1234567:CALL 4411");
  EXPECT_EQ(modem.Events("call").size(), 1);

  // Once the call has ended, Send Page dials again as always.
  ASSERT_TRUE(modem.WaitReady());
  trace.Clear();
  view->m_editMessage->setPlainText("CALL 4412");
  view->m_buttonSend->click();
  ASSERT_TRUE(WaitUntil(
      [&] { return modem.Events("block").size() == 2 && LastStatus() == "Message Sent!"; },
      kCallLimitMs))
      << Statuses();
  EXPECT_EQ(PagesReceived(), "1234567:CALL 4411 | 1234567:CALL 4412");
  EXPECT_EQ(Shown(), "A call is already being handled.");
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
    EmulatorRig rig(folder.Path());
    // Long enough that a loaded machine's 250 ms read silence still lets the
    // block reach the terminal before it gives up on the caller.
    ASSERT_TRUE(rig.Start(row.scenario, {"--idle-timeout-ms", "1500"}));
    StartForm();
    trace.Clear();
    view->m_buttonSend->click();
    ASSERT_TRUE(CallStopped()) << Statuses();
    EXPECT_TRUE(StatusSeen(row.final_status)) << Statuses();
    EXPECT_EQ(LastStatus(), row.final_status) << Statuses();
    EXPECT_FALSE(view->LogonTimer()->isActive());
    // The block may race a hang-up that follows the log-on answer at once (one
    // refused write); a wake-up timer left running would refuse one every 4 s.
    const auto lines = trace.Lines();
    EXPECT_LE(std::count(lines.begin(), lines.end(), std::string("Write thread not created\n")), 1);
    app.reset();
  }
  EXPECT_EQ(Shown(), "");
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
    EmulatorRig rig(folder.Path());
    ASSERT_TRUE(rig.Start(row.scenario, {"--idle-timeout-ms", "60000"}));
    StartForm(1500, 300);
    trace.Clear();
    view->m_buttonSend->click();
    ASSERT_TRUE(CallStopped()) << Statuses();
    EXPECT_EQ(LastStatus(), row.final_status) << Statuses();
    EXPECT_TRUE(trace.Contains("Modem on " + folder.Path() + "/modem: hanging up\n"))
        << "the form hung up";
    ASSERT_TRUE(rig.WaitReady());
    if (!row.redial) {
      app.reset();
      continue;
    }
    trace.Clear();
    const auto calls = rig.Events("call").size();  // the folder's log holds every row's
    view->m_buttonSend->click();
    EXPECT_TRUE(WaitUntil([&] { return rig.Events("call").size() == calls + 1; }))
        << "Send Page dials again";
    EXPECT_TRUE(CallStopped()) << Statuses();
    app.reset();
  }
  EXPECT_EQ(Shown(), "");
}

// A message typed over two lines with letters the line cannot carry reaches
// the terminal in one field, in plain letters, and the user was told first;
// the page log keeps the text as typed beside it.
TEST_F(FormCall, LineBreaksAndForeignLettersArriveAsTheLineCarriesThem) {
  ASSERT_TRUE(modem.Start("accept"));
  StartForm();
  view->m_editMessage->setPlainText(QStringLiteral("Grüße\nü €"));
  EXPECT_EQ(view->m_editCharCount->toolTip(),
            "The line carries plain letters only: ü goes as u, ß as ss, € as EUR.");
  view->m_buttonSend->click();
  ASSERT_TRUE(StatusSeen("Message Sent!")) << Statuses();
  EXPECT_EQ(statuses.value(0), view->m_editCharCount->toolTip()) << "said before the page went";
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
    StartForm();
    app->MainFrame()->show();
    const int threads_before_call = ThreadCount();
    view->m_buttonSend->click();
    ASSERT_TRUE(WaitUntil([&] { return view->LogonTimer()->isActive(); })) << "the call connected";
    row.close(*app->MainFrame());
    EXPECT_FALSE(app->MainFrame()->isVisible());
    app.reset();  // what main() does once the message loop has ended
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threads_before_call; }))
        << ThreadCount() << " threads, " << threads_before_call << " before the call";
    ASSERT_TRUE(modem.WaitReady());
    EXPECT_EQ(HangUps(), ++hangups);
  }
  StartForm();
  view->m_buttonSend->click();
  EXPECT_TRUE(StatusSeen("Message Sent!")) << Statuses();
  EXPECT_EQ(PagesReceived(), "1234567:CALL 4411");
  EXPECT_EQ(Shown(), "");
}

}  // namespace
}  // namespace zentrel::testing
