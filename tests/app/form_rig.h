// The form as main() runs it, for the tests that page through it: hidden,
// its message boxes recorded, each new text of the status box kept in order;
// and the fixture of those tests, whose folder (database, page log, locks,
// lines.conf) and running form go when the test ends, however it ended.
#pragma once

#include <memory>
#include <string>

#include "tests/app/emulator_rig.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {

constexpr int kCallLimitMs = 20000;  // only guards against a hang

class FormRig {
 public:
  struct Timings {
    int call_timeout_ms = kCallTimeoutMs;
    int hangup_grace_ms = kHangUpGraceMs;
    int timer_interval_ms = 500;  // longer than the 250 ms silence that ends a read
  };
  // Starts the application with `message` typed in; false when it did not start.
  bool Start(const QString& message, const Timings& timings);
  bool Start(const QString& message) { return Start(message, Timings{}); }
  // What main() does once the message loop has ended.
  void Close();
  bool StatusSeen(const QString& text, int limit_ms = kCallLimitMs);
  QString Status() const { return view->m_editStatus->toPlainText(); }
  QString LastStatus() const { return statuses.isEmpty() ? QString() : statuses.back(); }
  std::string Statuses() const { return statuses.join(" | ").toStdString(); }
  // What the message boxes said, in order.
  std::string Boxes() const;

  std::unique_ptr<CZTApp> app;
  CZTView* view = nullptr;
  QStringList statuses;  // since Start
  std::vector<ShownBox> boxes;
};

class FormCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!EmulatorRig::Available()) GTEST_SKIP() << "no emulator built";
    folder.MakeDatabase({{"1234567", "Carl", "Dunn", "5559876"}});
  }
  void TearDown() override { form.Close(); }  // before any emulator the test holds stops
  // The teardown's last line: the call and its line are gone.
  bool CallStopped() {
    return WaitUntil([&] { return trace.Contains("Call stopped\n"); }, kCallLimitMs);
  }

  TestFolder folder;
  TraceCapture trace;
  FormRig form;
};

}  // namespace zentrel::testing
