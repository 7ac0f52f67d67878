// The two text primitives of the publication documents: one indented element
// line, and a text made safe for XML character content and attribute values.
// Pure functions; text is UTF-8 throughout, so nothing is re-encoded here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velunor {

// `indent` spaces, "<tag>", XML_Quote(value), "</tag>". The tag is used as it
// is and the value is not trimmed; an empty value still gives start and end
// tag. A negative indent counts as 0.
std::string XML_Tag(int16_t indent, const std::string& tag, const std::string& value);

// Replaces & with "&#38;" (first, so that the references added for < > " '
// are not escaped again), < with "&lt;", > with "&gt;", " with "&quot;" and
// ' with "&apos;". The German letters are already in their UTF-8 byte form
// and pass unchanged; what XML 1.0 forbids is mended first (XmlCharacters).
std::string XML_Quote(const std::string& text);

// `text` with nothing left that XML 1.0 forbids in a document: the control
// characters below 0x20 other than tab, LF and CR are dropped; U+FFFE,
// U+FFFF, surrogates and every byte that is not part of well-formed UTF-8
// (a binary column's bytes) become U+FFFD. `*mended`, when given, is set to
// whether anything changed.
std::string XmlCharacters(std::string_view text, bool* mended = nullptr);

}  // namespace velunor
