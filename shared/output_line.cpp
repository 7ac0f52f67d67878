#include "shared/output_line.h"

namespace velunor {

std::string EscapeLine(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      // A C1 control; some terminals act on it as on its escape sequence.
      out += "\\u00";
      out += kHex[next >> 4];
      out += kHex[next & 0x0F];
      ++i;
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (byte >= 0x20 && byte != 0x7F) {
      out += text[i];
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::string UnescapeLine(std::string_view line) {
  const auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    const std::string_view rest = line.substr(i);
    if (rest.size() >= 2 && rest[0] == '\\') {
      const char kind = rest[1];
      if (kind == '\\' || kind == 'n' || kind == 'r' || kind == 't') {
        out += kind == '\\' ? '\\' : kind == 'n' ? '\n' : kind == 'r' ? '\r' : '\t';
        ++i;
        continue;
      }
      if (kind == 'x' && rest.size() >= 4 && hex(rest[2]) >= 0 && hex(rest[3]) >= 0) {
        out += static_cast<char>(hex(rest[2]) * 16 + hex(rest[3]));
        i += 3;
        continue;
      }
      if (rest.substr(0, 4) == "\\u00" && rest.size() >= 6 && hex(rest[4]) >= 0 &&
          hex(rest[5]) >= 0) {
        out += '\xC2';
        out += static_cast<char>(hex(rest[4]) * 16 + hex(rest[5]));
        i += 5;
        continue;
      }
    }
    out += line[i];
  }
  return out;
}

void PrintLine(std::FILE* to, std::string_view line) {
  const std::string escaped = EscapeLine(line) + "\n";
  std::fwrite(escaped.data(), 1, escaped.size(), to);
  std::fflush(to);
}

}  // namespace velunor
