#include "service/publication/xml_text.h"

#include "shared/escape.h"

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

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at `at` (lead byte 0x80 or
// above), 0 when there is none.
size_t AllowedSequence(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
  };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string XmlCharacters(std::string_view text, bool* mended) {
  std::string out;
  out.reserve(text.size());
  bool changed = false;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      // One in a station's name would make the whole publication unreadable
      // for the MTS-K.
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
        changed = true;
      } else {
        out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    // U+FFFE and U+FFFF are well-formed UTF-8 but no characters for XML.
    if (text.substr(i, 3) == "\xEF\xBF\xBE" || text.substr(i, 3) == "\xEF\xBF\xBF") {
      out += kReplacement;
      changed = true;
      i += 3;
      continue;
    }
    const size_t length = AllowedSequence(text, i);
    if (length == 0) {
      out += kReplacement;
      changed = true;
      ++i;
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
  if (mended != nullptr) *mended = changed;
  return out;
}

// One pass gives the same bytes as replacing the five characters one after
// the other with & first: no replacement text contains < > " or '.
std::string XML_Quote(const std::string& text) {
  return Escaped(XmlCharacters(text),
                 {{'&', "&#38;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&apos;"}});
}

}  // namespace velunor
