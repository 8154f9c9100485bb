// CRecipientDlg, the "Add/Edit Names" dialog (template 131): four edit boxes
// for first name, last name, PIN and paging terminal number. It moves text
// between the boxes and the recipient recordset's members only; beginning
// the add or edit and saving are the form's flows (recipient_flows.cpp).
#pragma once

#include "dialogs/template_dialog.h"
#include "store/dao.h"

namespace zentrel {

class CRecipientDlg : public CTemplateDialog {
  Q_OBJECT

 public:
  enum { IDD = 131, IDC_FNAME = 1000, IDC_LNAME = 1001, IDC_PIN = 1002, IDC_PAGEPHONE = 1003 };

  explicit CRecipientDlg(QWidget* parent, const DialogHooks& hooks = DefaultDialogHooks());

  CZTSet* m_pSet = nullptr;  // the recipient recordset; not owned; set before DoModal

  void accept() override;  // OK: boxes into the members, in box order

 protected:
  bool OnInitDialog() override;  // members into the boxes

 private:
  QLineEdit* Box(int id) const;
};

}  // namespace zentrel
