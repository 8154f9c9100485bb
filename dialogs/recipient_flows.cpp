// The Add, Edit and Delete recipient flows: begin add or edit, the "Add/Edit
// Names" dialog, and on OK the PIN list, the save and the look-up. Cancel
// saves nothing; the pending change goes with the recordset's next operation.
// A failed save takes back the PIN entry the Add flow put in the list, and an
// Edit that changed the PIN moves the list entry to the new PIN. Delete asks
// first, then removes the shown recipient from the table and the list.
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

bool InPinList(FormHost& host, const QString& pin) {
  return host.PinBox().findText(pin, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
}

// `own_pin`: the PIN the edited recipient has now (null for a new one).
int RunRecipientDlg(FormHost& host, const QString& own_pin = QString()) {
  CRecipientDlg dialog(host.Parent(), host.Hooks());
  dialog.m_pSet = &host.RecipientSet();
  dialog.m_pinTaken = [&host, own_pin](const QString& pin) {
    return (own_pin.isNull() || pin != own_pin) && InPinList(host, pin);
  };
  return dialog.DoModal();
}

void ShowStoreFailure(FormHost& host, const CDaoException& error) {
  host.Hooks().messageBox(host.Parent(), QString::fromStdString(error.what()),
                          QMessageBox::Critical);
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
    if (RunRecipientDlg(host, oldPin) != QDialog::Accepted) return;
    set.Update();
    const QString newPin = QString::fromStdString(set.m_pin);
    if (newPin != oldPin) FollowChangedPin(host, oldPin, newPin);
    host.OnSelchangePin();
  } catch (const CDaoException& error) {
    ShowStoreFailure(host, error);
  }
}

void OnDeleteRecipient(FormHost& host) {
  CZTSet& set = host.RecipientSet();
  try {
    if (host.PinBox().count() == 0 || !set.IsOpen() || set.IsEOF()) {
      host.Hooks().messageBox(host.Parent(),
                              QStringLiteral("No recipient is shown; nothing was deleted."),
                              QMessageBox::Warning);
      return;
    }
    const QString pin = QString::fromStdString(set.m_pin);
    const QString name = QString::fromStdString(set.m_fname + " " + set.m_lname).trimmed();
    if (!Ask(host.Hooks(), host.Parent(),
             QStringLiteral("Delete the recipient %1 (PIN %2)? This cannot be undone.")
                 .arg(name, pin))) {
      return;
    }
    set.Delete();
    if (const int entry = EntryOf(host.PinBox(), pin); entry >= 0) {
      QSignalBlocker quiet(&host.PinBox());
      host.PinBox().removeItem(entry);
    }
    if (host.PinBox().count() == 0) {
      host.ShowNoRecipient();
      return;
    }
    SelectPin(host, 0);
    host.OnSelchangePin();
  } catch (const CDaoException& error) {
    ShowStoreFailure(host, error);
  }
}

}  // namespace zentrel
