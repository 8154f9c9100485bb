// The form rig: the application object is made and initialised as main()
// does, and a connection on the status box records each text that differs
// from the one before.
#include "tests/app/form_rig.h"

namespace zentrel::testing {

bool FormRig::Start(const QString& message, const Timings& timings) {
  statuses.clear();
  CZTApp::Options options;
  options.call_timeout_ms = timings.call_timeout_ms;
  options.hangup_grace_ms = timings.hangup_grace_ms;
  options.show = false;
  options.timer_interval_ms = timings.timer_interval_ms;
  options.message_box = RecordInto(boxes);
  app = std::make_unique<CZTApp>(options);
  if (!app->InitInstance()) return false;
  view = app->View();
  view->m_editMessage->setPlainText(message);
  QObject::connect(view->m_editStatus, &QPlainTextEdit::textChanged, view, [this] {
    const QString text = view->m_editStatus->toPlainText();
    if (!text.isEmpty() && (statuses.isEmpty() || statuses.back() != text)) statuses << text;
  });
  return true;
}

void FormRig::Close() {
  app.reset();
  view = nullptr;
}

bool FormRig::StatusSeen(const QString& text, int limit_ms) {
  return WaitUntil([&] { return statuses.contains(text); }, limit_ms);
}

std::string FormRig::Boxes() const {
  QStringList texts;
  for (const ShownBox& box : boxes) texts << box.text;
  return texts.join(" | ").toStdString();
}

}  // namespace zentrel::testing
