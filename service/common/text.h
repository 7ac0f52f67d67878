// Small text helpers the whole service shares. Pure functions; bytes, not
// characters (UTF-8 passes through untouched).
#pragma once

#include <string>
#include <string_view>

namespace velunor {

// `text` without the characters of `blanks` at either end (by default the
// blank alone, as the fixed-width fields pad with it).
std::string Trim(std::string_view text, std::string_view blanks = " ");

// White space as protocols use it: blank, tab, CR and LF.
inline constexpr std::string_view kWhiteSpace = " \t\r\n";

// `text` with every `from` replaced by `to`, left to right.
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);

}  // namespace velunor
