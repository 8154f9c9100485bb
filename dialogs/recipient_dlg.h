// CRecipientDlg, the "Add/Edit Names" dialog (template 131): four edit boxes
// for first name, last name, PIN and paging terminal number. It moves text
// between the boxes and the recipient recordset's members; beginning the add
// or edit and saving are the form's flows (recipient_flows.cpp). OK refuses,
// naming the box, a PIN or number the send would refuse, and asks before
// giving a recipient a PIN another one already has.
#pragma once

#include <functional>

#include "dialogs/template_dialog.h"
#include "store/dao.h"

namespace zentrel {

class CRecipientDlg : public CTemplateDialog {
  Q_OBJECT

 public:
  enum { IDD = 131, IDC_FNAME = 1000, IDC_LNAME = 1001, IDC_PIN = 1002, IDC_PAGEPHONE = 1003 };

  explicit CRecipientDlg(QWidget* parent, const DialogHooks& hooks = DefaultDialogHooks());

  CZTSet* m_pSet = nullptr;  // the recipient recordset; not owned; set before DoModal
  // True when another recipient already has the PIN; set by the flow.
  std::function<bool(const QString& pin)> m_pinTaken;

  // OK: when the boxes may be saved, boxes into the members, in box order;
  // else a message naming the box, the focus in it, and the dialog stays.
  void accept() override;

 protected:
  bool OnInitDialog() override;  // members into the boxes

 private:
  QLineEdit* Box(int id) const;
  bool MayBeSaved();
};

}  // namespace zentrel
