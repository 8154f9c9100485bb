// The "Add/Edit Names" dialog: template 131 built in code, its boxes filled
// from the recordset's members at start and read back into them on OK, once
// the send path's check passes and a shared PIN has been agreed to.
#include "dialogs/recipient_dlg.h"

#include <QLineEdit>
#include <QPushButton>

namespace zentrel {

CRecipientDlg::CRecipientDlg(QWidget* parent, const DialogHooks& hooks)
    : CTemplateDialog(parent, hooks, QStringLiteral("Add/Edit Names"), 196, 160) {
  auto* ok = AddButton(1, QStringLiteral("OK"), QRect(139, 63, 50, 14), true);
  auto* cancel = AddButton(2, QStringLiteral("Cancel"), QRect(139, 94, 50, 14));
  AddStatic(QStringLiteral("First Name:"), QRect(15, 24, 38, 10));
  AddStatic(QStringLiteral("Last Name:"), QRect(15, 53, 38, 10));
  AddStatic(QStringLiteral("PIN Number:"), QRect(15, 82, 43, 10));
  AddStatic(QStringLiteral("Paging Terminal Number:"), QRect(15, 111, 80, 10));
  AddLineEdit(IDC_FNAME, QRect(15, 34, 99, 13));
  AddLineEdit(IDC_LNAME, QRect(15, 63, 99, 13));
  AddLineEdit(IDC_PIN, QRect(15, 92, 46, 13));
  AddLineEdit(IDC_PAGEPHONE, QRect(15, 120, 80, 13));
  connect(ok, &QPushButton::clicked, this, &CRecipientDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CRecipientDlg::reject);
}

QLineEdit* CRecipientDlg::Box(int id) const { return static_cast<QLineEdit*>(Control(id)); }

bool CRecipientDlg::OnInitDialog() {
  Box(IDC_FNAME)->setText(QString::fromStdString(m_pSet->m_fname));
  Box(IDC_LNAME)->setText(QString::fromStdString(m_pSet->m_lname));
  Box(IDC_PIN)->setText(QString::fromStdString(m_pSet->m_pin));
  Box(IDC_PAGEPHONE)->setText(QString::fromStdString(m_pSet->m_pagephone));
  return true;
}

bool CRecipientDlg::MayBeSaved() {
  const QString pin = Box(IDC_PIN)->text();
  if (Hooks().checkRecipient) {
    const RecipientProblem problem = Hooks().checkRecipient(pin, Box(IDC_PAGEPHONE)->text());
    if (problem.field != RecipientProblem::kNone) {
      Notice(problem.text);
      QLineEdit* box = Box(problem.field == RecipientProblem::kPin ? IDC_PIN : IDC_PAGEPHONE);
      box->setFocus(Qt::OtherFocusReason);
      box->selectAll();
      return false;
    }
  }
  if (m_pinTaken && m_pinTaken(pin) &&
      !Ask(Hooks(), this,
           QStringLiteral("Another recipient already has the PIN %1; the form could then show only "
                          "one of them. Save anyway?")
               .arg(pin))) {
    Box(IDC_PIN)->setFocus(Qt::OtherFocusReason);
    return false;
  }
  return true;
}

void CRecipientDlg::accept() {
  if (!MayBeSaved()) return;
  m_pSet->m_fname = Box(IDC_FNAME)->text().toStdString();
  m_pSet->m_lname = Box(IDC_LNAME)->text().toStdString();
  m_pSet->m_pin = Box(IDC_PIN)->text().toStdString();
  m_pSet->m_pagephone = Box(IDC_PAGEPHONE)->text().toStdString();
  QDialog::accept();
}

}  // namespace zentrel
