// The whole program's road of one page from the form, over a modem line and
// over a TCP line: "Send Page" dials the emulated modem on a pseudo-terminal
// (or connects to the emulated terminal), the paging terminal takes the page,
// the status box ends with "Message Sent!", and the page log holds the page
// with the terminal's answer. Skipped when the emulator was not built.
#include "journal/page_log.h"
#include "tests/app/form_rig.h"

namespace zentrel::testing {
namespace {

using FormEndToEnd = FormCallTest;

constexpr FormRig::Timings kSlowTicks{.timer_interval_ms =
                                          1000};  // longer than the 250 ms read silence

TEST_F(FormEndToEnd, SendPageReachesTheTerminalAndShowsEachStep) {
  EmulatorRig modem(folder);
  ASSERT_TRUE(modem.Start("accept", {"--once", "--idle-timeout-ms", "1500"}))
      << "the emulator did not start";
  ASSERT_TRUE(form.Start("HELLO\nWORLD", kSlowTicks));
  form.view->m_buttonSend->click();
  EXPECT_TRUE(form.StatusSeen("Message Sent!", 25000)) << form.Statuses();
  EXPECT_EQ(form.statuses.value(0).toStdString(), "Preparing to send message...")  // "" if none
      << form.Statuses();
  EXPECT_TRUE(form.statuses.contains("Sending Message...")) << form.Statuses();
  EXPECT_EQ(g_bPageAccepted.load(), 1);
  EXPECT_EQ(form.Boxes(), "");
  form.Close();

  // The page is in the page log, as the form sent it and as the terminal answered.
  const auto records = PageLog(folder.Path() + "/pages.db").List({});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].attempt.program, "zentrel");
  EXPECT_EQ(records[0].attempt.pin, "1234567");
  EXPECT_EQ(records[0].attempt.line, "5559876");
  EXPECT_EQ(records[0].attempt.message, "HELLO WORLD");  // the line break as it went
  EXPECT_EQ(records[0].outcome, PageOutcome::kAccepted);
  EXPECT_EQ(records[0].terminal, "211 Page accepted");
}

// With no modem, the call ends on the terminal's goodbye, as after a hang-up.
TEST_F(FormEndToEnd, SendPageOverTcpEndsOnTheTerminalsGoodbye) {
  EmulatorRig terminal(folder);
  ASSERT_TRUE(terminal.Listen("accept", {"--once", "--idle-timeout-ms", "1500"}))
      << "the emulator did not start";
  ASSERT_TRUE(form.Start("HELLO", kSlowTicks));
  form.view->m_buttonSend->click();
  EXPECT_TRUE(form.StatusSeen("Message Sent!", 60000)) << form.Statuses();
  // The line's end: the emulator sees the connection closed and exits.
  EXPECT_TRUE(WaitUntil([&] { return !terminal.Running(); }, 30000));
  EXPECT_EQ(form.LastStatus(), "Message Sent!");
  EXPECT_EQ(g_bPageAccepted.load(), 1);
  EXPECT_EQ(form.Boxes(), "");
}

}  // namespace
}  // namespace zentrel::testing
