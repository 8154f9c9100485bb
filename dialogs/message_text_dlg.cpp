// The message text dialog: template 135 built in code; its start from the
// current record (edit) or empty (add), and its OK, which writes the text
// into the pending add or edit and reads the record's id back. A store
// failure in OK is shown with a stop icon and the dialog stays open.
#include "dialogs/message_text_dlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "dialogs/message_ids.h"
#include "dialogs/transfer.h"

namespace zentrel {

CMessageTextDlg::CMessageTextDlg(QWidget* parent, const DialogHooks& hooks)
    : CTemplateDialog(parent, hooks, QStringLiteral("Add/Edit Stored Messages"), 187, 100) {
  auto* ok = AddButton(1, QStringLiteral("OK"), QRect(38, 71, 50, 14), true);
  auto* cancel = AddButton(2, QStringLiteral("Cancel"), QRect(98, 71, 50, 14));
  m_editText = AddLineEdit(IDC_TEXT, QRect(20, 20, 147, 45));
  AddStatic(QStringLiteral("Message Text:"), QRect(21, 11, 50, 9));
  connect(ok, &QPushButton::clicked, this, &CMessageTextDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CMessageTextDlg::reject);
}

bool CMessageTextDlg::OnInitDialog() {
  if (g_bAddingMessage == 0) {
    try {
      m_editText->setText(MessageText(m_pSet->GetFieldValue(1)));
    } catch (const CDaoException& error) {
      StoreFailure(error);
    }
  }
  return true;
}

void CMessageTextDlg::accept() {
  try {
    g_strTransfer = m_editText->text();
    m_pSet->SetFieldValue("Message", g_strTransfer.toStdString());
    g_strTransfer = IdText(m_pSet->GetFieldValue("id"));
  } catch (const CDaoException& error) {
    StoreFailure(error);
    return;
  }
  QDialog::accept();
}

}  // namespace zentrel
