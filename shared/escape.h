// Character references for markup: the XML of the publications, the status
// page's HTML and the simulator's answers each escape their own set of
// characters with their own references, in one pass. Pure function.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace velunor {

// `text` with each character that `references` names replaced by its
// reference; every other byte passes untouched.
inline std::string Escaped(std::string_view text,
                           std::initializer_list<std::pair<char, std::string_view>> references) {
  std::string out;
  out.reserve(text.size() + 16);
  for (const char c : text) {
    const auto* found = references.begin();
    while (found != references.end() && found->first != c) ++found;
    if (found == references.end()) {
      out += c;
    } else {
      out += found->second;
    }
  }
  return out;
}

}  // namespace velunor
