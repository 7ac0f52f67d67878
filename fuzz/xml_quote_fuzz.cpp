// XML_Quote and XML_Tag on arbitrary bytes: the quoted text holds none of
// the five special characters raw, every '&' starts one of the five
// references, no control character that XML forbids is left, and the element
// line parses as XML whose text is the input as XML allows it: without those
// control characters, and with U+FFFD for each byte that starts no
// well-formed UTF-8 sequence and for U+FFFE and U+FFFF.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pugixml.hpp>

#include "service/publication/xml_text.h"

namespace {

bool Forbidden(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

// The text with the five references turned back into their characters;
// aborts on an '&' that starts anything else.
std::string Unquote(const std::string& quoted) {
  static const char* const kReferences[][2] = {
      {"&#38;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}};
  std::string text;
  for (size_t i = 0; i < quoted.size();) {
    if (quoted[i] != '&') {
      text += quoted[i++];
      continue;
    }
    bool known = false;
    for (const auto& r : kReferences) {
      if (quoted.compare(i, std::strlen(r[0]), r[0]) == 0) {
        text += r[1];
        i += std::strlen(r[0]);
        known = true;
        break;
      }
    }
    if (!known) std::abort();
  }
  return text;
}

// What XML may carry of `input`, worked out from the code points (the
// implementation works from the byte ranges of the lead bytes).
std::string Allowed(const std::string& input) {
  const std::string replacement = "\xEF\xBF\xBD";
  std::string out;
  for (size_t i = 0; i < input.size();) {
    const auto lead = static_cast<unsigned char>(input[i]);
    if (lead < 0x80) {
      if (!Forbidden(lead)) out += static_cast<char>(lead);
      ++i;
      continue;
    }
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    uint32_t code = length == 4 ? lead & 0x07u : length == 3 ? lead & 0x0Fu : lead & 0x1Fu;
    bool valid = length != 0 && lead < 0xF8 && i + length <= input.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(input[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    static const uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kShortest[length] && code <= 0x10FFFF &&
            !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid) {
      out += replacement;
      ++i;
      continue;
    }
    out += code == 0xFFFE || code == 0xFFFF ? replacement : input.substr(i, length);
    i += length;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string expected = Allowed(input);

  const std::string quoted = velunor::XML_Quote(input);
  for (const char c : quoted) {
    if (c == '<' || c == '>' || c == '"' || c == '\'' || Forbidden(static_cast<unsigned char>(c))) {
      std::abort();
    }
  }
  if (Unquote(quoted) != expected) std::abort();

  // Parsed without line-end normalisation and with white-space-only text kept,
  // so that the text must come back byte for byte.
  const std::string line = velunor::XML_Tag(4, "v", input);
  pugi::xml_document doc;
  const unsigned options = (pugi::parse_default | pugi::parse_ws_pcdata) & ~pugi::parse_eol;
  if (!doc.load_buffer(line.data(), line.size(), options, pugi::encoding_utf8)) std::abort();
  if (std::string(doc.child("v").text().get()) != expected) {
    std::abort();
  }
  return 0;
}
