// The documents of wctp_xml.h through pugixml. The request is built node by
// node (pugixml escapes each value; a carriage return is written as a
// character reference so that it survives the receiver's XML parse); the
// answer is found by its elements' names, wherever the carrier put spaces.
#include "delivery/wctp_xml.h"

#include <pugixml.hpp>

#include <sstream>

namespace zentrel {
namespace {

constexpr const char* kDoctype = "wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1r3.dtd\"";

pugi::xml_node Element(pugi::xml_node parent, const char* name) {
  return parent.append_child(name);
}

// The payload's character data: pugixml writes a carriage return raw, and
// the receiver's parse would read it back as a line feed, so the text is
// escaped here and put where the empty payload stands.
std::string EscapedText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string WctpSubmitRequest(const WctpPage& page) {
  pugi::xml_document doc;
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  doc.append_child(pugi::node_doctype).set_value(kDoctype);
  pugi::xml_node root = Element(doc, "wctp-Operation");
  root.append_attribute("wctpVersion") = "wctp-dtd-v1r3";
  pugi::xml_node submit = Element(root, "wctp-SubmitRequest");
  pugi::xml_node header = Element(submit, "wctp-SubmitHeader");
  header.append_attribute("submitTimestamp") = page.timestamp.c_str();
  pugi::xml_node originator = Element(header, "wctp-Originator");
  originator.append_attribute("senderID") = page.sender.c_str();
  if (!page.security_code.empty())
    originator.append_attribute("securityCode") = page.security_code.c_str();
  Element(header, "wctp-MessageControl").append_attribute("allowTruncation") = "true";
  Element(header, "wctp-Recipient").append_attribute("recipientID") = page.recipient.c_str();
  Element(Element(submit, "wctp-Payload"), "wctp-Alphanumeric");
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  std::string xml = out.str();
  const std::size_t at = xml.rfind("<wctp-Alphanumeric");
  const std::size_t end = xml.find('>', at) + 1;  // the empty element's end: "/>"
  return xml.substr(0, at) + "<wctp-Alphanumeric>" + EscapedText(page.text) +
         "</wctp-Alphanumeric>" + xml.substr(end);
}

WctpAnswer ReadWctpAnswer(std::string_view body) {
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed)
    return {WctpAnswer::Kind::kUnreadable, 0, std::string("not XML: ") + parsed.description()};
  const pugi::xml_node answer = doc.child("wctp-Operation").first_child();
  for (const char* name : {"wctp-Success", "wctp-ClientSuccess"}) {
    if (const pugi::xml_node success = answer.child(name))
      return {WctpAnswer::Kind::kSuccess, success.attribute("successCode").as_int(),
              success.attribute("successText").value()};
  }
  if (const pugi::xml_node failure = answer.child("wctp-Failure"))
    return {WctpAnswer::Kind::kFailure, failure.attribute("errorCode").as_int(),
            failure.attribute("errorText").value()};
  return {WctpAnswer::Kind::kUnreadable, 0, "no wctp-Success or wctp-Failure in the answer"};
}

}  // namespace zentrel
