// The form's side of the editing dialogs' host interface: each member hands
// the flows one of the form's parts (PIN box, recordset, connection, message
// box) or runs one of its handlers; message boxes go through the form's own.
#include "app/form_host.h"

#include <QPlainTextEdit>

#include "dialogs/form_flows.h"
#include "paging/view/zt_view.h"

namespace zentrel {

ViewFormHost::ViewFormHost(CZTView& view, RunDialogFn run_dialog) : view_(view) {
  hooks_.messageBox = [&view](QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    view.MessageBox()(parent, text, icon);
  };
  hooks_.runDialog = run_dialog ? std::move(run_dialog) : DefaultDialogHooks().runDialog;
}

QWidget* ViewFormHost::Parent() { return &view_; }
CZTSet& ViewFormHost::RecipientSet() { return *view_.m_pSet; }
QComboBox& ViewFormHost::PinBox() { return *view_.m_comboPin; }
int ViewFormHost::AddPinEntry(const QString& pin) { return view_.m_comboPin->AddString(pin); }
void ViewFormHost::OnSelchangePin() { view_.OnSelchangePin(); }
CDaoDatabase& ViewFormHost::Database() { return view_.m_database; }
void ViewFormHost::SetMessageText(const QString& text) { view_.m_editMessage->setPlainText(text); }
void ViewFormHost::UpdateCharCount() { view_.UpdateCharCount(); }

void ConnectDialogFlows(CZTView& view, ViewFormHost& host) {
  view.SetAddRecipient([&host] { OnAddRecipient(host); });
  view.SetEditRecipient([&host] { OnEditRecipient(host); });
  view.SetStoredMessages([&host] { OnStoredMessages(host); });
}

}  // namespace zentrel
