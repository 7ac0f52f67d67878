#include "service/core/station_ini.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

Status ReadStationIni(FileSystem& files, const std::filesystem::path& file, StationIni* ini) {
  *ini = StationIni();
  std::string text;
  // A directory opens, and fails only when read (EISDIR).
  if (const Status read = files.ReadFile(file, &text); !read.ok()) {
    return Status::Error(read.code(), std::strerror(read.code()));
  }
  *ini = ParseStationIni(text);
  return Status();
}

std::string StationIniUnreadableFix(const std::filesystem::path& file, const Status& failure) {
  if (failure.code() != EACCES && failure.code() != EPERM) {
    return "an ihre Stelle gehört eine Datei mit vier Werten (frei, Server[:Port], Benutzer, "
           "Kennwort)";
  }
  const passwd* account = getpwuid(geteuid());
  if (account == nullptr) return "Eigentümer und Rechte der Datei und ihres Verzeichnisses prüfen";
  const group* own_group = getgrgid(account->pw_gid);
  const std::string owner =
      std::string(account->pw_name) + ":" + (own_group != nullptr ? own_group->gr_name : "");
  return "das Konto " + std::string(account->pw_name) + " muss sie lesen können, als root: chown " +
         owner + " '" + file.string() + "' && chmod 600 '" + file.string() + "'";
}

std::string StationIniExposure(FileSystem& files, const std::filesystem::path& file) {
  const FileInfo info = files.Stat(file, true);
  if (!info.exists || (info.mode & (S_IRWXG | S_IRWXO)) == 0) return "";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", info.mode & 07777);
  return "Warnung: " + file.string() + " enthält das Datenbank-Kennwort und ist für andere " +
         "Konten lesbar (Rechte " + mode + "); bitte mit \"chmod 600\" schützen";
}

}  // namespace velunor
