// The listing reads through the store, the same way the program does:
// CZTSet for the recipients, a plain recordset on "Select * from [stored]"
// for the messages.
#include "listing.h"

#include "store/dao.h"

namespace zentrel::dbtool {

void ListDatabase(const std::string& db_path, std::ostream& out) {
  CZTSet recipients(nullptr, db_path);
  recipients.Open();
  out << "Recipients: " << recipients.GetRecordCount() << "\n";
  for (; !recipients.IsEOF(); recipients.MoveNext()) {
    out << "  " << recipients.m_id << "\tPIN " << recipients.m_pin << "\t" << recipients.m_fname
        << " " << recipients.m_lname << "\t" << recipients.m_pagephone << "\n";
  }
  CDaoDatabase db;
  db.Open(db_path);
  CDaoRecordset messages(&db);
  messages.Open("Select * from [stored]");
  out << "Stored messages: " << messages.GetRecordCount() << "\n";
  for (; !messages.IsEOF(); messages.MoveNext()) {
    out << "  " << DaoValueText(messages.GetFieldValue("id")) << "\t"
        << DaoValueText(messages.GetFieldValue(1)) << "\n";
  }
}

}  // namespace zentrel::dbtool
