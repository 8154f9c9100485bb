// The Stored Messages dialog: template 132 built in code and its handlers.
// The recordset's current record is always the message last found, so Edit
// and Delete act on the message shown (Delete after asking); adds and edits
// go through the message text dialog and are saved here when it ends with OK.
#include "dialogs/stored_messages_dlg.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "dialogs/message_ids.h"
#include "dialogs/message_text_dlg.h"
#include "dialogs/sorted_combo.h"
#include "dialogs/transfer.h"

namespace zentrel {

namespace {

// Keeps g_bAddingMessage at 1 for the life of an add's message text dialog,
// and puts it back to 0 however the add ends.
class AddingMessage {
 public:
  AddingMessage() { g_bAddingMessage = 1; }
  ~AddingMessage() { g_bAddingMessage = 0; }
  AddingMessage(const AddingMessage&) = delete;
  AddingMessage& operator=(const AddingMessage&) = delete;
};

}  // namespace

CStoredMessagesDlg::CStoredMessagesDlg(QWidget* parent, const DialogHooks& hooks)
    : CTemplateDialog(parent, hooks, QStringLiteral("Stored Messages"), 261, 142) {
  auto* ok = AddButton(1, QStringLiteral("OK"), QRect(57, 118, 50, 14), true);
  auto* cancel = AddButton(2, QStringLiteral("Cancel"), QRect(146, 118, 50, 14));
  m_comboId = AddTabStop(new QComboBox, IDC_ID, QRect(20, 24, 56, 62));
  m_comboId->setEditable(true);
  m_comboId->setInsertPolicy(QComboBox::NoInsert);
  m_comboId->resize(m_comboId->width(), m_comboId->sizeHint().height());
  m_editText = AddTabStop(new QPlainTextEdit, IDC_TEXT, QRect(84, 23, 158, 74));
  m_editText->setTabChangesFocus(true);
  m_editText->installEventFilter(this);
  AddStatic(QStringLiteral("Message ID:"), QRect(21, 15, 57, 8));
  AddStatic(QStringLiteral("Message Text:"), QRect(85, 13, 93, 10));
  auto* add = AddButton(IDC_ADD, QStringLiteral("Add"), QRect(21, 48, 50, 13));
  auto* edit = AddButton(IDC_EDIT, QStringLiteral("Edit"), QRect(21, 65, 50, 13));
  auto* remove = AddButton(IDC_DELETE, QStringLiteral("Delete"), QRect(21, 82, 50, 13));
  connect(m_comboId, &QComboBox::activated, this, &CStoredMessagesDlg::OnSelchangeId);
  connect(add, &QPushButton::clicked, this, &CStoredMessagesDlg::OnAddMessage);
  connect(edit, &QPushButton::clicked, this, &CStoredMessagesDlg::OnEditMessage);
  connect(remove, &QPushButton::clicked, this, &CStoredMessagesDlg::OnDeleteMessage);
  connect(ok, &QPushButton::clicked, this, &CStoredMessagesDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CStoredMessagesDlg::reject);
}

bool CStoredMessagesDlg::OnInitDialog() {
  try {
    for (; !m_pSet->IsEOF(); m_pSet->MoveNext())
      AddSorted(*m_comboId, IdText(m_pSet->GetFieldValue("id")));
    if (m_comboId->count() > 0) SelectTopAndShow();
  } catch (const CDaoException& error) {
    StoreFailure(error);
  }
  return true;
}

void CStoredMessagesDlg::SelectTopAndShow() {
  m_comboId->setCurrentIndex(0);  // the top of the list's visible part
  OnSelchangeId();
}

void CStoredMessagesDlg::OnSelchangeId() {
  const int selected = m_comboId->currentIndex();
  if (selected < 0) return;
  try {
    ShowMessage(m_comboId->itemText(selected));
  } catch (const CDaoException& error) {
    StoreFailure(error);
  }
}

int CStoredMessagesDlg::ShowMessage(const QString& idText) {
  m_pSet->m_strFilter = IdFilter(idText);
  m_pSet->Requery();
  if (m_pSet->GetRecordCount() > 0) {
    m_editText->setPlainText(MessageText(m_pSet->GetFieldValue(1)));
    const int entry = FindPrefix(*m_comboId, idText);
    if (entry >= 0) m_comboId->setCurrentIndex(entry);
  } else {
    Notice(QStringLiteral("Did not find message in database, try again!"));
  }
  return 1;
}

int CStoredMessagesDlg::RunMessageTextDlg() {
  CMessageTextDlg dialog(this, Hooks());
  dialog.m_pSet = m_pSet;
  return dialog.DoModal();
}

void CStoredMessagesDlg::OnAddMessage() {
  try {
    m_pSet->AddNew();
    int result = QDialog::Rejected;
    {
      AddingMessage adding;
      result = RunMessageTextDlg();
      if (result == QDialog::Accepted) m_pSet->Update();
    }
    if (result != QDialog::Accepted) return;  // the pending add goes with the next operation
    AddSorted(*m_comboId, g_strTransfer);
    ShowMessage(g_strTransfer);
  } catch (const CDaoException& error) {
    StoreFailure(error);
  }
}

void CStoredMessagesDlg::OnEditMessage() {
  try {
    m_pSet->Edit();
    if (RunMessageTextDlg() != QDialog::Accepted) return;
    m_pSet->Update();
    ShowMessage(g_strTransfer);
  } catch (const CDaoException& error) {
    StoreFailure(error);
  }
}

void CStoredMessagesDlg::OnDeleteMessage() {
  if (m_comboId->count() == 0) {
    Notice(QStringLiteral("Nothing to delete!"));
    return;
  }
  if (!Ask(Hooks(), this,
           QStringLiteral("Delete the stored message %1? This cannot be undone.")
               .arg(m_comboId->currentText()))) {
    return;
  }
  try {
    m_pSet->Delete();
    m_pSet->MoveNext();
  } catch (const CDaoException& error) {
    StoreFailure(error);
    return;
  }
  m_comboId->removeItem(m_comboId->currentIndex());
  if (m_comboId->count() > 0) {
    SelectTopAndShow();
  } else {
    m_editText->clear();
    m_comboId->clear();
    m_comboId->clearEditText();
  }
}

// The text box is a dialog's multi-line edit: Enter presses the default
// button ("OK") and Ctrl+Enter starts a new line; Tab moves on.
bool CStoredMessagesDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_editText && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (key->modifiers() & Qt::ControlModifier) {
        m_editText->insertPlainText(QStringLiteral("\n"));
      } else {
        static_cast<QPushButton*>(Control(1))->click();
      }
      return true;
    }
  }
  return CTemplateDialog::eventFilter(watched, event);
}

void CStoredMessagesDlg::accept() {
  g_strTransfer = m_editText->toPlainText();
  QDialog::accept();
}

}  // namespace zentrel
