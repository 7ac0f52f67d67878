#include "service/db/windows1252.h"

#include <array>
#include <cstdint>

namespace velunor {

namespace {

// Code points of the bytes 0x80..0x9F; 0 where Windows-1252 has no character.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       //
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToByte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// Decodes one character at `pos`. Returns the number of bytes it takes; a
// malformed sequence takes its longest valid beginning (at least one byte)
// and yields no character, so each broken piece becomes one "?".
size_t Decode(std::string_view s, size_t pos, char32_t& out, bool& ok) {
  const auto b = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = b(pos);
  ok = false;
  if (lead < 0x80) {
    out = lead;
    ok = true;
    return 1;
  }
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 1;
  }
  char32_t c = lead & (0xFF >> (length + 1));
  for (size_t i = 1; i < length; ++i) {
    if (pos + i >= s.size()) return i;
    const uint8_t next = b(pos + i);
    const uint8_t lo = i == 1 ? low : 0x80;
    const uint8_t hi = i == 1 ? high : 0xBF;
    if (next < lo || next > hi) return i;
    c = (c << 6) | (next & 0x3F);
  }
  out = c;
  ok = true;
  return length;
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t c = 0;
    bool ok = false;
    pos += Decode(utf8, pos, c, ok);
    out += ok ? ToByte(c) : '?';
  }
  return out;
}

}  // namespace velunor
