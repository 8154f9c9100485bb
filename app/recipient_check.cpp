// The recipient check: the send path's own check of the PIN and the number
// (paging/field_fault.h), then the dial-string check's rule for what a modem
// would read as a command, each fault said naming the dialog's box.
#include "app/recipient_check.h"

#include "paging/field_fault.h"
#include "paging/message_block.h"
#include "telephony/dial_string.h"

namespace zentrel {
namespace {

const QString kPinBox = QStringLiteral("PIN Number");
const QString kPhoneBox = QStringLiteral("Paging Terminal Number");

// "a space", "the control character <0x09>", "the byte <0xE9>" or "\"ü\"".
QString Describe(const FieldFault& f) {
  const QString c = QString::fromStdString(f.character);
  if (f.kind == FieldFault::kSpace) return QStringLiteral("a space");
  if (f.kind == FieldFault::kControl) return QStringLiteral("the control character ") + c;
  if (IsByteCode(f)) return QStringLiteral("the byte ") + c;
  return QStringLiteral("\"%1\"").arg(c);
}

QString PinProblemText(const QString& pin) {
  const FieldFault f = PinFault(pin.toStdString());
  switch (f.kind) {
    case FieldFault::kNone: return {};
    case FieldFault::kEmpty:
      return QStringLiteral("The %1 is empty; a page needs the pager's PIN.").arg(kPinBox);
    case FieldFault::kTooLong:
      return QStringLiteral(
                 "The %1 has more than %2 characters; a page would reach PIN \"%3\" instead.")
          .arg(kPinBox)
          .arg(kMaxPinChars)
          .arg(pin.left(static_cast<qsizetype>(kMaxPinChars)));
    default:
      return QStringLiteral(
                 "The %1 holds %2 at position %3; a PIN holds only plain characters and no space.")
          .arg(kPinBox, Describe(f))
          .arg(f.at);
  }
}

QString PhoneProblemText(const QString& phone) {
  const FieldFault f = NumberFault(phone.toStdString());
  switch (f.kind) {
    case FieldFault::kNone: break;
    case FieldFault::kEmpty:
      return QStringLiteral("The %1 is empty; there is nothing to dial.").arg(kPhoneBox);
    case FieldFault::kTooLong:
      return QStringLiteral("The %1 has more than %2 characters; no line can dial it.")
          .arg(kPhoneBox)
          .arg(kMaxPhoneChars);
    default:
      return QStringLiteral("The %1 holds %2 at position %3; it cannot be dialled.")
          .arg(kPhoneBox, Describe(f))
          .arg(f.at);
  }
  if (const std::string problem = DialStringProblem(phone.toStdString()); !problem.empty()) {
    return QStringLiteral("The %1 cannot be dialled: %2.")
        .arg(kPhoneBox, QString::fromStdString(problem));
  }
  return {};
}

}  // namespace

RecipientProblem CheckRecipient(const QString& pin, const QString& phone) {
  if (QString text = PinProblemText(pin); !text.isEmpty()) return {RecipientProblem::kPin, text};
  if (QString text = PhoneProblemText(phone); !text.isEmpty()) {
    return {RecipientProblem::kPhone, text};
  }
  return {};
}

}  // namespace zentrel
