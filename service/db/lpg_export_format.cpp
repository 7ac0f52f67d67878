#include "service/db/lpg_export_format.h"

#include "service/common/failure.h"
#include "service/db/db_values.h"
#include "service/db/windows1252.h"

namespace velunor {

std::string LpgQuoted(std::string_view value) {
  std::string out = "\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += ' ';
      continue;
    }
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string LpgPriceText(std::string_view database_text) {
  return ReplaceAll(std::string(database_text), ".", ",");
}

std::string LpgExportLine(const LpgExportRow& row) {
  // Converted first, so that one byte is one character when plzort is split.
  const std::string plzort = Utf8ToWindows1252(row.plzort);
  const std::string plz = plzort.substr(0, 5);
  const std::string ort = plzort.size() > 5 ? Trim(plzort.substr(5)) : "";
  const auto field = [](std::string_view utf8) { return LpgQuoted(Utf8ToWindows1252(utf8)) + ";"; };
  std::string line = field("");
  line += field(row.station);
  line += field(row.name);
  line += field(row.strasse);
  line += LpgQuoted(plz) + ";";
  line += LpgQuoted(ort) + ";";
  line += Utf8ToWindows1252(row.zeit) + ";";
  line += field(LpgPriceText(row.preis));
  line += field(row.kraftstoff);
  for (int i = 0; i < 4; ++i) line += field("None");
  return line + "\r\n";
}

std::string LpgTempFileName(std::string_view export_file) {
  // Counted in characters: an umlaut near the end is one character, not two.
  size_t end = export_file.size();
  for (int chars = 0; chars < 3; ++chars) {
    if (end == 0) {
      throw Failure(kErrInvalidCall, "Ungültiger Prozeduraufruf: Exportdatei '" +
                                         std::string(export_file) +
                                         "' ist kürzer als drei Zeichen");
    }
    --end;
    while (end > 0 && (static_cast<unsigned char>(export_file[end]) & 0xC0) == 0x80) --end;
  }
  return std::string(export_file.substr(0, end)) + "tmp";
}

}  // namespace velunor
