// Reads the recipients through the store (the form's own table) and applies
// the direct send's checks from paging/page_check.
#include "gateway/recipients.h"

#include <stdexcept>

#include "paging/page_check.h"
#include "store/dao.h"

namespace zentrel::gateway {

Recipients LoadRecipients(const std::string& db_path) {
  Recipients recipients;
  try {
    CZTSet set(nullptr, db_path);
    set.Open();
    for (; !set.IsEOF(); set.MoveNext()) {
      recipients.emplace(set.m_pin, Recipient{set.m_fname, set.m_lname, set.m_pagephone});
    }
  } catch (const CDaoException& e) {
    throw std::runtime_error("cannot read the recipients from " + db_path + ": " + e.what());
  }
  return recipients;
}

PageCheck CheckPage(const Recipients& recipients, const std::string& pin, const std::string& text) {
  if (std::string why = BlockRefusal(pin, text); !why.empty()) return {"refused", why};
  const auto found = recipients.find(pin);
  if (found == recipients.end()) {
    return {"unknown-pin", "No recipient has the PIN \"" + pin + "\"; nothing was queued."};
  }
  if (std::string why = NumberRefusal(found->second.phone); !why.empty()) {
    return {"refused", "PIN " + pin + ": " + why};
  }
  return {};
}

}  // namespace zentrel::gateway
