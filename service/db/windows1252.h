// Text for files read by Windows software in its ANSI code page: UTF-8 in,
// exactly one Windows-1252 byte per character out. A character that
// Windows-1252 lacks, and every malformed UTF-8 sequence, becomes "?". No state.
#pragma once

#include <string>
#include <string_view>

namespace velunor {

std::string Utf8ToWindows1252(std::string_view utf8);

}  // namespace velunor
