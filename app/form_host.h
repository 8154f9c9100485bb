// The send-page form as the editing dialogs' host: the Add, Edit and Stored
// Messages flows reach the form's PIN box, recordset, connection, message
// box and handlers through it, and show their message boxes through the
// form's own message box.
#pragma once

#include "dialogs/form_host.h"

namespace zentrel {

class CZTView;

class ViewFormHost : public FormHost {
 public:
  // `run_dialog` runs a dialog modally (QDialog::exec when empty); `ask`
  // asks a yes-or-no question (the real question box when empty).
  ViewFormHost(CZTView& view, RunDialogFn run_dialog = {}, AskFn ask = {});

  QWidget* Parent() override;
  CZTSet& RecipientSet() override;
  QComboBox& PinBox() override;
  int AddPinEntry(const QString& pin) override;
  void OnSelchangePin() override;
  CDaoDatabase& Database() override;
  void SetMessageText(const QString& text) override;
  void UpdateCharCount() override;
  void ShowNoRecipient() override;
  const DialogHooks& Hooks() override { return hooks_; }

 private:
  CZTView& view_;
  DialogHooks hooks_;
};

// Connects the form's Add, Edit and Stored Messages buttons and its Delete
// Recipient command to their flows.
void ConnectDialogFlows(CZTView& view, ViewFormHost& host);

}  // namespace zentrel
