// CMessageTextDlg, the "Add/Edit Stored Messages" dialog (template 135): one
// box for a stored message's text. It starts empty while an add is pending
// (g_bAddingMessage is 1) or with the current message's text during an edit;
// its OK writes the text into the pending record and leaves the record's id
// text in g_strTransfer. Saving is the caller's.
#pragma once

#include "dialogs/template_dialog.h"
#include "store/dao.h"

namespace zentrel {

class CMessageTextDlg : public CTemplateDialog {
  Q_OBJECT

 public:
  enum { IDD = 135, IDC_TEXT = 1000 };

  explicit CMessageTextDlg(QWidget* parent, const DialogHooks& hooks = DefaultDialogHooks());

  CDaoRecordset* m_pSet = nullptr;  // the stored-messages recordset; not owned
  QLineEdit* m_editText = nullptr;  // control 1000

  void accept() override;  // OK: write "Message", hand back the id text

 protected:
  bool OnInitDialog() override;
};

}  // namespace zentrel
