// CZTSet: the recipient recordset over VPdata. Its five members follow the
// current record; on save the four text members are written back (the id is
// the store's). With no connection given it opens its own on first Open.
#include <utility>

#include "store/dao.h"

namespace zentrel {

CZTSet::CZTSet(CDaoDatabase* database, std::string db_name)
    : CDaoRecordset(database), db_name_(std::move(db_name)) {}

std::string CZTSet::GetDefaultDBName() const { return db_name_; }

std::string CZTSet::GetDefaultSQL() const { return "[VPdata]"; }

void CZTSet::LoadBoundMembers() {
  m_id = static_cast<long>(ReadCurrentInt(0));
  ReadCurrentText(1, m_pin);
  ReadCurrentText(2, m_fname);
  ReadCurrentText(3, m_lname);
  ReadCurrentText(4, m_pagephone);
}

void CZTSet::ClearBoundMembers() {
  m_id = 0;
  m_pin.clear();
  m_fname.clear();
  m_lname.clear();
  m_pagephone.clear();
}

std::vector<std::pair<std::string, std::string>> CZTSet::BoundTextMembers() const {
  return {{"pin", m_pin}, {"fname", m_fname}, {"lname", m_lname}, {"pagephone", m_pagephone}};
}

}  // namespace zentrel
