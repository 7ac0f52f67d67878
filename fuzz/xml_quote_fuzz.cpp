// XML_Quote and XML_Tag on arbitrary bytes: the quoted text holds none of
// the five special characters raw, every '&' starts one of the five
// references, no control character that XML forbids is left, and the element
// line parses as XML whose text is the input without those control characters.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string expected;
  for (const char c : input) {
    if (!Forbidden(static_cast<unsigned char>(c))) expected += c;
  }

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
