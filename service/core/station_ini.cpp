#include "service/core/station_ini.h"

#include <sys/stat.h>

#include <cstdio>

#include <fstream>
#include <iterator>
#include <vector>

namespace velunor {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Skips one delimiter: a comma, or a line end (CR LF, CR or LF).
size_t SkipDelimiter(const std::string& t, size_t i) {
  if (i >= t.size()) return i;
  if (t[i] == ',') return i + 1;
  if (t[i] == '\r') return (i + 1 < t.size() && t[i + 1] == '\n') ? i + 2 : i + 1;
  if (t[i] == '\n') return i + 1;
  return i;
}

}  // namespace

StationIni ParseStationIni(const std::string& text) {
  std::vector<std::string> values;
  size_t i = 0;
  while (values.size() < 4 && i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    std::string value;
    if (i < text.size() && text[i] == '"') {
      const size_t close = text.find('"', i + 1);
      const size_t end = close == std::string::npos ? text.size() : close;
      value = text.substr(i + 1, end - i - 1);
      i = end == text.size() ? end : end + 1;
      // Anything between the closing quote and the delimiter is dropped.
      while (i < text.size() && text[i] != ',' && !IsLineEnd(text[i])) ++i;
    } else {
      const size_t start = i;
      while (i < text.size() && text[i] != ',' && !IsLineEnd(text[i])) ++i;
      value = text.substr(start, i - start);
      while (!value.empty() && IsBlank(value.back())) value.pop_back();
    }
    values.push_back(value);
    i = SkipDelimiter(text, i);
  }
  StationIni ini;
  ini.values_read = static_cast<int>(values.size());
  std::string* fields[] = {&ini.IniFeld1, &ini.DbServer, &ini.DbBenutzer, &ini.DbPasswort};
  for (size_t k = 0; k < values.size(); ++k) *fields[k] = values[k];
  return ini;
}

bool ReadStationIni(const std::filesystem::path& file, StationIni* out) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  *out = ParseStationIni(text);
  return true;
}

std::string StationIniExposure(const std::filesystem::path& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0 || (st.st_mode & (S_IRWXG | S_IRWXO)) == 0) return "";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return "Warnung: " + file.string() + " enthält das Datenbank-Kennwort und ist für andere " +
         "Konten lesbar (Rechte " + mode + "); bitte mit \"chmod 600\" schützen";
}

}  // namespace velunor
