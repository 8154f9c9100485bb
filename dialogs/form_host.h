// What the form's Add, Edit and Stored Messages flows need of the send-page
// form, and nothing more. The form (through a small adapter) implements it;
// tests implement it over a real database file. Keeping the flows behind it
// lets the dialogs depend on the store and Qt only, not on the form itself.
#pragma once

#include <QString>

#include "dialogs/dialog_hooks.h"
#include "store/dao.h"

class QComboBox;
class QWidget;

namespace zentrel {

class FormHost {
 public:
  virtual ~FormHost() = default;

  // The form view: parent of the dialogs and of the flows' message boxes.
  virtual QWidget* Parent() = 0;

  // The recipient recordset; its current record is the recipient that the
  // form's last look-up found (the one the Edit flow edits).
  virtual CZTSet& RecipientSet() = 0;

  // The form's PIN box (control 1007). The flows select, read and remove its
  // entries; they add entries only through AddPinEntry. Selections made by
  // the flows are made with the box's signals blocked: a flow runs the
  // look-up itself, through OnSelchangePin, when it wants one.
  virtual QComboBox& PinBox() = 0;

  // Adds `pin` to the PIN box at its sorted place (the box's own order) and
  // returns the new entry's index; selects nothing.
  virtual int AddPinEntry(const QString& pin) = 0;

  // The form's OnSelchangePin: looks up the PIN of the selected entry
  // (LookupPin) and refills the name and phone boxes, or shows its own
  // "Did not find Pin number in database, try again!".
  virtual void OnSelchangePin() = 0;

  // Empties the PIN box's text and the name and phone boxes: no recipient
  // is left to show.
  virtual void ShowNoRecipient() = 0;

  // The view's own connection to the database (m_database); the stored-
  // messages recordset is opened on it for the length of one flow.
  virtual CDaoDatabase& Database() = 0;

  // Replaces the whole text of the form's message box (control 1008).
  virtual void SetMessageText(const QString& text) = 0;

  // The form's UpdateCharCount: recounts the message box into box 1013.
  virtual void UpdateCharCount() = 0;

  // Message boxes and the modal loop; the real ones unless replaced.
  virtual const DialogHooks& Hooks() { return DefaultDialogHooks(); }
};

}  // namespace zentrel
