// The Add and Edit recipient flows: begin add or edit, the "Add/Edit Names"
// dialog, and on OK the PIN list, the save and the look-up. Cancel saves
// nothing; the pending change goes with the recordset's next operation. A
// failed save takes back the PIN entry the Add flow put in the list, and an
// Edit that changed the PIN moves the list entry to the new PIN.
#include <QComboBox>
#include <QSignalBlocker>

#include "dialogs/form_flows.h"
#include "dialogs/recipient_dlg.h"

namespace zentrel {

namespace {

void SelectPin(FormHost& host, int index) {
  QSignalBlocker quiet(&host.PinBox());
  host.PinBox().setCurrentIndex(index);
}

int RunRecipientDlg(FormHost& host) {
  CRecipientDlg dialog(host.Parent(), host.Hooks());
  dialog.m_pSet = &host.RecipientSet();
  return dialog.DoModal();
}

void ShowStoreFailure(FormHost& host, const CDaoException& error) {
  host.Hooks().messageBox(host.Parent(), QString::fromStdString(error.what()), QMessageBox::Critical);
}

// The entry that stands for `pin`: the selected one if it reads `pin`, else
// the first that does; -1 if none.
int EntryOf(QComboBox& box, const QString& pin) {
  if (box.currentIndex() >= 0 && box.itemText(box.currentIndex()) == pin) return box.currentIndex();
  return box.findText(pin, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void FollowChangedPin(FormHost& host, const QString& oldPin, const QString& newPin) {
  const int old = EntryOf(host.PinBox(), oldPin);
  if (old >= 0) {
    QSignalBlocker quiet(&host.PinBox());
    host.PinBox().removeItem(old);
  }
  SelectPin(host, host.AddPinEntry(newPin));
}

}  // namespace

void OnAddRecipient(FormHost& host) {
  CZTSet& set = host.RecipientSet();
  try {
    set.AddNew();
    if (RunRecipientDlg(host) != QDialog::Accepted) return;
    const int before = host.PinBox().currentIndex();
    const int added = host.AddPinEntry(QString::fromStdString(set.m_pin));
    SelectPin(host, added);
    try {
      set.Update();
    } catch (const CDaoException&) {
      {
        QSignalBlocker quiet(&host.PinBox());
        host.PinBox().removeItem(added);
      }
      SelectPin(host, before);
      throw;
    }
    host.OnSelchangePin();
  } catch (const CDaoException& error) {
    ShowStoreFailure(host, error);
  }
}

void OnEditRecipient(FormHost& host) {
  CZTSet& set = host.RecipientSet();
  try {
    set.Edit();
    const QString oldPin = QString::fromStdString(set.m_pin);
    if (RunRecipientDlg(host) != QDialog::Accepted) return;
    set.Update();
    const QString newPin = QString::fromStdString(set.m_pin);
    if (newPin != oldPin) FollowChangedPin(host, oldPin, newPin);
    host.OnSelchangePin();
  } catch (const CDaoException& error) {
    ShowStoreFailure(host, error);
  }
}

}  // namespace zentrel
