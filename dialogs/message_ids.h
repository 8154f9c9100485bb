// How a stored message's number and text become the texts the dialogs use:
// the id is taken as a 16-bit signed number (its low 16 bits) and written in
// decimal; the text is read unchanged, an absent text as empty. The find
// condition is "id = " followed by the id text.
#pragma once

#include <QString>

#include "store/dao.h"

namespace zentrel {

QString IdText(const DaoValue& id);
QString MessageText(const DaoValue& text);
std::string IdFilter(const QString& idText);

}  // namespace zentrel
