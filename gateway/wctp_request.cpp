// The reader of wctp_request.h over pugixml, which expands no entity but
// the five of XML itself and character references, and never loads a DTD.
// The DOCTYPE is kept by the parse only so that an internal subset can be
// refused; then the operation is walked element by element, each missing
// or surplus piece named in the failure.
#include "gateway/wctp_request.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace zentrel::gateway {

namespace {

using Result = std::variant<WctpSubmission, WctpFailure>;

WctpFailure Invalid(std::string why, WctpOperation op = WctpOperation::kSubmitRequest) {
  return WctpFailure{302, std::move(why), op};
}

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool KnownVersion(std::string_view version) {
  constexpr std::array<std::string_view, 3> kSpellings{"wctp-dtd-v1r3", "1.3", "v1r3"};
  return std::any_of(kSpellings.begin(), kSpellings.end(),
                     [&](std::string_view s) { return SameLetters(s, version); });
}

// Each byte sequence a UTF-8 character may be, and no other (no overlong
// forms, no surrogates, nothing past U+10FFFF).
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t more = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b < 0x80)
      more = 0;
    else if (b >= 0xC2 && b <= 0xDF)
      more = 1;
    else if (b >= 0xE0 && b <= 0xEF) {
      more = 2;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      more = 3;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else
      return false;
    if (more >= text.size() - i) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return false;
    }
    i += more + 1;
  }
  return true;
}

// The one element child named `name`; null when there is none or several
// (`several` then set).
pugi::xml_node OnlyChild(pugi::xml_node parent, const char* name, bool* several) {
  pugi::xml_node found = parent.child(name);
  *several = found && found.next_sibling(name);
  return *several ? pugi::xml_node() : found;
}

std::size_t ElementChildren(pugi::xml_node node) {
  std::size_t n = 0;
  for (pugi::xml_node child : node.children()) n += child.type() == pugi::node_element ? 1 : 0;
  return n;
}

// The text of the alphanumeric payload (character data and CDATA in order).
bool PayloadText(pugi::xml_node payload, std::string* text, std::string* why) {
  if (ElementChildren(payload) != 1 || !payload.child("wctp-Alphanumeric")) {
    *why = "only an alphanumeric payload (one wctp-Alphanumeric) is taken";
    return false;
  }
  for (pugi::xml_node part : payload.child("wctp-Alphanumeric").children()) {
    if (part.type() == pugi::node_element) {
      *why = "wctp-Alphanumeric holds text only";
      return false;
    }
    if (part.type() == pugi::node_pcdata || part.type() == pugi::node_cdata) *text += part.value();
  }
  return true;
}

bool ReadTruncation(pugi::xml_node control, WctpSubmission* out, std::string* why) {
  const pugi::xml_attribute allow = control.attribute("allowTruncation");
  if (!allow) return true;
  if (SameLetters(allow.value(), "true")) return true;
  if (SameLetters(allow.value(), "false")) {
    out->allow_truncation = false;
    return true;
  }
  *why = "allowTruncation is true or false";
  return false;
}

struct Shape {
  const char* header;
  const char* originator;
  const char* control;
};

constexpr Shape kRequestShape{"wctp-SubmitHeader", "wctp-Originator", "wctp-MessageControl"};
constexpr Shape kClientShape{"wctp-SubmitClientHeader", "wctp-ClientOriginator",
                             "wctp-ClientMessageControl"};

Result ReadHeader(pugi::xml_node header, const Shape& shape, WctpSubmission out) {
  const WctpOperation op = out.operation;
  bool several = false;
  const pugi::xml_node originator = OnlyChild(header, shape.originator, &several);
  if (!originator || !originator.attribute("senderID"))
    return Invalid(std::string("the header needs one ") + shape.originator + " with a senderID",
                   op);
  out.sender_id = originator.attribute("senderID").value();
  out.security_code = originator.attribute("securityCode").value();
  const pugi::xml_node recipient = OnlyChild(header, "wctp-Recipient", &several);
  if (several) return Invalid("one submission goes to one wctp-Recipient", op);
  if (!recipient || !recipient.attribute("recipientID"))
    return Invalid("the header needs a wctp-Recipient with a recipientID", op);
  out.recipient = recipient.attribute("recipientID").value();
  const pugi::xml_node control = OnlyChild(header, shape.control, &several);
  if (several) return Invalid(std::string("at most one ") + shape.control, op);
  std::string why;
  if (control && !ReadTruncation(control, &out, &why)) return Invalid(why, op);
  out.message_id = control.attribute("messageID").value();
  return out;
}

Result ReadOperation(pugi::xml_node operation) {
  const std::string_view name = operation.name();
  WctpSubmission out;
  const bool client = name == "wctp-SubmitClientMessage";
  if (!client && name != "wctp-SubmitRequest")
    return Invalid("this gateway takes wctp-SubmitRequest and wctp-SubmitClientMessage, not " +
                   std::string(name));
  out.operation = client ? WctpOperation::kSubmitClientMessage : WctpOperation::kSubmitRequest;
  const Shape& shape = client ? kClientShape : kRequestShape;
  bool several = false;
  const pugi::xml_node header = OnlyChild(operation, shape.header, &several);
  const pugi::xml_node payload = OnlyChild(operation, "wctp-Payload", &several);
  if (!header || !payload)
    return Invalid(
        std::string(operation.name()) + " needs one " + shape.header + " and one wctp-Payload",
        out.operation);
  Result result = ReadHeader(header, shape, out);
  auto* read = std::get_if<WctpSubmission>(&result);
  if (!read) return result;
  std::string why;
  if (!PayloadText(payload, &read->text, &why)) return Invalid(why, out.operation);
  return result;
}

// The internal subset of a DOCTYPE: where entities (and their expansion
// bombs and external references) are declared. None is taken.
bool DeclaresItsOwn(const pugi::xml_document& doc) {
  for (pugi::xml_node node : doc.children()) {
    if (node.type() == pugi::node_doctype && std::strchr(node.value(), '[') != nullptr) return true;
  }
  return false;
}

}  // namespace

Result ParseWctpSubmission(std::string_view body) {
  if (body.size() > kMaxWctpBody)
    return WctpFailure{301,
                       "the submission is longer than " + std::to_string(kMaxWctpBody) + " bytes"};
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_buffer(
      body.data(), body.size(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_auto);
  if (!parsed)
    return WctpFailure{301, std::string("not XML: ") + parsed.description() + " at byte " +
                                std::to_string(parsed.offset)};
  if (DeclaresItsOwn(doc))
    return WctpFailure{301, "a DOCTYPE with declarations of its own (entities) is not taken"};
  if (ElementChildren(doc) != 1) return WctpFailure{301, "an XML document has one root element"};
  const pugi::xml_node root = doc.document_element();
  if (std::string_view(root.name()) != "wctp-Operation")
    return Invalid("the root element is wctp-Operation");
  const pugi::xml_attribute version = root.attribute("wctpVersion");
  if (!KnownVersion(version.value()))
    return Invalid("this gateway speaks wctpVersion wctp-dtd-v1r3, not \"" +
                   std::string(version.value()) + "\"");
  if (ElementChildren(root) != 1) return Invalid("wctp-Operation holds one operation");
  pugi::xml_node operation = root.first_child();
  while (operation.type() != pugi::node_element) operation = operation.next_sibling();
  Result result = ReadOperation(operation);
  const auto* read = std::get_if<WctpSubmission>(&result);
  if (read && !(IsUtf8(read->text) && IsUtf8(read->recipient) && IsUtf8(read->sender_id) &&
                IsUtf8(read->security_code) && IsUtf8(read->message_id)))
    return WctpFailure{301, "the submission is not in UTF-8 or the encoding it declares",
                       read->operation};
  return result;
}

}  // namespace zentrel::gateway
