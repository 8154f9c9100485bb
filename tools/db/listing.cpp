// The listing reads through the store, the same way the program does:
// CZTSet for the recipients, a plain recordset on "Select * from [stored]"
// for the messages. What other programs stored is shown with its control
// characters spelt out, never sent raw to the terminal.
#include "listing.h"

#include "base/terminal_text.h"
#include "store/dao.h"

namespace zentrel::dbtool {

void ListDatabase(const std::string& db_path, std::ostream& out) {
  CZTSet recipients(nullptr, db_path);
  recipients.Open();
  out << "Recipients: " << recipients.GetRecordCount() << "\n";
  for (; !recipients.IsEOF(); recipients.MoveNext()) {
    out << "  " << recipients.m_id << "\tPIN " << TerminalSafe(recipients.m_pin) << "\t"
        << TerminalSafe(recipients.m_fname + " " + recipients.m_lname) << "\t"
        << TerminalSafe(recipients.m_pagephone) << "\n";
  }
  CDaoDatabase db;
  db.Open(db_path);
  CDaoRecordset messages(&db);
  messages.Open("Select * from [stored]");
  out << "Stored messages: " << messages.GetRecordCount() << "\n";
  for (; !messages.IsEOF(); messages.MoveNext()) {
    out << "  " << DaoValueText(messages.GetFieldValue("id")) << "\t"
        << TerminalSafe(DaoValueText(messages.GetFieldValue(1))) << "\n";
  }
}

}  // namespace zentrel::dbtool
