// CStoredMessagesDlg, the "Stored Messages" dialog (template 132): the list
// of stored message ids (sorted as text), the shown message's text, and Add,
// Edit and Delete, each saved at once. OK hands the shown text, as the box
// shows it, to the caller through g_strTransfer. Every handler catches a
// store failure at its boundary, shows it with a stop icon and ends there.
#pragma once

#include "dialogs/template_dialog.h"
#include "store/dao.h"

class QComboBox;
class QPlainTextEdit;

namespace zentrel {

class CStoredMessagesDlg : public CTemplateDialog {
  Q_OBJECT

 public:
  enum {
    IDD = 132,
    IDC_ID = 1001,
    IDC_TEXT = 1002,
    IDC_ADD = 1003,
    IDC_EDIT = 1004,
    IDC_DELETE = 1005
  };

  explicit CStoredMessagesDlg(QWidget* parent, const DialogHooks& hooks = DefaultDialogHooks());

  CDaoRecordset* m_pSet = nullptr;       // the stored-messages recordset; not owned
  QComboBox* m_comboId = nullptr;        // control 1001, the id list
  QPlainTextEdit* m_editText = nullptr;  // control 1002, the message text

  // Finds the message by its id text, shows it and selects its entry, or
  // says it was not found; returns 1. Throws on a store failure (its callers,
  // the handlers, catch it).
  int ShowMessage(const QString& idText);
  void OnSelchangeId();
  void OnAddMessage();
  void OnEditMessage();
  void OnDeleteMessage();
  void accept() override;  // OK: the shown text into g_strTransfer

 protected:
  bool OnInitDialog() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int RunMessageTextDlg();
  void SelectTopAndShow();
};

}  // namespace zentrel
