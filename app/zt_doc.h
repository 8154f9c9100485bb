// The document: it holds nothing of its own but the recipient recordset,
// built with it (no connection given, so the recordset opens its own to
// "vp.mdb" when first opened) and destroyed with it. It is never loaded from
// or saved to a file.
#pragma once

#include "store/dao.h"

namespace zentrel {

class CZTDoc {
 public:
  CZTDoc() = default;
  CZTDoc(const CZTDoc&) = delete;
  CZTDoc& operator=(const CZTDoc&) = delete;

  // The new-document step: only the default work.
  bool OnNewDocument() { return true; }

  CZTSet m_ztSet;
};

}  // namespace zentrel
