// The Stored Messages flow: the stored-messages recordset is opened on the
// view's own connection for exactly the life of the dialog; on OK the text
// the dialog handed back goes into the form's message box and is counted.
#include "dialogs/form_flows.h"
#include "dialogs/stored_messages_dlg.h"
#include "dialogs/transfer.h"

namespace zentrel {

void OnStoredMessages(FormHost& host) {
  try {
    CDaoRecordset set(&host.Database());
    set.Open("Select * from [stored]");
    int result = QDialog::Rejected;
    {
      CStoredMessagesDlg dialog(host.Parent(), host.Hooks());
      dialog.m_pSet = &set;
      result = dialog.DoModal();
      if (result == QDialog::Accepted) {
        host.SetMessageText(g_strTransfer);
        host.UpdateCharCount();
      }
    }
    set.Close();  // a pending add or edit is discarded with it
  } catch (const CDaoException& error) {
    host.Hooks().messageBox(host.Parent(), QString::fromStdString(error.what()),
                            QMessageBox::Critical);
  }
}

}  // namespace zentrel
