// The recipient check: an empty PIN, a PIN the block would cut (more than
// kMaxPinChars), a space, a control character or a character the line cannot
// carry in it; an empty number, one the form would cut, or one holding what a
// modem would read as a command (the dial-string check's own rule).
#include "app/recipient_check.h"

#include "paging/message_block.h"
#include "paging/page_check.h"
#include "telephony/dial_string.h"

namespace zentrel {
namespace {

const QString kPinBox = QStringLiteral("PIN Number");
const QString kPhoneBox = QStringLiteral("Paging Terminal Number");

RecipientProblem Problem(RecipientProblem::Field field, const QString& text) {
  return {field, text};
}

// The first character of `text` that is not printable ASCII, or a space when
// `space_too`; -1 when none.
qsizetype FirstUnfit(const QString& text, bool space_too) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < 0x20 || c >= 0x7F || (space_too && c == u' ')) return i;
  }
  return -1;
}

QString Describe(const QString& text, qsizetype at) {
  const char16_t c = text[at].unicode();
  if (c == u' ') return QStringLiteral("a space");
  if (c < 0x20 || c == 0x7F) {
    const std::string name = FirstControlCharacter(text.mid(at, 1).toStdString());
    return QString::fromStdString(name.substr(0, name.find(" (")));
  }
  return QStringLiteral("\"%1\"").arg(text.mid(at, 1));
}

RecipientProblem PinProblem(const QString& pin) {
  using F = RecipientProblem::Field;
  if (pin.isEmpty())
    return Problem(F::kPin,
                   QStringLiteral("The %1 is empty; a page needs the pager's PIN.").arg(kPinBox));
  if (const qsizetype at = FirstUnfit(pin, true); at >= 0) {
    return Problem(
        F::kPin,
        QStringLiteral(
            "The %1 holds %2 at position %3; a PIN holds only plain characters and no space.")
            .arg(kPinBox, Describe(pin, at))
            .arg(at + 1));
  }
  if (static_cast<std::size_t>(pin.size()) > kMaxPinChars) {
    return Problem(
        F::kPin,
        QStringLiteral("The %1 has more than %2 characters; a page would reach PIN \"%3\" instead.")
            .arg(kPinBox)
            .arg(kMaxPinChars)
            .arg(pin.left(static_cast<qsizetype>(kMaxPinChars))));
  }
  return {};
}

RecipientProblem PhoneProblem(const QString& phone) {
  using F = RecipientProblem::Field;
  if (phone.isEmpty())
    return Problem(F::kPhone,
                   QStringLiteral("The %1 is empty; there is nothing to dial.").arg(kPhoneBox));
  if (static_cast<std::size_t>(phone.size()) > kMaxPhoneChars) {
    return Problem(F::kPhone,
                   QStringLiteral("The %1 has more than %2 characters; it would be dialled cut.")
                       .arg(kPhoneBox)
                       .arg(kMaxPhoneChars));
  }
  if (const qsizetype at = FirstUnfit(phone, false); at >= 0) {
    return Problem(F::kPhone,
                   QStringLiteral("The %1 holds %2 at position %3; it cannot be dialled.")
                       .arg(kPhoneBox, Describe(phone, at))
                       .arg(at + 1));
  }
  if (const std::string problem = DialStringProblem(phone.toStdString()); !problem.empty()) {
    return Problem(F::kPhone, QStringLiteral("The %1 cannot be dialled: %2.")
                                  .arg(kPhoneBox, QString::fromStdString(problem)));
  }
  return {};
}

}  // namespace

RecipientProblem CheckRecipient(const QString& pin, const QString& phone) {
  if (RecipientProblem problem = PinProblem(pin); problem.field != RecipientProblem::kNone)
    return problem;
  return PhoneProblem(phone);
}

}  // namespace zentrel
