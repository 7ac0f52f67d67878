#include "service/publication/xml_text.h"

namespace velunor {

std::string XML_Tag(int16_t indent, const std::string& tag, const std::string& value) {
  std::string line(indent > 0 ? static_cast<size_t>(indent) : 0, ' ');
  line += '<';
  line += tag;
  line += '>';
  line += XML_Quote(value);
  line += "</";
  line += tag;
  line += '>';
  return line;
}

// One pass gives the same bytes as replacing the five characters one after
// the other with & first: no replacement text contains < > " or '.
std::string XML_Quote(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&#38;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // Control characters other than tab and line ends are not allowed in
        // XML at all; one in a station's name would make the whole
        // publication unreadable for the MTS-K, so it is dropped.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') break;
        out += c;
        break;
    }
  }
  return out;
}

}  // namespace velunor
