// The form's side of the editing dialogs' host interface: each member hands
// the flows one of the form's parts (PIN box, recordset, connection, message
// box) or runs one of its handlers; message boxes go through the form's own,
// and the recipient dialog checks what it saves with the send path's rules.
#include "app/form_host.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/recipient_check.h"
#include "dialogs/form_flows.h"
#include "paging/view/zt_view.h"

namespace zentrel {

ViewFormHost::ViewFormHost(CZTView& view, RunDialogFn run_dialog, AskFn ask) : view_(view) {
  hooks_.messageBox = [&view](QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    view.MessageBox()(parent, text, icon);
  };
  hooks_.runDialog = run_dialog ? std::move(run_dialog) : DefaultDialogHooks().runDialog;
  hooks_.ask = std::move(ask);
  hooks_.checkRecipient = CheckRecipient;
}

QWidget* ViewFormHost::Parent() { return &view_; }
CZTSet& ViewFormHost::RecipientSet() { return *view_.m_pSet; }
QComboBox& ViewFormHost::PinBox() { return *view_.m_comboPin; }
int ViewFormHost::AddPinEntry(const QString& pin) { return view_.m_comboPin->AddString(pin); }
void ViewFormHost::OnSelchangePin() { view_.OnSelchangePin(); }
CDaoDatabase& ViewFormHost::Database() { return view_.m_database; }
void ViewFormHost::SetMessageText(const QString& text) { view_.m_editMessage->setPlainText(text); }
void ViewFormHost::UpdateCharCount() { view_.UpdateCharCount(); }

void ViewFormHost::ShowNoRecipient() {
  view_.m_comboPin->setEditText(QString());
  for (QLineEdit* box : {view_.m_editFirstName, view_.m_editLastName, view_.m_editPhone})
    box->clear();
}

void ConnectDialogFlows(CZTView& view, ViewFormHost& host) {
  view.SetAddRecipient([&host] { OnAddRecipient(host); });
  view.SetEditRecipient([&host] { OnEditRecipient(host); });
  view.SetDeleteRecipient([&host] { OnDeleteRecipient(host); });
  view.SetStoredMessages([&host] { OnStoredMessages(host); });
}

}  // namespace zentrel
