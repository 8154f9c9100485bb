// The id text (low 16 bits, signed, decimal), the message text and the
// find condition of a stored message.
#include "dialogs/message_ids.h"

#include <cstdint>

namespace zentrel {

QString IdText(const DaoValue& id) {
  if (const auto* number = std::get_if<std::int64_t>(&id)) {
    return QString::number(static_cast<std::int16_t>(static_cast<std::uint16_t>(*number)));
  }
  return QString::fromStdString(DaoValueText(id));
}

QString MessageText(const DaoValue& text) { return QString::fromStdString(DaoValueText(text)); }

std::string IdFilter(const QString& idText) { return "id = " + idText.toStdString(); }

}  // namespace zentrel
